#include "tools/quillon-tool/render_epub.h"

#include <zip.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <map>
#include <stdexcept>
#include <string_view>

namespace quillon::tool {
namespace {

constexpr std::string_view kActiveClass = "-epub-media-overlay-active";
constexpr std::string_view kPlayingClass = "-epub-media-overlay-playing";

std::string Escape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '&') {
      out += "&amp;";
    } else if (c == '<') {
      out += "&lt;";
    } else if (c == '>') {
      out += "&gt;";
    } else if (c == '"') {
      out += "&quot;";
    } else if (byte < 0x20 && c != '\t') {
      // Not allowed in XML: nothing a reader would see.
    } else {
      out.push_back(c);
    }
  }
  return out;
}

// Code points in UTF-8 text.
std::size_t CodePoints(std::string_view utf8) {
  return static_cast<std::size_t>(std::count_if(utf8.begin(), utf8.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  }));
}

// The byte offset of each code point of utf8, and one more: its size.
std::vector<std::size_t> CodePointOffsets(std::string_view utf8) {
  std::vector<std::size_t> offsets;
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    if ((static_cast<unsigned char>(utf8[i]) & 0xC0) != 0x80) {
      offsets.push_back(i);
    }
  }
  offsets.push_back(utf8.size());
  return offsets;
}

// A marked stretch of a paragraph, in code points.
struct Mark {
  std::size_t begin = 0;
  std::size_t end = 0;
  std::string id;
};

struct Clip {
  std::string id;  // of the element it plays
  std::uint64_t begin = 0;
  std::uint64_t end = 0;
};

struct SentenceClips {
  std::string id;
  Clip whole;
  std::vector<Clip> words;
};

// One chapter's content: its paragraphs, the marks in each, and the clips of its overlay.
struct ChapterPlan {
  std::size_t first_paragraph = 0;
  std::size_t end_paragraph = 0;
  std::map<std::size_t, std::vector<Mark>> sentence_marks;  // by paragraph
  std::map<std::size_t, std::vector<Mark>> word_marks;
  std::vector<SentenceClips> clips;
};

class ViewPositions {
 public:
  explicit ViewPositions(const Document& document) {
    std::int64_t at = 0;
    for (const Paragraph& paragraph : document) {
      starts_.push_back(at);
      at += static_cast<std::int64_t>(CodePoints(paragraph.text_utf8)) + 2;
    }
    end_ = at;
  }
  // The paragraph that holds position (the last one for a position past the end).
  std::size_t ParagraphAt(std::int64_t position) const {
    const auto after = std::upper_bound(starts_.begin(), starts_.end(), position);
    return after == starts_.begin() ? 0 : static_cast<std::size_t>(after - starts_.begin() - 1);
  }
  std::int64_t Start(std::size_t paragraph) const { return starts_[paragraph]; }
  std::size_t Count() const { return starts_.size(); }

 private:
  std::vector<std::int64_t> starts_;
  std::int64_t end_ = 0;
};

// Millisecond clock values: two sample counts that round alike cannot make a clip.
std::uint64_t Millis(std::uint64_t samples, int rate) {
  return static_cast<std::uint64_t>(
      std::llround(static_cast<double>(samples) * 1000.0 / static_cast<double>(rate)));
}

