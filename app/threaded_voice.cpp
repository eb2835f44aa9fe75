#include "app/threaded_voice.h"

#include <QEventLoop>
#include <QMetaObject>
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

  QEventLoop loop;  // only the context of the queued call that ends the wait
  std::exception_ptr error;
  bool finished = false;
  const std::u16string copy(text);
  {
    const std::lock_guard lock(mutex_);
    job_ = [&] {
      try {
        inner_.Speak(copy, flags);
      } catch (...) {
        error = std::current_exception();
      }
      // Queued into the window's thread, where it also wakes the waiting loop.
      QMetaObject::invokeMethod(
          &loop, [&] { finished = true; }, Qt::QueuedConnection);
    };
  }
  wake_.notify_one();
  while (!finished) {
    loop.processEvents(QEventLoop::ExcludeUserInputEvents | QEventLoop::WaitForMoreEvents);
  }
  if (error) {
    std::rethrow_exception(error);
  }
}

}  // namespace quillon
