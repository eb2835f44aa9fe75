// A speech voice that records what it is asked to speak instead of speaking it.
//
// Used by the tests and by quillon-tool. A hook sees each call as it happens (a tool notes the
// reader's place there); a failure can be armed to test how callers handle a failing Speak; words
// can be given for it to report, as a live voice would, to the word listener.
#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "speech/speech_voice.h"

namespace quillon {

class RecordingVoice final : public SpeechVoice {
 public:
  struct Call {
    std::u16string text;
    unsigned flags;
  };
  using Hook = std::function<void(std::u16string_view text, unsigned flags)>;

  RecordingVoice() = default;
  explicit RecordingVoice(Hook on_speak) : on_speak_(std::move(on_speak)) {}

  // Call number `call` (from 0) throws std::runtime_error(message) and records nothing.
  void FailAt(std::size_t call, std::string message) {
    fail_at_ = call;
    failure_message_ = std::move(message);
  }

  // The next Speak reports these words, in order, after the hook has seen the call; a word
  // whose time is the clock's epoch is given the moment it is reported. Each call to this gives
  // the words of one more Speak.
  void QueueWords(std::vector<HeardWord> words) { queued_words_.push_back(std::move(words)); }

  void Speak(std::u16string_view text, unsigned flags) override {
    if (fail_at_ && *fail_at_ == attempts_) {
      ++attempts_;
      throw std::runtime_error(failure_message_);
    }
    ++attempts_;
    if (on_speak_) {
      on_speak_(text, flags);
    }
    calls_.push_back({std::u16string(text), flags});
    if (!queued_words_.empty()) {
      std::vector<HeardWord> words = std::move(queued_words_.front());
      queued_words_.pop_front();
      for (HeardWord& word : words) {
        if (word.at == std::chrono::steady_clock::time_point{}) {
          word.at = std::chrono::steady_clock::now();
        }
        ReportWord(word);
      }
    }
  }

  const std::vector<Call>& calls() const { return calls_; }
  void Clear() { calls_.clear(); }

 private:
  Hook on_speak_;
  std::vector<Call> calls_;
  std::size_t attempts_ = 0;
  std::optional<std::size_t> fail_at_;
  std::deque<std::vector<HeardWord>> queued_words_;
  std::string failure_message_;
};

}  // namespace quillon
