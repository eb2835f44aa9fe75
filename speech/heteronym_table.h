// The heteronyms the pronunciation rules mark with a part of speech, and how espeak-ng says each.
#pragma once

#include <optional>
#include <span>
#include <string_view>

#include "speech/markup_parser.h"

namespace quillon {

// One heteronym: the word in lower case, and its phonemes as a noun and as a verb in espeak-ng's
// mnemonics (espeak-ng -x).
struct Heteronym {
  std::string_view word;
  std::string_view noun;
  std::string_view verb;
};

std::span<const Heteronym> Heteronyms();

// The phonemes of word (in any letter case) for part, or nothing when it is no heteronym we know.
std::optional<std::string_view> HeteronymPhonemes(std::string_view word, PartOfSpeech part);

}  // namespace quillon
