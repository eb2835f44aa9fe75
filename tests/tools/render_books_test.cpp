// render's books of a small rich-text document: the read-along EPUB (with and without word clips)
// against epubcheck and the script, subtitles and audio of the same rendering in WAV; the M4B's
// chapters and tags as ffprobe reads them.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <zip.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
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
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[4096];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
      out.append(buffer, got);
    }
    pclose(pipe);
  }
  return out;
}

// The first group of the regex's first match in text, or "" with a failure.
std::string Captured(const std::string& text, const std::string& regex) {
  std::smatch match;
  EXPECT_TRUE(std::regex_search(text, match, std::regex(regex))) << regex;
  return match.empty() ? "" : match.str(1);
}

std::map<std::string, std::string> ZipEntries(const fs::path& path) {
  std::map<std::string, std::string> entries;
  int error = 0;
  zip_t* archive = zip_open(path.c_str(), ZIP_RDONLY, &error);
  for (zip_int64_t i = 0; archive != nullptr && i < zip_get_num_entries(archive, 0); ++i) {
    zip_stat_t stat;
    zip_stat_index(archive, static_cast<zip_uint64_t>(i), 0, &stat);
    std::string& content = entries[stat.name] = std::string(stat.size, '\0');
    zip_file_t* file = zip_fopen_index(archive, static_cast<zip_uint64_t>(i), 0);
    zip_fread(file, content.data(), stat.size);
    zip_fclose(file);
  }
  zip_close(archive);  // takes a null archive too
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
  for (int depth = 1, word_depth = 0; depth > 0 && at < xhtml.size();) {
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
    const std::size_t next = xhtml[at] == '&' ? xhtml.find(';', at) + 1 : at + 1;
    out.text += Decode(xhtml.substr(at, next - at));
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

// The pars of an overlay in order, and each seq's text reference with the word pars inside it.
struct Overlay {
  std::vector<Clip> pars;
  std::vector<std::pair<std::string, std::vector<Clip>>> seqs;
};
Overlay ReadOverlay(const std::string& smil) {
  const std::regex par(
      "<par id=\"[^\"]+\"><text src=\"([^#\"]+)#([^\"]+)\"/><audio src=\"[^\"]+\" "
      "clipBegin=\"([^\"]+)\" clipEnd=\"([^\"]+)\"/></par>");
  const std::regex seq("<seq id=\"q[^\"]+\" epub:textref=\"[^#\"]+#([^\"]+)\">");
  Overlay overlay;
  std::istringstream in(smil);
  std::smatch match;
  for (std::string line; std::getline(in, line);) {
    if (std::regex_match(line, match, seq)) {
      overlay.seqs.push_back({match[1], {}});
    } else if (std::regex_match(line, match, par)) {
      overlay.pars.push_back({match[1], match[2], ClockSeconds(match[3]), ClockSeconds(match[4])});
      if (!overlay.seqs.empty() && overlay.pars.back().id.find('w') != std::string::npos) {
        overlay.seqs.back().second.push_back(overlay.pars.back());
      }
    }
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
  for (std::string line; std::getline(in, line);) {
    if (line.find(" --> ") != std::string::npos) {
      Cue& cue = cues.emplace_back(
          Cue{ClockSeconds(line.substr(0, 12)), ClockSeconds(line.substr(17, 12)), {}});
      std::getline(in, cue.text);
      cue.text = Decode(cue.text);
    }
  }
  return cues;
}

// The chapter files of the WAV rendering, in the order of the book's parts, with their headings.
const std::pair<const char*, const char*> kChapters[] = {
    {"01-opening", "Opening"}, {"02-chapter-01", "CHAPTER 1"}, {"03-chapter-02", "CHAPTER 2"}};

std::string Part(std::size_t i, const char* extension) {  // of the EPUB, from 0
  char name[32];
  std::snprintf(name, sizeof name, "EPUB/part-%03zu%s", i + 1, extension);
  return name;
}

class RenderBooksTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    std::string pattern = (fs::temp_directory_path() / "quillon-epub-XXXXXX").string();
    dir_ = ::mkdtemp(pattern.data());
    std::ofstream(dir_ / "small.rtf", std::ios::binary) << kDocument;
    for (const auto& [out, options] : {std::pair{"wav", "--format wav"},
                                       {"epub", "--format epub"},
                                       {"words", "--format epub --words"},
                                       {"m4b", "--format m4b"}}) {
      const auto result =
          RunTool("render '" + (dir_ / "small.rtf").string() + "' --out '" + (dir_ / out).string() +
                      "' " + options + " --title 'A Small Book' --author 'A. Tester'",
                  dir_ / "err.txt");
      ASSERT_EQ(result.exit_code, 0) << options << ": " << ReadAll(dir_ / "err.txt");
      const auto files =
          fs::is_directory(dir_ / out) ? std::distance(fs::directory_iterator(dir_ / out), {}) : 0;
      ASSERT_EQ(files, out == std::string("wav") ? 6 : 1)
          << options << ": a book is one file, and nothing else is left";
    }
    script_ = RunTool("script '" + (dir_ / "small.rtf").string() + "'", dir_ / "err.txt").out;
  }
  static void TearDownTestSuite() { fs::remove_all(dir_); }

  static double WavSeconds(const std::string& chapter) {  // 16-bit mono at 22050 Hz
    return static_cast<double>(fs::file_size(dir_ / "wav" / (chapter + ".wav")) - 44) / 2 / 22050;
  }

  static inline fs::path dir_;
  static inline std::string script_;
};

TEST_F(RenderBooksTest, EpubcheckFindsNoErrorAndNoWarning) {
  for (const char* book : {"epub/small.epub", "words/small.epub"}) {
    const std::string report =
        RunShell("java -jar /usr/share/java/epubcheck.jar '" + (dir_ / book).string() + "' 2>&1");
    EXPECT_NE(report.find("No errors or warnings detected."), std::string::npos) << book << report;
  }
}

TEST_F(RenderBooksTest, EverySentenceHasOneClipOfItsOwnAudioShowingItsWrittenText) {
  const auto book = ZipEntries(dir_ / "epub/small.epub");
  const std::string& package = book.at("EPUB/package.opf");
  std::size_t sentences = 0, pars = 0;
  for (std::size_t at = 0; (at = script_.find("\"text\":", at)) != std::string::npos; ++at) {
    ++sentences;
  }
  double total = 0;
  for (std::size_t i = 0; i < std::size(kChapters); ++i) {
    SCOPED_TRACE(Part(i, ""));
    const Overlay overlay = ReadOverlay(book.at(Part(i, ".smil")));
    const std::vector<Cue> cues =
        ReadCues(dir_ / "wav" / (kChapters[i].first + std::string(".vtt")));
    const double length = WavSeconds(kChapters[i].first);
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
    const std::string refines = "refines=\"#" + Part(i, "-overlay").substr(5);  // past "EPUB/"
    EXPECT_NEAR(ClockSeconds(Captured(package, refines + "\">([^<]+)<")), length, 0.1);
    pars += overlay.pars.size();
  }
  EXPECT_EQ(pars, sentences);
  EXPECT_NEAR(ClockSeconds(Captured(package, "<meta property=\"media:duration\">([^<]+)<")), total,
              0.1);
  for (const char* needed :
       {"<dc:title>A Small Book</dc:title>", "<dc:creator>A. Tester</dc:creator>",
        "<dc:language>en</dc:language>", "property=\"dcterms:modified\"",
        "<meta property=\"media:active-class\">-epub-media-overlay-active</meta>",
        "properties=\"cover-image\"", "properties=\"nav\""}) {
    EXPECT_NE(package.find(needed), std::string::npos) << needed;
  }
  // The book's formatting, not the rewritten words.
  for (const auto& [part, shown] :
       {std::pair{1, "<h1 class=\"center\"><span id=\"s1\">CHAPTER 1</span></h1>"},
        {1, "Oconomowoc"},
        {1, "Mr. Smith."},
        {1, "<i>very</i>"},
        {1, "<b>tall</b>"},
        {1, "&amp; kind."},
        {0, "<p class=\"center\"><span id=\"s2\"><i>a test"}}) {
    EXPECT_NE(book.at(Part(part, ".xhtml")).find(shown), std::string::npos) << shown;
  }
}

TEST_F(RenderBooksTest, WithWordsEveryWordHasAClipInsideItsSentence) {
  const auto sentences_book = ZipEntries(dir_ / "epub/small.epub");
  const auto book = ZipEntries(dir_ / "words/small.epub");
  for (std::size_t i = 0; i < std::size(kChapters); ++i) {
    SCOPED_TRACE(Part(i, ""));
    const Overlay sentences = ReadOverlay(sentences_book.at(Part(i, ".smil")));
    const Overlay words = ReadOverlay(book.at(Part(i, ".smil")));
    ASSERT_EQ(words.seqs.size(), sentences.pars.size());
    for (std::size_t k = 0; k < words.seqs.size(); ++k) {
      const auto& [sentence, clips] = words.seqs[k];
      const Clip& whole = sentences.pars[k];
      EXPECT_EQ(sentence, whole.id);
      ASSERT_FALSE(clips.empty()) << sentence;
      // The words share out the sentence's clip, in order, none empty.
      EXPECT_NEAR(clips.back().end, whole.end, 0.0011) << sentence;
      for (std::size_t w = 0; w < clips.size(); ++w) {
        EXPECT_LT(clips[w].begin, clips[w].end) << clips[w].id;
        EXPECT_NEAR(clips[w].begin, w > 0 ? clips[w - 1].end : whole.begin, 0.0011) << clips[w].id;
        EXPECT_TRUE(clips[w].id.starts_with(sentence + "w")) << clips[w].id;
      }
      // The same text, and every letter and digit of it shown by some word.
      const ElementText text = TextOfId(book.at(Part(i, ".xhtml")), sentence);
      EXPECT_EQ(text.text, TextOfId(sentences_book.at("EPUB/" + whole.file), whole.id).text);
      for (std::size_t c = 0; c < text.in_word.size(); ++c) {
        EXPECT_TRUE(!std::isalnum(static_cast<unsigned char>(text.text[c])) || text.in_word[c])
            << sentence << ": \"" << text.text << "\" at " << c;
      }
    }
  }
}

TEST_F(RenderBooksTest, TheAudiobookHasEveryChapterWhereItsFileStartsAndTheBooksTags) {
  const fs::path book = dir_ / "m4b" / "small.m4b";
  const std::string probe = RunShell(
      "ffprobe -v error -show_chapters -show_entries format=duration:format_tags=title,artist,"
      "album,major_brand -show_entries stream=codec_name,codec_type,codec_tag_string -of compact "
      "'" +
      book.string() + "' 2>&1");
  const std::regex chapter("chapter\\|.*\\|start_time=([^|]+)\\|.*\\|tag:title=([^\\n]*)");
  std::vector<std::pair<double, std::string>> found;
  for (std::sregex_iterator it(probe.begin(), probe.end(), chapter), end; it != end; ++it) {
    found.emplace_back(std::stod((*it)[1]), (*it)[2]);
  }
  // Each chapter starts where its file of the WAV rendering starts in the whole.
  ASSERT_EQ(found.size(), std::size(kChapters)) << probe;
  double start = 0;
  for (std::size_t i = 0; i < found.size(); ++i) {
    EXPECT_NEAR(found[i].first, start, 0.05) << kChapters[i].first;
    EXPECT_EQ(found[i].second, kChapters[i].second);
    start += WavSeconds(kChapters[i].first);
  }
  EXPECT_NEAR(std::atof(Captured(probe, "duration=([0-9.]+)").c_str()), start, 0.1);
  // Both chapter lists: the QuickTime chapter track (a text track the audio refers to as "chap")
  // and the Nero list ("chpl").
  for (const char* tag :
       {"codec_name=aac", "tag:title=A Small Book", "tag:artist=A. Tester",
        "tag:album=A Small Book", "tag:major_brand=M4B", "codec_type=data|codec_tag_string=text"}) {
    EXPECT_NE(probe.find(tag), std::string::npos) << tag << " in " << probe;
  }
  const std::string bytes = ReadAll(book);
  EXPECT_NE(bytes.find("chap"), std::string::npos);
  EXPECT_NE(bytes.find("chpl"), std::string::npos);
}

}  // namespace
}  // namespace quillon::tool
