// The reading loop behind "&Read" and "&Stop", free of Qt.
//
// It walks the view line by line from the caret, picks each line's voice, expands abbreviations,
// and speaks one framed, rewritten sentence at a time. The pump is called where the window handles
// its pending events (before each line, at the start of each sentence, between framing and
// speaking), so other handlers, "&Stop" among them, run nested at those points only.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "pronunciation/pronunciation_pipeline.h"
#include "reading/rich_text_view.h"
#include "speech/speech_voice.h"
#include "text/reader_state.h"
#include "text/text_map.h"
#include "voices/speaker_detection.h"

namespace quillon {

enum class ReadingEnd {
  EndMarker,  // the line with "~~~" was fetched
  Stopped,    // the stop flag was found set
  EndOfText,  // no line feed follows any more (only with stop_at_end_of_text)
};

// Told how a reading decides what it speaks, from the same steps that decide it: each line's voice,
// each sentence's framing, and (as a RuleObserver) every pronunciation rule that applied.
class ReadingObserver : public RuleObserver {
 public:
  // A fetched, non-blank line's voice is decided, by speaker detection or, for a line that holds no
  // double quote nor "1." outside chapter 57, without it (SpeakerDecision::By::NotDetected).
  virtual void OnLineVoice(const SpeakerDecision& /*decision*/) {}
  // A sentence is framed in the profile of voice (0 for the narrator's wrapper); passage is the
  // narration passage in it that set the current voice to 1, empty when there is none.
  virtual void OnSentenceFramed(std::int32_t /*voice*/, std::string_view /*passage*/) {}
};

// Where a sentence about to be spoken stands in its line.
struct SpokenSentence {
  // The sentence's characters in the line as fetched (before the abbreviation pre-pass), first to
  // last, trimmed; the separator after it is not part of it.
  TextSpan in_line;
  // From the text given to Speak (UTF-16 units) to the line as fetched.
  TextMap to_line;
};

struct ReadingOptions {
  // The window keeps polling (and pumping) at the end of the text until "&Stop"; tools stop.
  bool stop_at_end_of_text = false;
  // Called with each fetched line (already selected in the view), before anything else is done
  // with it; tools use it to follow chapters and positions.
  std::function<void(std::string_view line)> on_line;
  // At the end of the text (no line feed follows), called in place of the pump before the next
  // fetch: it handles pending events too, but may sleep until one arrives, so a window waiting for
  // "&Stop" there does not spin. Without it the pump is called, as everywhere else.
  std::function<void()> wait_for_events;
  // Told how each line and sentence is decided; none by default, and then nothing is recorded.
  ReadingObserver* observer = nullptr;
  // Called for each sentence just before it is spoken (after view.ScrollCaret()), with where it
  // stands in the line last given to on_line. The maps are worked out only when this is set.
  std::function<void(const SpokenSentence&)> on_sentence_spoken;
};

// One rule of the abbreviation pre-pass: when the line contains applies_when (and not unless, if
// given), every search text becomes the replacement.
struct AbbreviationRule {
  std::string_view applies_when;
  std::string_view unless;
  std::string_view search;
  std::string_view replacement;
};

// The 12 rules in the order they run; each sees the line as the earlier ones left it.
std::span<const AbbreviationRule> AbbreviationRules();
// When map is given, it is set to the map from line to the result.
std::string ExpandAbbreviations(std::string_view line, TextMap* map = nullptr);

// The 10 passages of narration spoken in voice 1, in testing order.
std::span<const std::string_view> NarrationPassages();
bool ContainsNarrationPassage(std::string_view sentence);
// The first of the passages (in testing order) that sentence contains; empty when none.
std::string_view FindNarrationPassage(std::string_view sentence);

// The text without any carriage return or line feed; map, when given, is set to the map from text
// to the result (the line breaks deleted).
std::string StripLineBreaks(std::string_view text, TextMap* map = nullptr);
// The text without its tags. A tag is a "<" and the first ">" after it with no other "<" between
// them: "<a <b> c>" keeps "<a  c>". A "<" with no ">" after it, and a ">" with no "<" before it,
// stay as text.
std::string StripMarkupTags(std::string_view text);
// True when the trimmed text, without its tags, holds two or more double quotation marks, or
// exactly one as its last character.
bool IsQuotationClosed(std::string_view text);

// One reading. Errors (a failing Speak above all) propagate to the caller; the reader state keeps
// its values.
ReadingEnd RunReadingLoop(RichTextView& view, SpeechVoice& voice, ReaderState& state,
                          const std::function<void()>& pump, const ReadingOptions& options = {});

// "&Stop": raises the flag; the loop sees it at its next stop test.
inline void RequestStop(ReaderState& state) {
  state.StopRequested = true;
}

}  // namespace quillon
