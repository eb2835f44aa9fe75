#include "document/rich_text_reader.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "document/code_page.h"
#include "document/document_builder.h"

namespace quillon {

namespace {

// Windows-1252 bytes the control words stand for.
constexpr char kEnDash = '\x96';
constexpr char kEmDash = '\x97';
constexpr char kLeftQuote = '\x91';
constexpr char kRightQuote = '\x92';
constexpr char kLeftDoubleQuote = '\x93';
constexpr char kRightDoubleQuote = '\x94';
constexpr char kBullet = '\x95';
constexpr char kNoBreakSpace = '\xA0';

constexpr char32_t kReplacementCharacter = 0xFFFD;

bool IsAsciiLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool IsAsciiDigit(char c) {
  return c >= '0' && c <= '9';
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') {
    return c - '0';
  }
  if (c >= 'a' && c <= 'f') {
    return c - 'a' + 10;
  }
  if (c >= 'A' && c <= 'F') {
    return c - 'A' + 10;
  }
  return -1;
}

// What a control word does. Unknown words are ignored.
enum class Action {
  kParagraph,    // ends the paragraph
  kLineBreak,    // ends the paragraph too (see document.h)
  kCharacter,    // inserts the Windows-1252 byte in the table row
  kUnicode,      // \uN
  kUnicodeSkip,  // \ucN
  kBinary,       // \binN
  kBold,
  kItalic,
  kUnderline,
  kUnderlineNone,
  kFontSize,
  kPlain,
  kParagraphDefaults,
  kAlign,         // the alignment in the table row
  kDestination,   // the group is skipped
  kFontTable,     // the font table: what each font's bytes are (\fcharsetN, \cpgN)
  kFont,          // \fN: in the font table the font being described, elsewhere the text's font
  kDefaultFont,   // \deffN
  kFontCharset,   // \fcharsetN
  kFontCodePage,  // \cpgN
  kAnsiCodePage,  // \ansicpgN: the document's code page
};

struct ControlWord {
  std::string_view name;
  Action action;
  char character = 0;
  Alignment alignment = Alignment::Left;
};

// Sorted by name for the binary search.
// clang-format off
constexpr ControlWord kControlWords[] = {
  {"annotation",         Action::kDestination},
  {"ansicpg",            Action::kAnsiCodePage},
  {"b",                  Action::kBold},
  {"bin",                Action::kBinary},
  {"bullet",             Action::kCharacter, kBullet},
  {"cell",               Action::kCharacter, '\t'},
  {"colortbl",           Action::kDestination},
  {"cpg",                Action::kFontCodePage},
  {"datastore",          Action::kDestination},
  {"deff",               Action::kDefaultFont},
  {"emdash",             Action::kCharacter, kEmDash},
  {"emspace",            Action::kCharacter, ' '},
  {"endash",             Action::kCharacter, kEnDash},
  {"enspace",            Action::kCharacter, ' '},
  {"f",                  Action::kFont},
  {"fcharset",           Action::kFontCharset},
  {"fldinst",            Action::kDestination},
  {"fonttbl",            Action::kFontTable},
  {"footer",             Action::kDestination},
  {"footerf",            Action::kDestination},
  {"footerl",            Action::kDestination},
  {"footerr",            Action::kDestination},
  {"footnote",           Action::kDestination},
  {"fs",                 Action::kFontSize},
  {"header",             Action::kDestination},
  {"headerf",            Action::kDestination},
  {"headerl",            Action::kDestination},
  {"headerr",            Action::kDestination},
  {"i",                  Action::kItalic},
  {"info",               Action::kDestination},
  {"ldblquote",          Action::kCharacter, kLeftDoubleQuote},
  {"line",               Action::kLineBreak},
  {"listoverridetable",  Action::kDestination},
  {"listtable",          Action::kDestination},
  {"lquote",             Action::kCharacter, kLeftQuote},
  {"nestcell",           Action::kCharacter, '\t'},
  {"object",             Action::kDestination},
  {"par",                Action::kParagraph},
  {"pard",               Action::kParagraphDefaults},
  {"pict",               Action::kDestination},
  {"plain",              Action::kPlain},
  {"qc",                 Action::kAlign, 0, Alignment::Center},
  {"qd",                 Action::kAlign, 0, Alignment::Justify},
  {"qj",                 Action::kAlign, 0, Alignment::Justify},
  {"ql",                 Action::kAlign, 0, Alignment::Left},
  {"qr",                 Action::kAlign, 0, Alignment::Right},
  {"rdblquote",          Action::kCharacter, kRightDoubleQuote},
  {"revtbl",             Action::kDestination},
  {"row",                Action::kParagraph},
  {"rquote",             Action::kCharacter, kRightQuote},
  {"rsidtbl",            Action::kDestination},
  {"sect",               Action::kParagraph},
  {"shp",                Action::kDestination},
  {"stylesheet",         Action::kDestination},
  {"tab",                Action::kCharacter, '\t'},
  {"tc",                 Action::kDestination},
  {"u",                  Action::kUnicode},
  {"uc",                 Action::kUnicodeSkip},
  {"ul",                 Action::kUnderline},
  {"uld",                Action::kUnderline},
  {"uldash",             Action::kUnderline},
  {"uldashd",            Action::kUnderline},
  {"uldashdd",           Action::kUnderline},
  {"uldb",               Action::kUnderline},
  {"ulhwave",            Action::kUnderline},
  {"ulldash",            Action::kUnderline},
  {"ulnone",             Action::kUnderlineNone},
  {"ulth",               Action::kUnderline},
  {"ulthd",              Action::kUnderline},
  {"ulthdash",           Action::kUnderline},
  {"ulthdashd",          Action::kUnderline},
  {"ulthdashdd",         Action::kUnderline},
  {"ulthldash",          Action::kUnderline},
  {"ululdbwave",         Action::kUnderline},
  {"ulw",                Action::kUnderline},
  {"ulwave",             Action::kUnderline},
  {"xe",                 Action::kDestination},
};
// clang-format on

constexpr bool ControlWordsSorted() {
  for (std::size_t i = 1; i < std::size(kControlWords); ++i) {
    if (!(kControlWords[i - 1].name < kControlWords[i].name)) {
      return false;
    }
  }
  return true;
}
static_assert(ControlWordsSorted(), "kControlWords must stay sorted by name");

const ControlWord* FindControlWord(std::string_view name) {
  const auto* end = std::end(kControlWords);
  const auto* it =
      std::lower_bound(std::begin(kControlWords), end, name,
                       [](const ControlWord& w, std::string_view n) { return w.name < n; });
  return it != end && it->name == name ? it : nullptr;
}

// Control words longer than this are not words we know; their letters are still consumed.
constexpr std::size_t kMaxControlWordLength = 32;
// Parameters saturate here, so huge numbers neither overflow nor wrap to small ones.
constexpr std::int64_t kParameterLimit = 0x7FFFFFFF;
// Font sizes beyond this (in half points) are kept at it.
constexpr int kMaxFontHalfPoints = 3276;
// Fonts described beyond this many keep the document's code page.
constexpr std::size_t kMaxFonts = 4096;
constexpr int kDefaultFont = -1;

// Group state: what a closing brace restores.
struct GroupState {
  TextFormat format;
  Alignment alignment = Alignment::Left;
  std::int64_t unicode_skip = 1;     // \ucN: fallback characters after each \uN
  std::int64_t font = kDefaultFont;  // \fN
  bool font_table = false;           // inside the font table, where text names fonts
};

// A single pass over the bytes with an explicit group stack; nothing recurses.
class RichTextParser {
 public:
  explicit RichTextParser(std::string_view in) : in_(in), builder_(in.size()) {
    stack_.push_back(GroupState{});
  }

