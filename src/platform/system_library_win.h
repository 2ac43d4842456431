// Loads a DLL of the system by its full path in the system folder, never from the
// program's own folder or the current one, where a planted copy would run in our place.
#pragma once
#include <windows.h>

namespace platform {

// The module `name` (e.g. L"comdlg32.dll") from the system folder, loaded and kept for the
// rest of the run by the caller; null (and logged) when it is missing.
HMODULE LoadSystemLibrary(const wchar_t* name);

// The function `name` of `module` as type F, or null.
template <typename F>
F SystemFunction(HMODULE module, const char* name) {
  return module ? reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}

}  // namespace platform
