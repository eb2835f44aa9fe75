#include "tools/quillon-tool/text_diff.h"

#include <algorithm>
#include <cstddef>

namespace quillon::tool {
namespace {

// Beyond this many cells the middle is not compared token by token.
constexpr std::size_t kMaxCells = std::size_t{1} << 22;

bool IsWordChar(char c) {
  const auto b = static_cast<unsigned char>(c);
  return (b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || b == '\'' ||
         b >= 0x80;
}

bool IsSpace(char c) {
  return static_cast<unsigned char>(c) <= ' ';
}

// Words, runs of blanks, tags "<...>" and single other characters.
std::vector<std::string_view> Tokens(std::string_view text) {
  std::vector<std::string_view> tokens;
  std::size_t i = 0;
  while (i < text.size()) {
    std::size_t end = i + 1;
    if (text[i] == '<') {
      const std::size_t close = text.find('>', i);
      const std::size_t next_open = text.find('<', i + 1);
      if (close != std::string_view::npos && close < next_open) {
        end = close + 1;
      }
    } else if (IsWordChar(text[i])) {
      while (end < text.size() && IsWordChar(text[end])) {
        ++end;
      }
    } else if (IsSpace(text[i])) {
      while (end < text.size() && IsSpace(text[end])) {
        ++end;
      }
    }
    tokens.push_back(text.substr(i, end - i));
    i = end;
  }
  return tokens;
}

std::string_view Span(std::string_view text, const std::vector<std::string_view>& tokens,
                      std::size_t from, std::size_t to) {
  if (from >= to) {
    return {};
  }
  const auto begin = static_cast<std::size_t>(tokens[from].data() - text.data());
  const auto end =
      static_cast<std::size_t>(tokens[to - 1].data() - text.data()) + tokens[to - 1].size();
  return text.substr(begin, end - begin);
}

class PieceList {
 public:
  void Add(DiffPiece::Kind kind, std::string_view text) {
    if (text.empty()) {
      return;
    }
    if (!pieces_.empty() && pieces_.back().kind == kind &&
        pieces_.back().text.data() + pieces_.back().text.size() == text.data()) {
      pieces_.back().text =
          std::string_view(pieces_.back().text.data(), pieces_.back().text.size() + text.size());
      return;
    }
    pieces_.push_back({kind, text});
  }
  std::vector<DiffPiece> Take() { return std::move(pieces_); }

 private:
  std::vector<DiffPiece> pieces_;
};

}  // namespace

std::vector<DiffPiece> DiffTexts(std::string_view before, std::string_view after) {
  using Kind = DiffPiece::Kind;
  const std::vector<std::string_view> a = Tokens(before);
  const std::vector<std::string_view> b = Tokens(after);

  std::size_t prefix = 0;
  while (prefix < a.size() && prefix < b.size() && a[prefix] == b[prefix]) {
    ++prefix;
  }
  std::size_t suffix = 0;
  while (suffix < a.size() - prefix && suffix < b.size() - prefix &&
         a[a.size() - 1 - suffix] == b[b.size() - 1 - suffix]) {
    ++suffix;
  }
  const std::size_t n = a.size() - prefix - suffix;
  const std::size_t m = b.size() - prefix - suffix;

  PieceList pieces;
  pieces.Add(Kind::Same, Span(before, a, 0, prefix));
  if (n == 0 || m == 0 || (n + 1) * (m + 1) > kMaxCells) {
    pieces.Add(Kind::Removed, Span(before, a, prefix, prefix + n));
    pieces.Add(Kind::Added, Span(after, b, prefix, prefix + m));
  } else {
    // Longest common subsequence of the middles, from the back, so the walk goes forward.
    std::vector<std::uint32_t> lcs((n + 1) * (m + 1), 0);
    const auto at = [&](std::size_t i, std::size_t j) -> std::uint32_t& {
      return lcs[i * (m + 1) + j];
    };
    for (std::size_t i = n; i-- > 0;) {
      for (std::size_t j = m; j-- > 0;) {
        at(i, j) = a[prefix + i] == b[prefix + j] ? at(i + 1, j + 1) + 1
                                                  : std::max(at(i + 1, j), at(i, j + 1));
      }
    }
    std::size_t i = 0;
    std::size_t j = 0;
    // Removed and added tokens wait until the next common one, so removals come first.
    std::size_t removed_from = 0;
    std::size_t added_from = 0;
    const auto flush = [&] {
      pieces.Add(Kind::Removed, Span(before, a, prefix + removed_from, prefix + i));
      pieces.Add(Kind::Added, Span(after, b, prefix + added_from, prefix + j));
    };
    while (i < n && j < m) {
      if (a[prefix + i] == b[prefix + j]) {
        flush();
        pieces.Add(Kind::Same, a[prefix + i]);
        ++i;
        ++j;
        removed_from = i;
        added_from = j;
      } else if (at(i + 1, j) >= at(i, j + 1)) {
        ++i;
      } else {
        ++j;
      }
    }
    i = n;
    j = m;
    flush();
  }
  pieces.Add(Kind::Same, Span(before, a, a.size() - suffix, a.size()));
  return pieces.Take();
}

}  // namespace quillon::tool
