// quillon-tool coverage: unused rows, competing cues and counts per voice for a small document.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <span>
#include <sstream>
#include <string>
#include <vector>

#include "pronunciation/pronunciation_rule.h"
#include "reading/memory_view.h"
#include "tests/tools/tool_runner.h"
#include "tools/quillon-tool/commands.h"
#include "tools/quillon-tool/coverage.h"
#include "voices/speaker_cue.h"
#include "voices/speaker_name.h"

namespace quillon::tool {
namespace {

namespace fs = std::filesystem;
using Json = nlohmann::ordered_json;

// Line 3: voice 2's "Oh, Quillon" wins over voice 1's "Aha!". Line 4: voice 2's ", Colonel" wins
// over voice 3's "Priceless, Colonel" (its exclusion is "priceless" in lower case). Line 5: the
// name Bob. Line 6: no quote, no detection.
constexpr const char* kDocument =
    "CHAPTER 3\r\n"
    "\r\n"
    "\"Oh, Quillon, Aha!\" came the answer.\r\n"
    "\"Priceless, Colonel, sir,\" he said.\r\n"
    "\"Look there,\" said Bob to Mary.\r\n"
    "The sun set.\r\n"
    "~~~\r\n";

// The 1-based row of the list whose text (cue or name) is text.
template <typename Row>
std::size_t RowOf(std::span<const Row> rows, std::string_view Row::*field, std::string_view text) {
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (rows[i].*field == text) {
      return i + 1;
    }
  }
  ADD_FAILURE() << "no row " << text;
  return 0;
}

std::size_t CueRow(std::string_view cue) {
  return RowOf(SpeakerCues(), &SpeakerCue::cue, cue);
}

std::size_t NameRow(std::string_view name) {
  return RowOf(SpeakerNames(), &SpeakerName::name, name);
}

std::vector<Json> Printed(const Coverage& coverage) {
  std::ostringstream out;
  PrintCoverage(coverage, out);
  std::vector<Json> objects;
  std::istringstream lines(out.str());
  for (std::string line; std::getline(lines, line);) {
    objects.push_back(Json::parse(line));
  }
  return objects;
}

TEST(Coverage, TalliesWhatTheReadingUsed) {
  const Coverage coverage = MeasureCoverage(PlainTextToViewText(kDocument));
  EXPECT_EQ(coverage.end, ReadingEnd::EndMarker);
  ASSERT_EQ(coverage.lines.size(), 7u);
  EXPECT_EQ(coverage.line_voices, (std::vector<std::int32_t>{0, 0, 2, 2, 4, 0, 0}));
  EXPECT_EQ(coverage.sentences, 8u);

  std::vector<int> cue_uses(SpeakerCues().size(), 0);
  cue_uses[CueRow("Oh, Quillon") - 1] = 1;
  cue_uses[CueRow(", Colonel") - 1] = 1;
  EXPECT_EQ(coverage.cue_uses, cue_uses);
  std::vector<int> name_uses(SpeakerNames().size(), 0);
  name_uses[NameRow("Bob") - 1] = 1;
  EXPECT_EQ(coverage.name_uses, name_uses);
  // Row 1's trigger "/" is in every framed sentence's closing tag; row 2 is "CHAPTER".
  EXPECT_EQ(coverage.rule_uses[0], 8);
  EXPECT_EQ(coverage.rule_uses[1], 1);

  ASSERT_EQ(coverage.competitions.size(), 2u);
  EXPECT_EQ(coverage.competitions[0].line, 3u);
  EXPECT_EQ(coverage.competitions[0].chapter, 3);
  EXPECT_EQ(coverage.competitions[0].winner, CueRow("Oh, Quillon"));
  EXPECT_EQ(coverage.competitions[0].shadowed, std::vector<std::size_t>{CueRow("Aha!")});
  EXPECT_EQ(coverage.competitions[1].winner, CueRow(", Colonel"));
  EXPECT_EQ(coverage.competitions[1].shadowed,
            std::vector<std::size_t>{CueRow("Priceless, Colonel")});

  // Lines in the voice they were left in; sentences in the profile that framed them (the
  // narration after a quotation is the narrator's).
  EXPECT_EQ(coverage.voice_lines, (std::map<std::int32_t, int>{{0, 2}, {2, 2}, {4, 1}}));
  EXPECT_EQ(coverage.voice_sentences, (std::map<std::int32_t, int>{{0, 5}, {2, 2}, {4, 1}}));
}

TEST(Coverage, PrintsUnusedRowsCompetitionsAndVoicesAsJsonLines) {
  const std::vector<Json> objects = Printed(MeasureCoverage(PlainTextToViewText(kDocument)));
  std::map<std::string, int> unused;
  std::vector<Json> competing, voices;
  for (const Json& object : objects) {
    if (object.contains("unused")) {
      ++unused[object["unused"]];
    } else if (object.contains("competing")) {
      competing.push_back(object);
    } else {
      voices.push_back(object);
    }
  }
  EXPECT_EQ(unused["cue"], static_cast<int>(SpeakerCues().size()) - 2);
  EXPECT_EQ(unused["name"], static_cast<int>(SpeakerNames().size()) - 1);
  EXPECT_EQ(unused["rule"], static_cast<int>(PronunciationRules().size()) - 2);
  EXPECT_EQ(objects.front(),
            (Json{{"unused", "cue"}, {"row", 1}, {"voice", 2}, {"cue", "Quillon, I am Mary"}}));

  ASSERT_EQ(competing.size(), 2u);
  EXPECT_EQ(competing[1].dump(), "{\"competing\":4,\"chapter\":3,\"wins\":{\"row\":" +
                                     std::to_string(CueRow(", Colonel")) +
                                     ",\"voice\":2,\"cue\":\", Colonel\"},\"shadowed\":[{\"row\":" +
                                     std::to_string(CueRow("Priceless, Colonel")) +
                                     ",\"voice\":3,\"cue\":\"Priceless, Colonel\"}]}");

  ASSERT_EQ(voices.size(), 37u);
  EXPECT_EQ(voices[0], (Json{{"voice", 0}, {"lines", 2}, {"sentences", 5}}));
  EXPECT_EQ(voices[4], (Json{{"voice", 4}, {"lines", 1}, {"sentences", 1}}));
  EXPECT_EQ(voices[36], (Json{{"voice", 36}, {"lines", 0}, {"sentences", 0}}));
}

TEST(Coverage, TheProgramPrintsASummaryOnStandardError) {
  const fs::path dir =
      fs::temp_directory_path() / ("quillon-coverage-test-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const fs::path document = dir / "doc.txt";
  std::ofstream(document, std::ios::binary) << kDocument;
  const fs::path err_file = dir / "stderr.txt";

  const testing::RunResult result =
      testing::RunTool("coverage '" + document.string() + "'", err_file);
  EXPECT_EQ(result.exit_code, 0);
  std::ostringstream expected;
  PrintCoverage(MeasureCoverage(PlainTextToViewText(kDocument)), expected);
  EXPECT_EQ(result.out, expected.str());
  EXPECT_EQ(testing::ReadAll(err_file),
            "cue rows used: 2 of 427; name rows used: 1 of 39; rule rows used: 2 of 371\n"
            "lines where cues of two voices compete: 2\n"
            "lines read: 7; sentences: 8; chapters reached: 1 of 68; voices never heard: 34 of "
            "37\n"
            "reading ended at the end marker\n");

  const testing::RunResult missing =
      testing::RunTool("coverage '" + (dir / "missing.txt").string() + "'", err_file);
  EXPECT_EQ(missing.exit_code, kExitCannotOpen);
  EXPECT_EQ(missing.out, "");
  EXPECT_EQ(testing::ReadAll(err_file),
            "Cannot open file " + (dir / "missing.txt").string() + ".\n");
  fs::remove_all(dir);
}

}  // namespace
}  // namespace quillon::tool
