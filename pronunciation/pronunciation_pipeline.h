// The pronunciation pipeline: the rule table run over one framed sentence.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "pronunciation/pronunciation_rule.h"
#include "reading/reader_state.h"

namespace quillon {

// Runs every rule in table order over sentence and returns the result. May set
// state.CurrentChapter (the chapter-99 row) and state.FirstOccurrenceOfHRInK12HasBeenRead.
std::string ApplyPronunciationRules(std::string_view sentence, ReaderState& state);

// The same over a given table (tests use small ones).
std::string ApplyPronunciationRules(std::string_view sentence, ReaderState& state,
                                    std::span<const PronunciationRule> rules);

}  // namespace quillon
