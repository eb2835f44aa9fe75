// Voice profiles and the two wrappers that frame one sentence in voice markup.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "text/reader_state.h"
#include "text/text_map.h"

namespace quillon {

// The opening markup of the profile of voice; numbers outside 0 to 36 give profile 0.
std::string_view GetVoiceProfileTag(std::int32_t voice);

// The sentence framed in the profile of state.CurrentVoice. The closing is the long one when the
// voice number is greater than 2 and the sentence contains "<PITCH"; otherwise "</VOICE>".
// When map is given, it is set to the map from the sentence to the result: the markup around it
// comes from nothing, the sentence is copied.
std::string WrapDialogueSentence(std::string_view sentence, const ReaderState& state,
                                 TextMap* map = nullptr);

// The sentence framed in the narrator's profile 0, whatever the current voice is; map as above.
std::string WrapNarratorSentence(std::string_view sentence, TextMap* map = nullptr);

}  // namespace quillon
