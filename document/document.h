// The novel's document: rich text (the subset word processors write) or plain text, loaded into
// paragraphs of formatted runs, and the view text the reading engine sees.
//
// Rich text is a file that begins with "{\rtf"; anything else is plain text whose bytes are
// Windows-1252 and whose line ends (LF, CR LF or CR) are paragraph breaks.
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

struct TextRun {
  std::string text_utf8;  // never empty in a loaded document; no line breaks
  TextFormat format;

  friend bool operator==(const TextRun&, const TextRun&) = default;
};

struct Paragraph {
  std::vector<TextRun> runs;  // adjacent runs differ in format; empty for a blank paragraph
  Alignment alignment = Alignment::Left;

  // The paragraph's text in UTF-8, without a line end.
  std::string TextUtf8() const;

  friend bool operator==(const Paragraph&, const Paragraph&) = default;
};

struct Document {
  std::vector<Paragraph> paragraphs;

  // The text the engine sees: Windows-1252, paragraphs joined by carriage return and line feed.
  // A file that ends with a paragraph break ends with an empty paragraph, so its view text ends
  // with CR LF. A character outside Windows-1252 becomes '?'.
  std::string ViewText() const;
  // The same text in UTF-8, paragraphs joined by "\n" (what a view shows; used by tests and tools).
  std::string TextUtf8() const;
};

// Groups nested deeper than this share the formatting of the deepest kept group.
inline constexpr int kMaxGroupDepth = 4096;

// Parses a document held in memory. Never throws on bad input.
Document ParseDocument(std::string_view bytes);

// Reads and parses the file. Throws std::runtime_error("Cannot open file " + path) when the file
// is missing or cannot be read, with the path as given.
Document LoadDocument(const std::string& path);

}  // namespace quillon
