#include "config/config_fetch_win.h"

#include <windows.h>
#include <gdiplus.h>

#include <cstdlib>

#include "config/app_config.h"
#include "config/config_request.h"
#include "framework/wstr_win.h"
#include "net/http_client_win.h"
#include "platform/files.h"
#include "platform/log.h"
#include "platform/text.h"

namespace config {

bool FetchBody(const std::u16string& url, size_t maxBytes, std::string* body, std::u16string* error,
               const net::HttpGetter& get) {
  net::HttpOptions options;
  options.maxBody = maxBytes;
  net::HttpResponse response = get ? get(url, options) : net::HttpGet(url, options);
  bool ok = !response.failed() && response.body && response.size > 0;
  if (ok) body->assign(response.body.get(), response.size);
  if (error) *error = net::FailureText(response);
  return ok;
}

bool FetchConfigDocument(const std::u16string& url, std::string* body, const net::HttpGetter& get) {
  std::u16string error;
  if (FetchBody(url, kMaxDocumentBytes, body, &error, get)) return true;
  while (!error.empty() && (error.back() == u'\n' || error.back() == u'\r')) error.pop_back();
  if (!error.empty()) LogDebug("%s", platform::ToAnsi(error).c_str());
  return false;
}

namespace {

bool GdiplusDecodes(const std::u16string& path) {
  Gdiplus::Bitmap bitmap(as_wcstr(path));
  return bitmap.GetLastStatus() == Gdiplus::Ok && bitmap.GetWidth() > 0 && bitmap.GetHeight() > 0;
}

}  // namespace

std::u16string DownloadFileTo(const std::u16string& url, const std::u16string& folder, const net::HttpGetter& get) {
  std::u16string name = SafePictureFileName(url);
  if (name.empty() || folder.empty() || !IsWebAddress(url)) return u"";
  if (!platform::CreateFolder(folder)) return u"";
  std::u16string path = folder;
  if (path.back() != u'\\' && path.back() != u'/') path += u'\\';
  path += name;
  std::string body;
  if (!FetchBody(url, kMaxPictureBytes, &body, nullptr, get)) return u"";
  std::string error;
  if (!platform::WriteFileAtomic(path, body, &error)) {
    LogDebug("write adv pic failed: %s", error.c_str());
    return u"";
  }
  if (!GdiplusDecodes(path)) {
    platform::RemoveFile(path);
    LogDebug("adv pic is not a picture");
    return u"";
  }
  return path;
}

}  // namespace config