  Document Parse() {
    while (pos_ < in_.size() && !finished_) {
      if (skip_depth_ > 0) {
        SkipDestination();
        continue;
      }
      const char c = in_[pos_];
      switch (c) {
        case '{':
          ++pos_;
          OpenGroup();
          group_start_ = true;
          continue;
        case '}':
          ++pos_;
          CloseGroup();
          break;
        case '\\':
          ++pos_;
          ReadControl();
          break;
        case '\r':
        case '\n':
          ++pos_;
          continue;  // line ends in rich text are not text, nor do they end a group's start
        default:
          ReadText();
          break;
      }
      group_start_ = false;
    }
    FlushSurrogate();
    return builder_.Finish(Top().alignment);
  }

 private:
  GroupState& Top() { return stack_.back(); }

  void OpenGroup() {
    fallback_to_skip_ = 0;
    if (stack_.size() > static_cast<std::size_t>(kMaxGroupDepth)) {
      ++excess_depth_;
    } else {
      stack_.push_back(Top());
    }
  }

  void CloseGroup() {
    fallback_to_skip_ = 0;
    if (excess_depth_ > 0) {
      --excess_depth_;
    } else if (stack_.size() > 2) {
      stack_.pop_back();
    } else {
      // The document's own group closed (or a stray brace before it): whatever follows is not
      // part of the document.
      finished_ = true;
    }
  }

