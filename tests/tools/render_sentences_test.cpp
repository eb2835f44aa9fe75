#include "tools/quillon-tool/render_sentences.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace quillon::tool {
namespace {

TEST(TextAsWritten, FlattensWhiteSpaceAndConvertsToUtf8) {
  // clang-format off
  const struct { const char* line; TextSpan span; const char* text; } cases[] = {
    {"Mr. Smith of Oconomowoc.\r\n",     {0, 24},  "Mr. Smith of Oconomowoc."},
    {"Two   spaces\tand\r\na break",     {0, 25},  "Two spaces and a break"},
    {"  padded  ",                       {0, 10},  "padded"},
    {"caf\xE9 \x85 \x93quoted\x94",      {0, 15},  "caf\xC3\xA9 \xE2\x80\xA6 \xE2\x80\x9Cquoted\xE2\x80\x9D"},
    {"short",                            {2, 99},  "ort"},   // cut at the line's end
    {"short",                            {9, 3},   ""},      // past it
    {"a <b> & c",                        {0, 9},   "a <b> & c"},  // escaping is the writer's
  };
  // clang-format on
  for (const auto& c : cases) {
    EXPECT_EQ(TextAsWritten(c.line, c.span), c.text) << c.line;
  }
}

TEST(WordClips, CoverTheSentenceInOrderWithoutEmptyClips) {
  // A sentence of the line "one two three four" spoken from sample 1000 to end_sample.
  struct Case {
    const char* what;
    std::vector<RenderedWord> words;
    std::vector<WordClip> clips;
    std::uint64_t end_sample = 2000;
  };
  // clang-format off
  const Case cases[] = {
    {"each word its clip, the first from the sentence's start",
     {{{0, 3}, 1010}, {{4, 3}, 1300}, {{8, 5}, 1500}, {{14, 4}, 1800}},
     {{{0, 3}, 1000, 1300}, {{4, 3}, 1300, 1500}, {{8, 5}, 1500, 1800}, {{14, 4}, 1800, 2000}}},
    {"words spelt out from one written word are one (a respelled name)",
     {{{0, 3}, 1000}, {{4, 3}, 1200}, {{4, 3}, 1400}, {{4, 3}, 1600}, {{8, 5}, 1800}},
     {{{0, 3}, 1000, 1200}, {{4, 3}, 1200, 1800}, {{8, 5}, 1800, 2000}}},
    {"a word from inserted text gives its time to the word before",
     {{{0, 3}, 1000}, {{0, 0}, 1300}, {{4, 3}, 1600}},
     {{{0, 3}, 1000, 1600}, {{4, 3}, 1600, 2000}}},
    {"a word too close after the one before joins it",
     {{{0, 3}, 1000}, {{4, 3}, 1005}, {{8, 5}, 1500}},
     {{{0, 7}, 1000, 1500}, {{8, 5}, 1500, 2000}}},
    {"a last word too short joins the one before",
     {{{0, 3}, 1000}, {{4, 3}, 1995}},
     {{{0, 7}, 1000, 2000}}},
    {"a word read back before the last one is part of it",
     {{{4, 3}, 1000}, {{0, 3}, 1500}, {{8, 5}, 1700}},
     {{{4, 3}, 1000, 1700}, {{8, 5}, 1700, 2000}}},
    {"spans cut to the sentence",
     {{{0, 30}, 1000}},
     {{{0, 18}, 1000, 2000}}},
    {"no word in the line: no clips", {{{40, 3}, 1000}}, {}},
    {"fewer samples than the shortest clip: none", {{{0, 3}, 1000}}, {}, 1010},
  };
  // clang-format on
  const auto fields = [](const std::vector<WordClip>& clips) {  // span, begin and end of each
    std::vector<std::array<std::uint64_t, 4>> out;
    for (const WordClip& clip : clips) {
      out.push_back({clip.in_line.start, clip.in_line.length, clip.begin, clip.end});
    }
    return out;
  };
  for (const Case& c : cases) {
    const RenderedSentence sentence{0, {0, 18}, "one two three four", 1000, c.end_sample, c.words};
    EXPECT_EQ(fields(WordClips(sentence, 20)), fields(c.clips)) << c.what;
  }
}

}  // namespace
}  // namespace quillon::tool
