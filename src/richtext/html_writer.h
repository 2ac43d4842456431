// Pieces of the HTML subset as the engine writes them.
#pragma once
#include <cstdint>
#include <string>

#include "richtext/html_parser.h"

namespace richtext::html {

// Six lower-case hexadecimal digits.
void AppendHex6(std::u16string& out, uint32_t rgb);
void AppendInt(std::u16string& out, int v);
// The written form of a colour: 0xRRGGBB.
inline uint32_t ToRgb(ColorRef c) { return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF); }
// Attribute values end at '"' and tags at '>': addresses and paths get both
// percent-encoded so that they read back as one value.
void AppendAddress(std::u16string& out, const std::u16string& value);
// A face name cannot hold either character; one that does loses them.
void AppendFace(std::u16string& out, const std::u16string& value);
// Whether a '<' written as text, followed by `c`, could be read as the start of a tag.
inline bool CouldStartTag(char16_t c) { return (c >= u'A' && c <= u'z') || c == u'/'; }
// Text that reads back as the same characters, never as markup: a '<' that could start a
// tag with what follows gets `fontBreak` ("</font>" and the font opening again) after it,
// and the parser never takes "<<" for a tag.
void AppendText(std::u16string& out, const std::u16string& text, const std::u16string& fontBreak);

}  // namespace richtext::html
