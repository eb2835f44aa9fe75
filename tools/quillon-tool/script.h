// quillon-tool script: what a reading would speak, as JSON Lines, without speaking it.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>

#include "tools/quillon-tool/exit_codes.h"

namespace quillon::tool {

struct ScriptOptions {
  std::string document;
  std::int64_t start = 0;  // view position of the caret; nothing selected
  std::int32_t chapter = 0;
  std::int32_t voice = 0;
  bool flag = false;  // FirstOccurrenceOfHRInK12HasBeenRead
  bool explain = false;
};

// Reads the document from options.start as "&Read" would, with a voice that records instead of
// speaking, and prints one object per sentence handed to the voice:
//   {"line": L, "chapter": C, "voice": V, "text": T}
// then {"end": "marker", "line": L} or {"end": "eof"}. With explain, every sentence object also
// has, after those fields:
//   "speaker": how the line's voice was decided, one of
//     {"by": "cue", "row": N, "cue": C}, {"by": "name", "row": N, "name": NAME},
//     {"by": "previous"}, {"by": "narrator"}, {"by": "not detected"},
//     with "passage": P when a narration passage of the line set voice 1 for the sentence;
//   "rules": [{"row": N, "before": B, "after": A}, ...], every rule whose guard held, in the order
//     they ran; the flag row adds "flag": "set", "rewrote" or "ignored", the three-way row
//     "alternative": 1 to 3, the row that sets the chapter "sets_chapter": 99.
// Rows are 1-based as `tables` lists them. Returns 0; for a document that cannot be read, prints
// "Cannot open file DOCUMENT." on err and returns kExitCannotOpen.
int RunScriptCommand(const ScriptOptions& options, std::ostream& out, std::ostream& err);

}  // namespace quillon::tool
