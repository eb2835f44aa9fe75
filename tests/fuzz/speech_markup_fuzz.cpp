// libFuzzer target: the speech markup translator on arbitrary bytes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "speech/espeak_input.h"
#include "speech/markup_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view markup(reinterpret_cast<const char*>(data), size);

  // Text without markup characters comes through whole.
  // Silences are bounded one by one and all together.
  // Every character of a run knows the markup it came from, in order, inside the markup.
  std::string text;
  long total_silence_ms = 0;
  std::size_t last_source = 0;
  for (const quillon::MarkupSegment& segment : quillon::ParseSpeechMarkup(markup)) {
    if (segment.is_silence &&
        (segment.silence_ms <= 0 || segment.silence_ms > quillon::kMaxSilenceMs)) {
      std::abort();
    }
    if (segment.sources.size() != segment.text.size()) {
      std::abort();
    }
    for (const quillon::MarkupSpan& source : segment.sources) {
      if (source.empty() || source.end > markup.size() || source.begin < last_source) {
        std::abort();
      }
      last_source = source.begin;
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
    // The map back to the markup covers the SSML, and any word found in it lies in the markup.
    if (step.utterance.ssml_sources.size() != ssml.size()) {
      std::abort();
    }
    const int characters = static_cast<int>(ssml.size());
    for (int at = 1; at <= characters; at += 1 + at / 4) {
      if (const auto span = quillon::WordSource(step.utterance, at, 1 + at % 7)) {
        if (span->empty() || span->end > markup.size()) {
          std::abort();
        }
      }
    }
  }
  if (step_silence_ms > quillon::kMaxTotalSilenceMs) {
    std::abort();
  }

  // Read back from UTF-16 as a voice would: one offset per byte and the text's length last.
  const std::u16string utf16(markup.begin(), markup.end());
  const quillon::SpokenMarkup spoken = quillon::ReadSpokenText(utf16, size % 2 ? 0 : 8);
  if (spoken.utf16_offsets.size() != spoken.markup.size() + 1 ||
      spoken.utf16_offsets.back() != utf16.size() ||
      !std::is_sorted(spoken.utf16_offsets.begin(), spoken.utf16_offsets.end())) {
    std::abort();
  }
  return 0;
}