  // Plain text up to the next special byte, in one piece.
  void ReadText() {
    const std::size_t start = pos_;
    while (pos_ < in_.size()) {
      const char c = in_[pos_];
      if (c == '{' || c == '}' || c == '\\' || c == '\r' || c == '\n' || c == '\0') {
        break;
      }
      ++pos_;
    }
    if (pos_ == start) {  // a NUL byte
      ++pos_;
      return;
    }
    std::string_view text = in_.substr(start, pos_ - start);
    if (fallback_to_skip_ > 0) {
      const auto skipped = static_cast<std::size_t>(
          std::min<std::int64_t>(fallback_to_skip_, static_cast<std::int64_t>(text.size())));
      fallback_to_skip_ -= static_cast<std::int64_t>(skipped);
      text.remove_prefix(skipped);
    }
    if (!text.empty() && !Top().font_table) {
      FlushSurrogate();
      builder_.AddBytes(text, Top().format, TextCodePage());
    }
  }

  struct ControlWordToken {
    std::string_view name;
    bool has_parameter;
    std::int64_t parameter;
  };

  // At the first letter of a control word: its name, its parameter, and the space that delimits
  // it, which belongs to the word.
  ControlWordToken ReadControlWord() {
    const std::size_t start = pos_;
    while (pos_ < in_.size() && IsAsciiLetter(in_[pos_])) {
      ++pos_;
    }
    ControlWordToken word{in_.substr(start, pos_ - start), false, 0};
    word.has_parameter = ReadParameter(word.parameter);
    if (pos_ < in_.size() && in_[pos_] == ' ') {
      ++pos_;
    }
    return word;
  }

  // After a backslash: a control word with its parameter, or a control symbol.
  void ReadControl() {
    if (pos_ >= in_.size()) {
      return;
    }
    const char c = in_[pos_];
    if (!IsAsciiLetter(c)) {
      ++pos_;
      ReadControlSymbol(c);
      return;
    }
    const auto [name, has_parameter, parameter] = ReadControlWord();
    if (name.size() > kMaxControlWordLength) {
      ConsumeFallback();
      return;
    }
    const ControlWord* word = FindControlWord(name);
    if (word != nullptr && word->action == Action::kBinary) {
      SkipBinary(parameter);
      ConsumeFallback();
      return;
    }
    if (ConsumeFallback()) {
      return;
    }
    if (word != nullptr) {
      Apply(*word, has_parameter, parameter);
    }
  }

  // An optional signed decimal parameter, saturated at kParameterLimit.
  bool ReadParameter(std::int64_t& value) {
    std::size_t p = pos_;
    bool negative = false;
    if (p < in_.size() && in_[p] == '-') {
      negative = true;
      ++p;
    }
    if (p >= in_.size() || !IsAsciiDigit(in_[p])) {
      return false;
    }
    std::int64_t v = 0;
    while (p < in_.size() && IsAsciiDigit(in_[p])) {
      v = std::min(v * 10 + (in_[p] - '0'), kParameterLimit);
      ++p;
    }
    pos_ = p;
    value = negative ? -v : v;
    return true;
  }

  void ReadControlSymbol(char c) {
    if (c == '\'') {
      ReadHexByte();
      return;
    }
    if (c == '*') {
      if (group_start_ && stack_.size() + static_cast<std::size_t>(excess_depth_) > 2) {
        skip_depth_ = 1;
      }
      return;
    }
    if (ConsumeFallback()) {
      return;
    }
    switch (c) {
      case '\\':
      case '{':
      case '}':
        AddByte(c);
        break;
      case '~':
        AddByte(kNoBreakSpace);
        break;
      case '_':
        AddByte('-');
        break;
      case '\r':
      case '\n':
        EndParagraph();
        break;
      case '\t':
        AddByte('\t');
        break;
      default:  // \- (optional hyphen), \| \: and unknown symbols show nothing
        break;
    }
  }

