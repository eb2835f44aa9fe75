#include "reading/memory_view.h"

#include <algorithm>
#include <utility>

namespace quillon {

MemoryView::MemoryView(std::string text, std::int64_t page_lines)
    : page_lines_(std::max<std::int64_t>(page_lines, 1)) {
  SetText(std::move(text));
}

void MemoryView::SetText(std::string text) {
  text_ = std::move(text);
  line_ends_before_block_.clear();
  std::int64_t line_ends = 0;
  for (std::int64_t block = 0; block < TextLength(); block += kBlock) {
    line_ends_before_block_.push_back(line_ends);
    line_ends += LineEndsIn(block, std::min(block + kBlock, TextLength()));
  }
  line_ends_before_block_.push_back(line_ends);
  line_count_ = line_ends + 1;
  last_position_ = 0;
  last_line_ = 0;
  selection_start_ = 0;
  selection_length_ = 0;
  first_visible_line_ = 0;
}

// A paragraph ends with its line feed; a lone CR also ends one, as in the Qt view.
bool MemoryView::IsLineEnd(std::int64_t i) const {
  const auto at = static_cast<std::size_t>(i);
  return text_[at] == '\n' ||
         (text_[at] == '\r' && (at + 1 == text_.size() || text_[at + 1] != '\n'));
}

std::int64_t MemoryView::LineEndsIn(std::int64_t from, std::int64_t to) const {
  std::int64_t count = 0;
  for (std::int64_t i = from; i < to; ++i) {
    count += IsLineEnd(i) ? 1 : 0;
  }
  return count;
}

std::int64_t MemoryView::TextLength() const {
  return static_cast<std::int64_t>(text_.size());
}

std::int64_t MemoryView::Clamp(std::int64_t position) const {
  return std::clamp<std::int64_t>(position, 0, TextLength());
}

void MemoryView::SetSelection(std::int64_t start, std::int64_t length) {
  start = Clamp(start);
  // Clamped without overflow for any length.
  std::int64_t end = 0;
  if (length >= 0) {
    end = length > TextLength() - start ? TextLength() : start + length;
  } else {
    end = length < -start ? 0 : start + length;
  }
  selection_start_ = std::min(start, end);
  selection_length_ = std::max(start, end) - selection_start_;
}

std::string MemoryView::SelectedText() const {
  return text_.substr(static_cast<std::size_t>(selection_start_),
                      static_cast<std::size_t>(selection_length_));
}

std::int64_t MemoryView::FindForward(std::string_view what, std::int64_t start,
                                     std::int64_t count) const {
  if (what.empty() || count <= 0 || start >= TextLength()) {
    return -1;
  }
  start = Clamp(start);
  const std::int64_t end = start + std::min(count, TextLength() - start);
  const std::string_view range(text_.data() + start, static_cast<std::size_t>(end - start));
  const std::size_t found = range.find(what);
  return found == std::string_view::npos ? -1 : start + static_cast<std::int64_t>(found);
}

std::int64_t MemoryView::DisplayLineOf(std::int64_t position) const {
  position = Clamp(position);
  if (position < last_position_ || position - last_position_ > kBlock) {
    const std::int64_t block = position / kBlock;
    last_position_ = block * kBlock;
    last_line_ = line_ends_before_block_[static_cast<std::size_t>(block)];
  }
  last_line_ += LineEndsIn(last_position_, position);
  last_position_ = position;
  return last_line_;
}

void MemoryView::ScrollLines(std::int64_t lines) {
  const std::int64_t last = DisplayLineCount() - 1;
  if (lines > last - first_visible_line_) {
    first_visible_line_ = last;
  } else if (lines < -first_visible_line_) {
    first_visible_line_ = 0;
  } else {
    first_visible_line_ += lines;
  }
}

void MemoryView::ScrollCaret() {
  ++scroll_caret_count_;
  // The caret is the end of the selection.
  const std::int64_t line = DisplayLineOf(selection_start_ + selection_length_);
  if (line < first_visible_line_) {
    first_visible_line_ = line;
  } else if (line >= first_visible_line_ + page_lines_) {
    first_visible_line_ = line - page_lines_ + 1;
  }
}

std::string PlainTextToViewText(std::string_view bytes) {
  std::string text;
  text.reserve(bytes.size() + bytes.size() / 32);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const char c = bytes[i];
    if (c == '\r') {
      if (i + 1 < bytes.size() && bytes[i + 1] == '\n') {
        ++i;
      }
      text += "\r\n";
    } else if (c == '\n') {
      text += "\r\n";
    } else {
      text += c;
    }
  }
  return text;
}

}  // namespace quillon
