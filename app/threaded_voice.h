// Speaks on a thread of its own while the window's thread waits in a local event loop.
//
// The waiting loop excludes user input: the window repaints and timers run, but clicks and key
// presses stay queued until the window next handles its pending events (the reading loop's pump
// points). Speak returns when the inner voice has finished and rethrows its error, if any.
#pragma once

#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "speech/speech_voice.h"

namespace quillon {

class ThreadedVoice final : public SpeechVoice {
 public:
  explicit ThreadedVoice(SpeechVoice& inner);
  ~ThreadedVoice() override;
  ThreadedVoice(const ThreadedVoice&) = delete;
  ThreadedVoice& operator=(const ThreadedVoice&) = delete;

  void Speak(std::u16string_view text, unsigned flags) override;

 private:
  void Run();

  SpeechVoice& inner_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::function<void()> job_;
  bool quit_ = false;
  bool speaking_ = false;
  std::thread worker_;
};

}  // namespace quillon