ChapterPlan PlanChapter(const Document& document, const ViewPositions& positions,
                        const RenderedChapter& chapter, std::int64_t view_end,
                        const EpubOptions& options) {
  ChapterPlan plan;
  plan.first_paragraph = positions.ParagraphAt(chapter.view_start);
  plan.end_paragraph =
      std::max(plan.first_paragraph + 1,
               std::min(positions.Count(), positions.ParagraphAt(view_end - 1) + 1));
  const int rate = options.sample_rate;
  std::size_t number = 0;
  for (const RenderedSentence& sentence : chapter.sentences) {
    ++number;
    const std::int64_t begin =
        sentence.line_start + static_cast<std::int64_t>(sentence.in_line.start);
    const std::size_t paragraph = positions.ParagraphAt(begin);
    if (sentence.in_line.length == 0 || paragraph < plan.first_paragraph ||
        paragraph >= plan.end_paragraph ||
        Millis(sentence.end_sample, rate) <= Millis(sentence.first_sample, rate)) {
      continue;  // nothing to show, or nothing to hear
    }
    const std::size_t length = CodePoints(document.ParagraphAt(paragraph).text_utf8);
    const auto in_paragraph = [&](std::size_t in_line) {
      const std::int64_t at =
          sentence.line_start + static_cast<std::int64_t>(in_line) - positions.Start(paragraph);
      return static_cast<std::size_t>(
          std::clamp<std::int64_t>(at, 0, static_cast<std::int64_t>(length)));
    };
    std::vector<Mark>& marks = plan.sentence_marks[paragraph];
    const std::size_t from = std::max(in_paragraph(sentence.in_line.start),
                                      marks.empty() ? std::size_t{0} : marks.back().end);
    const std::size_t to = in_paragraph(sentence.in_line.end());
    if (to <= from) {
      continue;
    }
    SentenceClips clips;
    clips.id = "s" + std::to_string(number);
    clips.whole = {clips.id, sentence.first_sample, sentence.end_sample};
    marks.push_back({from, to, clips.id});
    if (options.words) {
      std::size_t word_number = 0;
      for (const WordClip& word : WordClips(sentence, static_cast<std::uint64_t>(rate / 50))) {
        const std::size_t word_from = std::max(in_paragraph(word.in_line.start), from);
        const std::size_t word_to = std::min(in_paragraph(word.in_line.end()), to);
        if (word_to <= word_from) {
          // Shown nowhere here: its time goes to the word before.
          if (!clips.words.empty()) {
            clips.words.back().end = word.end;
          }
          continue;
        }
        const std::string id = clips.id + "w" + std::to_string(++word_number);
        plan.word_marks[paragraph].push_back({word_from, word_to, id});
        clips.words.push_back({id, word.begin, word.end});
      }
      if (!clips.words.empty()) {
        clips.words.front().begin = sentence.first_sample;
        clips.words.back().end = sentence.end_sample;
        // A word heard from part of a written word ("1," of "$1,000", "Dr" of "Dr.") shows the
        // rest of it too, and a word too short to be heard on its own ("the" after "of") shows
        // with the word before it: each word reaches to the last character before the next one
        // that is not a space. The first starts with the sentence.
        std::vector<Mark>& shown = plan.word_marks[paragraph];
        const Paragraph text = document.ParagraphAt(paragraph);
        const std::vector<std::size_t> offsets = CodePointOffsets(text.text_utf8);
        const auto space = [&](std::size_t at) {
          const char c = text.text_utf8[offsets[at]];
          return c == ' ' || c == '\t';
        };
        const std::size_t first_word = shown.size() - clips.words.size();
        shown[first_word].begin = from;
        for (std::size_t k = first_word; k < shown.size(); ++k) {
          const std::size_t limit = k + 1 < shown.size() ? shown[k + 1].begin : to;
          for (std::size_t c = shown[k].end; c < limit; ++c) {
            if (!space(c)) {
              shown[k].end = c + 1;
            }
          }
        }
      }
    }
    plan.clips.push_back(std::move(clips));
  }
  return plan;
}

bool IsHeading(const Paragraph& paragraph) {
  return !paragraph.runs.empty() &&
         std::all_of(paragraph.runs.begin(), paragraph.runs.end(), [](const TextRun& run) {
           return run.format.bold && run.format.font_half_points >= 28;
         });
}

std::string_view AlignmentClass(Alignment alignment) {
  switch (alignment) {
    case Alignment::Center:
      return "center";
    case Alignment::Right:
      return "right";
    case Alignment::Justify:
      return "justify";
    case Alignment::Left:
      break;
  }
  return {};
}

