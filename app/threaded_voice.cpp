#include "app/threaded_voice.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <atomic>
#include <chrono>
#include <stdexcept>
#include <utility>

namespace quillon {

ThreadedVoice::ThreadedVoice(SpeechVoice& inner) : inner_(inner), worker_([this] { Run(); }) {}

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
  std::exception_ptr error;
  std::atomic<bool> finished = false;
  const std::u16string copy(text);
  {
    const std::lock_guard lock(mutex_);
    job_ = [&] {
      try {
        inner_.Speak(copy, flags);
      } catch (...) {
        error = std::current_exception();
      }
      finished.store(true, std::memory_order_release);
      if (dispatcher != nullptr) {
        dispatcher->wakeUp();
      }
    };
  }
  wake_.notify_one();
  // The window repaints and runs its timers meanwhile; user input stays queued.
  QElapsedTimer idle;
  while (!finished.load(std::memory_order_acquire)) {
    idle.start();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents |
                                    QEventLoop::WaitForMoreEvents);
    // Queued input keeps some event dispatchers from waiting: do not spin meanwhile.
    if (idle.nsecsElapsed() < 200000 && !finished.load(std::memory_order_acquire)) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
  if (error) {
    std::rethrow_exception(error);
  }
}

}  // namespace quillon
