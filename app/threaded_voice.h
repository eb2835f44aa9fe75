// Speaks on a thread of its own while the window's thread waits in a local event loop.
//
// The window goes on repainting and running its timers meanwhile, but handles no user input: the
// wait holds it (app/input_hold.h) for the window's next pump point, so none is lost. Speak
// returns when the inner voice has finished and rethrows its error, if any.
//
// Words the inner voice hears are passed on to this voice's word listener on the thread that
// called Speak, in order, as they come and at the latest before Speak returns; none of a finished
// Speak comes later. The inner voice gets a listener only while this one has one.
#pragma once

#include <QAbstractEventDispatcher>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/input_hold.h"
#include "speech/speech_voice.h"

namespace quillon {

class ThreadedVoice final : public SpeechVoice {
 public:
  ThreadedVoice(SpeechVoice& inner, InputHold& hold);
  ~ThreadedVoice() override;
  ThreadedVoice(const ThreadedVoice&) = delete;
  ThreadedVoice& operator=(const ThreadedVoice&) = delete;

  void Speak(std::u16string_view text, unsigned flags) override;
  void SetWordListener(WordListener listener) override;
  // Ends the sentence being spoken now (the inner voice's Interrupt); nothing when none is.
  void Interrupt() override;
  // Passed on to the inner voice at once, from the window's thread.
  void SetPaused(bool paused) override { inner_.SetPaused(paused); }
  void SetSpeed(double speed) override { inner_.SetSpeed(speed); }

 private:
  void Run();
  void ReportHeardWords();

  SpeechVoice& inner_;
  InputHold& hold_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::function<void()> job_;
  bool quit_ = false;
  bool speaking_ = false;
  // Guarded by mutex_: the inner voice is in Speak; the sentence handed over was interrupted.
  bool inner_speaking_ = false;
  bool interrupted_ = false;
  // Words heard on the speaking thread, not yet reported; the dispatcher to wake for them.
  std::mutex words_mutex_;
  std::vector<HeardWord> heard_;
  std::atomic<QAbstractEventDispatcher*> dispatcher_ = nullptr;
  std::thread worker_;
};

}  // namespace quillon
