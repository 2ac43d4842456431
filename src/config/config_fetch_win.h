// The remote configuration's transport on Windows: the document request and the advert
// picture download, both through the program's HTTP client.
#pragma once
#include <cstddef>
#include <string>

#include "net/http_client_win.h"

namespace config {

// GETs `url` (at most `maxBytes` of body) into `body`; false on any failure, with the
// client's message in `error` when given. Through `get` when given (a session the program
// already has), else through a session of its own.
bool FetchBody(const std::u16string& url, size_t maxBytes, std::string* body, std::u16string* error = nullptr,
               const net::HttpGetter& get = nullptr);

// The configuration document: FetchBody with the document's size limit.
bool FetchConfigDocument(const std::u16string& url, std::string* body, const net::HttpGetter& get = nullptr);

// Downloads an advert picture into `folder` (created when missing) under its safe name,
// written atomically and kept only when GDI+ can decode it (GDI+ must be started).
// Returns the full path, or empty when the address gives no safe picture name, the
// download fails or the file is not a picture.
std::u16string DownloadFileTo(const std::u16string& url, const std::u16string& folder,
                              const net::HttpGetter& get = nullptr);

}  // namespace config
