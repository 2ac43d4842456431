// The program's version comes from its executable's version resource.
#include "platform/program_version_win.h"

#include <gtest/gtest.h>

namespace platform {
namespace {

TEST(ProgramVersion, FromTheVersionResource) {
  wchar_t buf[100] = L"untouched";
  ASSERT_EQ(GetProgramVersion(buf, 100), 1);
  EXPECT_STREQ(buf, L"1.0.0.0");
  wchar_t tiny[4] = L"abc";
  EXPECT_EQ(GetProgramVersion(tiny, 4), 0);
  EXPECT_STREQ(tiny, L"abc");
}

}  // namespace
}  // namespace platform
