// The voice that speaks on a thread of its own: the words it hears reach its listener on the
// window's thread, in order, while it speaks and before Speak returns; input during a sentence is
// kept for later; errors come back to the caller.
#include "app/threaded_voice.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <vector>

#include "app/input_hold.h"
#include "speech/recording_voice.h"

namespace quillon {
namespace {

HeardWord Word(std::size_t start, std::size_t length) {
  HeardWord word;
  word.start = start;
  word.length = length;
  word.sample = start * 100;
  return word;
}

// Reports its first word, then waits until that word has reached the listener before it reports
// the second: only a voice that passes words on while it speaks lets it go on.
class SteppedVoice final : public SpeechVoice {
 public:
  void Speak(std::u16string_view, unsigned) override {
    ReportWord(Word(0, 5));
    std::unique_lock lock(mutex_);
    passed_on_in_time_ =
        seen_.wait_for(lock, std::chrono::seconds(10), [this] { return seen_first_; });
    lock.unlock();
    ReportWord(Word(6, 5));
  }
  void SeenFirst() {
    {
      const std::lock_guard lock(mutex_);
      seen_first_ = true;
    }
    seen_.notify_one();
  }
  bool PassedOnInTime() const { return passed_on_in_time_; }

 private:
  std::mutex mutex_;
  std::condition_variable seen_;
  bool seen_first_ = false;
  bool passed_on_in_time_ = false;
};

// Tells whether anyone listens to it.
class ListenedVoice final : public SpeechVoice {
 public:
  void Speak(std::u16string_view, unsigned) override {}
  void SetWordListener(WordListener listener) override {
    listened = static_cast<bool>(listener);
    SpeechVoice::SetWordListener(std::move(listener));
  }
  bool listened = false;
};

struct Heard {
  HeardWord word;
  QThread* thread;
};

TEST(ThreadedVoiceTest, HeardWordsReachTheListenerOnTheCallingThreadInOrderBeforeSpeakReturns) {
  InputHold hold;
  RecordingVoice inner;
  ThreadedVoice voice(inner, hold);
  std::vector<Heard> heard;
  voice.SetWordListener([&](const HeardWord& word) {
    heard.push_back({word, QThread::currentThread()});
  });

  const std::vector<HeardWord> words = {Word(0, 3), Word(4, 5), Word(10, 2)};
  inner.QueueWords(words);
  voice.Speak(u"One three to", kSpeakIsXml);
  ASSERT_EQ(heard.size(), words.size());
  for (std::size_t i = 0; i < words.size(); ++i) {
    EXPECT_EQ(heard[i].word.start, words[i].start);
    EXPECT_EQ(heard[i].word.length, words[i].length);
    EXPECT_EQ(heard[i].thread, qApp->thread());
  }

  // Nothing of a finished sentence comes later; a sentence without words reports none.
  voice.Speak(u"Quiet", kSpeakIsXml);
  QTest::qWait(20);
  EXPECT_EQ(heard.size(), words.size());
}

TEST(ThreadedVoiceTest, WordsArePassedOnWhileTheSentenceIsStillSpoken) {
  InputHold hold;
  SteppedVoice inner;
  ThreadedVoice voice(inner, hold);
  std::vector<std::size_t> starts;
  voice.SetWordListener([&](const HeardWord& word) {
    starts.push_back(word.start);
    inner.SeenFirst();
  });
  voice.Speak(u"First second", kSpeakIsXml);
  EXPECT_TRUE(inner.PassedOnInTime());
  EXPECT_EQ(starts, (std::vector<std::size_t>{0, 6}));
}

TEST(ThreadedVoiceTest, TheInnerVoiceIsListenedToOnlyWhileThisOneIs) {
  InputHold hold;
  ListenedVoice inner;
  ThreadedVoice voice(inner, hold);
  voice.Speak(u"Nobody listens", kSpeakIsXml);
  EXPECT_FALSE(inner.listened);
  voice.SetWordListener([](const HeardWord&) {});
  EXPECT_TRUE(inner.listened);
  voice.SetWordListener({});
  EXPECT_FALSE(inner.listened);
}

TEST(ThreadedVoiceTest, InputDuringASentenceIsKeptAndErrorsComeBackToTheCaller) {
  InputHold hold;
  QWidget window;
  window.resize(200, 100);
  auto* button = new QPushButton("Press", &window);
  button->setGeometry(10, 10, 100, 30);
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  int clicks = 0;
  QObject::connect(button, &QPushButton::clicked, [&] { ++clicks; });

  int clicks_while_speaking = -1;
  RecordingVoice inner([&](std::u16string_view, unsigned) {
    // On the speaking thread: the click is made on the window's thread, as the platform would.
    QMetaObject::invokeMethod(
        qApp,
        [&] {
          QTest::mouseClick(window.windowHandle(), Qt::LeftButton, Qt::NoModifier,
                            button->mapTo(&window, button->rect().center()));
          clicks_while_speaking = clicks;
        },
        Qt::BlockingQueuedConnection);
  });
  inner.FailAt(1, "The sound server went away");
  ThreadedVoice voice(inner, hold);
  voice.Speak(u"Spoken", kSpeakIsXml);
  EXPECT_EQ(clicks_while_speaking, 0);
  EXPECT_EQ(clicks, 0);
  hold.Deliver();
  EXPECT_EQ(clicks, 1);

  try {
    voice.Speak(u"Fails", kSpeakIsXml);
    ADD_FAILURE() << "no error";
  } catch (const std::runtime_error& error) {
    EXPECT_STREQ(error.what(), "The sound server went away");
  }
  // A listener that throws ends Speak with its error once the inner voice is done.
  voice.SetWordListener([](const HeardWord&) { throw std::runtime_error("listener failed"); });
  inner.QueueWords({Word(0, 4)});
  EXPECT_THROW(voice.Speak(u"Word", kSpeakIsXml), std::runtime_error);
  EXPECT_EQ(inner.calls().size(), 2u);
}

// Speaks until it is interrupted (or for ten seconds).
class EndlessVoice final : public SpeechVoice {
 public:
  void Speak(std::u16string_view, unsigned) override {
    std::unique_lock lock(mutex_);
    ++speaks_;
    cut_short_ = wake_.wait_for(lock, std::chrono::seconds(10), [this] { return interrupted_; });
    interrupted_ = false;
  }
  void Interrupt() override {
    {
      const std::lock_guard lock(mutex_);
      interrupted_ = true;
    }
    wake_.notify_one();
  }
  int speaks_ = 0;
  bool cut_short_ = false;

 private:
  std::mutex mutex_;
  std::condition_variable wake_;
  bool interrupted_ = false;
};

TEST(ThreadedVoiceTest, InterruptCutsTheSentenceBeingSpokenShortAndNoLaterOne) {
  InputHold hold;
  EndlessVoice inner;
  ThreadedVoice voice(inner, hold);
  // While the window's thread waits, a timer there interrupts (as a close of the window does).
  QTimer::singleShot(50, [&] { voice.Interrupt(); });
  voice.Speak(u"Long", kSpeakIsXml);
  EXPECT_TRUE(inner.cut_short_);
  EXPECT_EQ(inner.speaks_, 1);
  // An Interrupt between sentences ends none: the next is spoken until interrupted in its turn.
  voice.Interrupt();
  QTimer::singleShot(50, [&] { voice.Interrupt(); });
  voice.Speak(u"Next", kSpeakIsXml);
  EXPECT_EQ(inner.speaks_, 2);
  EXPECT_TRUE(inner.cut_short_);
}

}  // namespace
}  // namespace quillon
