#include "app/qt_rich_text_view.h"

#include <gtest/gtest.h>

#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>
#include <string>

#include "app/document_view.h"
#include "document/document.h"

namespace quillon {
namespace {

class QtRichTextViewTest : public testing::Test {
 protected:
  QtRichTextViewTest() : view_(&edit_) {
    edit_.resize(300, 200);
    edit_.setReadOnly(true);
    edit_.show();
  }

  Document Show(const std::string& bytes) {
    Document document = ParseDocument(bytes);
    ShowDocument(edit_, document, 48);
    return document;
  }

  // Many short paragraphs and one long one that wraps over several display lines.
  void ShowLongText() {
    std::string text;
    for (int i = 0; i < 40; ++i) {
      text += "Paragraph " + std::to_string(i) + " is short.\n";
    }
    for (int i = 0; i < 60; ++i) {
      text += "and on ";
    }
    text += "\nThe end.\n~~~\n";
    Show(text);
  }

  QTextEdit edit_;
  QtRichTextView view_;
};

TEST_F(QtRichTextViewTest, TheEnginesTextIsTheDocumentsViewText) {
  const std::string documents[] = {
      "",
      "One line without an end",
      "one\ntwo\r\n\r\nthree\rfour\n",
      "Dots\x85 and a\xA0space, \x93quoted\x94 in Windows-1252\n~~~\n",
      "{\\rtf1\\ansi {\\b Bold} and {\\i italic}\\par\\qc Centred \\u8364? euro\\par\\par "
      "Smile \\u-10179?\\u-8704? twice\\line broken\\par}",
  };
  for (const std::string& bytes : documents) {
    const Document document = Show(bytes);
    EXPECT_EQ(view_.Text(), document.ViewText()) << bytes;
    EXPECT_EQ(view_.TextLength(), static_cast<std::int64_t>(document.ViewText().size()));
  }
}

TEST_F(QtRichTextViewTest, FormattingReachesTheView) {
  Show("{\\rtf1\\ansi {\\b Bold} {\\i it} {\\ul un} {\\fs48 big}\\par\\qr right\\par}");
  const auto format_at = [&](std::int64_t position) {
    QTextCursor cursor(edit_.document());
    cursor.setPosition(view_.ToDocumentPosition(position) + 1);
    return cursor.charFormat();
  };
  const std::string text = view_.Text();
  EXPECT_EQ(format_at(text.find("Bold")).fontWeight(), QFont::Bold);
  EXPECT_TRUE(format_at(text.find("it")).fontItalic());
  EXPECT_TRUE(format_at(text.find("un")).fontUnderline());
  EXPECT_DOUBLE_EQ(format_at(text.find("big")).fontPointSize(), 24.0);
  EXPECT_EQ(edit_.document()->lastBlock().blockFormat().alignment() & Qt::AlignHorizontal_Mask,
            Qt::AlignRight);
}

TEST_F(QtRichTextViewTest, PositionsCountParagraphBreaksAsTwoAndWideCharactersAsOne) {
  Show("{\\rtf1\\ansi ab\\par \\u-10179?\\u-8704?c\\u-10179?\\u-8704?\\par\\par d}");
  const std::string text = view_.Text();
  ASSERT_EQ(text, "ab\r\n?c?\r\n\r\nd");
  // clang-format off
  const struct { std::int64_t engine; int document; } cases[] = {
    {0, 0}, {2, 2},   // the end of "ab"
    {3, 2},           // between carriage return and line feed: the end of the paragraph
    {4, 3},           // the next paragraph
    {5, 5}, {6, 6},   // after the first pair, after "c"
    {7, 8},           // after the second pair
    {9, 9}, {11, 10}, {12, 11}, {99, 11},
  };
  // clang-format on
  for (const auto& c : cases) {
    EXPECT_EQ(view_.ToDocumentPosition(c.engine), c.document) << c.engine;
  }
  for (std::int64_t p = 0; p <= view_.TextLength(); ++p) {
    if (p > 0 && text[p - 1] == '\r') {
      continue;
    }
    EXPECT_EQ(view_.FromDocumentPosition(view_.ToDocumentPosition(p)), p) << p;
  }
}

TEST_F(QtRichTextViewTest, SelectionsReadBackInEnginePositions) {
  Show("first line\nsecond line\n\nlast");
  const std::string text = view_.Text();
  // clang-format off
  const struct { std::int64_t start, length, got_start, got_length; } cases[] = {
    {0,   12,  0,  12},   // "first line\r\n": the whole paragraph with its break
    {12,  13,  12, 13},
    {6,   0,   6,  0},
    {-5,  3,   0,  3},
    {30,  5,   30, 1},
    {100, 5,   31, 0},    // the end of the text
    {10,  -4,  6,  4},    // backwards
    {3,   -99, 0,  3},
  };
  // clang-format on
  for (const auto& c : cases) {
    view_.SetSelection(c.start, c.length);
    EXPECT_EQ(view_.SelectionStart(), c.got_start) << c.start << " " << c.length;
    EXPECT_EQ(view_.SelectionLength(), c.got_length) << c.start << " " << c.length;
    EXPECT_EQ(view_.SelectedText(), text.substr(c.got_start, c.got_length));
  }
}

TEST_F(QtRichTextViewTest, FindForwardLooksOnlyInItsRange) {
  Show("He said \"yes\".\nShe said \"no\".\n");
  // clang-format off
  const struct { const char* what; std::int64_t start, count, found; } cases[] = {
    {"said",   0,  100, 3},
    {"said",   4,  100, 20},
    {"said",   4,  10,  -1},   // "said" at 20 does not fit in 4..13
    {"\r\n",   0,  100, 14},
    {"\"",     15, 100, 25},
    {"SAID",   0,  100, -1},   // case matters
    {"",       0,  100, -1},
    {"no",     0,  0,   -1},
    {"no",     99, 10,  -1},
    {"He",     -3, 10,  0},
  };
  // clang-format on
  for (const auto& c : cases) {
    EXPECT_EQ(view_.FindForward(c.what, c.start, c.count), c.found) << c.what << " " << c.start;
  }
}

TEST_F(QtRichTextViewTest, DisplayLinesCountWrappedLines) {
  ShowLongText();
  const std::int64_t lines = view_.DisplayLineCount();
  EXPECT_GT(lines, 44);  // 40 short paragraphs, a wrapped one, "The end.", "~~~"
  const std::string text = view_.Text();
  const std::int64_t end = static_cast<std::int64_t>(text.find("The end."));
  const std::int64_t marker = static_cast<std::int64_t>(text.find("~~~"));
  EXPECT_EQ(view_.DisplayLineOf(0), 0);
  EXPECT_EQ(view_.DisplayLineOf(end), view_.DisplayLineOf(marker) - 1);
  EXPECT_LT(view_.DisplayLineOf(marker), lines);
  EXPECT_GT(view_.DisplayLineOf(end - 2), 40);  // inside the wrapped paragraph's last line
}

TEST_F(QtRichTextViewTest, ScrollingByDisplayLines) {
  ShowLongText();
  EXPECT_EQ(view_.FirstVisibleLine(), 0);
  view_.ScrollLines(7);
  EXPECT_EQ(view_.FirstVisibleLine(), 7);
  view_.ScrollLines(-3);
  EXPECT_EQ(view_.FirstVisibleLine(), 4);
  view_.ScrollLines(-100);
  EXPECT_EQ(view_.FirstVisibleLine(), 0);
  view_.ScrollLines(100000);  // as far as the view can: the last page
  const std::int64_t bottom = view_.FirstVisibleLine();
  EXPECT_GT(bottom, 7);
  EXPECT_EQ(edit_.verticalScrollBar()->value(), edit_.verticalScrollBar()->maximum());
  view_.ScrollLines(1);
  EXPECT_EQ(view_.FirstVisibleLine(), bottom);
}

TEST_F(QtRichTextViewTest, SelectingDoesNotScrollButScrollCaretDoes) {
  ShowLongText();
  const std::int64_t end = static_cast<std::int64_t>(view_.Text().find("The end."));
  view_.SetSelection(end, 8);
  EXPECT_EQ(view_.FirstVisibleLine(), 0);
  view_.ScrollCaret();
  EXPECT_GT(view_.FirstVisibleLine(), 0);
  EXPECT_TRUE(edit_.viewport()->rect().contains(edit_.cursorRect().center()));
  EXPECT_EQ(view_.SelectedText(), "The end.");
}

}  // namespace
}  // namespace quillon
