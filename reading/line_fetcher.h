// Line fetching and chapter tracking: the next line of the view, selected, with its chapter.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "reading/rich_text_view.h"
#include "text/reader_state.h"

namespace quillon {

struct ChapterHeading {
  std::string_view heading;
  std::int32_t chapter;
};

// The 68 headings in testing order: the two-digit ones first, so that "CHAPTER 1" never claims a
// line that holds "CHAPTER 12".
std::span<const ChapterHeading> ChapterHeadings();

// The chapter number of the first heading that line contains, or 0 when it holds none.
std::int32_t ChapterOfLine(std::string_view line);

// Selects the line that follows the selection (or starts at the caret), through its line feed,
// gives the view the focus, scrolls the caret into view, updates state.CurrentChapter from a
// heading in the line and returns the line. When no line feed follows, returns an empty text,
// leaves the caret at the start with nothing selected and the chapter unchanged.
// Costs time in the length of the line, not of the document.
std::string GetNextLine(RichTextView& view, ReaderState& state);

}  // namespace quillon
