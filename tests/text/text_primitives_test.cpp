#include "text/text_primitives.h"

#include <gtest/gtest.h>

#include <string>

namespace quillon {
namespace {

struct PositionCase {
  std::string needle, text;
  std::size_t expected;
};

TEST(TextPrimitives, PositionAndContains) {
  const PositionCase cases[] = {
      {"ab", "xabab", 2},                                 // only the first occurrence counts
      {"", "abc", 0},                                     // empty needle
      {"a", "", 0},                                       // empty text
      {"abcd", "abc", 0},                                 // needle does not fit
      {"c", "abc", 3},                                    // last character
      {"you can", "YOU CAN", 0},                          // case-sensitive
      {"\x85", "So\x85 well", 3},                         // the ellipsis is one byte
      {std::string(1, '\0'), std::string("a\0b", 3), 2},  // NUL is an ordinary character
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Position(c.needle, c.text), c.expected) << c.needle << " in " << c.text;
    EXPECT_EQ(Contains(c.needle, c.text), c.expected > 0) << c.needle << " in " << c.text;
  }
}

struct ReplaceCase {
  std::string text, search, replacement;
  ReplaceMode mode;
  std::string expected;
};

TEST(TextPrimitives, ReplaceText) {
  const ReplaceCase cases[] = {
      {"aaa", "aa", "b", ReplaceMode::All, "ba"},      // non-overlapping, left to right
      {"aa", "a", "aa", ReplaceMode::All, "aaaa"},     // replacement never rescanned
      {"abab", "ab", "x", ReplaceMode::First, "xab"},  // first only
      {"abab", "ab", "x", ReplaceMode::All, "xx"},
      {"abc", "", "x", ReplaceMode::All, "abc"},  // empty search leaves the text
      {"", "a", "x", ReplaceMode::All, ""},
      {"abc", "abc", "", ReplaceMode::All, ""},  // deletion
      {"Mr. and Mr.", "Mr.", "Mister", ReplaceMode::All, "Mister and Mister"},
      {"a--b cr--", "--", "<silence/>", ReplaceMode::All, "a<silence/>b cr<silence/>"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ReplaceText(c.text, c.search, c.replacement, c.mode), c.expected)
        << c.text << " / " << c.search;
  }
}

TEST(TextPrimitives, Trim) {
  EXPECT_EQ(Trim(" \t\r\n "), "");
  EXPECT_EQ(Trim(""), "");
  EXPECT_EQ(Trim("  a b  "), "a b");
  EXPECT_EQ(Trim(std::string("\x01x\x1f\x20", 4)), "x");
  EXPECT_EQ(Trim("\x85\xa0"), "\x85\xa0");  // only codes 0 to 32 are trimmed
}

TEST(TextPrimitives, AllByteValuesAndLongText) {
  std::string all;
  for (int c = 0; c < 256; ++c) {
    all.push_back(static_cast<char>(c));
  }
  EXPECT_EQ(Position(std::string(1, '\xff'), all), 256u);
  EXPECT_EQ(Trim(all), all.substr(33));
  const std::string big(1 << 20, 'a');
  EXPECT_EQ(ReplaceText(big, "aa", "b").size(), big.size() / 2);
}

}  // namespace
}  // namespace quillon
