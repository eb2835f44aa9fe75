#include "voices/speaker_detection.h"

#include <cstddef>
#include <string>

#include "reading/text_primitives.h"

namespace quillon {
namespace {

// Larger than any position in a line: no name found yet.
constexpr std::size_t kNoName = 123456789;

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

}  // namespace

std::int32_t DetectSpeakerVoice(std::string_view line, const ReaderState& state) {
  return DetectSpeakerVoice(line, state, SpeakerCues(), SpeakerNames());
}

std::int32_t DetectSpeakerVoice(std::string_view line, const ReaderState& state,
                                std::span<const SpeakerCue> cues,
                                std::span<const SpeakerName> names) {
  for (const SpeakerCue& row : cues) {
    if (CueMatches(row, line, state.CurrentChapter)) {
      return row.voice;
    }
  }

  const bool has_quote = Contains("\"", line);
  const std::string narration = NarrationText(line, has_quote);

  std::size_t earliest = kNoName;
  std::int32_t candidate = 0;
  for (const SpeakerName& row : names) {
    const std::size_t at = Position(row.name, narration);
    if (at == 0) {
      continue;
    }
    if (row.kind == NameKind::Immediate) {
      return row.voice;
    }
    if (at < earliest) {
      earliest = at;
      candidate = row.voice;
    }
  }
  if (earliest != kNoName) {
    return candidate;
  }
  return has_quote ? state.CurrentVoice : 0;
}

}  // namespace quillon
