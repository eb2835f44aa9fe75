#include "voices/voice_profiles.h"

#include "text/text_primitives.h"
#include "voices/talking_quillon_const.h"

namespace quillon {

std::string_view GetVoiceProfileTag(std::int32_t voice) {
  if (voice < 0 || voice >= static_cast<std::int32_t>(kVoiceProfiles.size())) {
    return kVoiceProfile0;
  }
  return kVoiceProfiles[static_cast<std::size_t>(voice)];
}

namespace {

std::string Frame(std::string_view opening, std::string_view sentence, std::string_view closing,
                  TextMap* map) {
  if (map != nullptr) {
    *map = TextMap();
    map->Insert(opening.size());
    map->Copy(sentence.size());
    map->Insert(closing.size());
  }
  std::string framed;
  framed.reserve(opening.size() + sentence.size() + closing.size());
  framed.append(opening).append(sentence).append(closing);
  return framed;
}

}  // namespace

std::string WrapDialogueSentence(std::string_view sentence, const ReaderState& state,
                                 TextMap* map) {
  // Only the sentence decides: an attribute-form profile normally gets the short closing and its
  // RATE, VOLUME and PITCH tags stay open.
  const bool long_closing = state.CurrentVoice > 2 && Contains("<PITCH", sentence);
  return Frame(GetVoiceProfileTag(state.CurrentVoice), sentence,
               long_closing ? kVoiceClosingLong : kVoiceClosingShort, map);
}

std::string WrapNarratorSentence(std::string_view sentence, TextMap* map) {
  return Frame(kVoiceProfile0, sentence, kVoiceClosingShort, map);
}

}  // namespace quillon
