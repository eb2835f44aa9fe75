// The characters the speech markup is made of, shared by its parser and its espeak-ng writer.
#pragma once

#include <string_view>

namespace quillon {

inline bool IsAsciiLetter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
inline bool IsAsciiDigit(char c) {
  return c >= '0' && c <= '9';
}
// White space between the markup's names and values: space, tab, carriage return, line feed.
inline bool IsMarkupSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}
inline std::string_view TrimMarkupSpaces(std::string_view s) {
  while (!s.empty() && IsMarkupSpace(s.front())) {
    s.remove_prefix(1);
  }
  while (!s.empty() && IsMarkupSpace(s.back())) {
    s.remove_suffix(1);
  }
  return s;
}

}  // namespace quillon
