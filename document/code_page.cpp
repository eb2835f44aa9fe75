#include "document/code_page.h"

#include <iconv.h>

#include <cerrno>
#include <iterator>

#include "text/encoding.h"

namespace quillon {
namespace {

struct CharsetEntry {
  int charset;
  int code_page;
};

// By character set, as word processors write them in the font table.
// clang-format off
constexpr CharsetEntry kCharsets[] = {
  {  0, 1252},  // ANSI: Western
  { 77, 10000}, // Mac Roman
  {128, 932},   // Shift JIS: Japanese
  {129, 949},   // Hangul: Korean
  {130, 1361},  // Johab: Korean
  {134, 936},   // GB 2312: simplified Chinese
  {136, 950},   // Big5: traditional Chinese
  {161, 1253},  // Greek
  {162, 1254},  // Turkish
  {163, 1258},  // Vietnamese
  {177, 1255},  // Hebrew
  {178, 1256},  // Arabic
  {186, 1257},  // Baltic
  {204, 1251},  // Cyrillic
  {222, 874},   // Thai
  {238, 1250},  // Central European
  {254, 437},   // PC 437
  {255, 850},   // OEM
};
// clang-format on

constexpr char32_t kReplacementCharacter = 0xFFFD;

class Converter {
 public:
  explicit Converter(int code_page) {
    const std::string name = code_page == 10000 ? "MACINTOSH" : "CP" + std::to_string(code_page);
    handle_ = ::iconv_open("UTF-8", name.c_str());
  }
  ~Converter() {
    if (Known()) {
      ::iconv_close(handle_);
    }
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  bool Known() const { return handle_ != reinterpret_cast<iconv_t>(-1); }

  std::string Convert(std::string_view bytes) {
    std::string out;
    char buffer[1024];
    // iconv takes char* though it never writes the input.
    char* in = const_cast<char*>(bytes.data());
    std::size_t in_left = bytes.size();
    while (in_left > 0) {
      char* to = buffer;
      std::size_t to_left = sizeof buffer;
      const std::size_t result = ::iconv(handle_, &in, &in_left, &to, &to_left);
      out.append(buffer, static_cast<std::size_t>(to - buffer));
      if (result == static_cast<std::size_t>(-1) && errno != E2BIG) {
        // EILSEQ: no character begins here; EINVAL: the bytes end inside one.
        AppendUtf8(out, kReplacementCharacter);
        ++in;
        --in_left;
        ::iconv(handle_, nullptr, nullptr, nullptr, nullptr);
      }
    }
    return out;
  }

 private:
  iconv_t handle_;
};

}  // namespace

std::optional<int> CharsetCodePage(int charset) {
  for (const CharsetEntry& entry : kCharsets) {
    if (entry.charset == charset) {
      return entry.code_page;
    }
  }
  return std::nullopt;
}

std::string CodePageToUtf8(std::string_view bytes, int code_page) {
  if (code_page != kWindows1252) {
    Converter converter(code_page);
    if (converter.Known()) {
      return converter.Convert(bytes);
    }
  }
  return Windows1252ToUtf8(bytes);
}

}  // namespace quillon
