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

using By = SpeakerDecision::By;

struct Case {
  const char* what;
  std::string line;
  std::int32_t chapter;
  std::int32_t current_voice;
  std::int32_t expected;
  By by;
  std::size_t row;             // of kCues or of the name list, 1-based; 0 for no row
  std::string narration = {};  // the text the names were searched in, when they were
};

TEST(SpeakerDetection, CuesNamesAndFallback) {
  const Case cases[] = {
      {"cue beats name", R"("Aha!" said Mary.)", 1, 0, 1, By::Cue, 4},
      {"earlier run wins", R"("Oh, Quillon. Aha!")", 1, 0, 2, By::Cue, 1},
      {"chapter condition equal", R"("Yes." she said.)", 54, 9, 2, By::Cue, 2},
      {"chapter condition unmet falls back", R"("Yes." she said.)", 53, 9, 9, By::Previous, 0,
       " she said."},
      {"exclusion", R"("I.N.C. is I." she said.)", 1, 5, 5, By::Previous, 0, " she said."},
      {"no exclusion", R"("It was I." she said.)", 1, 5, 2, By::Cue, 3},
      {"exclusion text", R"("Mutiny, you old rascal!" he roared.)", 1, 3, 3, By::Previous, 0,
       " he roared."},
      {"not in chapter 29", R"("Sit, Plumpo," said the man.)", 30, 0, 7, By::Cue, 5},
      {"chapter 29 skips the cue", R"("Sit, Plumpo," said the man.)", 29, 0, 17, By::Name, 6,
       " said the man."},
      {"earliest name: Bob first", R"("Look there," said Bob to Mary.)", 1, 0, 4, By::Name, 11,
       " said Bob to Mary."},
      {"earliest name: Mary first", R"("Look there," said Mary to Bob.)", 1, 0, 2, By::Name, 2,
       " said Mary to Bob."},
      {"immediate name", R"("Look there," said Mary to Marvin.)", 1, 0, 17, By::Name, 7,
       " said Mary to Marvin."},
      {"immediate description", R"("No," said Quillon. After a stunned silence, "Fine.")", 1, 0, 16,
       By::Name, 4, R"( said Quillon. After a stunned silence, "Fine.")"},
      {"narration before the quote, inside a word", R"(Halting, he said, "No way.")", 1, 0, 35,
       By::Name, 34, R"(Halting, he said, ")"},
      {"unclosed quotation is searched", R"("Wilford, come here and)", 1, 0, 23, By::Name, 14,
       "Wilford, come here and"},
      {"second quotation after narration", R"("Hi," said the man. "Mary, hello.")", 1, 0, 17,
       By::Name, 6, R"( said the man. "Mary, hello.")"},
      {"quotation without cue or name keeps the voice", R"("Indeed," he said.)", 1, 7, 7,
       By::Previous, 0, " he said."},
      {"narration without quote or name", "The sun set over the lake.", 57, 7, 0, By::Narrator, 0,
       "The sun set over the lake."},
      {"empty line", "", 1, 7, 0, By::Narrator, 0},
      {"typographic quotes are not quotes", "\x93Indeed,\x94 he said.", 1, 7, 0, By::Narrator, 0,
       "\x93Indeed,\x94 he said."},
  };
  for (const Case& c : cases) {
    ReaderState state;
    state.CurrentChapter = c.chapter;
    state.CurrentVoice = c.current_voice;
    EXPECT_EQ(DetectSpeakerVoice(c.line, state, kCues, SpeakerNames()), c.expected) << c.what;

    // Asked how, it decides the same and says which row or fallback decided.
    SpeakerDecision decision;
    decision.narration = "left over from an earlier line";
    EXPECT_EQ(DetectSpeakerVoice(c.line, state, kCues, SpeakerNames(), &decision), c.expected)
        << c.what;
    EXPECT_EQ(decision.by, c.by) << c.what;
    EXPECT_EQ(decision.row, c.row) << c.what;
    EXPECT_EQ(decision.voice, c.expected) << c.what;
    EXPECT_EQ(decision.narration, c.narration) << c.what;
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
