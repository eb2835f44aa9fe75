// The speaker cue list's own invariants, computed from the rows, and the cases where the order of
// the runs and the rows' exclusions and chapter conditions decide a line's voice.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "text/reader_state.h"
#include "voices/speaker_cue.h"
#include "voices/speaker_detection.h"

namespace quillon {
namespace {

struct CueRun {
  std::int32_t voice;
  std::size_t rows;
  bool operator==(const CueRun&) const = default;
};

std::vector<CueRun> RunsOf(std::span<const SpeakerCue> cues) {
  std::vector<CueRun> runs;
  for (const SpeakerCue& row : cues) {
    if (runs.empty() || runs.back().voice != row.voice) {
      runs.push_back({row.voice, 0});
    }
    ++runs.back().rows;
  }
  return runs;
}

bool IsConditional(const SpeakerCue& row) {
  return !row.unless.empty() || row.chapter.kind != ChapterCondition::Kind::None;
}

std::set<std::string_view> CueTexts() {
  std::set<std::string_view> texts;
  for (const SpeakerCue& row : SpeakerCues()) {
    texts.insert(row.cue);
  }
  return texts;
}

std::set<std::string_view> ExclusionTexts() {
  std::set<std::string_view> texts;
  for (const SpeakerCue& row : SpeakerCues()) {
    texts.insert(row.unless.begin(), row.unless.end());
  }
  return texts;
}

bool HasText(std::string_view text, std::string_view needle) {
  return text.find(needle) != std::string_view::npos;
}

// The six cues that name public figures, with the voice each gives.
const std::pair<std::string_view, std::int32_t> kPublicFigureCues[] = {
    {"Not even Evel Knievel drives like that", 2},
    {"Who do you think you are, Amelia Earhart?", 2},
    {"Mark Twain piloted steamboats on this river", 1},
    {"As General Patton used to tell me", 1},
    {"Elvis has left the building", 22},
    {"This ain't the Ed Sullivan Show", 22},
};

TEST(SpeakerCueTable, RowCounts) {
  const auto cues = SpeakerCues();
  const auto conditional = std::count_if(cues.begin(), cues.end(), IsConditional);
  EXPECT_EQ(cues.size(), 427u);
  EXPECT_EQ(conditional, 14);
  EXPECT_EQ(static_cast<std::ptrdiff_t>(cues.size()) - conditional, 413);
}

TEST(SpeakerCueTable, RunsInOrderOnePerVoice) {
  const std::vector<CueRun> expected = {
      {2, 146}, {1, 205}, {18, 4}, {3, 5},  {19, 2}, {20, 2}, {4, 13}, {21, 2}, {22, 5}, {23, 4},
      {24, 3},  {7, 2},   {6, 1},  {27, 1}, {9, 5},  {11, 4}, {12, 1}, {29, 2}, {30, 3}, {31, 1},
      {8, 5},   {13, 1},  {10, 1}, {25, 3}, {26, 2}, {32, 2}, {33, 1}, {5, 1},
  };
  const std::vector<CueRun> runs = RunsOf(SpeakerCues());
  EXPECT_EQ(runs, expected);

  std::set<std::int32_t> voices;
  for (const CueRun& run : runs) {
    EXPECT_TRUE(voices.insert(run.voice).second) << "voice " << run.voice << " has two runs";
  }
  const std::set<std::int32_t> without_cues = {0, 14, 15, 16, 17, 28, 34, 35, 36};
  for (std::int32_t voice = 0; voice <= 36; ++voice) {
    EXPECT_NE(voices.contains(voice), without_cues.contains(voice)) << "voice " << voice;
  }
  EXPECT_EQ(voices.size(), 28u);
  EXPECT_TRUE(std::all_of(voices.begin(), voices.end(), [](int v) { return v >= 1 && v <= 36; }));
}

TEST(SpeakerCueTable, DistinctTexts) {
  const auto cues = CueTexts();
  const auto exclusions = ExclusionTexts();
  EXPECT_EQ(cues.size(), SpeakerCues().size()) << "a cue text occurs twice";

  std::vector<std::string_view> both;
  std::set_intersection(cues.begin(), cues.end(), exclusions.begin(), exclusions.end(),
                        std::back_inserter(both));
  std::set<std::string_view> all = cues;
  all.insert(exclusions.begin(), exclusions.end());
  EXPECT_EQ(both.size(), 17u);
  EXPECT_EQ(exclusions.size() - both.size(), 15u);
  EXPECT_EQ(all.size(), 442u);
  EXPECT_FALSE(all.contains(std::string_view{}));
}

TEST(SpeakerCueTable, ConditionalRows) {
  struct Expected {
    std::int32_t voice;
    std::string_view cue;
    std::size_t exclusions;
    ChapterCondition chapter;
  };
  const Expected expected[] = {
      {2, "Quillon.", 9, {}},
      {2, "Miss Mary?", 8, {}},
      {2, ", Quillon?", 2, {}},
      {2, "Who?", 1, {}},
      {2, "Never mind", 1, {}},
      {2, "I.", 1, {}},
      {2, ", Colonel", 1, {}},
      {2, "Have a nice day!", 1, {}},
      {2, "Yes.", 0, OnlyInChapter(54)},
      {1, "What?", 1, {}},
      {1, ", Mary", 4, {}},
      {1, "Mary,", 3, {}},
      {4, "you old rascal", 1, {}},
      {7, "Plumpo", 0, NotInChapter(29)},
  };
  std::vector<const SpeakerCue*> conditional;
  for (const SpeakerCue& row : SpeakerCues()) {
    if (IsConditional(row)) {
      conditional.push_back(&row);
    }
  }
  ASSERT_EQ(conditional.size(), std::size(expected));
  for (std::size_t i = 0; i < conditional.size(); ++i) {
    const SpeakerCue& row = *conditional[i];
    EXPECT_EQ(row.voice, expected[i].voice) << row.cue;
    EXPECT_EQ(row.cue, expected[i].cue);
    EXPECT_EQ(row.unless.size(), expected[i].exclusions) << row.cue;
    EXPECT_EQ(row.chapter.kind, expected[i].chapter.kind) << row.cue;
    EXPECT_EQ(row.chapter.chapter, expected[i].chapter.chapter) << row.cue;
    for (std::string_view text : row.unless) {
      EXPECT_FALSE(HasText(row.cue, text)) << row.cue << " can never match: it holds " << text;
    }
  }
}

// Texts whose edges are easy to lose in transcription.
TEST(SpeakerCueTable, EdgesOfTextsKept) {
  const auto cues = CueTexts();
  for (std::string_view cue : {"1. ", "Orifice, ", ", Quillon?", ", Colonel", ", Mary",
                               ", old salt", ", orifice", "So\x85 lay it on me",
                               "\x85"
                               "and then back to the punk part"}) {
    EXPECT_TRUE(cues.contains(cue)) << '[' << cue << ']';
  }
  const auto with = [&](auto predicate) {
    return std::count_if(cues.begin(), cues.end(), predicate);
  };
  EXPECT_EQ(with([](std::string_view c) { return HasText(c, "\x85"); }), 4);
  EXPECT_EQ(with([](std::string_view c) { return c.front() == '"' || c.back() == '"'; }), 7);
  EXPECT_EQ(with([](std::string_view c) { return HasText(c.substr(1, c.size() - 2), "\""); }), 0);

  // Forms of address: most cues that hold one companion's name are spoken by the other.
  std::int32_t quillon = 0, quillon_by_mary = 0, mary = 0, mary_by_quillon = 0;
  for (const SpeakerCue& row : SpeakerCues()) {
    if (HasText(row.cue, "Quillon")) {
      ++quillon;
      quillon_by_mary += row.voice == 2;
    }
    if (HasText(row.cue, "Mary")) {
      ++mary;
      mary_by_quillon += row.voice == 1;
    }
  }
  EXPECT_EQ(quillon, 25);
  EXPECT_EQ(quillon_by_mary, 22);
  EXPECT_EQ(mary, 16);
  EXPECT_EQ(mary_by_quillon, 12);
}

// A row is hidden behind an earlier row of another voice when its cue contains that row's cue: a
// line holding it matches the earlier row first unless an exclusion of the earlier row steps in.
TEST(SpeakerCueTable, OnlyPricelessColonelHidesBehindAnotherVoice) {
  const auto cues = SpeakerCues();
  std::vector<std::pair<std::string_view, std::string_view>> hidden;
  for (std::size_t later = 0; later < cues.size(); ++later) {
    for (std::size_t earlier = 0; earlier < later; ++earlier) {
      if (cues[earlier].voice != cues[later].voice && HasText(cues[later].cue, cues[earlier].cue)) {
        hidden.emplace_back(cues[later].cue, cues[earlier].cue);
      }
    }
  }
  const std::vector<std::pair<std::string_view, std::string_view>> expected = {
      {"Priceless, Colonel", ", Colonel"}};
  EXPECT_EQ(hidden, expected);
}

TEST(SpeakerCueTable, PublicFigureCuesStandAlone) {
  std::set<std::string_view> texts = CueTexts();
  const auto exclusions = ExclusionTexts();
  texts.insert(exclusions.begin(), exclusions.end());
  const auto rows = SpeakerCues();
  for (const auto& [cue, voice] : kPublicFigureCues) {
    const auto row = std::find_if(rows.begin(), rows.end(),
                                  [text = cue](const SpeakerCue& r) { return r.cue == text; });
    ASSERT_NE(row, rows.end()) << cue;
    EXPECT_EQ(row->voice, voice) << cue;
    EXPECT_FALSE(IsConditional(*row)) << cue;
    EXPECT_FALSE(exclusions.contains(cue)) << cue;
    EXPECT_FALSE(HasText(cue, "Quillon") || HasText(cue, "Mary")) << cue;
    for (std::string_view other : texts) {
      if (other != cue) {
        EXPECT_FALSE(HasText(cue, other) || HasText(other, cue)) << cue << " / " << other;
      }
    }
  }
}

// Lines decided by the order of the runs or by a row's exclusions and chapter condition, through
// the whole detector with the real lists. The current voice 30 has no cue or name in these lines,
// so a line that no row takes comes back as 30 (or 0 without a double quote).
struct DetectionCase {
  const char* what;
  std::string line;
  std::int32_t chapter;
  std::int32_t expected;
};

TEST(SpeakerCueTable, OrderExclusionsAndChapters) {
  const DetectionCase cases[] = {
      {"a capital I and a full stop", R"("It was I." He nodded.)", 1, 2},
      {"I.N.C. shuts out \"I.\"", R"("It was I.N.C. all along.")", 1, 30},
      {"Quillon. opens the quotation", R"("Quillon. Wake up.")", 1, 2},
      {"Quillon. with an exclusion", R"("Quillon. You see? It worked.")", 1, 30},
      {"Who? alone", R"("Who?")", 1, 2},
      {"Who? inside the eye-black question", R"("Who? Who? Who was eye black?")", 1, 30},
      {"numbered item", "1. Buy peanuts", 57, 1},
      {"1. without its space", "1.Buy peanuts", 57, 0},
      {"1. before a digit", "1.5 miles to go", 57, 0},
      {"you old rascal", R"("Why, you old rascal!")", 1, 4},
      {"you old rascal with Mutiny", R"("Mutiny, you old rascal!")", 1, 30},
      {"Yes. in chapter 54", R"("Yes." She nodded.)", 54, 2},
      {"Yes. in chapter 53", R"("Yes." She nodded.)", 53, 30},
      {"Plumpo outside chapter 29", R"("Plumpo, old boy," said the man.)", 30, 7},
      {"Plumpo in chapter 29: the name search", R"("Plumpo, old boy," said the man.)", 29, 17},
      {"voice 2's run before voice 1's", R"("Oh, Quillon, Aha!")", 1, 2},
      {"Quillon! before Aha!", R"("Quillon! Aha!")", 1, 2},
      {"a cue beats a name", R"("Aha!" Mary exclaimed.)", 1, 1},
      {"Priceless, Colonel takes , Colonel", R"("Priceless, Colonel," she said.)", 1, 2},
      {"lower-case priceless reaches voice 3", R"("Priceless, Colonel, simply priceless.")", 1, 3},
      {"Miss Mary? shut out by I did, voice 1's Miss Mary", R"("Miss Mary? I did it.")", 1, 1},
      {"What? with what's your game?", R"("What? So what's your game?")", 1, 8},
      {"ellipsis cue", "\"So\x85 lay it on me.\"", 1, 1},
      {"cue ending in a double quote", R"("Why would I?" she asked.)", 1, 2},
      {"that cue without its closing quote", R"("Why would I?, she asked.)", 1, 30},
  };
  for (const auto& c : cases) {
    ReaderState state;
    state.CurrentChapter = c.chapter;
    state.CurrentVoice = 30;
    EXPECT_EQ(DetectSpeakerVoice(c.line, state), c.expected) << c.what << ": " << c.line;
  }
}

TEST(SpeakerCueTable, PublicFigureCuesGiveTheirVoices) {
  for (const auto& [cue, voice] : kPublicFigureCues) {
    ReaderState state;
    state.CurrentVoice = 30;
    const std::string line = "\"" + std::string(cue) + "\" came the reply.";
    EXPECT_EQ(DetectSpeakerVoice(line, state), voice) << line;
  }
}

}  // namespace
}  // namespace quillon