// One paragraph as XHTML: its runs in their formats, the sentence and word elements around them.
std::string ParagraphXhtml(const Paragraph& paragraph, const std::vector<Mark>& sentences,
                           const std::vector<Mark>& words, bool& had_heading) {
  const bool heading = IsHeading(paragraph);
  const std::string tag = heading ? (had_heading ? "h2" : "h1") : "p";
  had_heading = had_heading || heading;
  std::string out = "<" + tag;
  if (const std::string_view align = AlignmentClass(paragraph.alignment); !align.empty()) {
    out += " class=\"" + std::string(align) + "\"";
  }
  out += ">";
  const std::vector<std::size_t> offsets = CodePointOffsets(paragraph.text_utf8);
  // Every place where a run, a sentence or a word begins or ends.
  std::vector<std::size_t> cuts{0, offsets.size() - 1};
  std::size_t run_at = 0;
  std::vector<std::size_t> run_starts;
  for (const TextRun& run : paragraph.runs) {
    run_starts.push_back(run_at);
    cuts.push_back(run_at);
    run_at += CodePoints(run.text_utf8);
  }
  for (const auto* marks : {&sentences, &words}) {
    for (const Mark& mark : *marks) {
      cuts.push_back(mark.begin);
      cuts.push_back(mark.end);
    }
  }
  std::sort(cuts.begin(), cuts.end());
  cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());
  auto sentence = sentences.begin();
  auto word = words.begin();
  bool in_sentence = false;
  bool in_word = false;
  for (std::size_t i = 0; i + 1 < cuts.size(); ++i) {
    const std::size_t at = cuts[i];
    const std::size_t next = cuts[i + 1];
    if (in_word && word->end <= at) {
      out += "</span>";
      in_word = false;
      ++word;
    }
    if (in_sentence && sentence->end <= at) {
      out += "</span>";
      in_sentence = false;
      ++sentence;
    }
    if (!in_sentence && sentence != sentences.end() && sentence->begin == at) {
      out += "<span id=\"" + sentence->id + "\">";
      in_sentence = true;
    }
    if (!in_word && word != words.end() && word->begin == at) {
      out += "<span id=\"" + word->id + "\">";
      in_word = true;
    }
    const std::size_t run = static_cast<std::size_t>(
        std::upper_bound(run_starts.begin(), run_starts.end(), at) - run_starts.begin() - 1);
    const TextFormat format =
        run < paragraph.runs.size() ? paragraph.runs[run].format : TextFormat{};
    std::string open;
    std::string close;
    for (const auto& [on, name] :
         {std::pair{format.bold && !heading, "b"}, std::pair{format.italic, "i"},
          std::pair{format.underline, "u"}}) {
      if (on) {
        open += std::string("<") + name + ">";
        close = std::string("</") + name + ">" + close;
      }
    }
    out +=
        open + Escape(paragraph.text_utf8.substr(offsets[at], offsets[next] - offsets[at])) + close;
  }
  if (in_word) {
    out += "</span>";
  }
  if (in_sentence) {
    out += "</span>";
  }
  return out + "</" + tag + ">\n";
}

std::string XhtmlHead(const std::string& title, const BookInfo& info) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE html>\n"
         "<html xmlns=\"http://www.w3.org/1999/xhtml\" xmlns:epub=\"http://www.idpf.org/2007/ops\" "
         "xml:lang=\"" +
         info.language + "\" lang=\"" + info.language +
         "\">\n<head>\n<meta charset=\"UTF-8\"/>\n<title>" + Escape(title) +
         "</title>\n<link rel=\"stylesheet\" type=\"text/css\" href=\"style.css\"/>\n</head>\n";
}

std::string ChapterXhtml(const Document& document, const RenderedChapter& chapter,
                         const ChapterPlan& plan, const BookInfo& info) {
  static const std::vector<Mark> kNone;
  std::string out =
      XhtmlHead(chapter.title, info) + "<body>\n<section id=\"chapter\" epub:type=\"chapter\">\n";
  bool had_heading = false;
  bool any = false;
  for (std::size_t p = plan.first_paragraph; p < plan.end_paragraph; ++p) {
    const Paragraph paragraph = document.ParagraphAt(p);
    if (paragraph.runs.empty()) {
      continue;
    }
    const auto sentences = plan.sentence_marks.find(p);
    const auto words = plan.word_marks.find(p);
    out += ParagraphXhtml(paragraph,
                          sentences == plan.sentence_marks.end() ? kNone : sentences->second,
                          words == plan.word_marks.end() ? kNone : words->second, had_heading);
    any = true;
  }
  if (!any) {
    out += "<p>" + Escape(chapter.title) + "</p>\n";
  }
  return out + "</section>\n</body>\n</html>\n";
}

std::string AudioElement(const std::string& audio, const Clip& clip, int rate) {
  return "<audio src=\"" + audio + "\" clipBegin=\"" + SmilClock(clip.begin, rate) +
         "\" clipEnd=\"" + SmilClock(clip.end, rate) + "\"/>";
}

