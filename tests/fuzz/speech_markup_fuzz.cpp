// libFuzzer target: the speech markup translator on arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "speech/espeak_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view markup(reinterpret_cast<const char*>(data), size);

  // Text without markup characters comes through whole.
  // Silences are bounded one by one and all together.
  std::string text;
  long total_silence_ms = 0;
  for (const quillon::MarkupSegment& segment : quillon::ParseSpeechMarkup(markup)) {
    if (segment.is_silence &&
        (segment.silence_ms <= 0 || segment.silence_ms > quillon::kMaxSilenceMs)) {
      std::abort();
    }
    total_silence_ms += segment.silence_ms;
    text += segment.text;
  }
  if (total_silence_ms > quillon::kMaxTotalSilenceMs) {
    std::abort();
  }
  if (markup.find_first_of("<&") == std::string_view::npos && text != markup) {
    std::abort();
  }

  long step_silence_ms = 0;
  for (const quillon::SpeechStep& step : quillon::TranslateSpeechMarkup(markup)) {
    if (step.is_silence) {
      step_silence_ms += step.silence_ms;
      continue;
    }
    for (int ms : step.utterance.silences_ms) {
      step_silence_ms += ms;
    }
    const std::string& ssml = step.utterance.ssml;
    if (ssml.rfind("<speak>", 0) != 0 || ssml.size() < 15 ||
        ssml.compare(ssml.size() - 8, 8, "</speak>") != 0 || ssml.find('\0') != std::string::npos) {
      std::abort();
    }
  }
  if (step_silence_ms > quillon::kMaxTotalSilenceMs) {
    std::abort();
  }
  return 0;
}
