// quillon-tool script, run as a program over documents written for the test.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/tools/tool_runner.h"
#include "tools/quillon-tool/script.h"

namespace {

namespace fs = std::filesystem;

using quillon::tool::testing::ReadAll;
using quillon::tool::testing::RunResult;
using quillon::tool::testing::RunTool;

class ScriptCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("quillon-script-test-" +
           std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }

  fs::path Write(const std::string& name, const std::string& content) {
    const fs::path path = dir / name;
    std::ofstream(path, std::ios::binary) << content;
    return path;
  }
  std::string Err() const { return ReadAll(dir / "stderr.txt"); }
  RunResult Run(const std::string& arguments) { return RunTool(arguments, dir / "stderr.txt"); }

  fs::path dir;
};

const fs::path kData = fs::path(QUILLON_SOURCE_DIR) / "tests" / "tools" / "data";

// Runs the subcommand in-process; returns what it printed on standard output.
std::string Script(const quillon::tool::ScriptOptions& options) {
  std::ostringstream out, err;
  EXPECT_EQ(quillon::tool::RunScriptCommand(options, out, err), 0) << err.str();
  EXPECT_EQ(err.str(), "");
  return out.str();
}

// The expected output was checked by hand, sentence by sentence, against the reading rules.
TEST_F(ScriptCommand, ScriptsTheSampleDocumentExactly) {
  const std::string expected = ReadAll(kData / "script_sample.expected.jsonl");
  EXPECT_EQ(Script({.document = (kData / "script_sample.txt").string()}), expected);

  // The program prints the same.
  const RunResult result = Run("script '" + (kData / "script_sample.txt").string() + "'");
  EXPECT_EQ(result.exit_code, 0) << Err();
  EXPECT_EQ(result.out, expected);
  EXPECT_EQ(Err(), "");
}

TEST_F(ScriptCommand, StartsAtTheGivenPlaceWithTheGivenState) {
  // CR line ends: "One." takes positions 0 to 5. The quotation names no one, so the voice given
  // goes on; the last line has no line end and is never read.
  const fs::path doc = Write("doc.txt", "One.\r\"Go,\" he said.\rTwo.");
  EXPECT_EQ(Script({.document = doc.string(), .start = 6, .chapter = 41, .voice = 9}),
            "{\"line\":6,\"chapter\":41,\"voice\":9,\"text\":\"<VOICE REQUIRED=\\\"Gender=Male\\\">"
            "<RATE SPEED=\\\"-1\\\"><VOLUME LEVEL=\\\"80\\\"><PITCH "
            "MIDDLE=\\\"-7\\\">\\\"Go,\\\"</VOICE>\"}\n"
            "{\"line\":6,\"chapter\":41,\"voice\":9,\"text\":"
            "\"<VOICE REQUIRED=\\\"Name=Microsoft Mike\\\">he said.</VOICE>\"}\n"
            "{\"end\":\"eof\"}\n");
  // A start past the end reads nothing.
  EXPECT_EQ(Script({.document = doc.string(), .start = 1000}), "{\"end\":\"eof\"}\n");
  // Options reach the program.
  const RunResult result = Run("script '" + doc.string() + "' --start 6 --chapter 41 --voice 9");
  EXPECT_EQ(result.exit_code, 0) << Err();
  EXPECT_EQ(result.out, Script({.document = doc.string(), .start = 6, .chapter = 41, .voice = 9}));
}

TEST_F(ScriptCommand, EndsAtTheEndMarkerWithItsLine) {
  const fs::path doc = Write("doc.txt", "\n\nabc ~~~ def\nOne.\n");
  EXPECT_EQ(Script({.document = doc.string()}), "{\"end\":\"marker\",\"line\":4}\n");
}

TEST_F(ScriptCommand, ReportsAnUnreadableDocument) {
  const struct { std::string path; } cases[] = {{(dir / "missing.txt").string()}, {dir.string()}};
  for (const auto& c : cases) {
    const RunResult result = Run("script '" + c.path + "'");
    EXPECT_EQ(result.exit_code, 2) << c.path;
    EXPECT_EQ(result.out, "") << c.path;
    EXPECT_EQ(Err(), "Cannot open file " + c.path + ".\n");
  }
}

// A document with no end, one that blocks and one too large are refused at once.
TEST_F(ScriptCommand, RefusesWhatIsNotARegularFileAndWhatIsTooLarge) {
  const fs::path fifo = dir / "fifo.txt";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const fs::path large = Write("large.txt", "x");
  fs::resize_file(large, (std::uintmax_t{64} << 20) + 1);
  const struct {
    std::string path;
    std::string why;
  } cases[] = {
      {"/dev/zero", "it is not a regular file"},
      {fifo.string(), "it is not a regular file"},
      {large.string(), "it is larger than 64 MiB"},
  };
  for (const auto& c : cases) {
    const RunResult result = Run("script '" + c.path + "'");
    EXPECT_EQ(result.exit_code, 2) << c.path;
    EXPECT_EQ(result.out, "") << c.path;
    EXPECT_EQ(Err(), "Cannot open file " + c.path + ": " + c.why + ".\n");
  }
}

TEST_F(ScriptCommand, BadOptionsAreAUsageError) {
  const fs::path doc = Write("doc.txt", "One.\n");
  const std::string bad[] = {
      "script",
      "script '" + doc.string() + "' --start -1",
      "script '" + doc.string() + "' --start x",
      "script '" + doc.string() + "' --voice 1.5",
      "script '" + doc.string() + "' --bogus",
      "script '" + doc.string() + "' extra",
  };
  for (const auto& arguments : bad) {
    const RunResult result = Run(arguments);
    EXPECT_EQ(result.exit_code, 64) << arguments;
    EXPECT_EQ(result.out, "") << arguments;
    EXPECT_NE(Err().find("Usage:"), std::string::npos) << arguments;
  }
}

}  // namespace
