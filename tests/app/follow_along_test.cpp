// Follow along on its own: the engine's spans into document positions across paragraph breaks, and
// the view kept on the word heard unless the reader has scrolled by hand since the line began.
#include "app/follow_along.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QScrollBar>
#include <QTest>
#include <QTextCursor>
#include <string>

#include "app/qt_rich_text_view.h"
#include "app/reader_text_edit.h"

namespace quillon {
namespace {

class FollowAlongTest : public testing::Test {
 protected:
  void SetUp() override {
    QString text;
    for (int i = 0; i < 120; ++i) {
      text += QStringLiteral("Paragraph %1 holds a sentence. And a second one.\n")
                  .arg(i, 3, 10, QChar('0'));
    }
    text.chop(1);
    edit_.setPlainText(text);
    edit_.resize(300, 150);
    edit_.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&edit_));
  }
  // Selects paragraph n as the reading loop does and tells follow along; the line starts there.
  std::string FetchParagraph(int n) {
    const std::string start = "Paragraph " +
                              std::string(n < 10    ? "00"
                                          : n < 100 ? "0"
                                                    : "") +
                              std::to_string(n);
    const std::int64_t at = view_.FindForward(start, 0, view_.TextLength());
    view_.SetSelection(at, 50);
    follow_.LineFetched();
    return view_.SelectedText();
  }
  std::string Marked(DocumentSpan span) {
    QTextCursor cursor(edit_.document());
    cursor.setPosition(span.start);
    cursor.setPosition(span.end(), QTextCursor::KeepAnchor);
    return cursor.selectedText().toStdString();
  }
  // A sentence of the line given to Speak as it stands, with one tag inserted before it.
  static SpokenSentence Sentence(std::size_t start, std::size_t length) {
    SpokenSentence sentence;
    sentence.in_line = {start, length};
    TextMap map;
    map.Insert(5);  // "<tag>"
    TextMap identity = TextMap::Identity(length);
    map.Append(identity);
    TextMap from_line;
    from_line.Delete(start);
    from_line.Copy(length);
    sentence.to_line = from_line.Then(map);
    return sentence;
  }

  ReaderTextEdit edit_;
  QtRichTextView view_{&edit_};
  FollowAlong follow_{edit_, view_};
};

TEST_F(FollowAlongTest, SpansOfTheLineAndWordsOfTheSpokenTextLandOnTheirCharacters) {
  FetchParagraph(100);  // far down: every paragraph break before counts twice for the engine
  follow_.SentenceSpoken(Sentence(0, 31));
  EXPECT_EQ(Marked(edit_.SentenceMark()), "Paragraph 100 holds a sentence.");
  EXPECT_TRUE(edit_.WordMark().empty());
  // "holds" is at 14 in the line, 19 in the spoken text behind the tag.
  follow_.WordHeard({19, 5, 0, {}});
  EXPECT_EQ(Marked(edit_.WordMark()), "holds");
  // The tag stands for nothing in the view.
  follow_.WordHeard({0, 5, 0, {}});
  EXPECT_TRUE(edit_.WordMark().empty());
  EXPECT_EQ(Marked(edit_.SentenceMark()), "Paragraph 100 holds a sentence.");
  follow_.Clear();
  EXPECT_TRUE(edit_.SentenceMark().empty());
  // A word with no sentence spoken is not marked.
  follow_.WordHeard({19, 5, 0, {}});
  EXPECT_TRUE(edit_.WordMark().empty());
}

TEST_F(FollowAlongTest, TheWordHeardIsKeptInSightUnlessTheReaderScrolledByHand) {
  QScrollBar* bar = edit_.verticalScrollBar();
  FetchParagraph(60);
  follow_.SentenceSpoken(Sentence(0, 31));
  bar->setValue(0);  // the program's own scrolling: not by hand
  follow_.WordHeard({19, 5, 0, {}});
  EXPECT_FALSE(edit_.SpanRegion(edit_.WordMark()).isEmpty()) << "scrolled to the word";

  // The reader pages back up: the next words do not pull the view down again.
  bar->triggerAction(QAbstractSlider::SliderToMinimum);
  ASSERT_EQ(bar->value(), 0);
  follow_.WordHeard({25, 1, 0, {}});
  EXPECT_EQ(bar->value(), 0);
  EXPECT_EQ(Marked(edit_.WordMark()), "a");

  // A new line is followed again.
  FetchParagraph(110);
  follow_.SentenceSpoken(Sentence(0, 31));
  follow_.WordHeard({19, 5, 0, {}});
  EXPECT_NE(bar->value(), 0);
  EXPECT_FALSE(edit_.SpanRegion(edit_.WordMark()).isEmpty());
}

}  // namespace
}  // namespace quillon
