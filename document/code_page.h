// The code pages of rich text: which one a font's character set stands for, and the text its
// bytes hold.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quillon {

inline constexpr int kWindows1252 = 1252;

// The code page of a font's character set (\fcharsetN), or nothing for a set that names none of
// its own (the default set, symbol fonts, numbers no writer uses): its text is in the document's
// code page then.
std::optional<int> CharsetCodePage(int charset);

// Bytes in a code page as UTF-8. Windows-1252 converts as the plain-text reader converts it; other
// code pages (single-byte or double-byte, such as 932 for Japanese) convert through the system's
// converters. A byte that begins no character of the code page becomes U+FFFD; a code page the
// system does not know reads as Windows-1252.
std::string CodePageToUtf8(std::string_view bytes, int code_page);

}  // namespace quillon
