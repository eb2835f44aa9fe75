// novel-rtf, the build step that writes the novel's document: its markup, its escapes and its
// refusals, checked by running it on small books and reading the result back through the loader.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "document/document.h"

namespace quillon {
namespace {

namespace fs = std::filesystem;

struct GeneratorRun {
  int exit_code = -1;
  std::string rtf;
  std::string speakers;
  std::string errors;
};

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// Writes a book of one title line and one chapter, runs novel-rtf on it.
GeneratorRun Generate(const std::string& chapter) {
  const fs::path dir =
      fs::temp_directory_path() /
      ("novel-rtf-test-" +
       std::to_string(::testing::UnitTest::GetInstance()->current_test_info()->line()));
  fs::remove_all(dir);
  fs::create_directories(dir / "chapters");
  std::ofstream(dir / "title.txt", std::ios::binary) << "== A Title\n";
  std::ofstream(dir / "chapters" / "01.txt", std::ios::binary) << chapter;
  const std::string command = std::string("\"") + QUILLON_BINARY_DIR + "/bin/novel-rtf\" \"" +
                              dir.string() + "\" \"" + (dir / "out.rtf").string() + "\" \"" +
                              (dir / "out.tsv").string() + "\" 2> \"" + (dir / "err.txt").string() +
                              "\"";
  GeneratorRun run;
  const int status = std::system(command.c_str());
  run.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.rtf = ReadAll(dir / "out.rtf");
  run.speakers = ReadAll(dir / "out.tsv");
  run.errors = ReadAll(dir / "err.txt");
  fs::remove_all(dir);
  return run;
}

TEST(NovelRtf, MarkupBecomesFormattingAndSpeakerMarksBecomeRows) {
  const GeneratorRun run = Generate(
      "== CHAPTER 1\n"
      ">> centred\n"
      "% a comment\n"
      "@2 \"Hello,\" said *Mary* in {braces} with a \\ backslash.\n"
      "@17 \"Wait\xE2\x80\xA6\" caf\xC3\xA9 \xE2\x82\xAC\n"
      "\n"
      "~~~\n");
  ASSERT_EQ(run.exit_code, 0) << run.errors;
  EXPECT_NE(run.rtf.find("\\'85"), std::string::npos);  // the ellipsis as one Windows-1252 byte
  const Document document = ParseDocument(run.rtf);
  // Title, five chapter lines (the comment dropped), then only blank paragraphs: the generator
  // writes one after the end marker, so its line ends with a break whatever the reader makes of
  // the document's last paragraph mark.
  ASSERT_GE(document.ParagraphCount(), 8u);
  EXPECT_EQ(document.ParagraphAt(0).text_utf8, "A Title");
  EXPECT_TRUE(document.ParagraphAt(0).runs[0].format.bold);
  EXPECT_EQ(document.ParagraphAt(1).alignment, Alignment::Center);
  EXPECT_EQ(document.ParagraphAt(2).alignment, Alignment::Center);
  EXPECT_FALSE(document.ParagraphAt(2).runs[0].format.bold);
  const Paragraph dialogue = document.ParagraphAt(3);
  EXPECT_EQ(dialogue.text_utf8, "\"Hello,\" said Mary in {braces} with a \\ backslash.");
  EXPECT_EQ(dialogue.alignment, Alignment::Left);
  ASSERT_EQ(dialogue.runs.size(), 3u);
  EXPECT_TRUE(dialogue.runs[1].format.italic);
  EXPECT_EQ(dialogue.runs[1].text_utf8, "Mary");
  EXPECT_EQ(document.ParagraphAt(4).text_utf8, "\"Wait\xE2\x80\xA6\" caf\xC3\xA9 \xE2\x82\xAC");
  EXPECT_TRUE(document.ParagraphAt(5).runs.empty());
  EXPECT_EQ(document.ParagraphAt(6).text_utf8, "~~~");
  for (std::size_t i = 7; i < document.ParagraphCount(); ++i) {
    EXPECT_TRUE(document.ParagraphAt(i).runs.empty()) << "paragraph " << i;
  }
  EXPECT_NE(document.ViewText().find("\r\n~~~\r\n"), std::string::npos);
  EXPECT_EQ(run.speakers, "# paragraph\tvoice\tsource\n3\t2\t01.txt:4\n4\t17\t01.txt:5\n");
}

TEST(NovelRtf, RefusesWhatTheDocumentCannotHold) {
  struct Case {
    std::string chapter;
    std::string message;
  };
  const std::vector<Case> cases = {
      {"an arrow \xE2\x86\x92 here\n", "01.txt:1: character U+8594 has no Windows-1252 byte"},
      {"cut \xE2\x80\n", "01.txt:1: invalid UTF-8"},
      {"a stray \x80 byte\n", "01.txt:1: invalid UTF-8"},
      {"line\n@x \"no number\"\n", "01.txt:2: a speaker mark is"},
      {"@2\n", "01.txt:1: a speaker mark is"},
  };
  for (const auto& c : cases) {
    const GeneratorRun run = Generate(c.chapter);
    EXPECT_EQ(run.exit_code, 1) << c.chapter;
    EXPECT_NE(run.errors.find(c.message), std::string::npos) << run.errors;
  }
}

}  // namespace
}  // namespace quillon
