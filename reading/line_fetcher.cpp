#include "reading/line_fetcher.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "text/text_primitives.h"

namespace quillon {
namespace {

// clang-format off
constexpr std::array<ChapterHeading, 68> kChapterHeadings{{
    {"CHAPTER 10", 10},  // 1
    {"CHAPTER 11", 11},  // 2
    {"CHAPTER 12", 12},  // 3
    {"CHAPTER 13", 13},  // 4
    {"CHAPTER 14", 14},  // 5
    {"CHAPTER 15", 15},  // 6
    {"CHAPTER 16", 16},  // 7
    {"CHAPTER 17", 17},  // 8
    {"CHAPTER 18", 18},  // 9
    {"CHAPTER 19", 19},  // 10
    {"CHAPTER 20", 20},  // 11
    {"CHAPTER 21", 21},  // 12
    {"CHAPTER 22", 22},  // 13
    {"CHAPTER 23", 23},  // 14
    {"CHAPTER 24", 24},  // 15
    {"CHAPTER 25", 25},  // 16
    {"CHAPTER 26", 26},  // 17
    {"CHAPTER 27", 27},  // 18
    {"CHAPTER 28", 28},  // 19
    {"CHAPTER 29", 29},  // 20
    {"CHAPTER 30", 30},  // 21
    {"CHAPTER 31", 31},  // 22
    {"CHAPTER 32", 32},  // 23
    {"CHAPTER 33", 33},  // 24
    {"CHAPTER 34", 34},  // 25
    {"CHAPTER 35", 35},  // 26
    {"CHAPTER 36", 36},  // 27
    {"CHAPTER 37", 37},  // 28
    {"CHAPTER 38", 38},  // 29
    {"CHAPTER 39", 39},  // 30
    {"CHAPTER 40", 40},  // 31
    {"CHAPTER 41", 41},  // 32
    {"CHAPTER 42", 42},  // 33
    {"CHAPTER 43", 43},  // 34
    {"CHAPTER 44", 44},  // 35
    {"CHAPTER 45", 45},  // 36
    {"CHAPTER 46", 46},  // 37
    {"CHAPTER 47", 47},  // 38
    {"CHAPTER 48", 48},  // 39
    {"CHAPTER 49", 49},  // 40
    {"CHAPTER 50", 50},  // 41
    {"CHAPTER 51", 51},  // 42
    {"CHAPTER 52", 52},  // 43
    {"CHAPTER 53", 53},  // 44
    {"CHAPTER 54", 54},  // 45
    {"CHAPTER 55", 55},  // 46
    {"CHAPTER 56", 56},  // 47
    {"CHAPTER 57", 57},  // 48
    {"CHAPTER 58", 58},  // 49
    {"CHAPTER 59", 59},  // 50
    {"CHAPTER 60", 60},  // 51
    {"CHAPTER 61", 61},  // 52
    {"CHAPTER 62", 62},  // 53
    {"CHAPTER 63", 63},  // 54
    {"CHAPTER 64", 64},  // 55
    {"CHAPTER 65", 65},  // 56
    {"CHAPTER 66", 66},  // 57
    {"CHAPTER 67", 67},  // 58
    {"CHAPTER 68", 68},  // 59
    {"CHAPTER 1",  1},   // 60
    {"CHAPTER 2",  2},   // 61
    {"CHAPTER 3",  3},   // 62
    {"CHAPTER 4",  4},   // 63
    {"CHAPTER 5",  5},   // 64
    {"CHAPTER 6",  6},   // 65
    {"CHAPTER 7",  7},   // 66
    {"CHAPTER 8",  8},   // 67
    {"CHAPTER 9",  9},   // 68
}};
// clang-format on

// Every heading begins with these words: a line without them holds none, and one search says so.
constexpr std::string_view kHeadingWords = "CHAPTER ";
static_assert(std::all_of(kChapterHeadings.begin(), kChapterHeadings.end(),
                          [](const ChapterHeading& row) {
                            return row.heading.starts_with(kHeadingWords);
                          }));

}  // namespace

std::span<const ChapterHeading> ChapterHeadings() {
  return kChapterHeadings;
}

std::int32_t ChapterOfLine(std::string_view line) {
  if (!Contains(kHeadingWords, line)) {
    return 0;
  }
  for (const ChapterHeading& row : kChapterHeadings) {
    if (Contains(row.heading, line)) {
      return row.chapter;
    }
  }
  return 0;
}

std::string GetNextLine(RichTextView& view, ReaderState& state) {
  const std::int64_t start = view.SelectionLength() != 0
                                 ? view.SelectionStart() + view.SelectionLength()
                                 : view.SelectionStart();
  const std::int64_t length = view.TextLength();
  view.SetSelection(start, 0);
  const std::int64_t found = view.FindForward("\n", start, length - start);
  if (found < 0) {
    return {};
  }
  view.SetFocus();
  view.SetSelection(start, found - start + 1);
  view.ScrollCaret();
  std::string line = view.SelectedText();
  if (const std::int32_t chapter = ChapterOfLine(line); chapter != 0) {
    state.CurrentChapter = chapter;
  }
  return line;
}

}  // namespace quillon
