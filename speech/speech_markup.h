// The speech markup translator: the reader's voice markup in, espeak-ng SSML out.
//
// The reader frames every sentence in the voice markup of its profiles and the pronunciation
// rules (VOICE, RATE, VOLUME, PITCH, EMPH, SILENCE, PARTOFSP, CONTEXT). The markup is read the way
// the profiles and the rules use it, not as a tree: a start tag changes the speaking state until
// the end tag of its own name closes the most recent open element of that name (elements opened
// after it may stay open), and whatever is still open at the end of the text ends there. Text is
// never dropped: a "&" or "<" that starts no entity or tag is ordinary text, and unknown elements
// only lose their tags.
//
// ParseSpeechMarkup gives the flat sequence of runs (state plus text) and silences;
// TranslateSpeechMarkup turns each stretch of one voice into one well-formed SSML string for
// espeak-ng, so a sentence is synthesised in one call and keeps its intonation. Silences are left
// to the audio path, which writes them as exact zero samples: between two utterances as steps of
// their own, inside one as marks that the audio path replaces with the silence.
//
// Text in is Windows-1252; SSML out is UTF-8 with every parameter spelt out absolutely, so
// nothing depends on what an earlier call left behind in espeak-ng.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

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

// One piece of the flat sequence: a run of text in one state, or a silence.
struct MarkupSegment {
  bool is_silence = false;
  SpeakingState state;  // runs only
  std::string text;     // runs only; Windows-1252, entities decoded
  int silence_ms = 0;   // silences only
};

// The runs and silences of a marked-up text. Adjacent runs in the same state are merged, adjacent
// silences added up; empty runs are left out. A silence is at most kMaxSilenceMs long, and all
// silences of one text together at most kMaxTotalSilenceMs: what goes beyond is dropped, so a
// text cannot ask for hours of quiet.
std::vector<MarkupSegment> ParseSpeechMarkup(std::string_view markup);

inline constexpr int kMaxSilenceMs = 60'000;
inline constexpr int kMaxTotalSilenceMs = 60'000;

// One espeak-ng call: the voice to select and the SSML to synthesise (UTF-8).
struct EspeakUtterance {
  std::string voice_name;      // e.g. "en-us+m3"
  std::string ssml;            // "<speak>...</speak>", every run in its own prosody element
  bool uses_phonemes = false;  // holds [[...]] phoneme input (espeakPHONEMES is needed)
  // Silences inside the utterance: <mark name="i"/> stands where silences_ms[i] milliseconds of
  // zero samples go, so a silence does not break the sentence's intonation.
  std::vector<int> silences_ms;
};

// One step of speaking: an utterance or a silence of exact length.
struct SpeechStep {
  bool is_silence = false;
  EspeakUtterance utterance;  // utterances only
  int silence_ms = 0;         // silences only
};

// The steps that speak a marked-up text: each stretch of runs in one voice becomes one utterance;
// silences before, between and after utterances become steps, those within one become its marks.
std::vector<SpeechStep> TranslateSpeechMarkup(std::string_view markup);

// The markup of what a voice's Speak receives: UTF-16 converted to Windows-1252 exactly as the
// reading loop's sentences were; without kSpeakIsXml in flags the text is plain, its "<" and "&"
// taken literally.
std::string MarkupOfSpokenText(std::u16string_view text, unsigned flags);

// The espeak-ng parameters a state maps to (see README, "Voices and speech markup").
struct EspeakProsody {
  int rate_percent;  // of kEspeakBaseRate words per minute
  int pitch;         // espeak-ng pitch, 0 to 99 (50: the voice's own)
  int range;         // espeak-ng pitch range, 0 to 99 (50: the voice's own)
  int volume;        // espeak-ng volume, 0 to 100
};
inline constexpr int kEspeakBaseRate = 175;  // words per minute at rate step 0
EspeakProsody MapProsody(const SpeakingState& state);

// The espeak-ng voice (language plus variant) that speaks a run in this state.
std::string_view EspeakVoiceName(const SpeakingState& state);

// Every espeak-ng variant the mapping uses ("m3", "f1", ...), for checking that they exist.
std::vector<std::string_view> EspeakVariantsUsed();

}  // namespace quillon
