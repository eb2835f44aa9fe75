// A short, fixed-capacity list of texts for the data tables (exclusion texts, triggers).
//
// Written as a braced list in a table row: {"a", "b"}. Unused slots stay empty; a text in a list
// is never empty, so the first empty slot ends the list.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <span>
#include <string_view>

namespace quillon {

template <std::size_t Capacity>
struct TextList {
  std::array<std::string_view, Capacity> items{};

  constexpr std::size_t size() const {
    return static_cast<std::size_t>(std::find(items.begin(), items.end(), std::string_view{}) -
                                    items.begin());
  }
  constexpr bool empty() const { return size() == 0; }
  constexpr std::span<const std::string_view> texts() const { return {items.data(), size()}; }
  constexpr auto begin() const { return items.begin(); }
  constexpr auto end() const { return items.begin() + static_cast<std::ptrdiff_t>(size()); }
};

}  // namespace quillon
