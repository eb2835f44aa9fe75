#include "text/encoding.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <string>

namespace quillon {
namespace {

std::string AllBytes() {
  std::string bytes;
  for (int b = 0; b < 256; ++b) {
    bytes.push_back(static_cast<char>(b));
  }
  return bytes;
}

TEST(Encoding, EveryByteRoundTrips) {
  const std::string bytes = AllBytes();
  const std::u16string utf16 = Windows1252ToUtf16(bytes);
  ASSERT_EQ(utf16.size(), 256u);
  EXPECT_EQ(Utf16ToWindows1252(utf16), bytes);
  EXPECT_EQ(Utf8ToWindows1252(Windows1252ToUtf8(bytes)), bytes);
  for (int b = 0; b < 256; ++b) {
    const std::string one(1, static_cast<char>(b));
    EXPECT_EQ(Windows1252ToUtf16(Utf8ToWindows1252(Windows1252ToUtf8(one))),
              std::u16string(1, utf16[b]))
        << b;
  }
}

// The table for 0x80-0x9F against the C library's own converter; the five bytes it rejects are
// exactly the undefined ones, which map to the control characters of the same value.
TEST(Encoding, HighBytesAgreeWithTheSystemConverter) {
  const iconv_t cd = iconv_open("UTF-16LE", "WINDOWS-1252");
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    GTEST_SKIP() << "no WINDOWS-1252 converter in this C library";
  }
  std::string undefined;
  for (int b = 0x80; b <= 0xFF; ++b) {
    char in = static_cast<char>(b);
    char out[4] = {};
    char* in_ptr = &in;
    char* out_ptr = out;
    std::size_t in_left = 1, out_left = sizeof out;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    const std::u16string ours = Windows1252ToUtf16(std::string(1, in));
    if (iconv(cd, &in_ptr, &in_left, &out_ptr, &out_left) == static_cast<std::size_t>(-1)) {
      undefined.push_back(in);
      EXPECT_EQ(ours, std::u16string(1, static_cast<char16_t>(b))) << b;
      continue;
    }
    const auto expected = static_cast<char16_t>(static_cast<unsigned char>(out[0]) |
                                                static_cast<unsigned char>(out[1]) << 8);
    EXPECT_EQ(ours, std::u16string(1, expected)) << b;
  }
  iconv_close(cd);
  EXPECT_EQ(undefined, "\x81\x8D\x8F\x90\x9D");
}

TEST(Encoding, KnownCharacters) {
  EXPECT_EQ(Windows1252ToUtf8("So\x85 \x80"
                              "5 caf\xE9"),
            "So\u2026 \u20AC5 caf\u00E9");
  EXPECT_EQ(Windows1252ToUtf16("\x93Hi\x94\x9F"), u"\u201CHi\u201D\u0178");
  EXPECT_EQ(Windows1252ToUtf8("\x81"), "\xC2\x81");
  EXPECT_EQ(Windows1252ToUtf8(""), "");
  EXPECT_EQ(Utf8ToWindows1252("Quillon \u2014 \u201Cyes\u201D"), "Quillon \x97 \x93yes\x94");
}

struct Utf8Case {
  std::string utf8;
  std::string expected;
};

TEST(Encoding, Utf8OutsideTheCodePageOrInvalid) {
  const Utf8Case cases[] = {
      {"\u4E2D", "?"},        // no byte for it
      {"\U0001F600x", "?x"},  // four-byte form
      {"\xC2\x80", "?"},      // U+0080 is not a Windows-1252 character
      {"\xC2\x81", "\x81"},   // U+0081 is: the undefined byte
      {"a\xFF"
       "b",
       "a?b"},  // never a lead byte
      {"a\x80"
       "b",
       "a?b"},                       // stray continuation byte
      {"\xC0\xAF", "??"},            // overlong
      {"\xE0\x80\xAF", "???"},       // overlong three-byte form
      {"\xED\xA0\x80", "???"},       // encoded surrogate
      {"\xF4\x90\x80\x80", "????"},  // beyond U+10FFFF
      {"\xE2\x82", "?"},             // cut short at the end
      {"\xE2\x82"
       "A",
       "?A"},                             // cut short before an ASCII byte
      {"\xE2\x82\xE2\x82\xAC", "?\x80"},  // cut short before a whole euro sign
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Utf8ToWindows1252(c.utf8), c.expected) << c.utf8;
  }
}

TEST(Encoding, Utf16OutsideTheCodePageOrUnpaired) {
  EXPECT_EQ(Utf16ToWindows1252(u"\u20AC\u4E2D"), "\x80?");
  EXPECT_EQ(Utf16ToWindows1252(u"a\U0001F600b"), "a?b");  // one character, one '?'
  const char16_t unpaired[] = {u'a', 0xD800, u'b', 0xDC00, u'c', 0xDBFF};
  EXPECT_EQ(Utf16ToWindows1252(std::u16string_view(unpaired, 6)), "a?b?c?");
  const char16_t reversed[] = {0xDC00, 0xD800};
  EXPECT_EQ(Utf16ToWindows1252(std::u16string_view(reversed, 2)), "??");
}

}  // namespace
}  // namespace quillon
