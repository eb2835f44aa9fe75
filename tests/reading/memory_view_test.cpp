#include "reading/memory_view.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <numeric>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {
namespace {

TEST(PlainTextToViewText, EveryLineEndBecomesOneParagraphBreak) {
  const struct {
    std::string bytes, expected;
  } cases[] = {
      {"a\nb\n", "a\r\nb\r\n"},
      {"a\r\nb\r\n", "a\r\nb\r\n"},
      {"a\rb\r", "a\r\nb\r\n"},
      {"a\r\r\nb", "a\r\n\r\nb"},  // a lone CR, then CR LF
      {"a\n\r", "a\r\n\r\n"},      // LF then a lone CR: two breaks
      {"\n\n", "\r\n\r\n"},
      {"no break", "no break"},
      {"", ""},
      {"So\x85 caf\xe9\n", "So\x85 caf\xe9\r\n"},  // Windows-1252 bytes pass unchanged
      {std::string("a\0b\n", 4), std::string("a\0b\r\n", 5)},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PlainTextToViewText(c.bytes), c.expected);
  }
}

TEST(MemoryView, SelectionIsClampedToTheText) {
  MemoryView view("0123456789");
  constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
  constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
  const struct {
    std::int64_t start, length, expected_start, expected_length;
  } cases[] = {
      {2, 3, 2, 3},  {2, 0, 2, 0},  {8, 5, 8, 2},     {-4, 3, 0, 3},   {12, 1, 10, 0},
      {5, -2, 3, 2}, {2, -5, 0, 2}, {0, kMax, 0, 10}, {9, kMin, 0, 9}, {kMax, kMax, 10, 0},
  };
  for (const auto& c : cases) {
    view.SetSelection(c.start, c.length);
    EXPECT_EQ(view.SelectionStart(), c.expected_start) << c.start << "," << c.length;
    EXPECT_EQ(view.SelectionLength(), c.expected_length) << c.start << "," << c.length;
  }
  view.SetSelection(3, 4);
  EXPECT_EQ(view.SelectedText(), "3456");
}

TEST(MemoryView, FindForwardSearchesOnlyTheGivenRange) {
  const MemoryView view("ab\r\ncd\r\nab");
  const struct {
    std::string what;
    std::int64_t start, count, expected;
  } cases[] = {
      {"\n", 0, 10, 3},  {"\n", 4, 6, 7},    {"\n", 8, 2, -1},   // after the last line feed
      {"\n", 0, 3, -1},                                          // the range ends before it
      {"\n", 0, 4, 3},   {"ab", 1, 9, 8},    {"ab", 7, 100, 8},  // a count past the end is cut
      {"cd\r", 0, 7, 4}, {"cd\r", 0, 6, -1},                     // the whole match must fit
      {"x", 0, 10, -1},  {"", 0, 10, -1},    {"a", -3, 2, 0},
      {"a", 10, 5, -1},  {"a", 0, 0, -1},    {"a", 0, -1, -1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(view.FindForward(c.what, c.start, c.count), c.expected)
        << c.what << " from " << c.start << " over " << c.count;
  }
}

TEST(MemoryView, OneDisplayLinePerParagraphAndTheCaretIsScrolledIntoView) {
  std::string text;
  for (int i = 0; i < 10; ++i) {
    text += "line\r\n";
  }
  MemoryView view(text, 3);
  EXPECT_EQ(view.DisplayLineCount(), 11);  // the empty paragraph after the last break
  EXPECT_EQ(view.DisplayLineOf(0), 0);
  EXPECT_EQ(view.DisplayLineOf(5), 0);  // the line feed belongs to its paragraph
  EXPECT_EQ(view.DisplayLineOf(6), 1);

  view.ScrollLines(4);
  EXPECT_EQ(view.FirstVisibleLine(), 4);
  view.ScrollLines(-10);
  EXPECT_EQ(view.FirstVisibleLine(), 0);
  view.ScrollLines(100);
  EXPECT_EQ(view.FirstVisibleLine(), 10);

  view.SetSelection(12, 6);  // line 2, the caret after it on line 3
  view.ScrollCaret();
  EXPECT_EQ(view.FirstVisibleLine(), 3);  // scrolled up to the caret
  view.SetSelection(48, 6);               // the caret on line 9
  view.ScrollCaret();
  EXPECT_EQ(view.FirstVisibleLine(), 7);  // the caret is the last of three visible lines
  view.ScrollCaret();
  EXPECT_EQ(view.FirstVisibleLine(), 7);
  EXPECT_EQ(view.ScrollCaretCount(), 3);

  view.SetText("new");
  EXPECT_EQ(view.FirstVisibleLine(), 0);
  EXPECT_EQ(view.SelectionStart(), 0);
  EXPECT_EQ(view.DisplayLineCount(), 1);
}

// The line index keeps a count per block of text and the last position asked about: any order of
// questions, across blocks and with every kind of line end, gets the paragraph count before it.
TEST(MemoryView, DisplayLineOfAnyPositionInAnyOrder) {
  std::mt19937 random(17);
  const std::string_view pieces[] = {"a", "bcd", "\r\n", "\n", "\r", "\r\r\n", "\n\r"};
  std::string text;
  while (text.size() < 30000) {
    text += pieces[random() % std::size(pieces)];
  }
  text += std::string(9000, 'x');                              // blocks without a line end
  std::vector<std::int64_t> lines_before(text.size() + 1, 0);  // counted the slow way
  for (std::size_t i = 0; i < text.size(); ++i) {
    const bool ends =
        text[i] == '\n' || (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n'));
    lines_before[i + 1] = lines_before[i] + (ends ? 1 : 0);
  }
  const auto expected_line = [&](std::size_t position) { return lines_before[position]; };
  const MemoryView view(text);
  EXPECT_EQ(view.DisplayLineCount(), expected_line(text.size()) + 1);
  std::vector<std::size_t> forward(text.size() + 1);
  std::iota(forward.begin(), forward.end(), 0);
  std::vector<std::size_t> shuffled = forward;
  std::shuffle(shuffled.begin(), shuffled.end(), random);
  std::vector<std::size_t> backward(forward.rbegin(), forward.rend());
  for (const auto* order : {&forward, &backward, &shuffled}) {
    std::int64_t wrong = 0;
    for (const std::size_t position : *order) {
      wrong += view.DisplayLineOf(static_cast<std::int64_t>(position)) != expected_line(position);
    }
    EXPECT_EQ(wrong, 0);
  }
  EXPECT_EQ(view.DisplayLineOf(-5), 0);
  EXPECT_EQ(view.DisplayLineOf(1 << 30), view.DisplayLineCount() - 1);
}

}  // namespace
}  // namespace quillon
