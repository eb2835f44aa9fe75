#include "voices/speaker_detection.h"

#include <cstddef>
#include <string>
#include <utility>

#include "text/text_primitives.h"

namespace quillon {
namespace {

// Larger than any position in a line: no name found yet.
constexpr std::size_t kNoName = 123456789;

// The text the names are searched in: the narration around the line's first quotation.
std::string NarrationText(std::string_view line, bool has_quote) {
  if (!has_quote) {
    return std::string(line);
  }
  const std::string trimmed = Trim(line);
  if (!trimmed.empty() && trimmed.front() == '"') {
    // Drop the opening quote; then, if the quotation is closed, the quoted words and the closing
    // quote. What follows the closing quote stays, later quotations included.
    std::string text(line);
    const std::size_t p = Position("\"", text);
    text.erase(p - 1, 1);
    const std::size_t r = Position("\"", text);
    if (r > 0) {
      text.erase(p - 1, r - p + 1);
    }
    return text;
  }
  // The narration that introduces the quotation, its opening quote included.
  return Trim(line.substr(0, Position("\"", line)));
}

// Tells decision, when there is one, how the voice was decided; returns the voice.
std::int32_t Decided(SpeakerDecision* decision, SpeakerDecision::By by, std::size_t row,
                     std::int32_t voice, std::string narration = {}) {
  if (decision != nullptr) {
    decision->by = by;
    decision->row = row;
    decision->voice = voice;
    decision->narration = std::move(narration);
  }
  return voice;
}

}  // namespace

bool CueMatches(const SpeakerCue& row, std::string_view line, std::int32_t chapter) {
  if (!Contains(row.cue, line)) {
    return false;
  }
  for (std::string_view excluded : row.unless) {
    if (Contains(excluded, line)) {
      return false;
    }
  }
  return row.chapter.HoldsFor(chapter);
}

std::int32_t DetectSpeakerVoice(std::string_view line, const ReaderState& state,
                                SpeakerDecision* decision) {
  return DetectSpeakerVoice(line, state, SpeakerCues(), SpeakerNames(), decision);
}

std::int32_t DetectSpeakerVoice(std::string_view line, const ReaderState& state,
                                std::span<const SpeakerCue> cues,
                                std::span<const SpeakerName> names, SpeakerDecision* decision) {
  using By = SpeakerDecision::By;
  for (std::size_t i = 0; i < cues.size(); ++i) {
    if (CueMatches(cues[i], line, state.CurrentChapter)) {
      return Decided(decision, By::Cue, i + 1, cues[i].voice);
    }
  }

  const bool has_quote = Contains("\"", line);
  std::string narration = NarrationText(line, has_quote);

  std::size_t earliest = kNoName;
  std::size_t candidate = 0;
  for (std::size_t i = 0; i < names.size(); ++i) {
    const std::size_t at = Position(names[i].name, narration);
    if (at == 0) {
      continue;
    }
    if (names[i].kind == NameKind::Immediate) {
      return Decided(decision, By::Name, i + 1, names[i].voice, std::move(narration));
    }
    if (at < earliest) {
      earliest = at;
      candidate = i;
    }
  }
  if (earliest != kNoName) {
    return Decided(decision, By::Name, candidate + 1, names[candidate].voice, std::move(narration));
  }
  if (has_quote) {
    return Decided(decision, By::Previous, 0, state.CurrentVoice, std::move(narration));
  }
  return Decided(decision, By::Narrator, 0, 0, std::move(narration));
}

}  // namespace quillon
