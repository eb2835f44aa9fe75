// libFuzzer target: the speech markup translator on arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "speech/speech_markup.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view markup(reinterpret_cast<const char*>(data), size);

  // Text without markup characters comes through whole.
  std::string text;
  for (const quillon::MarkupSegment& segment : quillon::ParseSpeechMarkup(markup)) {
    if (segment.is_silence &&
        (segment.silence_ms <= 0 || segment.silence_ms > quillon::kMaxSilenceMs)) {
      std::abort();
    }
    text += segment.text;
  }
  if (markup.find_first_of("<&") == std::string_view::npos && text != markup) {
    std::abort();
  }

  for (const quillon::SpeechStep& step : quillon::TranslateSpeechMarkup(markup)) {
    if (step.is_silence) {
      continue;
    }
    const std::string& ssml = step.utterance.ssml;
    if (ssml.rfind("<speak>", 0) != 0 || ssml.size() < 15 ||
        ssml.compare(ssml.size() - 8, 8, "</speak>") != 0 || ssml.find('\0') != std::string::npos) {
      std::abort();
    }
  }
  return 0;
}
