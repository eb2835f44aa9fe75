#include "pronunciation/pronunciation_pipeline.h"

#include <algorithm>
#include <utility>

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

// A single rewrite, or a cascade in which the first alternative that changes the text wins.
// Unused alternatives have an empty search text, which changes nothing. Sets alternative to the
// 1-based alternative whose result is kept.
// When step is given, it is set to the map of the rewrite whose result is kept.
std::string ApplyRewrite(const PronunciationRule& rule, const std::string& text, int& alternative,
                         TextMap* step) {
  std::string result = text;
  alternative = 1;
  if (step != nullptr) {
    *step = TextMap::Identity(text.size());
  }
  for (std::size_t i = 0; i < rule.rewrites.size(); ++i) {
    const Rewrite& rewrite = rule.rewrites[i];
    if (rewrite.search.empty()) {
      break;
    }
    alternative = static_cast<int>(i) + 1;
    result = ReplaceText(text, rewrite.search, rewrite.replacement, rule.mode, step);
    if (result != text) {
      break;
    }
  }
  return result;
}

// The flag row over text that passed its position and length test.
// Joins the rewrite's step map to map, when a map is asked for.
FlagRowOutcome ApplyFlagRow(const PronunciationRule& rule, std::string& text, ReaderState& state,
                            TextMap* map) {
  if (state.CurrentChapter == kFlagIgnoredChapter) {
    return FlagRowOutcome::Ignored;
  }
  if (state.CurrentChapter == kFlagChapter && !state.FirstOccurrenceOfHRInK12HasBeenRead) {
    state.FirstOccurrenceOfHRInK12HasBeenRead = true;
    return FlagRowOutcome::SetFlag;
  }
  if (map == nullptr) {
    text = ReplaceText(text, rule.rewrites[0].search, rule.rewrites[0].replacement, rule.mode);
    return FlagRowOutcome::Rewrote;
  }
  TextMap step;
  text = ReplaceText(text, rule.rewrites[0].search, rule.rewrites[0].replacement, rule.mode, &step);
  *map = map->Then(step);
  return FlagRowOutcome::Rewrote;
}

bool FlagRowGuardHolds(std::string_view text) {
  return Position("HR", text) == kFlagRowPosition && text.size() == kFlagRowLength;
}

}  // namespace

std::string ApplyPronunciationRules(std::string_view sentence, ReaderState& state,
                                    RuleObserver* observer, TextMap* map) {
  return ApplyPronunciationRules(sentence, state, PronunciationRules(), observer, map);
}

std::string ApplyPronunciationRules(std::string_view sentence, ReaderState& state,
                                    std::span<const PronunciationRule> rules,
                                    RuleObserver* observer, TextMap* map) {
  std::string current(sentence);
  if (map != nullptr) {
    *map = TextMap::Identity(current.size());
  }
  TextMap step;
  for (const PronunciationRule& rule : rules) {
    if (rule.effect == RuleEffect::FlagRow) {
      if (!FlagRowGuardHolds(current)) {
        continue;
      }
      if (observer == nullptr) {
        ApplyFlagRow(rule, current, state, map);
        continue;
      }
      const std::string before = current;
      const FlagRowOutcome outcome = ApplyFlagRow(rule, current, state, map);
      observer->OnRuleApplied({.rule = rule, .before = before, .after = current, .flag = outcome});
      continue;
    }
    if (!GuardHolds(rule, current, state.CurrentChapter)) {
      continue;
    }
    if (rule.effect == RuleEffect::SetsChapter99) {
      state.CurrentChapter = kEffectChapter;
    }
    int alternative = 1;
    std::string after = ApplyRewrite(rule, current, alternative, map ? &step : nullptr);
    // An unchanged text was copied whole: nothing to join.
    if (map != nullptr && after != current) {
      *map = map->Then(step);
    }
    if (observer != nullptr) {
      observer->OnRuleApplied(
          {.rule = rule, .before = current, .after = after, .alternative = alternative});
    }
    current = std::move(after);
  }
  return current;
}

}  // namespace quillon
