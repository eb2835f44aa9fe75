// Voice profiles and the two wrappers that frame one sentence in voice markup.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "reading/reader_state.h"

namespace quillon {

// The opening markup of the profile of voice; numbers outside 0 to 36 give profile 0.
std::string_view GetVoiceProfileTag(std::int32_t voice);

// The sentence framed in the profile of state.CurrentVoice. The closing is the long one when the
// voice number is greater than 2 and the sentence contains "<PITCH"; otherwise "</VOICE>".
std::string WrapDialogueSentence(std::string_view sentence, const ReaderState& state);

// The sentence framed in the narrator's profile 0, whatever the current voice is.
std::string WrapNarratorSentence(std::string_view sentence);

}  // namespace quillon
