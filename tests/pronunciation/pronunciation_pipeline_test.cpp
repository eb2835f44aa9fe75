// The pipeline's mechanics over a small table of the real table's row shapes.
#include "pronunciation/pronunciation_pipeline.h"

#include <gtest/gtest.h>

#include <string>

namespace quillon {
namespace {

// clang-format off
const PronunciationRule kRules[] = {
  {6,  {"cotton"}, {},  {},          {{{"cotton", "cot ton"}}}, ReplaceMode::All,
       RuleEffect::SetsChapter99},
  {1,  {"--"},  "cr--", {},          {{{"--", "<silence/>"}}}},
  {2,  {"Sound the alarm"}, {}, {},  {{{"Sound", "<v>Sound</v>"}}}, ReplaceMode::First},
  {3,  {"Mia"}, {},     {29},        {{{"Mia", "me uh"}}}},
  {4,  {"Miami"}, {},   {},          {{{"Miami", "my ammy"}}}},
  {5,  {"cr--"}, {},    {},          {{{"cr--", "kruh "}}}},
  {7,  {},      {},     {},          {{{"H.R.", "H R"}}}, ReplaceMode::All, RuleEffect::FlagRow},
  {8,  {"you and I", "you or I", "you I"}, {}, {},
       {{{"you and I", "A"}, {"you or I", "B"}, {"you I", "C"}}}},
};
// clang-format on

std::string Pronounce(std::string_view sentence, ReaderState& state) {
  return ApplyPronunciationRules(sentence, state, kRules);
}

TEST(PronunciationPipeline, GuardsAndOrder) {
  struct Case {
    const char* what;
    std::string sentence;
    std::int32_t chapter;
    std::string expected;
  } const cases[] = {
      {"empty", "", 1, ""},
      {"excluded text protects a later row", "a--b cr--", 1, "a--b kruh "},
      {"plain", "a--b", 1, "a<silence/>b"},
      {"mode first", "Sound the alarm. Sound!", 1, "<v>Sound</v> the alarm. Sound!"},
      {"an earlier rewrite hides a later trigger", "Miami", 1, "me uhmi"},
      {"excluded chapter", "Miami", 29, "my ammy"},
      {"cascade: first alternative that changes", "you or I and you I", 1, "B and you I"},
      {"cascade: third alternative", "just you I", 1, "just C"},
      {"cascade: trigger without search", "you and Ivy", 1,
       "A"
       "vy"},
  };
  for (const auto& c : cases) {
    ReaderState state;
    state.CurrentChapter = c.chapter;
    EXPECT_EQ(Pronounce(c.sentence, state), c.expected) << c.what;
    EXPECT_EQ(state.CurrentChapter, c.chapter) << c.what;
  }
}

TEST(PronunciationPipeline, ChapterEffectReachesLaterRowsAndSentences) {
  ReaderState state;
  state.CurrentChapter = 29;
  EXPECT_EQ(Pronounce("cotton in Miami", state), "cot ton in me uhmi");
  EXPECT_EQ(state.CurrentChapter, 99);
  EXPECT_EQ(Pronounce("Miami", state), "me uhmi");
}

TEST(PronunciationPipeline, FlagRow) {
  // 48 characters with "HR" at position 39.
  const std::string hit = std::string(38, 'x') + "HR H.R. ye";  // 48, HR at 39
  ASSERT_EQ(hit.size(), 48u);
  const std::string rewritten = std::string(38, 'x') + "HR H R ye";

  ReaderState state;
  state.CurrentChapter = 12;
  EXPECT_EQ(Pronounce(hit, state), hit) << "the first one in chapter 12 only sets the flag";
  EXPECT_TRUE(state.FirstOccurrenceOfHRInK12HasBeenRead);
  EXPECT_EQ(Pronounce(hit, state), rewritten) << "the next one is rewritten";

  ReaderState thirteen;
  thirteen.CurrentChapter = 13;
  EXPECT_EQ(Pronounce(hit, thirteen), hit);
  EXPECT_EQ(Pronounce(hit, thirteen), hit);
  EXPECT_FALSE(thirteen.FirstOccurrenceOfHRInK12HasBeenRead);

  ReaderState five;
  five.CurrentChapter = 5;
  EXPECT_EQ(Pronounce(hit, five), rewritten);
  EXPECT_FALSE(five.FirstOccurrenceOfHRInK12HasBeenRead);

  ReaderState other;
  other.CurrentChapter = 5;
  const std::string longer = hit + "!";
  EXPECT_EQ(Pronounce(longer, other), longer) << "length must be exactly 48";
}

}  // namespace
}  // namespace quillon
