// Windows implementation of the code-page conversions.
#include <windows.h>

#include "platform/text.h"

namespace platform {

int AnsiCodePage() { return static_cast<int>(GetACP()); }
void SetAnsiCodePageForTests(int) {}

bool FromCodePage(int codePage, const std::string& bytes, std::u16string* out) {
  out->clear();
  if (bytes.empty()) return IsValidCodePage(codePage) || codePage == 1200 || codePage == 1201;
  if (codePage == 1200 || codePage == 1201) {
    out->resize(bytes.size() / 2);
    for (size_t i = 0; i < out->size(); ++i) {
      unsigned a = static_cast<unsigned char>(bytes[2 * i]), b = static_cast<unsigned char>(bytes[2 * i + 1]);
      (*out)[i] = static_cast<char16_t>(codePage == 1200 ? (a | (b << 8)) : ((a << 8) | b));
    }
    return true;
  }
  if (bytes.size() > 0x7FFFFFFF) return false;
  int n = MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  if (n <= 0) return false;
  out->resize(n);
  MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()),
                      reinterpret_cast<wchar_t*>(&(*out)[0]), n);
  return true;
}

bool ToCodePage(int codePage, const std::u16string& text, std::string* out) {
  out->clear();
  if (text.empty()) return IsValidCodePage(codePage) != 0;
  const wchar_t* w = reinterpret_cast<const wchar_t*>(text.data());
  int n = WideCharToMultiByte(codePage, 0, w, static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  if (n <= 0) return false;
  out->resize(n);
  WideCharToMultiByte(codePage, 0, w, static_cast<int>(text.size()), &(*out)[0], n, nullptr, nullptr);
  return true;
}

}  // namespace platform
