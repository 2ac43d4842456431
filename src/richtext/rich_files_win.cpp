#include "richtext/rich_files_win.h"

#include <gdiplus.h>
#include <objidl.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "framework/wstr_win.h"
#include "platform/files.h"
#include "platform/log.h"
#include "platform/text.h"
#include "richtext/gdi_draw_win.h"

namespace richtext {

namespace {

constexpr DWORD kDriveListUnits = 1024;
constexpr ULONG kJpegQuality = 100;

bool JpegEncoder(CLSID* clsid) {
  UINT count = 0, bytes = 0;
  if (Gdiplus::GetImageEncodersSize(&count, &bytes) != Gdiplus::Ok || bytes == 0) return false;
  std::vector<unsigned char> buffer(bytes);
  auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
  if (Gdiplus::GetImageEncoders(count, bytes, codecs) != Gdiplus::Ok) return false;
  for (UINT i = 0; i < count; ++i) {
    if (codecs[i].MimeType && wcscmp(codecs[i].MimeType, L"image/jpeg") == 0) {
      *clsid = codecs[i].Clsid;
      return true;
    }
  }
  return false;
}

// The picture encoded as JPEG in memory.
bool EncodeJpeg(HBITMAP bitmap, std::string* out) {
  CLSID jpeg;
  if (!JpegEncoder(&jpeg)) return false;
  Gdiplus::Bitmap image(bitmap, nullptr);
  if (image.GetLastStatus() != Gdiplus::Ok) return false;
  IStream* stream = nullptr;
  if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, &stream)) || !stream) return false;
  Gdiplus::EncoderParameters params;
  ULONG quality = kJpegQuality;
  params.Count = 1;
  params.Parameter[0].Guid = Gdiplus::EncoderQuality;
  params.Parameter[0].Type = Gdiplus::EncoderParameterValueTypeLong;
  params.Parameter[0].NumberOfValues = 1;
  params.Parameter[0].Value = &quality;
  bool ok = image.Save(stream, &jpeg, &params) == Gdiplus::Ok;
  STATSTG stat{};
  HGLOBAL memory = nullptr;
  if (ok) ok = SUCCEEDED(stream->Stat(&stat, STATFLAG_NONAME)) && SUCCEEDED(GetHGlobalFromStream(stream, &memory));
  if (ok) {
    const void* p = GlobalLock(memory);
    const size_t size = static_cast<size_t>(stat.cbSize.QuadPart);
    ok = p && size <= GlobalSize(memory);
    if (ok) out->assign(static_cast<const char*>(p), size);
    if (p) GlobalUnlock(memory);
  }
  stream->Release();
  return ok;
}

}  // namespace

bool WinRichFiles::DriveRoots(std::vector<std::u16string>* roots) {
  wchar_t buffer[kDriveListUnits];
  DWORD n = GetLogicalDriveStringsW(kDriveListUnits, buffer);
  if (n == 0 || n >= kDriveListUnits) return false;
  roots->clear();
  for (const wchar_t* p = buffer; *p && p < buffer + n;) {
    std::u16string root = to_u16(p);
    p += root.size() + 1;
    roots->push_back(std::move(root));
  }
  return true;
}

bool WinRichFiles::Exists(const std::u16string& path) {
  return GetFileAttributesW(as_wcstr(path)) != INVALID_FILE_ATTRIBUTES;
}

std::u16string WinRichFiles::ImageFolder() {
  if (dataFolder_.empty()) return {};
  std::u16string folder = dataFolder_ + u"image";
  if (!platform::CreateFolder(folder)) {
    LogError("image folder not created: %s", platform::ToAnsi(folder).c_str());
    return {};
  }
  return folder + u"\\";
}

std::u16string WinRichFiles::NewImageName() {
  static bool seeded = false;
  if (!seeded) {
    srand(GetTickCount());
    seeded = true;
  }
  SYSTEMTIME t;
  GetLocalTime(&t);
  char name[64];
  snprintf(name, sizeof name, "%d%.2d%.2d%.2d%.2d%.2d%.4d", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute,
           t.wSecond, rand() % 10000);
  return std::u16string(name, name + strlen(name));
}

bool WinRichFiles::SaveNewJpeg(const Bitmap& bitmap, const std::u16string& path) {
  // Every bitmap of the Windows engine is a GDI bitmap.
  const auto& gdi = static_cast<const GdiBitmap&>(bitmap);
  std::string bytes;
  if (!gdi.get() || !EncodeJpeg(gdi.get(), &bytes)) {
    LogError("picture not encoded as JPEG");
    return false;
  }
  // A new file only: a name that is taken is never overwritten.
  HANDLE file = CreateFileW(as_wcstr(path), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_EXISTS)
      LogError("picture file not created (%lu): %s", error, platform::ToAnsi(path).c_str());
    return false;
  }
  DWORD written = 0;
  bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
            written == bytes.size() && FlushFileBuffers(file);
  CloseHandle(file);
  if (!ok) {
    LogError("picture file not written: %s", platform::ToAnsi(path).c_str());
    DeleteFileW(as_wcstr(path));
  }
  return ok;
}

void WinRichFiles::Remove(const std::u16string& path) { DeleteFileW(as_wcstr(path)); }

}  // namespace richtext
