// The pronunciation pipeline: the rule table run over one framed sentence, and an observer that
// is told each rule that applied.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "pronunciation/pronunciation_rule.h"
#include "text/reader_state.h"

namespace quillon {

// What the flag row did with a sentence that passed its position and length test.
enum class FlagRowOutcome : std::uint8_t {
  None,     // not the flag row
  Ignored,  // chapter 13: nothing
  SetFlag,  // chapter 12, flag false: the flag is set and the text left as it is
  Rewrote,  // any other case: every "H.R." replaced
};

// One rule whose guard held, as the pipeline ran it.
struct RuleApplication {
  const PronunciationRule& rule;
  std::string_view before;  // the sentence as the earlier rows left it
  std::string_view after;   // the sentence as this row leaves it (equal when the search was absent)
  int alternative = 1;      // 1-based rewrite whose result was kept (a cascade row: 1 to 3)
  FlagRowOutcome flag = FlagRowOutcome::None;
};

// Told, in table order, every rule whose guard held. The views live for the call only; nothing is
// recorded without an observer. Which spans of the result come from which spans of the sentence
// is asked for apart from it, with the map of ApplyPronunciationRules.
class RuleObserver {
 public:
  virtual ~RuleObserver() = default;
  virtual void OnRuleApplied(const RuleApplication& /*application*/) {}
};

// Runs every rule in table order over sentence and returns the result. May set
// state.CurrentChapter (the chapter-99 row) and state.FirstOccurrenceOfHRInK12HasBeenRead.
// When map is given, it is set to the map from sentence to the result, through every rewrite.
std::string ApplyPronunciationRules(std::string_view sentence, ReaderState& state,
                                    RuleObserver* observer = nullptr, TextMap* map = nullptr);

// The same over a given table (tests use small ones).
std::string ApplyPronunciationRules(std::string_view sentence, ReaderState& state,
                                    std::span<const PronunciationRule> rules,
                                    RuleObserver* observer = nullptr, TextMap* map = nullptr);

}  // namespace quillon
