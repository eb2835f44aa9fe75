// quillon-tool script --explain over a generated document: the sample and a few hundred lines made
// from the cue, name and rule tables' own texts. Every "speaker" entry is checked against the table
// it names and every "rules" chain is walked row by row from the framed sentence to the text
// spoken. The expectations are worked out from the tables, apart from whether one cue row matches a
// line (the engine's CueMatches, tested with speaker detection).
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "pronunciation/pronunciation_rule.h"
#include "reading/reading_loop.h"
#include "tests/tools/tool_runner.h"
#include "text/encoding.h"
#include "text/text_primitives.h"
#include "tools/quillon-tool/document.h"
#include "tools/quillon-tool/script.h"
#include "voices/speaker_cue.h"
#include "voices/speaker_detection.h"
#include "voices/speaker_name.h"
#include "voices/voice_profiles.h"

namespace quillon {
namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;

using tool::testing::ReadAll;

// A text that can stand in a generated line without ending the reading, starting a chapter or
// breaking the line.
bool Usable(std::string_view text) {
  return !text.empty() && !Contains("~~~", text) && !Contains("CHAPTER", text) &&
         !Contains("\r", text) && !Contains("\n", text);
}

bool IsChapter99Row(const PronunciationRule& rule) {
  return rule.effect == RuleEffect::SetsChapter99;
}

// The sample without its end marker, then chapters of lines built from the tables, then the end
// marker. Cues are spread over chapters that their conditions and the rules' excluded chapters
// care about.
std::string GeneratedDocument() {
  std::string sample = ReadAll(fs::path(QUILLON_SOURCE_DIR) / "novel" / "sample.txt");
  sample.erase(sample.find("~~~"));
  std::ostringstream doc;
  doc << sample;

  const std::int32_t chapters[] = {1, 12, 13, 29, 35, 54, 57, 30};
  const std::size_t kChapters = std::size(chapters);
  std::vector<std::vector<std::string>> lines(kChapters);

  const auto cues = SpeakerCues();
  for (std::size_t i = 0; i < cues.size(); ++i) {
    if (Usable(cues[i].cue)) {
      lines[i % kChapters].push_back("\"" + std::string(cues[i].cue) + "\" came the answer.");
    }
  }
  const auto names = SpeakerNames();
  for (std::size_t i = 0; i < names.size(); ++i) {
    const std::string name(names[i].name);
    lines[i % kChapters].push_back("\"Well, then,\" said " + name + " at last.");
    lines[(i + 1) % kChapters].push_back(name + " looked up. \"So be it.\"");
    lines[(i + 2) % kChapters].push_back("Then " + name + " and nobody else came in.");
  }
  // Two rule triggers to a narration line, so a sentence sees several rows.
  const auto rules = PronunciationRules();
  std::string pending;
  for (std::size_t i = 0; i < rules.size(); ++i) {
    if (rules[i].triggers.empty() || IsChapter99Row(rules[i])) {
      continue;
    }
    const std::string_view trigger = rules[i].triggers.items[i % rules[i].triggers.size()];
    if (!Usable(trigger)) {
      continue;
    }
    if (pending.empty()) {
      pending = "He said it: " + std::string(trigger);
    } else {
      lines[i % kChapters].push_back(pending + " and " + std::string(trigger) + " too.");
      pending.clear();
    }
  }
  for (std::size_t c = 0; c < kChapters; ++c) {
    lines[c].push_back("\"Hmm, hmm,\" came the answer, and then, \"So it goes.\"");
    lines[c].push_back("1. Police SWAT teams will come. \"Go on,\" he said. Then it was over.");
    lines[c].push_back("HR");  // framed by the narrator: 48 characters, "HR" at 39
    lines[c].push_back("\"HR\" he said.");
  }
  // The three-way row's first and second alternatives (the trigger list above gives the third).
  lines[2].push_back("It is important to know, and most important, to say so.");
  lines[3].push_back("Most important, he said so.");
  lines[0].push_back(std::string(rules[123].triggers.items[0]) +
                     " was the song. \"Mia?\" she said.");

  for (std::size_t c = 0; c < kChapters; ++c) {
    doc << "CHAPTER " << chapters[c] << "\r\n\r\n";
    for (const std::string& line : lines[c]) {
      doc << line << "\r\n";
    }
    doc << "\r\n";
  }
  doc << "~~~\r\n";
  return doc.str();
}

// 0 when no cue row matches, else the first matching row (1-based).
std::size_t FirstCueRow(std::string_view line, std::int32_t chapter) {
  const auto cues = SpeakerCues();
  for (std::size_t i = 0; i < cues.size(); ++i) {
    if (CueMatches(cues[i], line, chapter)) {
      return i + 1;
    }
  }
  return 0;
}

// For a line without a double quote, where the whole line is searched: the name row (1-based)
// that decides, or 0.
std::size_t NameRowForNarration(std::string_view narration) {
  const auto names = SpeakerNames();
  std::size_t best = 0;
  std::size_t best_at = 0;
  for (std::size_t i = 0; i < names.size(); ++i) {
    const std::size_t at = Position(names[i].name, narration);
    if (at == 0) {
      continue;
    }
    if (names[i].kind == NameKind::Immediate) {
      return i + 1;
    }
    if (best == 0 || at < best_at) {
      best = i + 1;
      best_at = at;
    }
  }
  return best;
}

bool RuleGuardHolds(const PronunciationRule& rule, std::string_view text, std::int32_t chapter) {
  if (rule.effect == RuleEffect::FlagRow) {
    return Position("HR", text) == 39 && text.size() == 48;
  }
  const auto triggers = rule.triggers.texts();
  if (std::none_of(triggers.begin(), triggers.end(),
                   [&](std::string_view t) { return Contains(t, text); })) {
    return false;
  }
  if (!rule.unless.empty() && Contains(rule.unless, text)) {
    return false;
  }
  return chapter == 0 || std::find(rule.not_chapters.begin(), rule.not_chapters.end(), chapter) ==
                             rule.not_chapters.end();
}

// What the row makes of before; flag is the chapter 12 flag, outcome the flag row's word.
std::string Rewritten(const PronunciationRule& rule, const std::string& before,
                      std::int32_t chapter, bool& flag, std::string& outcome, int& alternative) {
  alternative = 1;
  if (rule.effect == RuleEffect::FlagRow) {
    if (chapter == 13) {
      outcome = "ignored";
      return before;
    }
    if (chapter == 12 && !flag) {
      flag = true;
      outcome = "set";
      return before;
    }
    outcome = "rewrote";
  }
  std::string after = before;
  for (std::size_t i = 0; i < rule.rewrites.size() && !rule.rewrites[i].search.empty(); ++i) {
    alternative = static_cast<int>(i) + 1;
    after = ReplaceText(before, rule.rewrites[i].search, rule.rewrites[i].replacement, rule.mode);
    if (after != before) {
      break;
    }
  }
  return after;
}

std::string Text(const Json& value) {
  return Utf8ToWindows1252(value.get<std::string>());
}

// The line of the view text that starts at position, line feed included.
std::string LineAt(const std::string& view_text, std::int64_t position) {
  const auto start = static_cast<std::size_t>(position);
  const std::size_t feed = view_text.find('\n', start);
  return view_text.substr(start, feed == std::string::npos ? std::string::npos : feed - start + 1);
}

struct Seen {
  std::set<std::string> speaker_kinds;
  std::set<std::string> flag_outcomes;
  std::set<int> alternatives;
  int passages = 0;
  int chapter_99 = 0;
  int sentences = 0;
  int rules = 0;
};

class ExplainedScript : public ::testing::Test {
 protected:
  void SetUp() override {
    // One file per test and process: CTest runs the tests of this fixture side by side.
    path = fs::temp_directory_path() /
           ("quillon-script-explain-" +
            std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "-" +
            std::to_string(::getpid()) + ".txt");
    std::ofstream(path, std::ios::binary) << GeneratedDocument();
    view_text = tool::LoadDocumentText(path.string());
  }
  void TearDown() override { fs::remove(path); }

