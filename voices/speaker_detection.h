// Speaker detection: which voice speaks a line of the novel.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "reading/reader_state.h"
#include "voices/speaker_cue.h"
#include "voices/speaker_name.h"

namespace quillon {

// The voice number for line: the first matching cue, else a name in the narration, else (when the
// line holds a double quote) the current voice number, else 0. Reads the chapter and voice of
// state; changes nothing.
std::int32_t DetectSpeakerVoice(std::string_view line, const ReaderState& state);

// The same over given lists (tests use small ones).
std::int32_t DetectSpeakerVoice(std::string_view line, const ReaderState& state,
                                std::span<const SpeakerCue> cues,
                                std::span<const SpeakerName> names);

}  // namespace quillon