std::string ChapterSmil(const std::string& xhtml, const std::string& audio, const ChapterPlan& plan,
                        const EpubOptions& options) {
  const int rate = options.sample_rate;
  std::string out =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<smil xmlns=\"http://www.w3.org/ns/SMIL\" xmlns:epub=\"http://www.idpf.org/2007/ops\" "
      "version=\"3.0\">\n<body>\n<seq id=\"chapter\" epub:textref=\"" +
      xhtml + "#chapter\">\n";
  for (const SentenceClips& sentence : plan.clips) {
    if (!options.words || sentence.words.empty()) {
      out += "<par id=\"p" + sentence.id + "\"><text src=\"" + xhtml + "#" + sentence.id + "\"/>" +
             AudioElement(audio, sentence.whole, rate) + "</par>\n";
      continue;
    }
    out += "<seq id=\"q" + sentence.id + "\" epub:textref=\"" + xhtml + "#" + sentence.id + "\">\n";
    for (const Clip& word : sentence.words) {
      out += "<par id=\"p" + word.id + "\"><text src=\"" + xhtml + "#" + word.id + "\"/>" +
             AudioElement(audio, word, rate) + "</par>\n";
    }
    out += "</seq>\n";
  }
  return out + "</seq>\n</body>\n</smil>\n";
}

std::string NavXhtml(const std::vector<RenderedChapter>& chapters,
                     const std::vector<std::string>& files, const BookInfo& info) {
  std::string out = XhtmlHead(info.title, info) +
                    "<body>\n<nav epub:type=\"toc\" id=\"toc\">\n<h1>" + Escape(info.title) +
                    "</h1>\n<ol>\n";
  for (std::size_t i = 0; i < chapters.size(); ++i) {
    out += "<li><a href=\"" + files[i] + "\">" + Escape(chapters[i].title) + "</a></li>\n";
  }
  return out + "</ol>\n</nav>\n</body>\n</html>\n";
}

constexpr std::string_view kStyle =
    "body { font-family: serif; line-height: 1.5; margin: 0 5%; }\n"
    "h1, h2 { text-align: center; }\n"
    ".center { text-align: center; }\n"
    ".right { text-align: right; }\n"
    ".justify { text-align: justify; }\n"
    ".-epub-media-overlay-active { background-color: #ffe48a; color: #000000; }\n"
    ".-epub-media-overlay-playing span { color: #333333; }\n";

// The cover: the title and the author on a plain page, as an image.
std::string CoverSvg(const BookInfo& info) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"1200\" height=\"1800\" "
         "viewBox=\"0 0 1200 1800\">\n"
         "<rect width=\"1200\" height=\"1800\" fill=\"#f4ead5\"/>\n"
         "<rect x=\"60\" y=\"60\" width=\"1080\" height=\"1680\" fill=\"none\" stroke=\"#7a4b1f\" "
         "stroke-width=\"8\"/>\n"
         "<text x=\"600\" y=\"760\" font-family=\"serif\" font-size=\"64\" text-anchor=\"middle\" "
         "fill=\"#3b2410\">" +
         Escape(info.title) +
         "</text>\n"
         "<text x=\"600\" y=\"900\" font-family=\"serif\" font-size=\"48\" text-anchor=\"middle\" "
         "fill=\"#3b2410\">" +
         Escape(info.author) + "</text>\n</svg>\n";
}

// A name-based identifier: the same book gives the same one.
std::string BookIdentifier(const BookInfo& info, const std::vector<RenderedChapter>& chapters) {
  std::uint64_t a = 1469598103934665603ull;
  std::uint64_t b = 0x9E3779B97F4A7C15ull;
  const auto mix = [&](std::string_view text) {
    for (char c : text) {
      a = (a ^ static_cast<unsigned char>(c)) * 1099511628211ull;
      b = (b ^ static_cast<unsigned char>(c)) * 0x100000001B3ull + 0x2545F4914F6CDD1Dull;
    }
  };
  mix(info.title);
  mix(info.author);
  for (const RenderedChapter& chapter : chapters) {
    mix(chapter.title);
    mix(std::to_string(chapter.frames));
  }
  char text[64];
  std::snprintf(text, sizeof text, "urn:uuid:%08llx-%04llx-5%03llx-%04llx-%012llx",
                static_cast<unsigned long long>(a >> 32),
                static_cast<unsigned long long>((a >> 16) & 0xFFFF),
                static_cast<unsigned long long>(a & 0xFFF),
                static_cast<unsigned long long>(0x8000 | ((b >> 48) & 0x3FFF)),
                static_cast<unsigned long long>(b & 0xFFFFFFFFFFFFull));
  return text;
}

