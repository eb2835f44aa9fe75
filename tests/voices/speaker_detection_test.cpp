// Speaker detection over a small cue list of the real list's shapes and the real name list.
#include "voices/speaker_detection.h"

#include <gtest/gtest.h>

#include <string>

namespace quillon {
namespace {

// clang-format off
const SpeakerCue kCues[] = {
  {2, "Oh, Quillon"},
  {2, "Yes.",     {},            OnlyInChapter(54)},
  {2, "I.",       {"I.N.C."}},
  {1, "Aha!"},
  {7, "Plumpo",   {},            NotInChapter(29)},
  {4, "you old rascal", {"Mutiny"}},
};
// clang-format on

struct Case {
  const char* what;
  std::string line;
  std::int32_t chapter;
  std::int32_t current_voice;
  std::int32_t expected;
};

TEST(SpeakerDetection, CuesNamesAndFallback) {
  const Case cases[] = {
      {"cue beats name", R"("Aha!" said Mary.)", 1, 0, 1},
      {"earlier run wins", R"("Oh, Quillon. Aha!")", 1, 0, 2},
      {"chapter condition equal", R"("Yes." she said.)", 54, 9, 2},
      {"chapter condition unmet falls back", R"("Yes." she said.)", 53, 9, 9},
      {"exclusion", R"("I.N.C. is I." she said.)", 1, 5, 5},
      {"no exclusion", R"("It was I." she said.)", 1, 5, 2},
      {"exclusion text", R"("Mutiny, you old rascal!" he roared.)", 1, 3, 3},
      {"not in chapter 29", R"("Sit, Plumpo," said the man.)", 30, 0, 7},
      {"chapter 29 skips the cue", R"("Sit, Plumpo," said the man.)", 29, 0, 17},
      {"earliest name: Bob first", R"("Look there," said Bob to Mary.)", 1, 0, 4},
      {"earliest name: Mary first", R"("Look there," said Mary to Bob.)", 1, 0, 2},
      {"immediate name", R"("Look there," said Mary to Marvin.)", 1, 0, 17},
      {"immediate description", R"("No," said Quillon. After a stunned silence, "Fine.")", 1, 0,
       16},
      {"narration before the quote, inside a word", R"(Halting, he said, "No way.")", 1, 0, 35},
      {"unclosed quotation is searched", R"("Wilford, come here and)", 1, 0, 23},
      {"second quotation after narration", R"("Hi," said the man. "Mary, hello.")", 1, 0, 17},
      {"quotation without cue or name keeps the voice", R"("Indeed," he said.)", 1, 7, 7},
      {"narration without quote or name", "The sun set over the lake.", 57, 7, 0},
      {"empty line", "", 1, 7, 0},
      {"typographic quotes are not quotes", "\x93Indeed,\x94 he said.", 1, 7, 0},
  };
  for (const Case& c : cases) {
    ReaderState state;
    state.CurrentChapter = c.chapter;
    state.CurrentVoice = c.current_voice;
    EXPECT_EQ(DetectSpeakerVoice(c.line, state, kCues, SpeakerNames()), c.expected) << c.what;
  }
}

TEST(SpeakerDetection, NameListShape) {
  const auto names = SpeakerNames();
  ASSERT_EQ(names.size(), 39u);
  int immediate = 0;
  for (const SpeakerName& row : names) {
    immediate += row.kind == NameKind::Immediate;
    EXPECT_FALSE(row.name.empty());
  }
  EXPECT_EQ(immediate, 2);
  EXPECT_EQ(names.front().name, "Quillon");
  EXPECT_EQ(names.back().name, "Whortleberry");
}

}  // namespace
}  // namespace quillon
