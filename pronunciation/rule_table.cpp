// The pronunciation rule table, run in order over every sentence.
#include "pronunciation/pronunciation_rule.h"

namespace quillon {

std::span<const PronunciationRule> PronunciationRules() {
  return {};
}

}  // namespace quillon
