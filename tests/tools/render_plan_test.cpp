// The render plan: a reading started where a planned file starts, in the state the plan gives,
// speaks what one reading of the whole novel speaks there, so chapters made apart are one reading.
#include "tools/quillon-tool/render_plan.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "document/document.h"
#include "tools/quillon-tool/explained_reading.h"

namespace quillon::tool {
namespace {

struct Spoken {
  std::int64_t line_start;
  std::int32_t chapter;
  std::int32_t voice;
  std::string text;
  bool operator==(const Spoken&) const = default;
};

// The sentences of a reading from start, up to the line that starts at `until`.
class Collector final : public ReadingListener {
 public:
  explicit Collector(std::int64_t until) : until_(until) {}
  void OnSentence(const ReadLine& line, const SpokenSentence& sentence) override {
    spoken.push_back({line.start, sentence.chapter, sentence.voice, sentence.text});
  }
  void OnLineDone(const ReadLine& line) override {
    next_line_ = line.start + static_cast<std::int64_t>(line.text.size());
  }
  bool WantsMoreLines() const override { return next_line_ < until_; }
  std::vector<Spoken> spoken;

 private:
  std::int64_t until_;
  std::int64_t next_line_ = 0;
};

TEST(RenderPlan, EachChapterReadAloneIsTheChapterOfOneReading) {
  const std::string text =
      LoadDocument(QUILLON_BINARY_DIR "/bin/TheBlitheWanderingsOfQuillonFenwright.rtf").ViewText();
  const RenderPlan plan = PlanRender(text, 0);
  ASSERT_EQ(plan.files.size(), 69u);  // the title page and 68 chapters
  EXPECT_EQ(plan.files.front().label, "opening");
  EXPECT_EQ(plan.files[1].label, "chapter-01");
  EXPECT_EQ(plan.files.back().label, "chapter-68");
  EXPECT_GT(plan.text_end, plan.files.back().view_start);

  Collector whole(std::numeric_limits<std::int64_t>::max());
  ReadDocument(text, {}, false, whole);
  std::size_t at = 0;  // in the whole reading
  for (std::size_t k = 0; k < plan.files.size(); ++k) {
    const PlannedFile& file = plan.files[k];
    EXPECT_EQ(file.index, k + 1);
    const std::int64_t end = k + 1 < plan.files.size() ? plan.files[k + 1].view_start
                                                       : std::numeric_limits<std::int64_t>::max();
    Collector alone(end);
    ReadDocument(text,
                 {file.view_start, file.state.CurrentChapter, file.state.CurrentVoice,
                  file.state.FirstOccurrenceOfHRInK12HasBeenRead},
                 false, alone);
    std::vector<Spoken> expected;
    for (; at < whole.spoken.size() && whole.spoken[at].line_start < end; ++at) {
      expected.push_back(whole.spoken[at]);
    }
    ASSERT_FALSE(alone.spoken.empty()) << file.label;
    EXPECT_EQ(alone.spoken.front().line_start, file.view_start) << file.label;
    // The reading alone may go on past its chapter; what it speaks up to there is the same.
    alone.spoken.resize(std::min(alone.spoken.size(), expected.size()));
    EXPECT_TRUE(alone.spoken == expected) << file.label;
  }
  EXPECT_EQ(at, whole.spoken.size());
}

TEST(RenderPlan, FilesBeginWithTheFirstSentenceAfterAHeading) {
  const char* two = "Before.\r\nCHAPTER 1\r\nOne.\r\nCHAPTER 2\r\nTwo.\r\n~~~\r\n";
  // clang-format off
  const struct { const char* text; std::int64_t start; std::vector<std::string> labels; } cases[] = {
    {two,                                    0,  {"opening", "chapter-01", "chapter-02"}},
    {two,                                    20, {"opening", "chapter-02"}},  // from mid-chapter
    {two,                                    26, {"chapter-02"}},             // from a heading
    {"\r\n\r\nCHAPTER 1\r\nOne.\r\n~~~\r\n", 0,  {"chapter-01"}},             // nothing before
    {"",                                     0,  {}},
  };
  // clang-format on
  for (const auto& c : cases) {
    const RenderPlan plan = PlanRender(c.text, c.start);
    std::vector<std::string> labels;
    for (const PlannedFile& file : plan.files) {
      labels.push_back(file.label);
    }
    EXPECT_EQ(labels, c.labels) << c.text;
  }
}

}  // namespace
}  // namespace quillon::tool
