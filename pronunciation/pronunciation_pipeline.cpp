#include "pronunciation/pronunciation_pipeline.h"

#include <algorithm>

namespace quillon {
namespace {

// The flag row looks at sentences whose "HR" stands at this position and that have this length.
constexpr std::size_t kFlagRowPosition = 39;
constexpr std::size_t kFlagRowLength = 48;
constexpr std::int32_t kFlagChapter = 12;
constexpr std::int32_t kFlagIgnoredChapter = 13;
constexpr std::int32_t kEffectChapter = 99;

bool GuardHolds(const PronunciationRule& rule, std::string_view text, std::int32_t chapter) {
  const auto triggers = rule.triggers.texts();
  if (!std::any_of(triggers.begin(), triggers.end(),
                   [&](std::string_view trigger) { return Contains(trigger, text); })) {
    return false;
  }
  if (!rule.unless.empty() && Contains(rule.unless, text)) {
    return false;
  }
  // Unused slots of the excluded chapters hold 0, which is never excluded.
  const bool excluded =
      chapter != 0 && std::find(rule.not_chapters.begin(), rule.not_chapters.end(), chapter) !=
                          rule.not_chapters.end();
  return !excluded;
}

std::string ApplyRewrite(const PronunciationRule& rule, const std::string& text) {
  // A single rewrite, or a cascade in which the first alternative that changes the text wins.
  // Unused alternatives have an empty search text, which changes nothing.
  std::string result = text;
  for (const Rewrite& alternative : rule.rewrites) {
    if (alternative.search.empty()) {
      break;
    }
    result = ReplaceText(text, alternative.search, alternative.replacement, rule.mode);
    if (result != text) {
      break;
    }
  }
  return result;
}

void ApplyFlagRow(const PronunciationRule& rule, std::string& text, ReaderState& state) {
  if (Position("HR", text) != kFlagRowPosition || text.size() != kFlagRowLength) {
    return;
  }
  if (state.CurrentChapter == kFlagIgnoredChapter) {
    return;
  }
  if (state.CurrentChapter == kFlagChapter && !state.FirstOccurrenceOfHRInK12HasBeenRead) {
    state.FirstOccurrenceOfHRInK12HasBeenRead = true;
    return;
  }
  text = ReplaceText(text, rule.rewrites[0].search, rule.rewrites[0].replacement, rule.mode);
}

}  // namespace

std::string ApplyPronunciationRules(std::string_view sentence, ReaderState& state) {
  return ApplyPronunciationRules(sentence, state, PronunciationRules());
}

std::string ApplyPronunciationRules(std::string_view sentence, ReaderState& state,
                                    std::span<const PronunciationRule> rules) {
  std::string current(sentence);
  for (const PronunciationRule& rule : rules) {
    if (rule.effect == RuleEffect::FlagRow) {
      ApplyFlagRow(rule, current, state);
      continue;
    }
    if (!GuardHolds(rule, current, state.CurrentChapter)) {
      continue;
    }
    if (rule.effect == RuleEffect::SetsChapter99) {
      state.CurrentChapter = kEffectChapter;
    }
    current = ApplyRewrite(rule, current);
  }
  return current;
}

}  // namespace quillon
