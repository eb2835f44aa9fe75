// The speech voice: what the reading loop requires of whatever speaks.
//
// Speak takes exactly one UTF-16 string per call, with flag 8 (the text is speech markup), and
// returns only when the whole text has been heard. A failure throws std::runtime_error whose
// what() is the message shown to the user.
// Implementations: espeak-ng with live sound or an audio file (speech/), a recorder (tests, tools).
#pragma once

#include <string_view>

namespace quillon {

// The flag that marks the text as speech markup; the reading loop always passes it.
inline constexpr unsigned kSpeakIsXml = 8;

class SpeechVoice {
 public:
  virtual ~SpeechVoice() = default;
  virtual void Speak(std::u16string_view text, unsigned flags) = 0;
};

}  // namespace quillon