std::string PackageDocument(const std::vector<RenderedChapter>& chapters,
                            const std::vector<std::string>& names, const BookInfo& info,
                            const EpubOptions& options) {
  std::string out =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<package xmlns=\"http://www.idpf.org/2007/opf\" version=\"3.0\" "
      "unique-identifier=\"book-id\" xml:lang=\"" +
      info.language +
      "\">\n"
      "<metadata xmlns:dc=\"http://purl.org/dc/elements/1.1/\">\n"
      "<dc:identifier id=\"book-id\">" +
      BookIdentifier(info, chapters) +
      "</dc:identifier>\n"
      "<dc:title>" +
      Escape(info.title) +
      "</dc:title>\n"
      "<dc:creator>" +
      Escape(info.author) +
      "</dc:creator>\n"
      "<dc:language>" +
      info.language +
      "</dc:language>\n"
      "<meta property=\"dcterms:modified\">" +
      info.modified + "</meta>\n";
  std::uint64_t total = 0;
  for (std::size_t i = 0; i < chapters.size(); ++i) {
    out += "<meta property=\"media:duration\" refines=\"#" + names[i] + "-overlay\">" +
           SmilClock(chapters[i].frames, options.sample_rate) + "</meta>\n";
    total += chapters[i].frames;
  }
  out += "<meta property=\"media:duration\">" + SmilClock(total, options.sample_rate) +
         "</meta>\n"
         "<meta property=\"media:active-class\">" +
         std::string(kActiveClass) +
         "</meta>\n"
         "<meta property=\"media:playback-active-class\">" +
         std::string(kPlayingClass) +
         "</meta>\n"
         "<meta name=\"cover\" content=\"cover\"/>\n"
         "</metadata>\n<manifest>\n"
         "<item id=\"nav\" href=\"nav.xhtml\" media-type=\"application/xhtml+xml\" "
         "properties=\"nav\"/>\n"
         "<item id=\"style\" href=\"style.css\" media-type=\"text/css\"/>\n"
         "<item id=\"cover\" href=\"cover.svg\" media-type=\"image/svg+xml\" "
         "properties=\"cover-image\"/>\n";
  for (const std::string& name : names) {
    out += "<item id=\"" + name + "\" href=\"" + name +
           ".xhtml\" media-type=\"application/xhtml+xml\" "
           "media-overlay=\"" +
           name +
           "-overlay\"/>\n"
           "<item id=\"" +
           name + "-overlay\" href=\"" + name +
           ".smil\" media-type=\"application/smil+xml\"/>\n"
           "<item id=\"" +
           name + "-audio\" href=\"audio/" + name + ".mp3\" media-type=\"audio/mpeg\"/>\n";
  }
  out += "</manifest>\n<spine>\n";
  for (const std::string& name : names) {
    out += "<itemref idref=\"" + name + "\"/>\n";
  }
  return out + "</spine>\n</package>\n";
}

constexpr std::string_view kContainer =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<container version=\"1.0\" xmlns=\"urn:oasis:names:tc:opendocument:xmlns:container\">\n"
    "<rootfiles>\n"
    "<rootfile full-path=\"EPUB/package.opf\" media-type=\"application/oebps-package+xml\"/>\n"
    "</rootfiles>\n</container>\n";

// A zip archive being made; every failure throws naming the book.
class ZipWriter {
 public:
  ZipWriter(const std::string& path, std::string shown_name) : shown_name_(std::move(shown_name)) {
    int error = 0;
    archive_ = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (archive_ == nullptr) {
      zip_error_t reason;
      zip_error_init_with_code(&reason, error);
      const std::string why = zip_error_strerror(&reason);
      zip_error_fini(&reason);
      Fail(why);
    }
  }
  ~ZipWriter() {
    if (archive_ != nullptr) {
      zip_discard(archive_);
    }
  }
  ZipWriter(const ZipWriter&) = delete;
  ZipWriter& operator=(const ZipWriter&) = delete;

