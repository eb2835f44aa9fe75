// Speaker detection: which voice speaks a line of the novel, and, when asked, how it was decided.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "text/reader_state.h"
#include "voices/speaker_cue.h"
#include "voices/speaker_name.h"

namespace quillon {

// How a line's voice was decided.
struct SpeakerDecision {
  enum class By : std::uint8_t {
    NotDetected,  // the reading loop gave the narrator without asking (no quote, no "1.")
    Cue,          // a row of the cue list
    Name,         // a row of the name list, found in the narration text
    Previous,     // a quotation with neither cue nor name: the current voice goes on
    Narrator,     // neither cue nor name, and no quotation
  };
  By by = By::NotDetected;
  std::size_t row = 0;     // Cue, Name: the deciding row's 1-based place in its list
  std::int32_t voice = 0;  // the voice decided
  // Name, Previous, Narrator: the text the names were searched in.
  std::string narration;
};

// The voice number for line: the first matching cue, else a name in the narration, else (when the
// line holds a double quote) the current voice number, else 0. Reads the chapter and voice of
// state; changes nothing. When decision is given, it is told how the voice was decided.
std::int32_t DetectSpeakerVoice(std::string_view line, const ReaderState& state,
                                SpeakerDecision* decision = nullptr);

// The same over given lists (tests use small ones).
std::int32_t DetectSpeakerVoice(std::string_view line, const ReaderState& state,
                                std::span<const SpeakerCue> cues,
                                std::span<const SpeakerName> names,
                                SpeakerDecision* decision = nullptr);

// Whether one row of the cue list matches line in chapter: the cue is in the line, none of the
// exclusion texts is, and the chapter condition holds.
bool CueMatches(const SpeakerCue& row, std::string_view line, std::int32_t chapter);

}  // namespace quillon
