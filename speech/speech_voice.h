// The speech voice: what the reading loop requires of whatever speaks.
//
// Speak takes exactly one UTF-16 string per call, with flag 8 (the text is speech markup), and
// returns only when the whole text has been heard. A failure throws std::runtime_error whose
// what() is the message shown to the user.
//
// While a text is heard the voice can tell which word of it is being heard: a subscriber set
// with SetWordListener is called once per word, in order, on the thread that called Speak and
// before Speak returns. Voices that cannot tell report nothing. Subscribing changes nothing of
// what is spoken or of when Speak returns.
// Implementations: espeak-ng with live sound or an audio file (speech/), a recorder (tests, tools).
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>
#include <utility>

namespace quillon {

// The flag that marks the text as speech markup; the reading loop always passes it.
inline constexpr unsigned kSpeakIsXml = 8;

// One word of a text, as it is heard.
struct HeardWord {
  // Where the word stands in the text given to Speak, in UTF-16 code units, markup included: the
  // span of the characters it was spoken from (an entity, a spelt-out amount and a word given
  // as phonemes count as the text they stand for).
  std::size_t start = 0;
  std::size_t length = 0;
  // Its first sample, counted from the first sample of this text's audio.
  std::uint64_t sample = 0;
  // When that sample is played, from the sound stream's own timing. Voices that only write audio
  // leave it at the clock's epoch.
  std::chrono::steady_clock::time_point at{};

  bool operator==(const HeardWord&) const = default;
};

using WordListener = std::function<void(const HeardWord& word)>;

class SpeechVoice {
 public:
  SpeechVoice() = default;
  SpeechVoice(const SpeechVoice& other)
      : word_listener_(other.word_listener_), speed_(other.speed_.load()) {}
  SpeechVoice& operator=(const SpeechVoice& other) {
    word_listener_ = other.word_listener_;
    speed_.store(other.speed_.load());
    return *this;
  }
  virtual ~SpeechVoice() = default;
  virtual void Speak(std::u16string_view text, unsigned flags) = 0;

  // Replaces the word subscriber; an empty one unsubscribes. Not while Speak runs.
  virtual void SetWordListener(WordListener listener) { word_listener_ = std::move(listener); }

  // From any thread, while Speak runs on another: ends the text being heard at once. The sound
  // stops and Speak returns soon without an error, as if the text had ended there; words not yet
  // heard are not reported. A call while no Speak runs may end the next one. Voices that cannot
  // cut a text short finish it.
  virtual void Interrupt() {}

  // From any thread: holds the sound still at once, mid-word, and lets it go on from the very next
  // sample. Speak does not return while its text is held (it is still being spoken) and reports
  // no word meanwhile; a text begun while held waits too. Interrupt ends a held text as any.
  // Voices that cannot hold their sound ignore it.
  virtual void SetPaused(bool /*paused*/) {}

  // The reading speed of the texts spoken from now on (0.5 to 3 times every profile's own rate;
  // speech/espeak_input.h); from any thread. A text being spoken keeps its speed.
  virtual void SetSpeed(double speed) { speed_.store(speed); }
  double Speed() const { return speed_.load(); }

 protected:
  bool HasWordListener() const { return static_cast<bool>(word_listener_); }
  void ReportWord(const HeardWord& word) const {
    if (word_listener_) {
      word_listener_(word);
    }
  }

 private:
  WordListener word_listener_;
  std::atomic<double> speed_ = 1.0;
};

}  // namespace quillon
