#include "text/text_primitives.h"

#include <algorithm>

namespace quillon {

std::size_t Position(std::string_view needle, std::string_view text) {
  if (needle.empty() || text.empty()) {
    return 0;
  }
  const std::size_t found = text.find(needle);
  return found == std::string_view::npos ? 0 : found + 1;
}

bool Contains(std::string_view needle, std::string_view text) {
  return Position(needle, text) > 0;
}

std::string ReplaceText(std::string_view text, std::string_view search,
                        std::string_view replacement, ReplaceMode mode) {
  return ReplaceText(text, search, replacement, mode, nullptr);
}

std::string ReplaceText(std::string_view text, std::string_view search,
                        std::string_view replacement, ReplaceMode mode, TextMap* map) {
  // One occurrence's map, worked out at the first and repeated for each.
  TextMap occurrence;
  if (map != nullptr) {
    *map = TextMap();
  }
  std::string result;
  result.reserve(text.size());
  std::string_view rest = text;
  while (!rest.empty()) {
    const std::size_t p = Position(search, rest);
    if (p == 0) {
      break;
    }
    result.append(rest.substr(0, p - 1));
    result.append(replacement);
    if (map != nullptr) {
      if (occurrence.InputLength() == 0) {
        MapReplacement(search, replacement, occurrence);
      }
      map->Copy(p - 1);
      map->Append(occurrence);
    }
    rest.remove_prefix(p - 1 + search.size());
    if (mode == ReplaceMode::First) {
      break;
    }
  }
  result.append(rest);
  if (map != nullptr) {
    map->Copy(rest.size());
  }
  return result;
}

std::string Trim(std::string_view text) {
  auto is_blank = [](char c) { return static_cast<unsigned char>(c) <= 32; };
  std::size_t first = 0;
  std::size_t last = text.size();
  while (first < last && is_blank(text[first])) {
    ++first;
  }
  while (last > first && is_blank(text[last - 1])) {
    --last;
  }
  return std::string(text.substr(first, last - first));
}

char AsciiLower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return AsciiLower(x) == AsciiLower(y);
         });
}

}  // namespace quillon
