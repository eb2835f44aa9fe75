#include "app/speech_log.h"

#include <chrono>
#include <stdexcept>

namespace quillon {

LoggedVoice::LoggedVoice(SpeechVoice& inner, const std::string& path)
    : inner_(inner), file_(std::fopen(path.c_str(), "a")) {
  if (file_ == nullptr) {
    throw std::runtime_error("Cannot open file " + path);
  }
}

LoggedVoice::~LoggedVoice() {
  std::fclose(file_);
}

void LoggedVoice::Note(const char* what) {
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                      std::chrono::system_clock::now().time_since_epoch())
                      .count();
  std::fprintf(file_, "%s %lld\n", what, static_cast<long long>(ms));
  std::fflush(file_);
}

void LoggedVoice::Speak(std::u16string_view text, unsigned flags) {
  Note("speak");
  try {
    inner_.Speak(text, flags);
  } catch (...) {
    Note("failed");
    throw;
  }
  Note("spoken");
}

}  // namespace quillon
