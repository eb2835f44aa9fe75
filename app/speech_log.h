// A voice that notes when each sentence starts and ends, for the tests that drive the real program
// and time its sound (tests/app/input_x11_test.sh).
//
// With QUILLON_SPEECH_LOG naming a file, main speaks through it: a line "speak MS" as a sentence
// is handed to the voice and "spoken MS" once Speak returns ("failed MS" when it throws), MS being
// milliseconds of the system clock since 1970 (`date +%s%3N`). Without the variable it is not
// used.
#pragma once

#include <cstdio>
#include <string>
#include <utility>

#include "speech/speech_voice.h"

namespace quillon {

class LoggedVoice final : public SpeechVoice {
 public:
  // Appends to the file at path; throws std::runtime_error when it cannot be opened.
  LoggedVoice(SpeechVoice& inner, const std::string& path);
  ~LoggedVoice() override;
  LoggedVoice(const LoggedVoice&) = delete;
  LoggedVoice& operator=(const LoggedVoice&) = delete;

  void Speak(std::u16string_view text, unsigned flags) override;
  void SetWordListener(WordListener listener) override {
    inner_.SetWordListener(std::move(listener));
  }
  void Interrupt() override { inner_.Interrupt(); }
  void SetPaused(bool paused) override { inner_.SetPaused(paused); }
  void SetSpeed(double speed) override { inner_.SetSpeed(speed); }

 private:
  void Note(const char* what);

  SpeechVoice& inner_;
  std::FILE* file_;
};

}  // namespace quillon
