#include "platform/system_library_win.h"

#include <string>

#include "platform/log.h"

namespace platform {

HMODULE LoadSystemLibrary(const wchar_t* name) {
  std::string shown;  // DLL names are plain ASCII
  for (const wchar_t* c = name; *c; ++c) shown += *c < 0x80 ? static_cast<char>(*c) : '?';
  wchar_t folder[MAX_PATH];
  const UINT n = GetSystemDirectoryW(folder, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) {
    LogDebug("system folder unknown: %s not loaded", shown.c_str());
    return nullptr;
  }
  std::wstring path(folder, n);
  if (path.back() != L'\\') path += L'\\';
  path += name;
  HMODULE module = LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  if (!module) LogDebug("%s not loaded (error %lu)", shown.c_str(), static_cast<unsigned long>(GetLastError()));
  return module;
}

}  // namespace platform
