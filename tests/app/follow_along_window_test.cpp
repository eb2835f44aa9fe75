// Follow along in the window: while a reading runs, the view marks the sentence being spoken and
// the word being heard, from the voice's word events; nothing is marked once the reading ends.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMetaObject>
#include <QTest>
#include <QTextCursor>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/quillon_talks_main.h"
#include "app/reader_text_edit.h"
#include "speech/recording_voice.h"
#include "window_test_support.h"

namespace quillon {
namespace {

using testing_support::OpenReader;
using testing_support::QueueClick;
using testing_support::TempDir;

// Every word of a spoken text is heard: each run of letters, digits and apostrophes outside
// the markup's tags.
std::vector<HeardWord> WordsOf(std::u16string_view text) {
  std::vector<HeardWord> words;
  bool in_tag = false;
  std::size_t start = 0;
  bool in_word = false;
  const auto is_word_char = [](char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
           c == u'\'';
  };
  for (std::size_t i = 0; i <= text.size(); ++i) {
    const char16_t c = i < text.size() ? text[i] : u' ';
    const bool word_char = !in_tag && is_word_char(c);
    if (word_char && !in_word) {
      start = i;
    }
    if (!word_char && in_word) {
      words.push_back({start, i - start, 0, {}});
    }
    in_word = word_char;
    if (c == u'<') {
      in_tag = true;
    } else if (c == u'>') {
      in_tag = false;
    }
  }
  return words;
}

// What the view showed at one moment: the marked sentence's text and the marked word's.
struct Marks {
  std::string sentence;
  std::string word;
  DocumentSpan word_span;
  bool operator==(const Marks&) const = default;
};

std::string TextAt(const ReaderTextEdit& edit, DocumentSpan span) {
  QTextCursor cursor(edit.document());
  cursor.setPosition(span.start);
  cursor.setPosition(span.end(), QTextCursor::KeepAnchor);
  return cursor.selectedText().toStdString();
}

class FollowAlongWindowTest : public testing::Test {
 protected:
  std::unique_ptr<TfQuillonReaderMain> Open(const std::string& novel) {
    auto window = OpenReader(voice_, dir_, novel, errors_);
    ReaderTextEdit* edit = window->riched;
    QObject::connect(edit, &ReaderTextEdit::marksChanged, edit,
                     [this, edit](DocumentSpan sentence, DocumentSpan word) {
                       seen_.push_back({TextAt(*edit, sentence), TextAt(*edit, word), word});
                     });
    return window;
  }
  void Read(TfQuillonReaderMain& window) {
    QueueClick(window.btnRead);
    QApplication::processEvents();
    EXPECT_EQ(window.ReadingDepth(), 0);
  }
  // The marks seen while a word was marked, in order.
  std::vector<Marks> WordsSeen() const {
    std::vector<Marks> words;
    for (const Marks& marks : seen_) {
      if (!marks.word.empty()) {
        words.push_back(marks);
      }
    }
    return words;
  }
  bool Saw(const Marks& marks) const {
    for (const Marks& m : seen_) {
      if (m.sentence == marks.sentence && m.word == marks.word) {
        return true;
      }
    }
    return false;
  }