  // Text kept by the writer until Close; deflated unless stored.
  void AddText(const std::string& name, std::string text, bool store = false) {
    const std::string& kept = texts_.emplace_back(std::move(text));
    zip_source_t* source = zip_source_buffer(archive_, kept.data(), kept.size(), 0);
    Add(name, source, store);
  }
  // A file read when the archive is closed; stored, as audio does not compress.
  void AddFile(const std::string& name, const std::string& path) {
    Add(name, zip_source_file(archive_, path.c_str(), 0, -1), true);
  }
  void Close() {
    if (zip_close(archive_) != 0) {
      Fail(zip_strerror(archive_));
    }
    archive_ = nullptr;
  }

 private:
  void Add(const std::string& name, zip_source_t* source, bool store) {
    if (source == nullptr) {
      Fail(zip_strerror(archive_));
    }
    const zip_int64_t index = zip_file_add(archive_, name.c_str(), source, ZIP_FL_ENC_UTF_8);
    if (index < 0) {
      zip_source_free(source);
      Fail(zip_strerror(archive_));
    }
    zip_set_file_compression(archive_, static_cast<zip_uint64_t>(index),
                             store ? ZIP_CM_STORE : ZIP_CM_DEFLATE, 9);
  }
  [[noreturn]] void Fail(const std::string& why) const {
    throw std::runtime_error("Cannot write the file " + shown_name_ + ": " + why);
  }

  std::string shown_name_;
  zip_t* archive_ = nullptr;
  std::deque<std::string> texts_;
};

}  // namespace

std::string SmilClock(std::uint64_t samples, int sample_rate) {
  const std::uint64_t ms = Millis(samples, sample_rate);
  char text[48];
  std::snprintf(text, sizeof text, "%llu:%02llu:%02llu.%03llu",
                static_cast<unsigned long long>(ms / 3'600'000),
                static_cast<unsigned long long>(ms / 60'000 % 60),
                static_cast<unsigned long long>(ms / 1000 % 60),
                static_cast<unsigned long long>(ms % 1000));
  return text;
}

void WriteEpub(const std::string& path, const std::string& shown_name, const Document& document,
               const std::vector<RenderedChapter>& chapters, const BookInfo& info,
               const EpubOptions& options, const std::function<void()>& check) {
  const ViewPositions positions(document);
  std::vector<std::string> names;
  for (std::size_t i = 0; i < chapters.size(); ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "part-%03zu", i + 1);
    names.emplace_back(name);
  }
  ZipWriter zip(path, shown_name);
  // The media type first and stored, so that the archive's first bytes say what it is.
  zip.AddText("mimetype", "application/epub+zip", true);
  zip.AddText("META-INF/container.xml", std::string(kContainer));
  const std::int64_t view_end = options.view_end < 0 ? INT64_MAX : options.view_end;
  for (std::size_t i = 0; i < chapters.size(); ++i) {
    if (check) {
      check();
    }
    const std::int64_t end = i + 1 < chapters.size() ? chapters[i + 1].view_start : view_end;
    const ChapterPlan plan = PlanChapter(document, positions, chapters[i], end, options);
    zip.AddText("EPUB/" + names[i] + ".xhtml", ChapterXhtml(document, chapters[i], plan, info));
    zip.AddText("EPUB/" + names[i] + ".smil",
                ChapterSmil(names[i] + ".xhtml", "audio/" + names[i] + ".mp3", plan, options));
    zip.AddFile("EPUB/audio/" + names[i] + ".mp3", chapters[i].audio_path);
  }
  zip.AddText("EPUB/nav.xhtml", NavXhtml(
                                    chapters,
                                    [&] {
                                      std::vector<std::string> files;
                                      for (const std::string& name : names) {
                                        files.push_back(name + ".xhtml");
                                      }
                                      return files;
                                    }(),
                                    info));
  zip.AddText("EPUB/style.css", std::string(kStyle));
  zip.AddText("EPUB/cover.svg", CoverSvg(info));
  zip.AddText("EPUB/package.opf", PackageDocument(chapters, names, info, options));
  if (check) {
    check();
  }
  zip.Close();
}

}  // namespace quillon::tool
