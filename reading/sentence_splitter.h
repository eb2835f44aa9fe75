// The sentence splitter: cuts the first sentence off what is left of a line.
#pragma once

#include <string>
#include <string_view>

namespace quillon {

// The first sentence of line: the line itself, unchanged and untrimmed, when no break mark is
// found or an exception string applies; otherwise a trimmed prefix of the line.
std::string GetFirstSentence(std::string_view line);

}  // namespace quillon
