// Which encoding a downloaded document (a feed or a page) is in, and its text as UTF-8 or
// UTF-16. Pure computation on bytes.
#pragma once
#include <cstddef>
#include <string>

namespace feed {

// The document as UTF-8: a byte-order mark, UTF-16 without one, or the encoding its XML
// declaration names decides; undeclared text that is not UTF-8 is read in the ANSI code
// page. Invalid sequences become U+FFFD.
std::string XmlDocumentToUtf8(const char* data, size_t size);

// The encoding named in a leading XML declaration, lower-cased; empty when none.
std::string DeclaredXmlEncoding(const char* data, size_t size);

// A page as text: a byte-order mark, else the charset its head declares, else UTF-8 when
// it is, else the ANSI code page.
std::u16string HtmlDocumentToText(const char* data, size_t size);
// The charset a page declares in its first few kilobytes, lower-cased; empty when none.
std::string DeclaredHtmlCharset(const char* data, size_t size);

// XML's white space: space, tab, line feed, carriage return (and the vertical tab and form
// feed between them, which a sloppy producer may leave).
inline bool IsXmlSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

}  // namespace feed
