// Reads the whole novel as "&Read" does from the top, with a recording voice, and checks that the
// book and the engine's tables fit each other: every annotated paragraph is spoken in its speaker's
// voice, every voice is heard, nearly every cue decides a line and nearly every pronunciation rule
// applies, every chapter is reached, and the reading ends at the end marker.
//
// The figures come from quillon-tool coverage's library: the engine itself reports which row
// decided each line and which rules applied to each sentence.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "document/document.h"
#include "pronunciation/pronunciation_rule.h"
#include "text/encoding.h"
#include "text/text_primitives.h"
#include "tools/quillon-tool/coverage.h"
#include "tools/quillon-tool/explained_reading.h"
#include "voices/speaker_cue.h"

namespace quillon {
namespace {

constexpr int kVoices = 37;
constexpr int kChapters = 68;

struct Annotation {
  std::int64_t paragraph;
  std::int32_t voice;
  std::string where;
};

std::vector<Annotation> ReadAnnotations(const std::string& path) {
  std::ifstream in(path);
  std::vector<Annotation> rows;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#')
      continue;
    std::istringstream fields(line);
    Annotation row;
    fields >> row.paragraph >> row.voice >> row.where;
    rows.push_back(row);
  }
  return rows;
}

std::string NovelText() {
  return LoadDocument(QUILLON_BINARY_DIR "/bin/TheBlitheWanderingsOfQuillonFenwright.rtf")
      .ViewText();
}

const tool::Coverage& CoverageOnce() {
  static const tool::Coverage coverage = [] {
    tool::Coverage measured = tool::MeasureCoverage(NovelText());
    tool::PrintCoverageSummary(measured, std::cout);
    return measured;
  }();
  return coverage;
}

TEST(NovelCoverage, TheReadingEndsAtTheEndMarker) {
  const auto& coverage = CoverageOnce();
  EXPECT_EQ(coverage.end, ReadingEnd::EndMarker);
  ASSERT_FALSE(coverage.lines.empty());
  EXPECT_TRUE(Contains("~~~", coverage.lines.back()));
}

// What is spoken, sentence by sentence.
class Spoken final : public tool::ReadingListener {
 public:
  void OnSentence(const tool::ReadLine& line, const tool::SpokenSentence& sentence) override {
    sentences.push_back(std::to_string(line.number) + " " + std::to_string(sentence.chapter) + " " +
                        std::to_string(sentence.voice) + " " + sentence.text);
  }
  std::vector<std::string> sentences;
};

// The engine told what it decided without changing what it decides.
TEST(NovelCoverage, AnExplainedReadingSpeaksWhatAPlainOneSpeaks) {
  Spoken plain, explained;
  tool::ReadDocument(NovelText(), {}, false, plain);
  tool::ReadDocument(NovelText(), {}, true, explained);
  ASSERT_GT(plain.sentences.size(), 2000u);
  ASSERT_EQ(explained.sentences.size(), plain.sentences.size());
  for (std::size_t i = 0; i < plain.sentences.size(); ++i) {
    ASSERT_EQ(explained.sentences[i], plain.sentences[i]) << "sentence " << i;
  }
}

TEST(NovelCoverage, EveryAnnotatedParagraphHasItsSpeakersVoice) {
  const auto& coverage = CoverageOnce();
  const auto annotations = ReadAnnotations(QUILLON_BINARY_DIR "/bin/novel-speakers.tsv");
  ASSERT_GT(annotations.size(), 500u);
  int wrong = 0;
  for (const auto& a : annotations) {
    const auto paragraph = static_cast<std::size_t>(a.paragraph);
    ASSERT_LT(paragraph, coverage.line_voices.size()) << a.where;
    const auto got = coverage.line_voices[paragraph];
    if (got != a.voice) {
      ++wrong;
      ADD_FAILURE() << a.where << ": voice " << got << ", meant " << a.voice << ": "
                    << Windows1252ToUtf8(coverage.lines[paragraph]);
    }
  }
  std::cout << "annotated paragraphs: " << annotations.size() << ", in another voice: " << wrong
            << '\n';
}

TEST(NovelCoverage, EveryVoiceSpeaksAtLeastOneSentence) {
  const auto& coverage = CoverageOnce();
  std::cout << "sentences per voice:";
  for (int v = 0; v < kVoices; ++v) {
    const auto found = coverage.voice_sentences.find(v);
    const int sentences = found == coverage.voice_sentences.end() ? 0 : found->second;
    EXPECT_GT(sentences, 0) << "voice " << v;
    std::cout << ' ' << v << ':' << sentences;
  }
  std::cout << '\n';
}

// The share of rows used, with the unused rows listed.
template <typename Row, typename Describe>
double UsedShare(const std::vector<int>& uses, std::span<const Row> rows, const char* what,
                 Describe describe) {
  std::size_t used = 0;
  std::ostringstream idle;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (uses[i] > 0) {
      ++used;
    } else {
      idle << "\n  row " << i + 1 << ": " << describe(rows[i]);
    }
  }
  const double share = 100.0 * static_cast<double>(used) / static_cast<double>(rows.size());
  std::cout << what << ": " << used << " of " << rows.size() << " (" << std::fixed
            << std::setprecision(1) << share << " %)" << idle.str() << '\n';
  return share;
}

TEST(NovelCoverage, NearlyEveryCueDecidesALine) {
  const auto& coverage = CoverageOnce();
  const auto cues = SpeakerCues();
  ASSERT_EQ(coverage.cue_uses.size(), cues.size());
  EXPECT_GE(UsedShare(coverage.cue_uses, cues, "cue rows deciding a line",
                      [](const SpeakerCue& cue) {
                        return "(voice " + std::to_string(cue.voice) + ") " +
                               Windows1252ToUtf8(cue.cue);
                      }),
            95.0);
}

TEST(NovelCoverage, NearlyEveryPronunciationRuleApplies) {
  const auto& coverage = CoverageOnce();
  const auto rules = PronunciationRules();
  ASSERT_EQ(coverage.rule_uses.size(), rules.size());
  EXPECT_GE(UsedShare(coverage.rule_uses, rules, "pronunciation rows applying",
                      [](const PronunciationRule& rule) {
                        return rule.triggers.empty() ? std::string("(flag row)")
                                                     : Windows1252ToUtf8(rule.triggers.items[0]);
                      }),
            90.0);
}

TEST(NovelCoverage, EveryChapterIsReached) {
  const auto& coverage = CoverageOnce();
  for (int chapter = 1; chapter <= kChapters; ++chapter) {
    EXPECT_TRUE(coverage.chapters.contains(chapter)) << "chapter " << chapter;
  }
  std::cout << "lines read: " << coverage.lines.size()
            << "; sentences spoken: " << coverage.sentences << '\n';
}

}  // namespace
}  // namespace quillon
