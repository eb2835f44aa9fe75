// quillon-tool why DOCUMENT LINE: why one line is spoken as it is, for a person at a terminal.
#pragma once

#include <ostream>
#include <string>

#include "tools/quillon-tool/exit_codes.h"

namespace quillon::tool {

inline constexpr int kExitNoSuchLine = 1;

struct WhyOptions {
  std::string document;
  // A 1-based line number of the view text (digits only), or a text the line contains (UTF-8):
  // the first line that holds it.
  std::string line;
};

// Reads the document from the top as "&Read" would, up to and including the line asked for, and
// prints on out: the line, its voice and profile, how the voice was decided (the deciding row's
// text marked in the line or in the narration the names were searched in), then each sentence as
// framed, every rule that applied to it as a difference, and the text spoken. With colour the
// marks are terminal colours, otherwise [[found]], [-removed-] and {+added+}.
// Returns 0; kExitCannotOpen for a document that cannot be read; kExitUsage for line
// number 0; kExitNoSuchLine when no line read holds the text or the number is past the lines
// read; messages go to err.
int RunWhyCommand(const WhyOptions& options, std::ostream& out, std::ostream& err, bool colour);

}  // namespace quillon::tool
