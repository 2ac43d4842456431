// Mends for feed documents (already UTF-8) that are not well-formed the way feeds commonly
// go wrong, and the cut that reads only a long feed's first entries.
#pragma once
#include <cstddef>
#include <string>

namespace feed {

// The document with the ampersands that start no XML reference mended, as sloppy feeds
// write them: an HTML name ("&nbsp;", "&hellip;") becomes the number of its character,
// any other (a bare "&" in "AT&T" or in "?a=1&b=2") becomes "&amp;". CDATA sections and
// comments are left as they are.
std::string RepairedXmlReferences(std::string xml);

// A document that failed to parse, mended as far as feeds commonly go wrong: text before
// it (a script's warnings) cut, and HTML put into a description, content:encoded or Atom
// summary/content without escaping (an unclosed <br>, say) wrapped in a CDATA section.
// Empty when there is nothing to mend.
std::string RecoveredXmlFeed(const std::string& xml);

// The document cut after the end tag of its `entries`-th entry (an RSS item or Atom entry,
// at the depth of the first one), with end tags added for the elements still open there;
// empty when it has no more than that many entries or its markup cannot be followed.
std::string FeedHead(const std::string& xml, size_t entries);

// White space between a CDATA section or comment and the text beside it kept with the
// text, so that the XML parser does not glue the words either side together.
void KeepSpaceBesideSections(std::string* doc);

}  // namespace feed
