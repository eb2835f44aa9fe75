// A reading of a document as "&Read" would do it, with a voice that records instead of speaking,
// told line by line and sentence by sentence, and, when asked, how each was decided: the voice of
// each line (speaker detection's row or fallback), each sentence's framing and every pronunciation
// rule that applied to it. The engine reports these from the steps that decide them (its
// observer); nothing here decides anything itself. script, why and coverage are built on it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "pronunciation/pronunciation_pipeline.h"
#include "reading/reading_loop.h"
#include "voices/speaker_detection.h"

namespace quillon::tool {

// Where a reading starts: the caret (nothing selected) and the reader state.
struct ReadingStart {
  std::int64_t position = 0;
  std::int32_t chapter = 0;
  std::int32_t voice = 0;
  bool flag = false;  // FirstOccurrenceOfHRInK12HasBeenRead
};

// One fetched line.
struct ReadLine {
  std::size_t number = 0;        // 1-based, in the order fetched from the start
  std::int64_t start = 0;        // view position where it starts
  std::string text;              // as fetched, line feed included (Windows-1252)
  std::int32_t chapter = 0;      // after fetching it: the chapter its voice was decided in
  bool voiced = false;           // its voice was decided (not a blank line, not the end marker)
  SpeakerDecision speaker;       // explained readings only
  std::int32_t voice_after = 0;  // the current voice when the reading left the line
  std::size_t sentences = 0;     // spoken so far
};

struct AppliedRule {
  int row = 0;  // the rule table's row number
  std::string before;
  std::string after;
  int alternative = 1;
  FlagRowOutcome flag = FlagRowOutcome::None;
};

// One sentence handed to the voice.
struct SpokenSentence {
  std::int32_t chapter = 0;  // the reader state as it is handed to the voice
  std::int32_t voice = 0;
  std::string text;  // as spoken, Windows-1252
  // Explained readings only:
  std::int32_t framed_voice = 0;   // whose profile frames it (0: the narrator's wrapper)
  std::string passage;             // the narration passage of its line that set voice 1 for it
  std::vector<AppliedRule> rules;  // in the order they ran
};

class ReadingListener {
 public:
  virtual ~ReadingListener() = default;
  virtual void OnSentence(const ReadLine& /*line*/, const SpokenSentence& /*sentence*/) {}
  // When the reading leaves a line: at the next fetch or at the end.
  virtual void OnLineDone(const ReadLine& /*line*/) {}
  // Asked before each further line; false ends the reading there.
  virtual bool WantsMoreLines() const { return true; }
};

struct ReadingResult {
  ReadingEnd end = ReadingEnd::EndOfText;
  std::int64_t end_line_start = 0;  // where the line with the end marker starts
  std::size_t lines = 0;            // lines fetched
};

// Reads view_text from start to the end marker or the end of the text. With explain false the
// engine is given no observer: only number, start, text, chapter and voice_after of the lines and
// chapter, voice and text of the sentences are filled.
ReadingResult ReadDocument(std::string view_text, const ReadingStart& start, bool explain,
                           ReadingListener& listener);

}  // namespace quillon::tool
