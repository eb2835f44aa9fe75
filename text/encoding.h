// Conversions at the engine's edges: Windows-1252 inside, UTF-8 and UTF-16 outside.
//
// All 256 bytes map: the five bytes Windows-1252 leaves undefined (0x81 0x8D 0x8F 0x90 0x9D) map to
// the control characters of the same value. A character with no Windows-1252 byte becomes '?'.
#pragma once

#include <string>
#include <string_view>

namespace quillon {

std::string Windows1252ToUtf8(std::string_view text);
std::u16string Windows1252ToUtf16(std::string_view text);
// Invalid UTF-8 sequences become '?', never a crash. The C library converts, and it drops the
// invisible tag characters U+E0000 to U+E007F rather than refusing them.
std::string Utf8ToWindows1252(std::string_view text);
// Unpaired surrogates become '?'.
std::string Utf16ToWindows1252(std::u16string_view text);

// UTF-16 (what the voice is given) as UTF-8; an unpaired surrogate becomes U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);
// Appends the UTF-8 form of one code point.
void AppendUtf8(std::string& out, char32_t c);

}  // namespace quillon
