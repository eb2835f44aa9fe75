// Subtitles as WebVTT: one cue per sentence, so a player shows the text in step with the audio.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace quillon {

struct SubtitleCue {
  double start_seconds = 0;
  double end_seconds = 0;
  std::string text;  // UTF-8, one line
};

// The WebVTT text of the cues: the header, then each cue's times and its text, "&", "<" and ">"
// written as character references and line breaks as spaces.
std::string FormatWebVtt(const std::vector<SubtitleCue>& cues);

// Writes FormatWebVtt(cues) to the file at path, replacing it; throws std::runtime_error naming
// the file (as shown_name, when one is given) when it cannot.
void WriteWebVtt(const std::string& path, const std::vector<SubtitleCue>& cues,
                 const std::string& shown_name = {});

// The subtitles of one audio file, made as its samples are written: a cue for each sentence, from
// its first to its last audible (non-zero) sample; a sentence with nothing audible or no text
// has none.
class SubtitleTrack {
 public:
  void StartSentence();
  // The sentence's samples, as they go into the audio file.
  void Add(std::span<const std::int16_t> samples);
  void EndSentence(std::string text, int sample_rate);
  // The cues so far; the track starts again for the next file.
  std::vector<SubtitleCue> Take();

  const std::vector<SubtitleCue>& Cues() const { return cues_; }

 private:
  std::vector<SubtitleCue> cues_;
  std::uint64_t samples_ = 0;  // in the audio file
  std::optional<std::uint64_t> first_audible_;
  std::uint64_t last_audible_ = 0;
};

}  // namespace quillon
