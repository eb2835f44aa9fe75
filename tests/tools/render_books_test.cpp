// render's books of a small rich-text document: the read-along EPUB, with and without word clips,
// checked against epubcheck, the script's sentences, the subtitles and the audio of the same
// rendering in WAV; the M4B audiobook's chapters and tags, as ffprobe reads them.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <zip.h>

#include <cctype>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "tests/tools/tool_runner.h"

namespace quillon::tool {
namespace {

namespace fs = std::filesystem;
using testing::ReadAll;
using testing::RunTool;

// Headings, a centred line, italics and bold, dialogue in two voices, a respelled name, an
// abbreviation and an amount spoken as words, two chapters and an opening.
constexpr const char* kDocument =
    "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Times New Roman;}}\\f0\\fs24\n"
    "\\pard\\qc\\b\\fs32 A Small Book\\par\n"
    "\\pard\\qc\\b0\\fs24 {\\i a test} of the read-along book\\par\n"
    "\\pard\\par\n"
    "\\pard\\qc\\b\\fs32 CHAPTER 1\\par\n"
    "\\pard\\b0\\fs24 In the lakeside town of Oconomowoc lived Mr. Smith. He was {\\i very} "
    "{\\b tall} & kind.\\par\n"
    "\"Mary, we must go,\" Quillon said. \"They are after us.\"\\par\n"
    "\\pard\\qc\\b\\fs32 CHAPTER 2\\par\n"
    "\\pard\\b0\\fs24 At 10:00 a.m. he paid $1,000 to Dr. Jones.\\par\n"
    "~~~\\par\n"
    "Never read.\\par}\n";

// What a shell command prints.
std::string RunShell(const std::string& command) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) {
    return out;
  }
  char buffer[4096];
  for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
    out.append(buffer, got);
  }
  pclose(pipe);
  return out;
}

std::map<std::string, std::string> ZipEntries(const fs::path& path) {
  std::map<std::string, std::string> entries;
  int error = 0;
  zip_t* archive = zip_open(path.c_str(), ZIP_RDONLY, &error);
  if (archive == nullptr) {
    return entries;
  }
  for (zip_int64_t i = 0; i < zip_get_num_entries(archive, 0); ++i) {
    zip_stat_t stat;
    zip_stat_index(archive, static_cast<zip_uint64_t>(i), 0, &stat);
    std::string content(stat.size, '\0');
    zip_file_t* file = zip_fopen_index(archive, static_cast<zip_uint64_t>(i), 0);
    zip_fread(file, content.data(), stat.size);
    zip_fclose(file);
    entries[stat.name] = content;
  }
  zip_close(archive);
  return entries;
}

std::string Decode(std::string text) {
  for (const auto& [entity, character] :
       {std::pair{"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&amp;", "&"}}) {
    for (std::size_t at = 0; (at = text.find(entity, at)) != std::string::npos; ++at) {
      text.replace(at, std::string_view(entity).size(), character);
    }
  }
  return text;
}

// The text of the element with the id (tags left out, entities decoded), and for each of its
// characters whether it lies inside a nested element with an id (a word).
struct ElementText {
  std::string text;
  std::vector<bool> in_word;
};
ElementText TextOfId(const std::string& xhtml, const std::string& id) {
  ElementText out;
  std::size_t at = xhtml.find("id=\"" + id + "\"");
  if (at == std::string::npos) {
    return out;
  }
  at = xhtml.find('>', at) + 1;
  int depth = 1;
  int word_depth = 0;
  while (depth > 0 && at < xhtml.size()) {
    if (xhtml[at] == '<') {
      const std::size_t end = xhtml.find('>', at);
      const std::string tag = xhtml.substr(at, end - at + 1);
      const bool closing = tag[1] == '/';
      if (tag.starts_with("<span") || tag.starts_with("</span")) {
        depth += closing ? -1 : 1;
        if (!closing && tag.find(" id=\"") != std::string::npos) {
          word_depth = depth;
        } else if (closing && depth < word_depth) {
          word_depth = 0;
        }
      }
      at = end + 1;
      continue;
    }
    std::string character(1, xhtml[at]);
    std::size_t next = at + 1;
    if (xhtml[at] == '&') {
      next = xhtml.find(';', at) + 1;
      character = Decode(xhtml.substr(at, next - at));
    }
    out.text += character;
    out.in_word.resize(out.text.size(), word_depth > 0);
    at = next;
  }
  return out;
}

