#include "app/threaded_voice.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <chrono>
#include <stdexcept>
#include <utility>

namespace quillon {

ThreadedVoice::ThreadedVoice(SpeechVoice& inner, InputHold& hold)
    : inner_(inner), hold_(hold), worker_([this] { Run(); }) {}

ThreadedVoice::~ThreadedVoice() {
  {
    const std::lock_guard lock(mutex_);
    quit_ = true;
  }
  wake_.notify_one();
  worker_.join();
}

void ThreadedVoice::Run() {
  for (;;) {
    std::function<void()> job;
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [this] { return quit_ || job_; });
      if (!job_) {
        return;
      }
      job = std::exchange(job_, nullptr);
    }
    job();
  }
}

void ThreadedVoice::SetWordListener(WordListener listener) {
  const bool listening = static_cast<bool>(listener);
  SpeechVoice::SetWordListener(std::move(listener));
  if (!listening) {
    inner_.SetWordListener({});
    return;
  }
  // Runs on the speaking thread: the word waits for the window's thread, which is woken for it.
  inner_.SetWordListener([this](const HeardWord& word) {
    {
      const std::lock_guard lock(words_mutex_);
      heard_.push_back(word);
    }
    if (QAbstractEventDispatcher* dispatcher = dispatcher_.load()) {
      dispatcher->wakeUp();
    }
  });
}

void ThreadedVoice::Interrupt() {
  const std::lock_guard lock(mutex_);
  interrupted_ = true;
  if (inner_speaking_) {
    inner_.Interrupt();
  }
}

void ThreadedVoice::ReportHeardWords() {
  std::vector<HeardWord> words;
  {
    const std::lock_guard lock(words_mutex_);
    words.swap(heard_);
  }
  for (const HeardWord& word : words) {
    ReportWord(word);
  }
}

void ThreadedVoice::Speak(std::u16string_view text, unsigned flags) {
  // Only the window's thread speaks, and it handles no input while it waits, so a second sentence
  // can only come from a timer; it would interleave with the first, so it is refused.
  if (speaking_) {
    throw std::runtime_error("The voice is already speaking");
  }
  speaking_ = true;
  struct Done {
    bool& flag;
    ~Done() { flag = false; }
  } done{speaking_};

  QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
  dispatcher_.store(dispatcher);
  {
    const std::lock_guard lock(words_mutex_);
    heard_.clear();
  }
  std::exception_ptr error;
  std::atomic<bool> finished = false;
  const std::u16string copy(text);
  {
    const std::lock_guard lock(mutex_);
    interrupted_ = false;
    job_ = [&] {
      bool speak = false;
      {
        const std::lock_guard started(mutex_);
        speak = inner_speaking_ = !interrupted_;
      }
      if (speak) {
        try {
          inner_.Speak(copy, flags);
        } catch (...) {
          error = std::current_exception();
        }
        const std::lock_guard ended(mutex_);
        inner_speaking_ = false;
      }
      finished.store(true, std::memory_order_release);
      if (dispatcher != nullptr) {
        dispatcher->wakeUp();
      }
    };
  }
  wake_.notify_one();
  // The job refers to this frame: whatever a word's listener throws waits until the job is done.
  std::exception_ptr listener_error;
  const auto report_heard_words = [&] {
    try {
      ReportHeardWords();
    } catch (...) {
      if (!listener_error) {
        listener_error = std::current_exception();
      }
    }
  };
  {
    // The window repaints and runs its timers meanwhile; user input is kept for later.
    const InputHold::Holding holding(hold_);
    QElapsedTimer idle;
    while (!finished.load(std::memory_order_acquire)) {
      idle.start();
      QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
      report_heard_words();
      // A dispatcher that returns at once with nothing done (an event it may not deliver at this
      // depth, such as a deferred delete, keeps it from waiting) must not make this loop spin.
      if (idle.nsecsElapsed() < 200000 && !finished.load(std::memory_order_acquire)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
    }
    // Every word was heard before the inner voice returned: the last of them come now.
    report_heard_words();
  }
  dispatcher_.store(nullptr);
  if (error) {
    std::rethrow_exception(error);
  }
  if (listener_error) {
    std::rethrow_exception(listener_error);
  }
}

}  // namespace quillon