  void ReadHexByte() {
    int value = 0;
    int digits = 0;
    while (digits < 2 && pos_ < in_.size()) {
      const int h = HexValue(in_[pos_]);
      if (h < 0) {
        break;
      }
      value = value * 16 + h;
      ++digits;
      ++pos_;
    }
    if (digits == 0 || ConsumeFallback()) {
      return;
    }
    AddByte(static_cast<char>(value), TextCodePage());
  }

  void Apply(const ControlWord& word, bool has_parameter, std::int64_t parameter) {
    GroupState& state = Top();
    const bool on = !has_parameter || parameter != 0;
    switch (word.action) {
      case Action::kParagraph:
      case Action::kLineBreak:
        EndParagraph();
        break;
      case Action::kCharacter:
        AddByte(word.character);
        break;
      case Action::kUnicode:
        if (has_parameter) {
          AddUnicode(parameter);
          fallback_to_skip_ = state.unicode_skip;
        }
        break;
      case Action::kUnicodeSkip:
        state.unicode_skip = std::max<std::int64_t>(has_parameter ? parameter : 1, 0);
        break;
      case Action::kBinary:
        break;  // handled before the fallback
      case Action::kBold:
        state.format.bold = on;
        break;
      case Action::kItalic:
        state.format.italic = on;
        break;
      case Action::kUnderline:
        state.format.underline = on;
        break;
      case Action::kUnderlineNone:
        state.format.underline = false;
        break;
      case Action::kFontSize:
        state.format.font_half_points =
            has_parameter
                ? static_cast<int>(std::clamp<std::int64_t>(parameter, 0, kMaxFontHalfPoints))
                : 24;
        break;
      case Action::kPlain:
        state.format = TextFormat{};
        state.font = kDefaultFont;
        break;
      case Action::kParagraphDefaults:
        state.alignment = Alignment::Left;
        break;
      case Action::kAlign:
        state.alignment = word.alignment;
        break;
      case Action::kDestination:
        // The document's own group is never skipped, whatever stray words it holds.
        if (stack_.size() + static_cast<std::size_t>(excess_depth_) > 2) {
          skip_depth_ = 1;
        }
        break;
      case Action::kFontTable:
        if (stack_.size() + static_cast<std::size_t>(excess_depth_) > 2) {
          state.font_table = true;
        }
        break;
      case Action::kFont:
        if (state.font_table) {
          font_described_ = parameter;
        } else {
          state.font = has_parameter ? parameter : kDefaultFont;
        }
        break;
      case Action::kDefaultFont:
        default_font_ = parameter;
        break;
      case Action::kFontCharset:
        if (state.font_table && has_parameter) {
          const auto code_page = CharsetCodePage(static_cast<int>(parameter));
          if (code_page && !font_code_pages_.contains(font_described_)) {
            SetFontCodePage(*code_page);
          }
        }
        break;
      case Action::kFontCodePage:  // more exact than the character set, so it wins
        if (state.font_table && parameter > 0) {
          SetFontCodePage(static_cast<int>(parameter));
        }
        break;
      case Action::kAnsiCodePage:
        if (parameter > 0) {
          document_code_page_ = static_cast<int>(parameter);
        }
        break;
    }
  }

  void SetFontCodePage(int code_page) {
    if (font_code_pages_.size() < kMaxFonts || font_code_pages_.contains(font_described_)) {
      font_code_pages_[font_described_] = code_page;
    }
  }

  // The code page of the text's bytes: its font's, else the document's.
  int TextCodePage() {
    const std::int64_t font = Top().font == kDefaultFont ? default_font_ : Top().font;
    const auto it = font_code_pages_.find(font);
    return it != font_code_pages_.end() ? it->second : document_code_page_;
  }

