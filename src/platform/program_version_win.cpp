#include "platform/program_version_win.h"

#include <algorithm>
#include <string>

namespace platform {
namespace {

std::u16string Number(unsigned n) {
  std::string s = std::to_string(n);
  return std::u16string(s.begin(), s.end());
}

}  // namespace

int GetProgramVersion(wchar_t* buffer, int capacity) {
  constexpr DWORD kPathChars = 260;
  wchar_t path[kPathChars];
  if (!GetModuleFileNameW(nullptr, path, kPathChars)) return 0;
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeW(path, &ignored);
  if (!size) return 0;
  std::string info(size, '\0');
  if (!GetFileVersionInfoW(path, 0, size, &info[0])) return 0;
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT fixedLen = 0;
  if (!VerQueryValueW(&info[0], L"\\", reinterpret_cast<void**>(&fixed), &fixedLen) || !fixed ||
      fixedLen < sizeof(VS_FIXEDFILEINFO))
    return 0;
  // The first part is always 1: the version line the service knows this program by.
  std::u16string text = u"1." + Number(LOWORD(fixed->dwFileVersionMS)) + u"." +
                        Number(HIWORD(fixed->dwFileVersionLS)) + u"." + Number(LOWORD(fixed->dwFileVersionLS));
  if (capacity <= 0 || text.size() + 1 > static_cast<size_t>(capacity)) return 0;
  std::copy(text.begin(), text.end(), buffer);
  buffer[text.size()] = 0;
  return 1;
}
}  // namespace platform