double ClockSeconds(const std::string& clock) {  // H:MM:SS.mmm
  int h = 0, m = 0;
  double s = 0;
  std::sscanf(clock.c_str(), "%d:%d:%lf", &h, &m, &s);
  return h * 3600.0 + m * 60.0 + s;
}

struct Clip {
  std::string file;  // of the text
  std::string id;
  double begin = 0, end = 0;
};

// The pars of an overlay in order, and each seq's text reference with the pars inside it.
struct Overlay {
  std::vector<Clip> pars;
  std::vector<std::pair<std::string, std::vector<Clip>>> seqs;
};
Overlay ReadOverlay(const std::string& smil) {
  Overlay overlay;
  const std::regex par(
      "<par id=\"[^\"]+\"><text src=\"([^#\"]+)#([^\"]+)\"/><audio src=\"[^\"]+\" "
      "clipBegin=\"([^\"]+)\" clipEnd=\"([^\"]+)\"/></par>");
  const std::regex seq("<seq id=\"q[^\"]+\" epub:textref=\"[^#\"]+#([^\"]+)\">");
  std::size_t at = 0;
  std::smatch match;
  std::string::const_iterator from = smil.begin();
  while (from != smil.end()) {
    const auto line_end = std::find(from, smil.end(), '\n');
    const std::string line(from, line_end);
    if (std::regex_match(line, match, seq)) {
      overlay.seqs.push_back({match[1], {}});
    } else if (std::regex_match(line, match, par)) {
      const Clip clip{match[1], match[2], ClockSeconds(match[3]), ClockSeconds(match[4])};
      overlay.pars.push_back(clip);
      if (line_end != smil.end() && !overlay.seqs.empty() &&
          clip.id.find('w') != std::string::npos) {
        overlay.seqs.back().second.push_back(clip);
      }
    }
    from = line_end == smil.end() ? line_end : line_end + 1;
    ++at;
  }
  return overlay;
}

struct Cue {
  double start, end;
  std::string text;
};
std::vector<Cue> ReadCues(const fs::path& path) {
  std::vector<Cue> cues;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    if (line.find(" --> ") != std::string::npos) {
      Cue cue{ClockSeconds(line.substr(0, 12)), ClockSeconds(line.substr(17, 12)), {}};
      std::getline(in, cue.text);
      cue.text = Decode(cue.text);
      cues.push_back(cue);
    }
  }
  return cues;
}

class RenderBooksTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    std::string pattern = (fs::temp_directory_path() / "quillon-epub-XXXXXX").string();
    dir_ = ::mkdtemp(pattern.data());
    std::ofstream(dir_ / "small.rtf", std::ios::binary) << kDocument;
    // Each rendering into a folder of its own.
    for (const auto& [out, options] : {std::pair{"wav", "--format wav"},
                                       {"epub", "--format epub"},
                                       {"words", "--format epub --words"},
                                       {"m4b", "--format m4b"}}) {
      const auto result =
          RunTool("render '" + (dir_ / "small.rtf").string() + "' --out '" + (dir_ / out).string() +
                      "' " + options + " --title 'A Small Book' --author 'A. Tester'",
                  dir_ / "err.txt");
      ASSERT_EQ(result.exit_code, 0) << options << ": " << ReadAll(dir_ / "err.txt");
      ASSERT_EQ(fs::is_directory(dir_ / out)
                    ? std::distance(fs::directory_iterator(dir_ / out), fs::directory_iterator())
                    : 0,
                out == std::string("wav") ? 6 : 1)
          << options << ": a book is one file, and nothing else is left";
    }
    script_ = RunTool("script '" + (dir_ / "small.rtf").string() + "'", dir_ / "err.txt").out;
  }
  static void TearDownTestSuite() { fs::remove_all(dir_); }

  static fs::path dir_;
  static std::string script_;
};
fs::path RenderBooksTest::dir_;
std::string RenderBooksTest::script_;

TEST_F(RenderBooksTest, EpubcheckFindsNoErrorAndNoWarning) {
  for (const char* book : {"epub/small.epub", "words/small.epub"}) {
    const std::string report =
        RunShell("java -jar /usr/share/java/epubcheck.jar '" + (dir_ / book).string() + "' 2>&1");
    EXPECT_NE(report.find("No errors or warnings detected."), std::string::npos) << book << ":\n"
                                                                                 << report;
  }
}

