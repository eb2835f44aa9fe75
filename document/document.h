// The novel's document: rich text (the subset word processors write) or plain text, loaded into
// paragraphs of formatted runs, and the view text the reading engine sees.
//
// Rich text is a file that begins with "{\rtf"; anything else is plain text whose bytes are
// Windows-1252 and whose line ends (LF, CR LF or CR) are paragraph breaks.
//
// The bytes of rich text are in the code page of their font (\fcharsetN or \cpgN in the font
// table), else in the document's (\ansicpgN, Windows-1252 when it names none): text written in
// Cyrillic, Greek or Japanese code pages reads as written.
//
// A hard line break inside a paragraph (\line) ends the paragraph here: the next paragraph keeps
// the alignment, and formatting carries on as usual. The engine walks the view line by line through
// each line feed, so a line break must reach it as the carriage return and line feed of a paragraph
// break; anything else would run two display lines together into one spoken line. Text exports of
// word processors write a line break as a line end too, so the two agree.
//
// A carriage return, line feed, line separator or paragraph separator written as an escape
// (\'0d, \u8232 ...) breaks the line the same way, so runs never hold a line break.
//
// Text the view never shows is dropped: NUL bytes, the optional hyphen (\-), skipped destinations.
// A non-breaking space (\~) is 0xA0, a non-breaking hyphen (\_) is "-".
//
// Bad input never throws from ParseDocument: unbalanced braces, a truncated file, deep nesting,
// huge numbers and \bin counts all load what can be read. Nesting deeper than kMaxGroupDepth
// shares the formatting of the deepest group kept.
#pragma once

#include <cstddef>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

struct TextFormat {
  bool bold = false;
  bool italic = false;
  bool underline = false;
  int font_half_points = 0;  // 0: the view's default size

  friend bool operator==(const TextFormat&, const TextFormat&) = default;
};

enum class Alignment { Left, Center, Right, Justify };

// A stretch of a paragraph in one format: a view into the document's text.
struct TextRun {
  std::string_view text_utf8;  // never empty in a loaded document; no line breaks
  TextFormat format;

  friend bool operator==(const TextRun&, const TextRun&) = default;
};

// One paragraph, made on request from the document: its views stay valid while the document
// lives and is not changed.
struct Paragraph {
  std::string_view text_utf8;  // the paragraph's text in UTF-8, without a line end
  std::vector<TextRun> runs;   // adjacent runs differ in format; empty for a blank paragraph
  Alignment alignment = Alignment::Left;

  friend bool operator==(const Paragraph&, const Paragraph&) = default;
};

// The loaded text, held compactly whatever its shape: one UTF-8 text with a line feed between
// paragraphs, the places where the format changes, the paragraphs where the alignment changes, and
// where every 64th paragraph starts. A file of N bytes costs about N bytes (up to 3N for text
// outside ASCII), however many paragraphs or runs it has.
class Document {
 public:
  // Walks the paragraphs in order; each step finds the next line feed.
  class Iterator {
   public:
    using iterator_category = std::input_iterator_tag;
    using value_type = Paragraph;
    using difference_type = std::ptrdiff_t;
    using pointer = void;
    using reference = Paragraph;

    Iterator() = default;
    Paragraph operator*() const;
    Iterator& operator++();
    Iterator operator++(int) {
      Iterator before = *this;
      ++*this;
      return before;
    }
    friend bool operator==(const Iterator& a, const Iterator& b) { return a.index_ == b.index_; }

   private:
    friend class Document;
    Iterator(const Document* document, std::size_t index, std::size_t begin);

    const Document* document_ = nullptr;
    std::size_t index_ = 0;
    std::size_t begin_ = 0;  // the paragraph's text in text_: [begin_, end_)
    std::size_t end_ = 0;
  };

  std::size_t ParagraphCount() const { return paragraph_count_; }
  bool Empty() const { return paragraph_count_ == 0; }
  // The paragraph at index (from 0, less than ParagraphCount()).
  Paragraph ParagraphAt(std::size_t index) const;
  Iterator begin() const;
  Iterator end() const;

  // The text the engine sees: Windows-1252, paragraphs joined by carriage return and line feed.
  // A file that ends with a paragraph break ends with an empty paragraph, so its view text ends
  // with CR LF. A character outside Windows-1252 becomes '?'.
  std::string ViewText() const;
  // The same text in UTF-8, paragraphs joined by "\n" (what a view shows; used by tests and tools).
  std::string TextUtf8() const { return text_; }

 private:
  friend class DocumentBuilder;

  struct FormatChange {
    std::size_t offset;  // in text_: the format of the text from here on
    TextFormat format;
  };
  struct AlignmentChange {
    std::size_t paragraph;  // the alignment of the paragraphs from this one on
    Alignment alignment;
  };
  static constexpr std::size_t kCheckpointEvery = 64;

  Paragraph MakeParagraph(std::size_t index, std::size_t begin, std::size_t end) const;
  // Where the paragraph that begins at begin ends: at the next line feed, or the end of the text.
  std::size_t ParagraphEnd(std::size_t begin) const;

  std::string text_;  // UTF-8, "\n" between paragraphs
  std::size_t paragraph_count_ = 0;
  std::vector<FormatChange> formats_;        // by offset; neighbours differ in format
  std::vector<AlignmentChange> alignments_;  // by paragraph; neighbours differ in alignment
  std::vector<std::size_t> checkpoints_;     // offset of paragraph k * kCheckpointEvery
};

// Groups nested deeper than this share the formatting of the deepest kept group.
inline constexpr int kMaxGroupDepth = 4096;

// Parses a document held in memory. Never throws on bad input.
Document ParseDocument(std::string_view bytes);

// The largest document LoadDocument reads: 64 MiB, a hundred times the novel. A document costs
// up to four times its size in memory, and the view shows it whole.
inline constexpr std::size_t kMaxDocumentBytes = std::size_t{64} << 20;
inline constexpr std::string_view kNotRegularFile = "it is not a regular file";
inline constexpr std::string_view kDocumentTooLarge = "it is larger than 64 MiB";

// Reads and parses the file. Throws std::runtime_error with the path as given:
// "Cannot open file PATH" when the file is missing, a folder or cannot be read;
// "Cannot open file PATH: it is not a regular file" for a device, FIFO or socket (refused at once,
// without reading or waiting for a writer); "Cannot open file PATH: it is larger than 64 MiB" when
// it holds more than kMaxDocumentBytes.
Document LoadDocument(const std::string& path);

}  // namespace quillon
