// One row of the pronunciation rule table: a guard and a rewrite.
//
// Guard: the text contains one of the triggers (any, when there are three), does not contain the
// excluded text, and the current chapter is none of the excluded chapters. The flag row has no
// trigger: its guard is a position, a length and the chapter (see ApplyPronunciationRules).
// Rewrite: ReplaceText with search, replacement and mode; a cascade row has three alternatives
// of which the first that changes the text wins.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "text/text_list.h"
#include "text/text_primitives.h"

namespace quillon {

struct Rewrite {
  std::string_view search;
  std::string_view replacement;
};

enum class RuleEffect : std::uint8_t {
  None,
  SetsChapter99,  // sets CurrentChapter to 99 before rewriting
  FlagRow,        // the "HR" row guarded by position 39 and length 48, with the chapter 12 flag
};

// Excluded chapter numbers; unused slots hold 0 (chapter 0 is never excluded). The longest list in
// the table has seven.
using ChapterList = std::array<std::int32_t, 7>;

struct PronunciationRule {
  int row;                          // 1-based place in the table
  TextList<3> triggers;             // empty only for the flag row
  std::string_view unless;          // excluded text, empty when none
  ChapterList not_chapters{};       // excluded chapters
  std::array<Rewrite, 3> rewrites;  // rewrites[0]; a cascade row uses all three in order
  ReplaceMode mode = ReplaceMode::All;
  RuleEffect effect = RuleEffect::None;
  // For a phonetic rewrite: espeak-ng's phonemes (espeak-ng -q -x -v en-us) of the replacement
  // as intended; a test keeps every such row speaking as recorded. Empty for other rows.
  std::string_view phonemes = {};
};

// The novel's rule table, in table order.
std::span<const PronunciationRule> PronunciationRules();

}  // namespace quillon
