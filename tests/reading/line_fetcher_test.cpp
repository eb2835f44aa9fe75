#include "reading/line_fetcher.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "reading/memory_view.h"

namespace quillon {
namespace {

TEST(ChapterHeadings, TwoDigitHeadingsAreTestedFirst) {
  const auto headings = ChapterHeadings();
  ASSERT_EQ(headings.size(), 68u);
  std::set<int> chapters;
  for (std::size_t i = 0; i < headings.size(); ++i) {
    const int expected = i < 59 ? static_cast<int>(i) + 10 : static_cast<int>(i) - 58;
    EXPECT_EQ(headings[i].chapter, expected) << "row " << i + 1;
    EXPECT_EQ(headings[i].heading, "CHAPTER " + std::to_string(expected)) << "row " << i + 1;
    chapters.insert(headings[i].chapter);
  }
  EXPECT_EQ(chapters.size(), 68u);
}

TEST(ChapterOfLine, TheFirstHeadingInTableOrderWins) {
  const struct {
    std::string line;
    int chapter;
  } cases[] = {
      {"CHAPTER 25\r\n", 25},
      {"CHAPTER 12\r\n", 12},
      {"CHAPTER 9\r\n", 9},
      {"CHAPTER 68\r\n", 68},
      {"CHAPTER 1\r\n", 1},
      {"CHAPTER 69\r\n", 6},  // beyond the table: read by its leading digits
      {"CHAPTER 70\r\n", 7},
      {"CHAPTER 100\r\n", 10},
      {"CHAPTER 05\r\n", 0},
      {"As CHAPTER 3 tells, he left.\r\n", 3},  // anywhere in the line
      {"Chapter 3\r\n", 0},                     // mixed case is not a heading
      {"CHAPTER  3\r\n", 0},
      {"CHAPTER 3 and CHAPTER 40\r\n", 40},  // table order, not line order
      {"", 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ChapterOfLine(c.line), c.chapter) << c.line;
  }
}

class GetNextLineTest : public ::testing::Test {
 protected:
  // Lines at 0 ("CHAPTER 3"), 11 ("One two."), 21 (blank), 23 ("Chapter 4 said."), 40 ("tail").
  MemoryView view{"CHAPTER 3\r\nOne two.\r\n\r\nChapter 4 said.\r\ntail"};
  ReaderState state;
};

TEST_F(GetNextLineTest, ConsecutiveCallsWalkTheLinesAndSelectEach) {
  const struct {
    std::string line;
    std::int64_t start;
    int chapter;
  } expected[] = {
      {"CHAPTER 3\r\n", 0, 3},
      {"One two.\r\n", 11, 3},
      {"\r\n", 21, 3},  // a blank line is its two break characters
      {"Chapter 4 said.\r\n", 23, 3},
  };
  for (const auto& e : expected) {
    EXPECT_EQ(GetNextLine(view, state), e.line);
    EXPECT_EQ(view.SelectionStart(), e.start);
    EXPECT_EQ(view.SelectionLength(), static_cast<std::int64_t>(e.line.size()));
    EXPECT_EQ(state.CurrentChapter, e.chapter);
  }
  EXPECT_EQ(view.FocusCount(), 4);
  EXPECT_EQ(view.ScrollCaretCount(), 4);

  // "tail" has no line feed: never returned, nothing selected, every time.
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(GetNextLine(view, state), "");
    EXPECT_EQ(view.SelectionStart(), 40);
    EXPECT_EQ(view.SelectionLength(), 0);
    EXPECT_EQ(state.CurrentChapter, 3);
  }
  EXPECT_EQ(view.FocusCount(), 4);
}

TEST_F(GetNextLineTest, StartsAtTheCaretOrAfterTheSelection) {
  view.SetSelection(15, 0);  // the caret in the middle of "One two."
  EXPECT_EQ(GetNextLine(view, state), "two.\r\n");
  EXPECT_EQ(view.SelectionStart(), 15);

  view.SetSelection(2, 12);  // a user's selection ends inside "One two."
  EXPECT_EQ(GetNextLine(view, state), " two.\r\n");
  EXPECT_EQ(view.SelectionStart(), 14);
  EXPECT_EQ(state.CurrentChapter, 0);  // the heading was never fetched

  view.SetSelection(10, 1);  // the selection ends just after a line feed
  EXPECT_EQ(GetNextLine(view, state), "One two.\r\n");

  view.SetSelection(44, 0);  // the very end of the text
  EXPECT_EQ(GetNextLine(view, state), "");
  EXPECT_EQ(view.SelectionStart(), 44);
}

TEST_F(GetNextLineTest, ALineWithoutAHeadingKeepsTheChapter) {
  state.CurrentChapter = 41;
  view.SetSelection(11, 0);
  GetNextLine(view, state);
  GetNextLine(view, state);
  GetNextLine(view, state);  // "Chapter 4 said." sets nothing
  EXPECT_EQ(state.CurrentChapter, 41);
}

TEST(GetNextLine, EmptyViewReturnsEmpty) {
  MemoryView view;
  ReaderState state;
  EXPECT_EQ(GetNextLine(view, state), "");
  EXPECT_EQ(view.SelectionStart(), 0);
}

}  // namespace
}  // namespace quillon
