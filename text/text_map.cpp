#include "text/text_map.h"

#include <algorithm>
#include <string>

namespace quillon {

void TextMap::Push(Run run) {
  if (run.out_length == 0) {
    return;
  }
  run.out_start = output_length_;
  output_length_ += run.out_length;
  if (!runs_.empty()) {
    Run& last = runs_.back();
    const bool both_copied =
        last.copied && run.copied && last.in_start + last.out_length == run.in_start;
    const bool same_source = !last.copied && !run.copied && last.in_start == run.in_start &&
                             last.in_length == run.in_length;
    if (both_copied || same_source) {
      last.out_length += run.out_length;
      if (both_copied) {
        last.in_length += run.in_length;
      }
      return;
    }
  }
  runs_.push_back(run);
}

void TextMap::Copy(std::size_t length) {
  Push({.out_length = length, .in_start = input_length_, .in_length = length, .copied = true});
  input_length_ += length;
}

void TextMap::Replace(std::size_t input_length, std::size_t output_length) {
  if (input_length == 0) {
    Insert(output_length);
    return;
  }
  Push({.out_length = output_length, .in_start = input_length_, .in_length = input_length});
  last_replaced_start_ = input_length_;
  last_replaced_length_ = input_length;
  input_length_ += input_length;
}

void TextMap::ReplaceAgain(std::size_t output_length) {
  Push({.out_length = output_length,
        .in_start = last_replaced_start_,
        .in_length = last_replaced_length_});
}

void TextMap::Insert(std::size_t output_length) {
  Push({.out_length = output_length});
}

void TextMap::Append(const TextMap& next) {
  const std::size_t input_offset = input_length_;
  for (Run run : next.runs_) {
    if (run.copied || run.in_length > 0) {
      run.in_start += input_offset;
    }
    Push(run);
  }
  input_length_ += next.input_length_;
  if (next.last_replaced_length_ > 0) {
    last_replaced_start_ = next.last_replaced_start_ + input_offset;
    last_replaced_length_ = next.last_replaced_length_;
  }
}

std::size_t TextMap::RunAt(std::size_t position) const {
  const auto found = std::partition_point(runs_.begin(), runs_.end(), [&](const Run& run) {
    return run.out_start + run.out_length <= position;
  });
  return static_cast<std::size_t>(found - runs_.begin());
}

std::optional<TextSpan> TextMap::Source(TextSpan output) const {
  std::optional<std::size_t> first;
  std::size_t last = 0;
  for (std::size_t i = RunAt(output.start); i < runs_.size() && runs_[i].out_start < output.end();
       ++i) {
    const Run& run = runs_[i];
    std::size_t from = run.in_start;
    std::size_t to = run.in_start + run.in_length;
    if (run.copied) {
      from = run.in_start + (std::max(output.start, run.out_start) - run.out_start);
      to = run.in_start + (std::min(output.end(), run.out_start + run.out_length) - run.out_start);
    } else if (run.in_length == 0) {
      continue;
    }
    first = first ? std::min(*first, from) : from;
    last = std::max(last, to);
  }
  if (!first) {
    return std::nullopt;
  }
  return TextSpan{*first, last - *first};
}

TextMap TextMap::Then(const TextMap& next) const {
  TextMap result;
  for (const Run& run : next.runs_) {
    if (!run.copied) {
      // Inserted text stays inserted; a replaced run stands for all its span came from here.
      const std::optional<TextSpan> source =
          run.in_length == 0 ? std::nullopt : Source({run.in_start, run.in_length});
      result.Push(source ? Run{.out_length = run.out_length,
                               .in_start = source->start,
                               .in_length = source->length}
                         : Run{.out_length = run.out_length});
      continue;
    }
    // A copied run takes over, piece by piece, what the runs of this map say about its span.
    const std::size_t from = run.in_start;
    const std::size_t to = run.in_start + run.out_length;
    std::size_t covered = 0;
    for (std::size_t i = RunAt(from); i < runs_.size() && runs_[i].out_start < to; ++i) {
      const Run& mine = runs_[i];
      const std::size_t start = std::max(from, mine.out_start);
      const std::size_t end = std::min(to, mine.out_start + mine.out_length);
      Run piece{.out_length = end - start};
      if (mine.copied) {
        piece.copied = true;
        piece.in_start = mine.in_start + (start - mine.out_start);
        piece.in_length = piece.out_length;
      } else {
        piece.in_start = mine.in_start;
        piece.in_length = mine.in_length;
      }
      result.Push(piece);
      covered += piece.out_length;
    }
    // Past the end of this map's output (maps that do not fit together): from nothing.
    result.Insert(run.out_length - covered);
  }
  result.input_length_ = input_length_;
  return result;
}

bool TextMap::operator==(const TextMap& other) const {
  return input_length_ == other.input_length_ && output_length_ == other.output_length_ &&
         runs_ == other.runs_;
}

TextMap TextMap::Identity(std::size_t length) {
  TextMap map;
  map.Copy(length);
  return map;
}

namespace {

bool IsBlank(char c) {
  return static_cast<unsigned char>(c) <= 32;
}

// Whether a cut before position k of text falls between words (or at either end).
bool AtWordBoundary(std::string_view text, std::size_t k) {
  return k == 0 || k == text.size() || IsBlank(text[k - 1]) || IsBlank(text[k]);
}

// How many characters a and b begin with alike, as whole words.
std::size_t CommonWordPrefix(std::string_view a, std::string_view b) {
  std::size_t k = 0;
  while (k < a.size() && k < b.size() && a[k] == b[k]) {
    ++k;
  }
  while (k > 0 && !(AtWordBoundary(a, k) && AtWordBoundary(b, k))) {
    --k;
  }
  return k;
}

// How many characters a and b end with alike, as whole words, within at most limit characters.
std::size_t CommonWordSuffix(std::string_view a, std::string_view b, std::size_t limit) {
  std::size_t k = 0;
  while (k < limit && a[a.size() - 1 - k] == b[b.size() - 1 - k]) {
    ++k;
  }
  while (k > 0 && !(AtWordBoundary(a, a.size() - k) && AtWordBoundary(b, b.size() - k))) {
    --k;
  }
  return k;
}

}  // namespace

void MapReplacement(std::string_view search, std::string_view replacement, TextMap& map) {
  // The replacement as runs of text and tags; a tag is a "<" and the first ">" after it with no
  // other "<" between them.
  struct Piece {
    std::string_view text;
    bool tag;
  };
  std::vector<Piece> pieces;
  std::string words;  // the replacement without its tags
  std::size_t text_start = 0;
  std::size_t i = 0;
  while (i < replacement.size()) {
    const std::size_t close =
        replacement[i] == '<' ? replacement.find_first_of("<>", i + 1) : std::string_view::npos;
    if (close == std::string_view::npos || replacement[close] != '>') {
      ++i;
      continue;
    }
    if (text_start < i) {
      pieces.push_back({replacement.substr(text_start, i - text_start), false});
      words.append(pieces.back().text);
    }
    pieces.push_back({replacement.substr(i, close + 1 - i), true});
    i = close + 1;
    text_start = i;
  }
  if (text_start < replacement.size()) {
    pieces.push_back({replacement.substr(text_start), false});
    words.append(pieces.back().text);
  }

  // The words both begin and end with are copied; the part between stands as a whole for the
  // part of the search text between them.
  const bool same_words = words == search;
  const std::size_t head = same_words ? words.size() : CommonWordPrefix(search, words);
  const std::size_t tail =
      same_words ? 0
                 : CommonWordSuffix(search, words, std::min(search.size(), words.size()) - head);
  const std::size_t middle_end = words.size() - tail;  // in the replacement's words
  const std::size_t middle_input = search.size() - head - tail;
  bool middle_mapped = false;
  const auto map_middle = [&](std::size_t length) {
    if (middle_input == 0) {
      map.Insert(length);  // words added to what was kept
    } else if (!middle_mapped) {
      map.Replace(middle_input, length);
    } else {
      map.ReplaceAgain(length);
    }
    middle_mapped = true;
  };
  std::size_t at = 0;  // position in words
  for (const Piece& piece : pieces) {
    if (piece.tag) {
      map.Insert(piece.text.size());
      continue;
    }
    const std::size_t end = at + piece.text.size();
    if (at < head) {
      map.Copy(std::min(end, head) - at);
    }
    if (std::max(at, head) < std::min(end, middle_end)) {
      map_middle(std::min(end, middle_end) - std::max(at, head));
    }
    if (end > middle_end) {
      if (!middle_mapped) {
        map_middle(0);  // the rest of the search text left nothing in the replacement
      }
      map.Copy(end - std::max(at, middle_end));
    }
    at = end;
  }
  if (!middle_mapped) {
    map_middle(0);
  }
}

}  // namespace quillon
