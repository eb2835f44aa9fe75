// The reader state: the four fields the main window owns for the whole run.
//
// Engine functions that read or write it take it by reference; the window (or a tool run) owns the
// one instance. Plain data, no Qt, so the engine can be tested without a window.
#pragma once

#include <cstdint>

namespace quillon {

struct ReaderState {
  std::int32_t CurrentVoice = 0;    // the current voice number; stored as LastVoice
  std::int32_t CurrentChapter = 0;  // the current chapter number; stored as LastChapter
  bool StopRequested = false;       // raised by Stop, cleared at the start of a reading
  bool FirstOccurrenceOfHRInK12HasBeenRead = false;  // flag of one pronunciation rule
};

}  // namespace quillon
