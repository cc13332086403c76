#include "spssio/AsciiText.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using brindle::AsciiUpper;
using brindle::TrimTrailingControls;

// Only a-z fold: UTF-8 bytes of accented letters must come through intact,
// or names with them would no longer match themselves.
TEST(AsciiText, UpperFoldsOnlyAsciiLetters) {
  EXPECT_EQ(AsciiUpper(std::string("abz_09AZ@[`{")), "ABZ_09AZ@[`{");
  EXPECT_EQ(AsciiUpper(std::string("\xC3\xA9t\xC3\xA9")), "\xC3\xA9T\xC3\xA9");
}

TEST(AsciiText, TrailingPaddingGoesButNotUtf8) {
  const struct {
    std::string in;
    std::string out;
  } cases[] = {
      {"abc   ", "abc"}, {std::string("ab\0\0", 4), "ab"}, {"ab\t\r\n\x7F ", "ab"},
      {" a b ", " a b"}, {"caf\xC3\xA9", "caf\xC3\xA9"},   {"   ", ""},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(TrimTrailingControls(c.in), c.out) << c.in;
}

}  // namespace
