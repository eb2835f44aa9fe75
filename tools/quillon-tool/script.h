// quillon-tool script: what a reading would speak, as JSON Lines, without speaking it.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>

namespace quillon::tool {

inline constexpr int kExitCannotOpen = 2;

struct ScriptOptions {
  std::string document;
  std::int64_t start = 0;  // view position of the caret; nothing selected
  std::int32_t chapter = 0;
  std::int32_t voice = 0;
  bool flag = false;  // FirstOccurrenceOfHRInK12HasBeenRead
};

// Reads the document from options.start as "&Read" would, with a voice that records instead of
// speaking, and prints one object per sentence handed to the voice:
//   {"line": L, "chapter": C, "voice": V, "text": T}
// then {"end": "marker", "line": L} or {"end": "eof"}. Returns 0; for a document that cannot be
// read, prints "Cannot open file DOCUMENT." on err and returns kExitCannotOpen.
int RunScriptCommand(const ScriptOptions& options, std::ostream& out, std::ostream& err);

}  // namespace quillon::tool
