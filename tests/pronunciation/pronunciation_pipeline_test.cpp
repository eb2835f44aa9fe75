// The pipeline's mechanics over a small table of the real table's row shapes.
#include "pronunciation/pronunciation_pipeline.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

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
  {9,  {"Oh, no!"}, {}, {},          {{{"oh no", "<e>oh no</e>"}}}},
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

// What the piece of the result (found after `after`) stands for in the sentence; "-" for nothing.
std::string PieceFrom(const TextMap& map, std::string_view sentence, std::string_view result,
                      std::string_view after, std::string_view piece) {
  const std::size_t at = result.find(std::string(after) + std::string(piece));
  if (at == std::string_view::npos) {
    return "<not in result>";
  }
  const auto source = map.Source({at + after.size(), piece.size()});
  return source ? std::string(sentence.substr(source->start, source->length)) : "-";
}

TEST(PronunciationPipeline, TheMapFollowsEveryRewriteAndChangesNoResult) {
  const std::string hit = std::string(38, 'x') + "HR H.R. ye";
  struct Case {
    const char* what;
    std::string sentence;
    std::int32_t chapter;
    std::string after, piece, from;
  } const cases[] = {
      {"a later row over an earlier rewrite", "cotton in Miami", 29, "cot ton in ", "me", "Mia"},
      {"the text between rewrites is copied", "cotton in Miami", 29, "cot ton ", "in", "in"},
      {"a rewrite into two words", "cotton in Miami", 29, "cot ", "ton", "cotton"},
      {"cascade: the kept alternative", "just you I.", 1, "just ", "C", "you I"},
      {"cascade: after it", "just you I.", 1, "C", ".", "."},
      {"only markup added", "Oh, no! oh no", 1, "<e>", "oh", "oh"},
      {"the markup added", "Oh, no! oh no", 1, "", "<e>", "-"},
      {"the pause replacing --", "a--b", 1, "a", "<silence/>", "-"},
      {"the flag row's rewrite", hit, 5, "HR ", "H R", "H.R."},
      {"the flag row setting the flag rewrites nothing", hit, 12, "HR ", "H.R.", "H.R."},
      {"no guard holds", "nothing here", 1, "no", "thing", "thing"},
  };
  for (const Case& c : cases) {
    ReaderState plain_state, mapped_state;
    plain_state.CurrentChapter = mapped_state.CurrentChapter = c.chapter;
    const std::string plain = Pronounce(c.sentence, plain_state);
    TextMap map;
    const std::string mapped =
        ApplyPronunciationRules(c.sentence, mapped_state, kRules, nullptr, &map);
    EXPECT_EQ(mapped, plain) << c.what;
    EXPECT_EQ(mapped_state.CurrentChapter, plain_state.CurrentChapter) << c.what;
    EXPECT_EQ(mapped_state.FirstOccurrenceOfHRInK12HasBeenRead,
              plain_state.FirstOccurrenceOfHRInK12HasBeenRead)
        << c.what;
    EXPECT_EQ(map.InputLength(), c.sentence.size()) << c.what;
    EXPECT_EQ(map.OutputLength(), mapped.size()) << c.what;
    EXPECT_EQ(PieceFrom(map, c.sentence, mapped, c.after, c.piece), c.from)
        << c.what << ": " << mapped;
  }
}

// What an observer was told about one rule.
struct Told {
  int row;
  std::string before;
  std::string after;
  int alternative = 1;
  FlagRowOutcome flag = FlagRowOutcome::None;

  bool operator==(const Told&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Told& told) {
  return out << "{row " << told.row << ", \"" << told.before << "\" -> \"" << told.after
             << "\", alternative " << told.alternative << ", flag " << static_cast<int>(told.flag)
             << "}";
}

class Recorder final : public RuleObserver {
 public:
  void OnRuleApplied(const RuleApplication& application) override {
    told.push_back({application.rule.row, std::string(application.before),
                    std::string(application.after), application.alternative, application.flag});
  }
  std::vector<Told> told;
};

TEST(PronunciationPipeline, TheObserverIsToldEveryRowWhoseGuardHeld) {
  const std::string hit = std::string(38, 'x') + "HR H.R. ye";
  const std::string hit_rewritten = std::string(38, 'x') + "HR H R ye";
  using F = FlagRowOutcome;
  struct Case {
    const char* what;
    std::string sentence;
    std::int32_t chapter;
    bool flag;
    std::vector<Told> expected;
  } const cases[] = {
      {"no guard holds", "nothing here", 1, false, {}},
      {"each row sees what the earlier left",
       "a--b cr--",
       1,
       false,
       {{5, "a--b cr--", "a--b kruh "}}},
      {"chapter effect first, then the rewrite; a later row in the new chapter",
       "cotton in Miami",
       29,
       false,
       {{6, "cotton in Miami", "cot ton in Miami"}, {3, "cot ton in Miami", "cot ton in me uhmi"}}},
      {"guard holds, search absent: before equals after",
       "Oh, no!",
       1,
       false,
       {{9, "Oh, no!", "Oh, no!"}}},
      {"cascade's first alternative",
       "you and Ivy or you I",
       1,
       false,
       {{8, "you and Ivy or you I", "Avy or you I", 1}}},
      {"cascade's third alternative", "just you I", 1, false, {{8, "just you I", "just C", 3}}},
      {"mode first",
       "Sound the alarm",
       1,
       false,
       {{2, "Sound the alarm", "<v>Sound</v> the alarm"}}},
      {"flag row sets the flag in chapter 12", hit, 12, false, {{7, hit, hit, 1, F::SetFlag}}},
      {"flag row rewrites once the flag is set",
       hit,
       12,
       true,
       {{7, hit, hit_rewritten, 1, F::Rewrote}}},
      {"flag row in chapter 13", hit, 13, false, {{7, hit, hit, 1, F::Ignored}}},
      {"flag row elsewhere", hit, 5, false, {{7, hit, hit_rewritten, 1, F::Rewrote}}},
      {"flag row needs its length", hit + "!", 5, false, {}},
  };
  for (const Case& c : cases) {
    ReaderState with_observer;
    with_observer.CurrentChapter = c.chapter;
    with_observer.FirstOccurrenceOfHRInK12HasBeenRead = c.flag;
    ReaderState without = with_observer;
    Recorder recorder;
    const std::string result =
        ApplyPronunciationRules(c.sentence, with_observer, kRules, &recorder);
    EXPECT_EQ(recorder.told, c.expected) << c.what;
    // Observed or not, the pipeline does the same.
    EXPECT_EQ(result, ApplyPronunciationRules(c.sentence, without, kRules)) << c.what;
    EXPECT_EQ(with_observer.CurrentChapter, without.CurrentChapter) << c.what;
    EXPECT_EQ(with_observer.FirstOccurrenceOfHRInK12HasBeenRead,
              without.FirstOccurrenceOfHRInK12HasBeenRead)
        << c.what;
    if (!c.expected.empty()) {
      EXPECT_EQ(c.expected.back().after, result) << c.what;
    }
  }
}

}  // namespace
}  // namespace quillon
