// Text helpers shared by the core: UTF-8 <-> UTF-16 and the system code pages.
// Strings are UTF-16 (std::u16string) in memory; files hold the ANSI code page.
#pragma once
#include <string>

namespace platform {

// Lossless for valid input; invalid sequences become U+FFFD.
std::u16string Utf8ToU16(const std::string& s);
std::string U16ToUtf8(const std::u16string& s);

// The system ANSI code page (Windows: GetACP(); POSIX builds: 936 unless set for a test).
int AnsiCodePage();
void SetAnsiCodePageForTests(int codePage);  // POSIX only; ignored on Windows

// Conversions through a numbered code page (936, 950, 1252, 65001, ...). Characters the
// code page cannot hold become its default character ('?'); undecodable bytes become
// U+FFFD (or the platform's replacement). Return false when the code page is unknown.
bool FromCodePage(int codePage, const std::string& bytes, std::u16string* out);
bool ToCodePage(int codePage, const std::u16string& text, std::string* out);

// Windows-style code page number for an encoding label ("gb2312", "GBK", "big5",
// "utf-8", "iso-8859-1", "windows-1252", ...), or 0 when the label is not known.
int CodePageFromLabel(const std::string& label);

// The system ANSI code page: characters it cannot hold become '?'. Empty on failure.
std::string ToAnsi(const std::u16string& text);
std::u16string FromAnsi(const std::string& ansi);

// Appends one code point as UTF-16 (a surrogate pair above U+FFFF); surrogates and values
// beyond U+10FFFF append U+FFFD.
void AppendCodePoint(std::u16string* out, char32_t cp);

// True when `s` starts with `prefix`, ignoring the case of ASCII letters.
bool StartsWithNoCase(const std::u16string& s, const std::u16string& prefix);

}  // namespace platform