TEST_F(RenderBooksTest, EverySentenceHasOneClipOfItsOwnAudioShowingItsWrittenText) {
  const auto book = ZipEntries(dir_ / "epub/small.epub");
  const std::vector<std::string> wavs = {"01-opening", "02-chapter-01", "03-chapter-02"};
  std::size_t sentences = 0;
  for (std::size_t at = 0; (at = script_.find("\"text\":", at)) != std::string::npos; ++at) {
    ++sentences;
  }
  std::size_t pars = 0;
  const std::string package = book.at("EPUB/package.opf");
  double total = 0;
  for (std::size_t i = 0; i < wavs.size(); ++i) {
    char part[32];
    std::snprintf(part, sizeof part, "part-%03zu", i + 1);
    SCOPED_TRACE(part);
    const Overlay overlay = ReadOverlay(book.at("EPUB/" + std::string(part) + ".smil"));
    const std::vector<Cue> cues = ReadCues(dir_ / "wav" / (wavs[i] + ".vtt"));
    const double length =
        static_cast<double>(fs::file_size(dir_ / "wav" / (wavs[i] + ".wav")) - 44) / 2 / 22050;
    total += length;
    ASSERT_EQ(overlay.pars.size(), cues.size());
    double previous_end = 0;
    for (std::size_t k = 0; k < overlay.pars.size(); ++k) {
      const Clip& clip = overlay.pars[k];
      EXPECT_EQ(TextOfId(book.at("EPUB/" + clip.file), clip.id).text, cues[k].text);
      EXPECT_LT(clip.begin, clip.end) << clip.id;
      EXPECT_NEAR(clip.begin, previous_end, 0.0011) << clip.id << ": clips follow each other";
      // The sentence's audible samples lie in its clip.
      EXPECT_LE(clip.begin, cues[k].start + 0.0011) << clip.id;
      EXPECT_GE(clip.end, cues[k].end - 0.0011) << clip.id;
      previous_end = clip.end;
    }
    EXPECT_LE(previous_end, length + 0.0011);
    // The overlay's length is its audio's.
    const std::smatch match = [&] {
      std::smatch m;
      std::regex_search(package, m,
                        std::regex("refines=\"#" + std::string(part) + "-overlay\">([^<]+)<"));
      return m;
    }();
    ASSERT_FALSE(match.empty());
    EXPECT_NEAR(ClockSeconds(match[1]), length, 0.1);
    pars += overlay.pars.size();
  }
  EXPECT_EQ(pars, sentences);
  std::smatch whole;
  ASSERT_TRUE(
      std::regex_search(package, whole, std::regex("<meta property=\"media:duration\">([^<]+)<")));
  EXPECT_NEAR(ClockSeconds(whole[1]), total, 0.1);
  for (const char* needed :
       {"<dc:title>A Small Book</dc:title>", "<dc:creator>A. Tester</dc:creator>",
        "<dc:language>en</dc:language>", "property=\"dcterms:modified\"",
        "<meta property=\"media:active-class\">-epub-media-overlay-active</meta>",
        "properties=\"cover-image\"", "properties=\"nav\""}) {
    EXPECT_NE(package.find(needed), std::string::npos) << needed;
  }
  // The book's formatting, not the rewritten words.
  const std::string& chapter = book.at("EPUB/part-002.xhtml");
  for (const char* shown :
       {"<h1 class=\"center\"><span id=\"s1\">CHAPTER 1</span></h1>", "Oconomowoc", "Mr. Smith.",
        "<i>very</i>", "<b>tall</b>", "&amp; kind."}) {
    EXPECT_NE(chapter.find(shown), std::string::npos) << shown;
  }
  EXPECT_NE(book.at("EPUB/part-001.xhtml").find("<p class=\"center\"><span id=\"s2\"><i>a test"),
            std::string::npos);
}

