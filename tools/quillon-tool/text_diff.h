// The difference between two texts as a person reads it: words, runs of spaces, markup tags and
// single punctuation marks are kept whole, so "imposter" -> "im <EMPH>poss</EMPH> ter" is one word
// replaced, and "What?" -> "<EMPH>What?</EMPH>" two tags added around it.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace quillon::tool {

struct DiffPiece {
  enum class Kind : std::uint8_t { Same, Removed, Added };
  Kind kind;
  std::string_view text;  // into before (Same, Removed) or after (Added)
};

// Pieces that spell before when Same and Removed are taken, and after when Same and Added are;
// no two neighbours of the same kind, and a Removed piece comes before the Added piece it
// neighbours. Texts whose changed middle is very long (many thousands of pieces each) come out as
// that whole middle removed and added.
std::vector<DiffPiece> DiffTexts(std::string_view before, std::string_view after);

}  // namespace quillon::tool
