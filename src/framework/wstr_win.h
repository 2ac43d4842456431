// Zero-copy bridge between the core's UTF-16 strings and the W functions of Win32.
#pragma once
#include <windows.h>

#include <string>

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows wchar_t is UTF-16");

inline const wchar_t* as_wcstr(const std::u16string& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }
inline wchar_t* as_wbuf(std::u16string& s) { return reinterpret_cast<wchar_t*>(&s[0]); }
inline const char16_t* as_u16(const wchar_t* s) { return reinterpret_cast<const char16_t*>(s); }
inline std::u16string to_u16(const wchar_t* s) { return s ? std::u16string(as_u16(s)) : std::u16string(); }
inline std::u16string to_u16(const std::wstring& s) { return std::u16string(as_u16(s.c_str()), s.size()); }
