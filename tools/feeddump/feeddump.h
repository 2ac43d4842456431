// feeddump's command line, shared by its POSIX and Windows entry points.
#pragma once
#include <cstdio>
#include <string>
#include <vector>

namespace feeddump {

// Runs the tool on the arguments after the program name; returns the exit status:
// 0 items printed, 1 nothing could be read or requested, 2 the document has no item,
// 3 the download failed.
int Run(const std::vector<std::u16string>& args);

// Downloads `url` with the program's HTTP client (Windows builds only); false with the
// client's message when the download fails.
extern const bool kCanFetch;
bool Fetch(const std::u16string& url, std::string* body, std::u16string* error);

}  // namespace feeddump
