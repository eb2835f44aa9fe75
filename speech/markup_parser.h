// The reader's speech markup, parsed into runs of text in one speaking state and silences.
//
// The reader frames every sentence in the voice markup of its profiles and the pronunciation
// rules (VOICE, RATE, VOLUME, PITCH, EMPH, SILENCE, PARTOFSP, CONTEXT). The markup is read the way
// the profiles and the rules use it, not as a tree: a start tag changes the speaking state until
// the end tag of its own name closes the most recent open element of that name (elements opened
// after it may stay open), and whatever is still open at the end of the text ends there. Text is
// never dropped: a "&" or "<" that starts no entity or tag is ordinary text, and unknown elements
// only lose their tags. Text is Windows-1252.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "speech/speech_voice.h"

namespace quillon {

// The voices the REQUIRED values select.
enum class MarkupVoice : std::uint8_t {
  Narrator,  // "Name=Microsoft Mike", and the voice before any VOICE tag
  Mary,      // "Name=Microsoft Mary"
  Robot,     // "Name=Microsoft Sam"
  Male,      // "Gender=Male"
  Female,    // "Gender=Female"
};

enum class PartOfSpeech : std::uint8_t { None, Noun, Verb };
enum class SpeechContext : std::uint8_t { None, Currency, Time, Other };

// The speaking state of one run, in the markup's own units.
struct SpeakingState {
  MarkupVoice voice = MarkupVoice::Narrator;
  int rate = 0;      // rate steps (each multiplies the speed by the tenth root of 3), -10 to 10
  int volume = 100;  // percent of full volume, 0 to 100
  int pitch = 0;     // pitch steps (each a 24th of an octave), -24 to 24
  bool emphasis = false;
  PartOfSpeech part = PartOfSpeech::None;
  SpeechContext context = SpeechContext::None;

  bool operator==(const SpeakingState&) const = default;
};

// Where text came from in the markup: the bytes [begin, end). Empty for text the markup does not
// hold (what the translator adds).
struct MarkupSpan {
  std::size_t begin = 0;
  std::size_t end = 0;

  bool empty() const { return end <= begin; }
  bool operator==(const MarkupSpan&) const = default;
};

// One piece of the flat sequence: a run of text in one state, or a silence.
struct MarkupSegment {
  bool is_silence = false;
  SpeakingState state;  // runs only
  std::string text;     // runs only; Windows-1252, entities decoded
  // Runs only: for each byte of text, the markup it was read from (an entity's whole span for
  // the character it stands for).
  std::vector<MarkupSpan> sources;
  int silence_ms = 0;  // silences only
};

// The runs and silences of a marked-up text. Adjacent runs in the same state are merged, adjacent
// silences added up; empty runs are left out. A silence is at most kMaxSilenceMs long, and all
// silences of one text together at most kMaxTotalSilenceMs: what goes beyond is dropped, so a
// text cannot ask for hours of quiet.
std::vector<MarkupSegment> ParseSpeechMarkup(std::string_view markup);

inline constexpr int kMaxSilenceMs = 60'000;
inline constexpr int kMaxTotalSilenceMs = 60'000;

// The text of a marked-up text as it is heard: its runs joined, white space between them made one
// space, trimmed. What a subtitle of the sentence shows.
std::string PlainTextOfMarkup(std::string_view markup);

// The markup of what a voice's Speak receives: UTF-16 converted to Windows-1252 exactly as the
// reading loop's sentences were; without kSpeakIsXml in flags the text is plain, its "<" and "&"
// taken literally. utf16_offsets maps it back: for each byte of markup the UTF-16 index of the
// character it stands for, and one more entry, the text's length.
struct SpokenMarkup {
  std::string markup;
  std::vector<std::size_t> utf16_offsets;

  // The UTF-16 start and length of the markup bytes in span.
  std::pair<std::size_t, std::size_t> Utf16Of(MarkupSpan span) const;
  // The word spoken from span, its first sample at `sample` of the text's audio.
  HeardWord WordAt(MarkupSpan span, std::uint64_t sample) const;
};
SpokenMarkup ReadSpokenText(std::u16string_view text, unsigned flags);
std::string MarkupOfSpokenText(std::u16string_view text, unsigned flags);

}  // namespace quillon
