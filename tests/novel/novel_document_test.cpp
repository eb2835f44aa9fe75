// The novel's document as the program loads it: the generated rich text read back through the
// document loader must say exactly what the annotated source says, with its formatting, and keep
// the markers the reading engine relies on.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "document/document.h"
#include "text/text_primitives.h"

namespace quillon {
namespace {

namespace fs = std::filesystem;

const std::string kDocument = QUILLON_BINARY_DIR "/bin/TheBlitheWanderingsOfQuillonFenwright.rtf";

// One source line with its markup taken apart.
struct SourceParagraph {
  std::string text;  // UTF-8, without markup
  bool annotated = false;
  bool heading = false;
  bool centred = false;
  bool has_italics = false;
  std::string where;
};

std::vector<SourceParagraph> ReadSource() {
  const fs::path dir = fs::path(QUILLON_SOURCE_DIR) / "novel";
  std::vector<fs::path> files{dir / "title.txt"};
  std::vector<fs::path> chapters;
  for (const auto& entry : fs::directory_iterator(dir / "chapters"))
    chapters.push_back(entry.path());
  std::sort(chapters.begin(), chapters.end());
  files.insert(files.end(), chapters.begin(), chapters.end());

  std::vector<SourceParagraph> out;
  for (const auto& file : files) {
    std::ifstream in(file);
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
      if (line.starts_with("%"))
        continue;
      SourceParagraph p;
      p.where = file.filename().string() + ":" + std::to_string(number);
      if (line.starts_with("@")) {
        p.annotated = true;
        line.erase(0, line.find(' ') + 1);
      }
      if (line.starts_with("== ")) {
        p.heading = p.centred = true;
        line.erase(0, 3);
      } else if (line.starts_with(">> ")) {
        p.centred = true;
        line.erase(0, 3);
      }
      p.has_italics = line.find('*') != std::string::npos;
      std::erase(line, '*');
      p.text = line;
      out.push_back(p);
    }
  }
  return out;
}

TEST(NovelDocument, SaysWhatTheSourceSaysWithItsFormatting) {
  const auto source = ReadSource();
  const Document document = LoadDocument(kDocument);
  // The generator ends the document with one blank paragraph after the end marker.
  ASSERT_GE(document.ParagraphCount(), source.size());
  for (std::size_t i = 0; i < source.size(); ++i) {
    const auto& want = source[i];
    const Paragraph got = document.ParagraphAt(i);
    ASSERT_EQ(got.text_utf8, want.text) << want.where;
    EXPECT_EQ(got.alignment == Alignment::Center, want.centred) << want.where;
    const bool bold = std::any_of(got.runs.begin(), got.runs.end(),
                                  [](const TextRun& r) { return r.format.bold; });
    const bool italic = std::any_of(got.runs.begin(), got.runs.end(),
                                    [](const TextRun& r) { return r.format.italic; });
    EXPECT_EQ(bold, want.heading) << want.where;
    EXPECT_EQ(italic, want.has_italics) << want.where;
  }
  for (std::size_t i = source.size(); i < document.ParagraphCount(); ++i) {
    EXPECT_TRUE(document.ParagraphAt(i).runs.empty()) << "paragraph " << i;
  }
}

TEST(NovelDocument, KeepsTheMarkersTheReadingEngineNeeds) {
  const std::string view = LoadDocument(kDocument).ViewText();
  // Headings 1 to 68, each alone on its line, in order.
  std::size_t from = 0;
  for (int chapter = 1; chapter <= 68; ++chapter) {
    const std::string heading = "\r\nCHAPTER " + std::to_string(chapter) + "\r\n";
    const auto at = view.find(heading, from);
    ASSERT_NE(at, std::string::npos) << heading;
    from = at + 1;
  }
  // The end marker once, on a line of its own that ends with a line break, after all the text.
  const auto marker = view.find("~~~");
  ASSERT_NE(marker, std::string::npos);
  EXPECT_EQ(view.find("~~~", marker + 1), std::string::npos);
  EXPECT_EQ(view.substr(marker - 2, 7), "\r\n~~~\r\n");
  EXPECT_TRUE(Trim(view.substr(marker + 3)).empty());
  // Straight quotes only, and the ellipsis as the single Windows-1252 character.
  EXPECT_EQ(view.find('\x93'), std::string::npos);
  EXPECT_EQ(view.find('\x94'), std::string::npos);
  EXPECT_NE(view.find('\x85'), std::string::npos);
  EXPECT_EQ(view.find("..."), std::string::npos);
}

TEST(NovelDocument, IsANovelsLengthAndEveryQuotationHasItsSpeaker) {
  const auto source = ReadSource();
  std::size_t words = 0;
  for (const auto& p : source) {
    bool in_word = false;
    for (char c : p.text) {
      const bool letter = c != ' ';
      if (letter && !in_word)
        ++words;
      in_word = letter;
    }
    if (p.text.find('"') != std::string::npos) {
      EXPECT_TRUE(p.annotated) << p.where << ": a quotation without its speaker";
    }
  }
  std::cout << "words in the novel: " << words << '\n';
  EXPECT_GE(words, 15000u);
  EXPECT_LE(words, 40000u);
}

}  // namespace
}  // namespace quillon