  TempDir dir_;
  std::mutex mutex_;
  // By call: run on the window's thread while that sentence is heard.
  std::vector<std::function<void(TfQuillonReaderMain&)>> during_;
  TfQuillonReaderMain* window_ = nullptr;
  std::size_t calls_ = 0;
  RecordingVoice voice_{[this](std::u16string_view text, unsigned) {
    voice_.QueueWords(WordsOf(text));
    const std::lock_guard lock(mutex_);
    if (calls_ < during_.size() && during_[calls_] && window_ != nullptr) {
      // As a timer would: run on the window's thread while the sentence is heard.
      auto action = during_[calls_];
      TfQuillonReaderMain* window = window_;
      QMetaObject::invokeMethod(
          window, [action, window] { action(*window); }, Qt::BlockingQueuedConnection);
    }
    ++calls_;
  }};
  std::vector<Marks> seen_;
  QStringList errors_;
};

TEST_F(FollowAlongWindowTest, EachWordHeardIsMarkedInItsSentenceAndNothingIsMarkedAfterwards) {
  const auto window = Open(
      "Mr. Brown met a friend at noon. They walked home.\n"
      "\"Hello there,\" said Mr. Brown. \"Good day.\"\n"
      "~~~\n\n");
  Read(*window);
  ASSERT_EQ(voice_.calls().size(), 5u);
  // "Mister" is heard as the "Mr." of the text, every other word as itself.
  EXPECT_TRUE(Saw({"Mr. Brown met a friend at noon.", "Mr.", {}}));
  EXPECT_TRUE(Saw({"Mr. Brown met a friend at noon.", "friend", {}}));
  EXPECT_TRUE(Saw({"They walked home.", "walked", {}}));
  EXPECT_TRUE(Saw({"said Mr. Brown.", "Brown", {}}));
  for (const Marks& marks : WordsSeen()) {
    EXPECT_NE(marks.sentence.find(marks.word), std::string::npos) << marks.word;
  }
  // Within a sentence the marks move forward only, as the words are heard.
  const std::vector<Marks> words = WordsSeen();
  for (std::size_t i = 1; i < words.size(); ++i) {
    if (words[i].sentence == words[i - 1].sentence) {
      EXPECT_GT(words[i].word_span.start, words[i - 1].word_span.start) << words[i].word;
    }
  }
  EXPECT_TRUE(window->riched->SentenceMark().empty());
  EXPECT_TRUE(window->riched->WordMark().empty());
  ASSERT_FALSE(seen_.empty());
  EXPECT_EQ(seen_.back(), (Marks{"", "", {}}));
  EXPECT_TRUE(errors_.isEmpty());
}

TEST_F(FollowAlongWindowTest, AStopDuringASentenceClearsTheMarksWhenTheReadingStops) {
  const auto window = Open("One two three. Four five six. Seven eight nine. Ten.\n~~~\n\n");
  window_ = window.get();
  during_ = {nullptr, [](TfQuillonReaderMain& w) {
               // While the second sentence is heard, its words are marked.
               EXPECT_EQ(TextAt(*w.riched, w.riched->SentenceMark()), "Four five six.");
               w.btnStopClick();
             }};
  Read(*window);
  // Raised during the sentence, the flag is found before the next one.
  EXPECT_EQ(voice_.calls().size(), 2u);
  EXPECT_TRUE(Saw({"Four five six.", "six", {}}));
  EXPECT_TRUE(window->riched->SentenceMark().empty());
  EXPECT_TRUE(window->riched->WordMark().empty());
}

TEST_F(FollowAlongWindowTest, MarksStayOnTheirWordsWithABiggerFontAndAfterGoingToTheBookmark) {
  const auto window = Open(
      "The first line is here.\n"
      "The second line has the bookmark.\n"
      "The third line comes after it.\n"
      "~~~\n\n");
  window->btnIncreaseFontClick();
  window->btnIncreaseFontClick();
  // The bookmark on the second line: the reading starts there.
  const std::int64_t second = window->View().FindForward("The second", 0, 1000);
  window->View().SetSelection(second, 10);
  window->btnSetBookmarkClick();
  window->View().SetSelection(0, 0);
  window->btnGoToBookmarkClick();
  Read(*window);
  ASSERT_FALSE(voice_.calls().empty());
  const std::vector<Marks> words = WordsSeen();
  ASSERT_FALSE(words.empty());
  EXPECT_EQ(words.front().sentence, "The second line has the bookmark.");
  EXPECT_EQ(words.front().word, "The");
  EXPECT_EQ(words.back().word, "it");
  // The last word marked is where the view draws that word at the present font.
  ReaderTextEdit* edit = window->riched;
  QTextCursor cursor(edit->document());
  cursor.setPosition(words.back().word_span.start);
  const QRect word_place = edit->cursorRect(cursor);
  const QRect marked = edit->SpanRegion(words.back().word_span).boundingRect();
  EXPECT_TRUE(marked.intersects(word_place));
  EXPECT_GE(marked.height(), 24) << "drawn at 36 points";
}

TEST_F(FollowAlongWindowTest, ANestedReadingMarksItsOwnLinesAndTheOuterOneResumesOnItsOwn) {
  const auto window = Open(
      "Outer first. Outer second.\n"
      "Nested line.\n"
      "~~~\n\n"
      "Outer again.\n"
      "~~~\n\n");
  window_ = window.get();
  during_ = {[](TfQuillonReaderMain& w) { QueueClick(w.btnRead); }};
  Read(*window);
  ASSERT_EQ(voice_.calls().size(), 4u);
  EXPECT_TRUE(Saw({"Outer first.", "first", {}}));
  EXPECT_TRUE(Saw({"Nested line.", "Nested", {}}));
  // Back in the outer reading, its own line is marked, not the nested one's.
  EXPECT_TRUE(Saw({"Outer second.", "second", {}}));
  EXPECT_TRUE(Saw({"Outer again.", "again", {}}));
  EXPECT_TRUE(window->riched->SentenceMark().empty());
}

}  // namespace
}  // namespace quillon