  // \uN: N is a signed 16-bit value (negative for the upper half) or, from some writers, the code
  // point itself. Surrogate pairs come as two \u words.
  void AddUnicode(std::int64_t n) {
    if (Top().font_table) {
      return;
    }
    if (n < 0) {
      n += 0x10000;
    }
    if (n < 0 || n > 0x10FFFF) {
      FlushSurrogate();
      builder_.AddCodePoint(kReplacementCharacter, Top().format);
      return;
    }
    const auto c = static_cast<char32_t>(n);
    if (c >= 0xD800 && c <= 0xDBFF) {
      FlushSurrogate();
      high_surrogate_ = c;
      return;
    }
    if (c >= 0xDC00 && c <= 0xDFFF) {
      if (high_surrogate_ != 0) {
        const char32_t combined = 0x10000 + ((high_surrogate_ - 0xD800) << 10) + (c - 0xDC00);
        high_surrogate_ = 0;
        builder_.AddCodePoint(combined, Top().format);
      } else {
        builder_.AddCodePoint(kReplacementCharacter, Top().format);
      }
      return;
    }
    FlushSurrogate();
    if (c == '\r' || c == '\n' || c == 0x2028 || c == 0x2029) {
      EndParagraph();  // line and paragraph separators break the line, as \line does
      return;
    }
    builder_.AddCodePoint(c, Top().format);
  }

  // A high surrogate with no low one after it.
  void FlushSurrogate() {
    if (high_surrogate_ != 0) {
      high_surrogate_ = 0;
      builder_.AddCodePoint(kReplacementCharacter, Top().format);
    }
  }

  // After \uN the next characters are the fallback for readers without Unicode: each byte, \'hh,
  // control symbol or control word counts as one. Returns true when this one was skipped.
  bool ConsumeFallback() {
    if (fallback_to_skip_ > 0) {
      --fallback_to_skip_;
      return true;
    }
    return false;
  }

  // A carriage return or line feed written as \'0d or \'0a breaks the line: runs never hold one,
  // so the view text has CR LF only between paragraphs.
  // Bytes the control words stand for are Windows-1252 whatever the font.
  void AddByte(char c, int code_page = kWindows1252) {
    if (Top().font_table) {
      return;
    }
    FlushSurrogate();
    if (c == '\r' || c == '\n') {
      builder_.EndParagraph(Top().alignment);
      return;
    }
    builder_.AddByte(c, Top().format, code_page);
  }

  void EndParagraph() {
    if (Top().font_table) {
      return;
    }
    FlushSurrogate();
    builder_.EndParagraph(Top().alignment);
  }

  void SkipBinary(std::int64_t count) {
    const std::size_t left = in_.size() - pos_;
    pos_ += static_cast<std::size_t>(
        std::clamp<std::int64_t>(count, 0, static_cast<std::int64_t>(left)));
  }

  // Inside a skipped destination: only braces, escapes and binary data matter.
  void SkipDestination() {
    while (pos_ < in_.size() && skip_depth_ > 0) {
      const char c = in_[pos_++];
      if (c == '{') {
        ++skip_depth_;
      } else if (c == '}') {
        --skip_depth_;
      } else if (c == '\\' && pos_ < in_.size()) {
        if (!IsAsciiLetter(in_[pos_])) {
          ++pos_;  // \{ \} \\ and every other symbol
          continue;
        }
        const ControlWordToken word = ReadControlWord();
        if (word.name == "bin") {
          SkipBinary(word.parameter);
        }
      }
    }
    if (skip_depth_ == 0) {
      CloseGroup();
    }
    group_start_ = false;
  }

  std::string_view in_;
  std::size_t pos_ = 0;
  std::vector<GroupState> stack_;  // stack_[0]: outside every group; stack_[1]: the document
  int excess_depth_ = 0;           // open groups beyond kMaxGroupDepth
  int skip_depth_ = 0;             // open groups of the destination being skipped
  bool group_start_ = false;       // just after an opening brace, where \* may stand
  bool finished_ = false;
  std::int64_t fallback_to_skip_ = 0;
  char32_t high_surrogate_ = 0;
  int document_code_page_ = kWindows1252;       // \ansicpgN
  std::int64_t default_font_ = kDefaultFont;    // \deffN
  std::int64_t font_described_ = kDefaultFont;  // in the font table
  std::map<std::int64_t, int>
      font_code_pages_;  // fonts whose bytes are in a code page of their own
  DocumentBuilder builder_;
};

}  // namespace

Document ReadRichText(std::string_view bytes) {
  return RichTextParser(bytes).Parse();
}

}  // namespace quillon
