#include "platform/xml_guard.h"

#include <gtest/gtest.h>

#include <string>

namespace platform {
namespace {

size_t Bound(const std::string& s, size_t limit = 1000) { return XmlNestingBound(s.data(), s.size(), limit); }

TEST(XmlGuard, NestingFollowsTheParser) {
  EXPECT_EQ(Bound("<a><b/><c><d></d></c></a>"), 3u);
  EXPECT_EQ(Bound("<?xml version=\"1.0\"?><!DOCTYPE rss><a>text &amp; more<b x='>' y=\"</b>\">"
                  "<![CDATA[<c><d><e>]]><!-- <f><g> --></b></a>"), 2u);
  // Markup the parser skips cannot hide elements from the count: closing tags inside
  // comments, CDATA, attribute values and character references do not close anything.
  std::string hidden;
  for (int i = 0; i < 50; ++i) hidden += "<a><!--</a>--><![CDATA[</a>]]><b v=\"</a>\"/>&#x</a>x;";
  EXPECT_EQ(Bound(hidden), 51u);  // the innermost self-closed <b/> counts too
  // A reference in an attribute value runs past the quote, as the parser reads it.
  std::string quoted;
  for (int i = 0; i < 50; ++i) quoted += "<a v=\"&#x\" x;\">";
  EXPECT_EQ(Bound(quoted), 50u);
  // A stray end tag before the root does not stop the count.
  EXPECT_EQ(Bound("</z><a><a><a>"), 3u);
  // Counting stops just past the limit.
  std::string many;
  for (int i = 0; i < 5000; ++i) many += "<a>";
  EXPECT_EQ(Bound(many, 10), 11u);
  EXPECT_FALSE(XmlNestingAcceptable(many.data(), many.size()));
}

}  // namespace
}  // namespace platform
