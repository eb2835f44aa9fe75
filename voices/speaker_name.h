// One row of the speaker name list: a name or description searched in the narration of a line.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace quillon {

enum class NameKind : std::uint8_t {
  Earliest,   // competes by its position in the narration text
  Immediate,  // decides at once when found
};

struct SpeakerName {
  std::string_view name;
  std::int32_t voice;
  NameKind kind;
};

// The novel's name list, in search order.
std::span<const SpeakerName> SpeakerNames();

}  // namespace quillon
