// The view's marks: drawn in their own colours over the selection and the background, where the
// spans are, and gone when cleared; scrolling to a span moves the view only when it is out of
// sight.
#include "app/reader_text_edit.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>

namespace quillon {
namespace {

// How many pixels of the region have exactly this colour, and how many it holds.
struct Count {
  int matching = 0;
  int total = 0;
};
Count CountColour(const QImage& image, const QRegion& region, QRgb colour) {
  Count count;
  for (const QRect& rect : region) {
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
      for (int x = rect.left(); x <= rect.right(); ++x) {
        ++count.total;
        if ((image.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF)) {
          ++count.matching;
        }
      }
    }
  }
  return count;
}

class ReaderTextEditTest : public testing::Test {
 protected:
  void SetUp() override {
    edit_.resize(400, 200);
    edit_.setReadOnly(true);
    edit_.setPlainText(QStringLiteral(
        "The first paragraph, which is selected, is long enough to wrap over several display lines "
        "of the view.\nA second paragraph."));
    edit_.show();
    QApplication::setActiveWindow(&edit_);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&edit_));
    edit_.setFocus();
    // The line being read is selected, as the reading loop leaves it.
    QTextCursor line(edit_.document());
    line.setPosition(0);
    line.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    edit_.setTextCursor(line);
  }
  QImage Picture() { return edit_.viewport()->grab().toImage(); }
  QRgb Highlight() const {
    return edit_.palette().color(QPalette::Active, QPalette::Highlight).rgb();
  }

  ReaderTextEdit edit_;
};

TEST_F(ReaderTextEditTest, MarksShowInTheirColoursOverTheSelectionAndGoWhenCleared) {
  const DocumentSpan sentence{4, 50};  // "first paragraph, ... over"
  const DocumentSpan word{10, 9};      // "paragraph"
  const QRegion word_area = edit_.SpanRegion(word);
  const QRegion rest_of_sentence = edit_.SpanRegion(sentence) - word_area;
  const QRegion rest_of_line = edit_.SpanRegion({0, 100}) - edit_.SpanRegion(sentence);
  ASSERT_FALSE(word_area.isEmpty());
  ASSERT_FALSE(rest_of_line.isEmpty());

  const QImage before = Picture();
  EXPECT_GT(CountColour(before, word_area, Highlight()).matching, 0) << "the selection shows";

  edit_.SetMarks(sentence, word);
  const QImage marked = Picture();
  // Mostly background, the rest dark glyphs; nothing of the selection's colour is left there.
  const Count on_word = CountColour(marked, word_area, ReaderTextEdit::kWordBackground);
  EXPECT_GT(on_word.matching * 2, on_word.total);
  EXPECT_EQ(CountColour(marked, word_area, Highlight()).matching, 0);
  const Count on_sentence =
      CountColour(marked, rest_of_sentence, ReaderTextEdit::kSentenceBackground);
  EXPECT_GT(on_sentence.matching * 2, on_sentence.total);
  EXPECT_EQ(CountColour(marked, rest_of_sentence, ReaderTextEdit::kWordBackground).matching, 0);
  // The rest of the line keeps the selection's look.
  EXPECT_EQ(CountColour(marked, rest_of_line, ReaderTextEdit::kSentenceBackground).matching, 0);
  EXPECT_GT(CountColour(marked, rest_of_line, Highlight()).matching, 0);
  // The selection itself is untouched.
  EXPECT_EQ(edit_.textCursor().selectionStart(), 0);
  EXPECT_EQ(edit_.textCursor().selectionEnd(), edit_.document()->firstBlock().length() - 1);

  edit_.ClearMarks();
  const QImage cleared = Picture();
  EXPECT_EQ(CountColour(cleared, edit_.SpanRegion(sentence), ReaderTextEdit::kSentenceBackground)
                .matching,
            0);
  EXPECT_EQ(cleared, before);
}

TEST_F(ReaderTextEditTest, SpansAreClampedAndKeptOverAFontChangeButDroppedWithANewText) {
  edit_.SetMarks({-5, 10}, {100000, 3});
  EXPECT_EQ(edit_.SentenceMark(), (DocumentSpan{0, 5}));
  EXPECT_TRUE(edit_.WordMark().empty());
  edit_.SetMarks({0, 10}, {4, 5});
  // A bigger font keeps them where they are.
  QTextCharFormat bigger;
  bigger.setFontPointSize(24);
  QTextCursor all(edit_.document());
  all.select(QTextCursor::Document);
  all.mergeCharFormat(bigger);
  EXPECT_EQ(edit_.SentenceMark(), (DocumentSpan{0, 10}));
  EXPECT_EQ(edit_.WordMark(), (DocumentSpan{4, 5}));
  edit_.setPlainText(QStringLiteral("Another text."));
  EXPECT_TRUE(edit_.SentenceMark().empty());
  EXPECT_TRUE(edit_.WordMark().empty());
}

TEST_F(ReaderTextEditTest, ScrollingToASpanMovesTheViewOnlyWhenItIsOutOfSight) {
  QString text;
  for (int i = 0; i < 200; ++i) {
    text += QStringLiteral("Line number %1 of a long text.\n").arg(i);
  }
  edit_.setPlainText(text);
  QApplication::processEvents();
  QScrollBar* bar = edit_.verticalScrollBar();
  ASSERT_GT(bar->maximum(), 0);

  const int far = text.indexOf(QStringLiteral("Line number 150"));
  const DocumentSpan word{far, 4};
  EXPECT_TRUE(edit_.SpanRegion(word).isEmpty());
  edit_.ScrollToShow(word);
  EXPECT_FALSE(edit_.SpanRegion(word).isEmpty());
  const int shown_at = bar->value();
  // A word a little further on, already in sight, does not move the view.
  const int near = text.indexOf(QStringLiteral("number 150"));
  edit_.ScrollToShow({near, 6});
  EXPECT_EQ(bar->value(), shown_at);
  // Back to the top: the first line wholly in sight, the view moved no further than that.
  edit_.ScrollToShow({0, 4});
  EXPECT_LE(bar->value(), edit_.document()->documentMargin());
  EXPECT_EQ(edit_.SpanRegion({0, 4}).boundingRect().top(),
            static_cast<int>(edit_.document()->documentMargin()) - bar->value());
}

}  // namespace
}  // namespace quillon
