#include "reading/encoding.h"

#include <cstddef>
#include <cstdint>

namespace quillon {
namespace {

// Windows-1252 bytes 0x80 to 0x9F; the five bytes the code page leaves undefined map to the
// control characters of the same value. Every other byte is its own code point.
// clang-format off
constexpr char16_t kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 0x80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 0x88
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 0x90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 0x98
};
// clang-format on

constexpr char kUnmappable = '?';

char16_t ToCodePoint(char byte) {
  const auto b = static_cast<unsigned char>(byte);
  return (b >= 0x80 && b <= 0x9F) ? kHighControls[b - 0x80] : static_cast<char16_t>(b);
}

char FromCodePoint(char32_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
    return static_cast<char>(c);
  }
  for (std::size_t i = 0; i < 32; ++i) {
    if (kHighControls[i] == c) {
      return static_cast<char>(0x80 + i);
    }
  }
  return kUnmappable;
}

}  // namespace

std::u16string Windows1252ToUtf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (char byte : text) {
    out.push_back(ToCodePoint(byte));
  }
  return out;
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

std::string Windows1252ToUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char byte : text) {
    AppendUtf8(out, ToCodePoint(byte));
  }
  return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char32_t c = text[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] < 0xE000) {
      AppendUtf8(out, 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00));
      ++i;
    } else if (c >= 0xD800 && c < 0xE000) {
      AppendUtf8(out, 0xFFFD);
    } else {
      AppendUtf8(out, c);
    }
  }
  return out;
}

std::string Utf8ToWindows1252(std::string_view text) {
  // Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF. Each invalid or cut
  // short sequence becomes one '?', and reading goes on at the first byte that did not fit.
  std::string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i++]);
    if (lead < 0x80) {
      out.push_back(static_cast<char>(lead));
      continue;
    }
    int trail = 0;
    unsigned char low = 0x80, high = 0xBF;  // allowed range of the first continuation byte
    char32_t c = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
      trail = 1, c = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      trail = 2, c = lead & 0x0F;
      low = lead == 0xE0 ? 0xA0 : 0x80;
      high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      trail = 3, c = lead & 0x07;
      low = lead == 0xF0 ? 0x90 : 0x80;
      high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
      out.push_back(kUnmappable);
      continue;
    }
    bool complete = true;
    for (int k = 0; k < trail; ++k, low = 0x80, high = 0xBF) {
      const auto next = i < text.size() ? static_cast<unsigned char>(text[i]) : 0;
      if (i >= text.size() || next < low || next > high) {
        complete = false;
        break;
      }
      c = (c << 6) | (next & 0x3F);
      ++i;
    }
    out.push_back(complete ? FromCodePoint(c) : kUnmappable);
  }
  return out;
}

std::string Utf16ToWindows1252(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      ++i;  // a character beyond the basic plane: never in Windows-1252
      out.push_back(kUnmappable);
    } else {
      out.push_back(FromCodePoint(c));  // an unpaired surrogate finds no byte either
    }
  }
  return out;
}

}  // namespace quillon
