#include "reading/sentence_splitter.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <iterator>

#include "text/text_primitives.h"

namespace quillon {
namespace {

enum class MarkKind {
  FirstBreak,  // comma next to a quotation mark: the cut moves to the earliest, extra stays
  Exception,   // before the cut: the whole line is one sentence
  Break,       // before the cut: cut and extra length change together
  Colon,       // a break unless the first colon is followed by a digit
};

struct Mark {
  std::string_view text;
  MarkKind kind;
  std::uint8_t extra;  // characters after the cut that still belong to the sentence
};

// Applied in this order: the order decides ties, and each exception is compared with the cut
// reached at its turn. "\x85" is the ellipsis.
// clang-format off
constexpr Mark kMarks[] = {
    {",\"",            MarkKind::FirstBreak, 1},
    {", \"",           MarkKind::FirstBreak, 1},
    {"94.2%",          MarkKind::Exception,  0},
    {"99.9%",          MarkKind::Exception,  0},
    {".314",           MarkKind::Exception,  0},
    {"I.N.C.",         MarkKind::Exception,  0},
    {"H.R.",           MarkKind::Exception,  0},
    {"$314.15",        MarkKind::Exception,  0},
    {"$3,141,592.65",  MarkKind::Exception,  0},
    {"3.14",           MarkKind::Exception,  0},
    {"31.41",          MarkKind::Exception,  0},
    {"B.I.O.N.",       MarkKind::Exception,  0},
    {"1.000",          MarkKind::Break,      4},
    {"62.8",           MarkKind::Break,      3},
    {".\"",            MarkKind::Break,      1},
    {"O.J.",           MarkKind::Break,      3},
    {"94.2",           MarkKind::Break,      3},
    {"C.C.",           MarkKind::Break,      3},
    {".",              MarkKind::Break,      0},
    {"?\x85",          MarkKind::Exception,  0},
    {"?!\"",           MarkKind::Break,      3},
    {"?\"",            MarkKind::Break,      1},
    {"?",              MarkKind::Break,      0},
    {"!",              MarkKind::Break,      1},
    {"Bft!",           MarkKind::Exception,  0},
    {":",              MarkKind::Colon,      1},
    {"')",             MarkKind::Break,      1},
    {"Minocqua)",      MarkKind::Break,      8},
    {"--\"",           MarkKind::Break,      2},
    {"\x85" "\"",      MarkKind::Break,      1},
    {"admits,",        MarkKind::Break,      5},
    {"simply asks,",   MarkKind::Break,      10},
};
// clang-format on

static_assert(std::size(kMarks) == SentenceSplitter::kMarkCount);

// Greater than the position of any character of a real line: no break found yet.
constexpr std::size_t kNoCut = 123456789;

// The colon breaks unless the character right after the first colon is a digit; the end of the
// line is not a digit. Later colons are never examined.
bool ColonBreaks(std::string_view line, std::size_t colon_position) {
  if (colon_position >= line.size()) {
    return true;
  }
  const char next = line[colon_position];  // 1-based position: the next character's index
  return next < '0' || next > '9';
}

// True when part lies within whole (compared as addresses, which std::less orders totally).
bool IsPartOf(std::string_view part, std::string_view whole) {
  const std::less_equal<const char*> before_or_at;
  return before_or_at(whole.data(), part.data()) &&
         before_or_at(part.data() + part.size(), whole.data() + whole.size());
}

}  // namespace

std::string GetFirstSentence(std::string_view line) {
  return SentenceSplitter(line).FirstSentence(line);
}

SentenceSplitter::SentenceSplitter(std::string_view line) {
  Rebind(line);
}

void SentenceSplitter::Rebind(std::string_view line) {
  line_ = line;
  next_.fill(kUnknown);
  from_ = 0;
}

std::size_t SentenceSplitter::NextOccurrence(std::size_t mark, std::size_t from) {
  std::size_t& next = next_[mark];
  if (next == kUnknown || (next != kNowhere && next < from)) {
    const std::size_t found = line_.find(kMarks[mark].text, from);
    next = found == std::string_view::npos ? kNowhere : found;
  }
  return next;
}

std::string SentenceSplitter::FirstSentence(std::string_view rest) {
  if (!IsPartOf(rest, line_)) {
    Rebind(rest);
  }
  const auto start = static_cast<std::size_t>(rest.data() - line_.data());
  if (start < from_) {
    next_.fill(kUnknown);  // what was learnt lies after this rest's start
  }
  from_ = start;
  const std::size_t end = start + rest.size();

  std::size_t cut = kNoCut;
  std::size_t extra = 1;
  for (std::size_t i = 0; i < kMarkCount; ++i) {
    const Mark& mark = kMarks[i];
    // The first occurrence at or after the start is the rest's first one if it ends within it;
    // otherwise the rest holds none.
    const std::size_t at = NextOccurrence(i, start);
    if (at == kNowhere || at + mark.text.size() > end) {
      continue;
    }
    const std::size_t p = at - start + 1;
    switch (mark.kind) {
      case MarkKind::FirstBreak:
        cut = std::min(cut, p);
        break;
      case MarkKind::Exception:
        if (p < cut) {
          return std::string(rest);
        }
        break;
      case MarkKind::Colon:
        if (!ColonBreaks(rest, p)) {
          break;
        }
        [[fallthrough]];
      case MarkKind::Break:
        if (p < cut) {
          cut = p;
          extra = mark.extra;
        }
        break;
    }
  }
  if (cut == kNoCut) {
    return std::string(rest);
  }
  return Trim(rest.substr(0, std::min(rest.size(), cut + extra)));
}

}  // namespace quillon
