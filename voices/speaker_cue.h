// One row of the speaker cue list: a phrase of the novel's dialogue tied to its speaker's voice.
//
// A row matches a line that contains its cue, contains none of its exclusion texts, and whose
// chapter satisfies its chapter condition. The list is walked in order; the first match decides.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "text/text_list.h"

namespace quillon {

struct ChapterCondition {
  enum class Kind : std::uint8_t { None, Equal, NotEqual };
  Kind kind = Kind::None;
  std::int32_t chapter = 0;

  constexpr bool HoldsFor(std::int32_t current_chapter) const {
    switch (kind) {
      case Kind::Equal:
        return current_chapter == chapter;
      case Kind::NotEqual:
        return current_chapter != chapter;
      case Kind::None:
        break;
    }
    return true;
  }
};

constexpr ChapterCondition OnlyInChapter(std::int32_t chapter) {
  return {ChapterCondition::Kind::Equal, chapter};
}
constexpr ChapterCondition NotInChapter(std::int32_t chapter) {
  return {ChapterCondition::Kind::NotEqual, chapter};
}

struct SpeakerCue {
  std::int32_t voice;
  std::string_view cue;
  TextList<10> unless{};       // exclusion texts
  ChapterCondition chapter{};  // none unless given
};

// The novel's cue list, in walking order.
std::span<const SpeakerCue> SpeakerCues();

}  // namespace quillon
