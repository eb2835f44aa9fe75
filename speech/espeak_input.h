// The reader's speech markup written as espeak-ng's input.
//
// TranslateSpeechMarkup turns each stretch of one voice into one well-formed SSML string for
// espeak-ng, so a sentence is synthesised in one call and keeps its intonation. Silences are left
// to the audio path, which writes them as exact zero samples: between two utterances as steps of
// their own, inside one as marks that the audio path replaces with the silence.
//
// SSML out is UTF-8 with every parameter spelt out absolutely, so nothing depends on what an
// earlier call left behind in espeak-ng.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "speech/markup_parser.h"

namespace quillon {

// One espeak-ng call: the voice to select and the SSML to synthesise (UTF-8).
struct EspeakUtterance {
  std::string voice_name;      // e.g. "en-us+m3"
  std::string ssml;            // "<speak>...</speak>", every run in its own prosody element
  bool uses_phonemes = false;  // holds [[...]] phoneme input (espeakPHONEMES is needed)
  // Silences inside the utterance: <mark name="i"/> stands where silences_ms[i] milliseconds of
  // zero samples go, so a silence does not break the sentence's intonation.
  std::vector<int> silences_ms;
  // For each byte of ssml, the markup it was written from; empty for what the translator adds
  // (tags, a line break, punctuation that keeps phonemes apart).
  std::vector<MarkupSpan> ssml_sources;
};

// The markup a word that espeak-ng reports in an utterance was written from: the word stands at
// character text_position (from 1) of the utterance's SSML and is length characters long.
// Nothing when it stands on no text of the markup.
std::optional<MarkupSpan> WordSource(const EspeakUtterance& utterance, int text_position,
                                     int length);

// One step of speaking: an utterance or a silence of exact length.
struct SpeechStep {
  bool is_silence = false;
  EspeakUtterance utterance;  // utterances only
  int silence_ms = 0;         // silences only
};

// The steps that speak a marked-up text: each stretch of runs in one voice becomes one utterance;
// silences before, between and after utterances become steps, those within one become its marks.
// espeak-ng reports no mark that stands right after the full stop of a sentence, so a silence
// there ends the utterance, and the text after it is the next one in the same voice.
//
// speed is the reading speed, kSlowestSpeed to kFastestSpeed (clamped): every run's rate is its
// profile's own times speed, so the characters keep their rates relative to each other, and every
// silence is its length divided by speed. 1 is the markup as written.
inline constexpr double kSlowestSpeed = 0.5;
inline constexpr double kFastestSpeed = 3.0;
std::vector<SpeechStep> TranslateSpeechMarkup(std::string_view markup, double speed = 1.0);

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