TEST_F(RenderBooksTest, WithWordsEveryWordHasAClipInsideItsSentence) {
  const auto sentences_book = ZipEntries(dir_ / "epub/small.epub");
  const auto book = ZipEntries(dir_ / "words/small.epub");
  for (int i = 1; i <= 3; ++i) {
    char part[32];
    std::snprintf(part, sizeof part, "part-%03d", i);
    SCOPED_TRACE(part);
    const Overlay sentences = ReadOverlay(sentences_book.at("EPUB/" + std::string(part) + ".smil"));
    const Overlay words = ReadOverlay(book.at("EPUB/" + std::string(part) + ".smil"));
    const std::string& xhtml = book.at("EPUB/" + std::string(part) + ".xhtml");
    ASSERT_EQ(words.seqs.size(), sentences.pars.size());
    for (std::size_t k = 0; k < words.seqs.size(); ++k) {
      const auto& [sentence, clips] = words.seqs[k];
      const Clip& whole = sentences.pars[k];
      EXPECT_EQ(sentence, whole.id);
      ASSERT_FALSE(clips.empty()) << sentence;
      // The words share out the sentence's clip, in order, none empty.
      EXPECT_NEAR(clips.front().begin, whole.begin, 0.0011) << sentence;
      EXPECT_NEAR(clips.back().end, whole.end, 0.0011) << sentence;
      for (std::size_t w = 0; w < clips.size(); ++w) {
        EXPECT_LT(clips[w].begin, clips[w].end) << clips[w].id;
        if (w > 0) {
          EXPECT_NEAR(clips[w].begin, clips[w - 1].end, 0.0011) << clips[w].id;
        }
        EXPECT_TRUE(clips[w].id.starts_with(sentence + "w")) << clips[w].id;
      }
      // Every letter and digit of the sentence is shown by some word.
      const ElementText text = TextOfId(xhtml, sentence);
      EXPECT_EQ(text.text, TextOfId(sentences_book.at("EPUB/" + whole.file), whole.id).text);
      for (std::size_t c = 0; c < text.in_word.size(); ++c) {
        if (std::isalnum(static_cast<unsigned char>(text.text[c])) != 0) {
          EXPECT_TRUE(text.in_word[c]) << sentence << ": \"" << text.text << "\" at " << c;
        }
      }
    }
  }
}

TEST_F(RenderBooksTest, TheAudiobookHasEveryChapterWhereItsFileStartsAndTheBooksTags) {
  const fs::path book = dir_ / "m4b" / "small.m4b";
  const std::string chapters =
      RunShell("ffprobe -v error -show_chapters -of compact '" + book.string() + "' 2>&1");
  const std::regex chapter(
      "chapter\\|id=[0-9]+\\|time_base=[^|]+\\|start=[^|]+\\|start_time=([^|]+)"
      "\\|end=[^|]+\\|end_time=([^|]+)\\|tag:title=([^\\n]*)");
  std::vector<std::pair<double, std::string>> found;
  for (std::sregex_iterator it(chapters.begin(), chapters.end(), chapter), end; it != end; ++it) {
    found.emplace_back(std::stod((*it)[1]), (*it)[3]);
  }
  // Where each chapter file of the WAV rendering starts in the whole, and its heading.
  const std::vector<std::pair<std::string, std::string>> files = {
      {"01-opening.wav", "Opening"},
      {"02-chapter-01.wav", "CHAPTER 1"},
      {"03-chapter-02.wav", "CHAPTER 2"}};
  ASSERT_EQ(found.size(), files.size()) << chapters;
  double start = 0;
  for (std::size_t i = 0; i < files.size(); ++i) {
    EXPECT_NEAR(found[i].first, start, 0.05) << files[i].first;
    EXPECT_EQ(found[i].second, files[i].second);
    start += static_cast<double>(fs::file_size(dir_ / "wav" / files[i].first) - 44) / 2 / 22050;
  }
  const std::string format = RunShell(
      "ffprobe -v error -show_entries format=duration:format_tags=title,artist,album,major_brand "
      "-show_entries stream=codec_name -of compact '" +
      book.string() + "' 2>&1");
  for (const char* tag : {"codec_name=aac", "tag:title=A Small Book", "tag:artist=A. Tester",
                          "tag:album=A Small Book", "tag:major_brand=M4B"}) {
    EXPECT_NE(format.find(tag), std::string::npos) << tag << " in " << format;
  }
  std::smatch duration;
  ASSERT_TRUE(std::regex_search(format, duration, std::regex("duration=([0-9.]+)")));
  EXPECT_NEAR(std::stod(duration[1]), start, 0.1);
  // Both chapter lists: the QuickTime chapter track (a text track the audio refers to as "chap")
  // and the Nero list ("chpl").
  const std::string streams =
      RunShell("ffprobe -v error -show_entries stream=codec_type,codec_tag_string -of compact '" +
               book.string() + "' 2>&1");
  EXPECT_NE(streams.find("codec_type=data|codec_tag_string=text"), std::string::npos) << streams;
  const std::string bytes = ReadAll(book);
  EXPECT_NE(bytes.find("chap"), std::string::npos);
  EXPECT_NE(bytes.find("chpl"), std::string::npos);
}

}  // namespace
}  // namespace quillon::tool
