// render's subtitles show the book's words: each cue is the sentence as written in its line, not
// the respelled, rewritten text the voice was given.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/tools/tool_runner.h"

namespace quillon::tool {
namespace {

namespace fs = std::filesystem;
using testing::ReadAll;
using testing::RunTool;

// The cue texts of a WebVTT file, in order.
std::vector<std::string> CueTexts(const std::string& vtt) {
  std::vector<std::string> texts;
  std::istringstream in(vtt);
  for (std::string line; std::getline(in, line);) {
    if (line.find(" --> ") != std::string::npos && std::getline(in, line)) {
      texts.push_back(line);
    }
  }
  return texts;
}

TEST(RenderSubtitles, CuesAreTheSentencesAsTheBookWritesThem) {
  std::string pattern = (fs::temp_directory_path() / "quillon-subtitles-XXXXXX").string();
  const fs::path dir = ::mkdtemp(pattern.data());
  // Each line, and the cues it gives: the sentences as written, split where the reading splits.
  // clang-format off
  const struct { const char* line; std::vector<std::string> cues; } cases[] = {
    // a name respelled ("uh con uh muh walk") and an abbreviation expanded ("Mister")
    {"In the lakeside town of Oconomowoc, Wisconsin, lived Mr. Smith.",
     {"In the lakeside town of Oconomowoc, Wisconsin, lived Mr. Smith."}},
    // a time given pauses and "AM", a number spelt out as words ("one thousand")
    {"At 10:00 a.m. the clock read 00:00:01.000 exactly.",
     {"At 10:00 a.m. the clock read 00:00:01.000", "exactly."}},
    // dialogue framed in a character's voice, cut around the narration
    {"\"I am here,\" said Mary, \"and so is Dr. Jones.\"",
     {"\"I am here,\"", "said Mary,", "\"and so is Dr.", "Jones.\""}},
    // what WebVTT would read as markup
    {"Tom & Jerry <3 cheese; odds of 1.000 to one.",
     {"Tom &amp; Jerry &lt;3 cheese; odds of 1.000", "to one."}},
    {"Two   spaces\tand a tab.", {"Two spaces and a tab."}},
  };
  // clang-format on
  std::ofstream document(dir / "book.txt", std::ios::binary);
  std::vector<std::string> expected;
  for (const auto& c : cases) {
    document << c.line << "\r\n";
    expected.insert(expected.end(), c.cues.begin(), c.cues.end());
  }
  document << "~~~\r\n";
  document.close();

  const auto result =
      RunTool("render '" + (dir / "book.txt").string() + "' --out '" + (dir / "out").string() + "'",
              dir / "err.txt");
  ASSERT_EQ(result.exit_code, 0) << ReadAll(dir / "err.txt");
  EXPECT_EQ(CueTexts(ReadAll(dir / "out" / "01-opening.vtt")), expected);
  fs::remove_all(dir);
}

}  // namespace
}  // namespace quillon::tool
