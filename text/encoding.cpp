#include "text/encoding.h"

#include <iconv.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <stdexcept>

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

// The bytes at the start of text that a UTF-8 character begins with: its whole length when it is
// well-formed (no overlong form, no surrogate, nothing above U+10FFFF), else the lead byte and the
// continuation bytes that still fit, and at least one byte.
std::size_t ValidPrefixLength(std::string_view text) {
  const auto lead = static_cast<unsigned char>(text[0]);
  std::size_t trail = 0;
  unsigned char low = 0x80, high = 0xBF;  // allowed range of the first continuation byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    trail = 1;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    trail = 2;
    low = lead == 0xE0 ? 0xA0 : 0x80;
    high = lead == 0xED ? 0x9F : 0xBF;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    trail = 3;
    low = lead == 0xF0 ? 0x90 : 0x80;
    high = lead == 0xF4 ? 0x8F : 0xBF;
  }
  std::size_t length = 1;
  for (; length <= trail && length < text.size(); ++length, low = 0x80, high = 0xBF) {
    const auto next = static_cast<unsigned char>(text[length]);
    if (next < low || next > high) {
      break;
    }
  }
  return length;
}

// The byte for one sequence that the converter refused: the five control characters the
// undefined bytes map to have their own byte; everything else is '?'.
char RefusedSequenceByte(std::string_view sequence) {
  if (sequence.size() != 2 || sequence[0] != '\xC2') {
    return kUnmappable;
  }
  const auto b = static_cast<unsigned char>(sequence[1]);
  return b <= 0x9F && kHighControls[b - 0x80] == b ? sequence[1] : kUnmappable;
}

// One converter per thread: iconv keeps state in its handle.
struct Utf8Converter {
  Utf8Converter() : cd(iconv_open("WINDOWS-1252", "UTF-8")) {
    if (cd == reinterpret_cast<iconv_t>(-1)) {
      throw std::runtime_error("Cannot convert text: no Windows-1252 converter is installed.");
    }
  }
  ~Utf8Converter() { iconv_close(cd); }
  Utf8Converter(const Utf8Converter&) = delete;
  Utf8Converter& operator=(const Utf8Converter&) = delete;
  iconv_t cd;
};

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
  // The C library converts; where it stops (a character with no byte, an invalid or cut short
  // sequence) one '?' stands for the bytes ValidPrefixLength gives, and it goes on after them.
  thread_local const Utf8Converter converter;
  iconv(converter.cd, nullptr, nullptr, nullptr, nullptr);
  std::string out(text.size(), '\0');         // never longer than its UTF-8
  char* in = const_cast<char*>(text.data());  // iconv's signature; the input is only read
  std::size_t in_left = text.size();
  char* out_ptr = out.data();
  std::size_t out_left = out.size();
  while (iconv(converter.cd, &in, &in_left, &out_ptr, &out_left) == static_cast<std::size_t>(-1)) {
    if ((errno != EILSEQ && errno != EINVAL) || in_left == 0 || out_left == 0) {
      throw std::runtime_error("Cannot convert text from UTF-8.");
    }
    const std::size_t length = ValidPrefixLength(std::string_view(in, in_left));
    *out_ptr++ = RefusedSequenceByte(std::string_view(in, length));
    --out_left;
    in += length;
    in_left -= length;
  }
  out.resize(out.size() - out_left);
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
