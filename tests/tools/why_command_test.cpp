// quillon-tool why: one line explained for a person, plain through a pipe, coloured on a terminal.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/tools/tool_runner.h"
#include "tools/quillon-tool/commands.h"
#include "tools/quillon-tool/why.h"

namespace quillon::tool {
namespace {

namespace fs = std::filesystem;

// Each line shows one way a voice is decided; line 8 also has a narration passage.
constexpr const char* kDocument =
    "CHAPTER 3\r\n"
    "\r\n"
    "\"Aha!\" said Mary. \"What?\"\r\n"
    "\"Look there,\" said Bob to Mary.\r\n"
    "\"Indeed,\" he said.\r\n"
    "The sun set. It was late.\r\n"
    "1.5 miles on, the road ended.\r\n"
    "2. Police SWAT teams came. \"Fine,\" he said.\r\n"
    "~~~\r\n"
    "After the end.\r\n";

class WhyCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("quillon-why-test-" +
           std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::create_directories(dir);
    document = (dir / "doc.txt").string();
    std::ofstream(document, std::ios::binary) << kDocument;
  }
  void TearDown() override { fs::remove_all(dir); }

  std::string Why(const std::string& line, bool colour = false) {
    std::ostringstream out, err;
    EXPECT_EQ(RunWhyCommand({.document = document, .line = line}, out, err, colour), 0)
        << err.str();
    EXPECT_EQ(err.str(), "");
    return out.str();
  }

  fs::path dir;
  std::string document;
};

// Hand-checked: the name that starts first in the narration, marked, and each sentence.
TEST_F(WhyCommand, ExplainsALineDecidedByAName) {
  EXPECT_EQ(Why("4"),
            "Line 4, chapter 3, view position 40:\n"
            "  \"Look there,\" said Bob to Mary.\n"
            "Voice 4, profile <VOICE REQUIRED=\"Gender=Male\"><RATE SPEED=\"+2\"><VOLUME "
            "LEVEL=\"78\"><PITCH MIDDLE=\"+5\">\n"
            "No cue matches. Decided by name row 11 of 39 (voice 4, the name that starts "
            "first): \"Bob\"\n"
            "  names searched in:  said [[Bob]] to Mary.\n"
            "Sentence 1 of 2, framed in the profile of voice 4:\n"
            "  <VOICE REQUIRED=\"Gender=Male\"><RATE SPEED=\"+2\"><VOLUME LEVEL=\"78\"><PITCH "
            "MIDDLE=\"+5\">\"Look there,\"</VOICE>\n"
            "  guard held, nothing to replace: row 1 \"and/or\"\n"
            "  spoken as framed\n"
            "Sentence 2 of 2, framed in the profile of voice 0:\n"
            "  <VOICE REQUIRED=\"Name=Microsoft Mike\">said Bob to Mary.</VOICE>\n"
            "  guard held, nothing to replace: row 1 \"and/or\"\n"
            "  spoken as framed\n");
}

TEST_F(WhyCommand, SaysHowEachKindOfLineIsDecided) {
  const struct {
    std::string line;  // a number or a text of the line
    std::vector<std::string> shown;
  } cases[] = {
      {"1",
       {"Line 1, chapter 3, view position 0:\n  CHAPTER 3\n",
        "holds no double quotation mark nor \"1.\" and chapter 3 is not 57",
        "  row 2: <VOICE REQUIRED=\"Name=Microsoft Mike\">{+<silence msec=\"500\"/>+}CHAPTER "
        "3</VOICE>\n"}},
      {"2", {"Line 2,", "It is blank: nothing is spoken and the voice stays 0.\n"}},
      {"said Mary",
       {"Line 3,", "Decided by cue row 161 of 427 (voice 1): \"What?\"\n",
        "  \"Aha!\" said Mary. \"[[What?]]\"\n", "Sentence 3 of 3",
        "  row 45: \xE2\x80\xA6"
        "85\"><PITCH MIDDLE=\"+7\">\"{+<EMPH>+}What?{+</EMPH>+}\"</VOICE>\n",
        "  spoken: <VOICE REQUIRED=\"Gender=Male\"><RATE SPEED=\"+2\"><VOLUME LEVEL=\"85\"><PITCH "
        "MIDDLE=\"+7\">\"<EMPH>What?</EMPH>\"</VOICE>\n"}},
      {"Indeed",
       {"Line 5,", "a quotation goes on in the voice before it (voice 4).\n",
        "  names searched in:  he said.\n", "framed in the profile of voice 4:"}},
      {"1.5",
       {"Line 7,",
        "No cue matches, no name is in the line and it holds no double quotation "
        "mark: the narrator (voice 0).\n"}},
      {"8",
       {"Decided by cue row 334 of 427 (voice 1): \"Police SWAT teams\"\n",
        "Sentence 2 holds the narration passage \"Police SWAT teams\": the voice is 1 from there "
        "to the end of the line.\n",
        "Sentence 2 of 4, framed in the profile of voice 1 (the narration passage \"Police SWAT "
        "teams\" set voice 1):\n",
        "Sentence 4 of 4, framed in the profile of voice 0:\n"}},
      {"~~~", {"Line 9,", "It holds the end marker \"~~~\": the reading ends here"}},
  };
  for (const auto& c : cases) {
    const std::string out = Why(c.line);
    for (const std::string& shown : c.shown) {
      EXPECT_NE(out.find(shown), std::string::npos) << c.line << ": " << shown << "\nin\n" << out;
    }
    EXPECT_EQ(out.find('\x1b'), std::string::npos) << c.line;
  }
}

TEST_F(WhyCommand, ColoursOnATerminal) {
  const std::string out = Why("4", true);
  EXPECT_NE(out.find("said \x1b[7mBob\x1b[0m to Mary."), std::string::npos) << out;
  EXPECT_EQ(out.find("[["), std::string::npos);
  const std::string rewritten = Why("3", true);
  EXPECT_NE(rewritten.find("\x1b[32m<EMPH>\x1b[0mWhat?\x1b[32m</EMPH>\x1b[0m"), std::string::npos)
      << rewritten;
}

TEST_F(WhyCommand, ReportsLinesItCannotExplain) {
  const fs::path err_file = dir / "stderr.txt";
  const struct {
    std::string arguments;
    int exit_code;
    std::string message;
  } cases[] = {
      {"'" + document + "' 11", kExitNoSuchLine,
       "Line 11 is not read: the reading ends at the end marker in line 9.\n"},
      {"'" + document + "' 'After the end'", kExitNoSuchLine,
       "No line read holds \"After the end\"; the reading ends at the end marker in line 9.\n"},
      {"'" + document + "' 0", kExitUsage, "Line numbers start at 1.\n"},
      {"'" + document + "' ''", kExitUsage, "Give a line number or a text of the line.\n"},
      {"'" + (dir / "missing.txt").string() + "' 1", kExitCannotOpen,
       "Cannot open file " + (dir / "missing.txt").string() + ".\n"},
  };
  for (const auto& c : cases) {
    const testing::RunResult result = testing::RunTool("why " + c.arguments, err_file);
    EXPECT_EQ(result.exit_code, c.exit_code) << c.arguments;
    EXPECT_EQ(result.out, "") << c.arguments;
    EXPECT_EQ(testing::ReadAll(err_file), c.message) << c.arguments;
  }
  // Through a pipe: plain, as in-process without colour.
  const testing::RunResult piped = testing::RunTool("why '" + document + "' 4", err_file);
  EXPECT_EQ(piped.exit_code, 0);
  EXPECT_EQ(piped.out, Why("4"));
}

}  // namespace
}  // namespace quillon::tool
