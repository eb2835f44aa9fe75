// The text primitives every text decision is made with.
//
// Text is 8-bit Windows-1252 held in std::string. Positions are 1-based; 0 means "not found".
// Every comparison is exact and case-sensitive: no folding, no notion of words.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "text/text_map.h"

namespace quillon {

enum class ReplaceMode { All, First };

// 1-based position of the first occurrence of needle in text; 0 when there is none or when
// either is empty.
std::size_t Position(std::string_view needle, std::string_view text);

// True exactly when Position(needle, text) > 0.
bool Contains(std::string_view needle, std::string_view text);

// Replaces occurrences of search, left to right and without overlaps; the replacement is never
// searched again. An empty search text leaves the text unchanged.
std::string ReplaceText(std::string_view text, std::string_view search,
                        std::string_view replacement, ReplaceMode mode = ReplaceMode::All);
// The same; when map is given, it is set to the map from text to the result (each occurrence
// mapped by MapReplacement, the rest copied).
std::string ReplaceText(std::string_view text, std::string_view search,
                        std::string_view replacement, ReplaceMode mode, TextMap* map);

// The text without its leading and trailing characters of code 0 to 32.
std::string Trim(std::string_view text);

// For names that match in any letter case (markup elements, settings keys): equal when only the
// case of the ASCII letters differs. The text decisions above never ignore case.
char AsciiLower(char c);
bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b);

}  // namespace quillon