  std::vector<Json> Explain() {
    std::ostringstream out, err;
    EXPECT_EQ(tool::RunScriptCommand({.document = path.string(), .explain = true}, out, err), 0);
    std::vector<Json> objects;
    std::istringstream lines(out.str());
    for (std::string line; std::getline(lines, line);) {
      objects.push_back(Json::parse(line));
    }
    return objects;
  }

  fs::path path;
  std::string view_text;
};

TEST_F(ExplainedScript, EverySpeakerEntryAgreesWithItsTable) {
  const std::vector<Json> objects = Explain();
  ASSERT_GT(objects.size(), 800u);
  ASSERT_EQ(objects.back(), Json({{"end", "marker"}, {"line", view_text.find("~~~")}}));
  const auto cues = SpeakerCues();
  const auto names = SpeakerNames();

  Seen seen;
  std::int32_t voice_before_line = 0;  // the current voice when the line was fetched
  std::int32_t last_voice = 0;
  std::int32_t last_chapter = 0;
  std::int64_t current_line = -1;
  std::int32_t chapter = 0;  // the chapter the line's voice was decided in
  for (const Json& object : objects) {
    if (!object.contains("speaker")) {
      continue;
    }
    ++seen.sentences;
    const std::int64_t start = object["line"];
    const std::string line = LineAt(view_text, start);
    SCOPED_TRACE(Windows1252ToUtf8(line));
    if (start != current_line) {
      current_line = start;
      voice_before_line = last_voice;
      // The row that sets chapter 99 may have run in the first sentence before it was reported.
      const bool sets_99 =
          std::any_of(object["rules"].begin(), object["rules"].end(),
                      [](const Json& rule) { return rule.contains("sets_chapter"); });
      chapter = sets_99 ? last_chapter : object["chapter"].get<std::int32_t>();
    }
    last_voice = object["voice"];
    last_chapter = object["chapter"];

    const Json& speaker = object["speaker"];
    const std::string by = speaker["by"];
    seen.speaker_kinds.insert(by);
    const bool has_quote = Contains("\"", line);
    std::int32_t line_voice = -1;
    if (by == "not detected") {
      EXPECT_FALSE(has_quote || Contains("1.", line) || chapter == 57);
      line_voice = 0;
    } else {
      EXPECT_TRUE(has_quote || Contains("1.", line) || chapter == 57);
    }
    if (by == "cue") {
      const std::size_t row = speaker["row"];
      ASSERT_GE(row, 1u);
      ASSERT_LE(row, cues.size());
      EXPECT_EQ(Text(speaker["cue"]), cues[row - 1].cue);
      EXPECT_TRUE(CueMatches(cues[row - 1], line, chapter)) << "row " << row;
      EXPECT_EQ(FirstCueRow(line, chapter), row) << "an earlier row matches";
      line_voice = cues[row - 1].voice;
    } else if (by != "not detected") {
      EXPECT_EQ(FirstCueRow(line, chapter), 0u) << by << ", yet a cue matches";
    }
    if (by == "name") {
      const std::size_t row = speaker["row"];
      ASSERT_GE(row, 1u);
      ASSERT_LE(row, names.size());
      EXPECT_EQ(Text(speaker["name"]), names[row - 1].name);
      EXPECT_TRUE(Contains(names[row - 1].name, line));
      if (!has_quote) {
        EXPECT_EQ(NameRowForNarration(line), row);
      }
      line_voice = names[row - 1].voice;
    }
    if (by == "previous") {
      EXPECT_TRUE(has_quote);
      line_voice = voice_before_line;
    }
    if (by == "narrator") {
      EXPECT_FALSE(has_quote);
      EXPECT_EQ(NameRowForNarration(line), 0u);
      line_voice = 0;
    }
    ASSERT_NE(line_voice, -1) << "unknown kind " << by;
    if (speaker.contains("passage")) {
      ++seen.passages;
      const auto passages = NarrationPassages();
      const std::string passage = Text(speaker["passage"]);
      EXPECT_NE(std::find(passages.begin(), passages.end(), passage), passages.end()) << passage;
      EXPECT_TRUE(Contains(passage, line));
      EXPECT_EQ(object["voice"], 1);
    } else {
      EXPECT_EQ(object["voice"], line_voice) << by;
    }
  }
  // The generated lines reach every kind of decision.
  EXPECT_EQ(seen.speaker_kinds,
            (std::set<std::string>{"cue", "name", "previous", "narrator", "not detected"}));
  EXPECT_GT(seen.passages, 0);
}

TEST_F(ExplainedScript, EveryRulesChainRunsFromTheFramedSentenceToTheSpokenText) {
  const std::vector<Json> objects = Explain();
  const auto rules = PronunciationRules();
  Seen seen;
  bool flag = false;
  std::int32_t chapter = 0;  // as the previous sentence left it
  std::int64_t current_line = -1;
  for (const Json& object : objects) {
    if (!object.contains("rules")) {
      continue;
    }
    const std::int64_t start = object["line"];
    const std::string line = LineAt(view_text, start);
    SCOPED_TRACE(Windows1252ToUtf8(line));
    const std::string spoken = Text(object["text"]);
    const Json& chain = object["rules"];
    if (start != current_line) {
      current_line = start;
      // A heading sets the chapter when its line is fetched.
      const bool sets_99 = std::any_of(chain.begin(), chain.end(), [](const Json& rule) {
        return rule.contains("sets_chapter");
      });
      if (!sets_99) {
        chapter = object["chapter"];
      }
    }

    // The framed sentence: a profile's tag, a piece of the line, the closing tag.
    std::string current = chain.empty() ? spoken : Text(chain.front()["before"]);
    const std::string_view tag = current.starts_with(GetVoiceProfileTag(0))
                                     ? GetVoiceProfileTag(0)
                                     : GetVoiceProfileTag(object["voice"]);
    ASSERT_TRUE(current.starts_with(tag)) << current;
    ASSERT_TRUE(current.ends_with("</VOICE>")) << current;
    const std::string inner = current.substr(tag.size(), current.size() - tag.size() - 8);
    EXPECT_TRUE(Contains(inner, StripLineBreaks(ExpandAbbreviations(line)))) << inner;

    // Row by row: a row reported is one whose guard holds, with the rewrite it makes; a row not
    // reported is one whose guard does not hold.
    std::size_t next = 0;
    for (const PronunciationRule& rule : rules) {
      const bool reported = next < chain.size() && chain[next]["row"] == rule.row;
      ASSERT_EQ(RuleGuardHolds(rule, current, chapter), reported)
          << "row " << rule.row << " on " << current;
      if (!reported) {
        continue;
      }
      const Json& entry = chain[next++];
      ++seen.rules;
      ASSERT_EQ(Text(entry["before"]), current) << "row " << rule.row;
      if (IsChapter99Row(rule)) {
        EXPECT_EQ(entry["sets_chapter"], 99);
        chapter = 99;
        ++seen.chapter_99;
      }
      std::string outcome;
      int alternative = 0;
      const std::string after = Rewritten(rule, current, chapter, flag, outcome, alternative);
      EXPECT_EQ(Text(entry["after"]), after) << "row " << rule.row;
      if (!outcome.empty()) {
        EXPECT_EQ(entry["flag"], outcome);
        seen.flag_outcomes.insert(outcome);
      } else {
        EXPECT_FALSE(entry.contains("flag"));
      }
      if (!rule.rewrites[1].search.empty()) {
        EXPECT_EQ(entry["alternative"], alternative);
        seen.alternatives.insert(alternative);
      }
      current = Text(entry["after"]);
    }
    EXPECT_EQ(next, chain.size()) << "rows out of table order";
    EXPECT_EQ(current, spoken);
    EXPECT_EQ(object["chapter"], chapter);
  }
  EXPECT_GT(seen.rules, 1000);
  EXPECT_EQ(seen.flag_outcomes, (std::set<std::string>{"ignored", "set", "rewrote"}));
  EXPECT_EQ(seen.alternatives, (std::set<int>{1, 2, 3}));
  EXPECT_EQ(seen.chapter_99, 1);
}

TEST_F(ExplainedScript, AddsFieldsAfterTheExistingOnesAndChangesNothingElse) {
  std::ostringstream plain, err;
  ASSERT_EQ(tool::RunScriptCommand({.document = path.string()}, plain, err), 0);
  std::ostringstream explained;
  ASSERT_EQ(tool::RunScriptCommand({.document = path.string(), .explain = true}, explained, err),
            0);
  std::istringstream a(plain.str()), b(explained.str());
  std::string plain_line, explained_line;
  std::size_t count = 0;
  while (std::getline(a, plain_line)) {
    ASSERT_TRUE(std::getline(b, explained_line));
    ++count;
    if (plain_line.starts_with("{\"end\"")) {
      EXPECT_EQ(explained_line, plain_line);
      continue;
    }
    // The plain object, less its closing brace, begins the explained one.
    ASSERT_TRUE(
        explained_line.starts_with(plain_line.substr(0, plain_line.size() - 1) + ",\"speaker\":{"))
        << plain_line;
    EXPECT_NE(explained_line.find("},\"rules\":["), std::string::npos);
  }
  EXPECT_FALSE(std::getline(b, explained_line));
  EXPECT_GT(count, 800u);
}

}  // namespace
}  // namespace quillon
