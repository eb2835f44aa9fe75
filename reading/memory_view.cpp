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
  line_starts_.assign(1, 0);
  // A paragraph ends with its line feed; a lone CR also ends one, as in the Qt view.
  for (std::size_t i = 0; i < text_.size(); ++i) {
    if (text_[i] == '\n' || (text_[i] == '\r' && (i + 1 == text_.size() || text_[i + 1] != '\n'))) {
      line_starts_.push_back(static_cast<std::int64_t>(i) + 1);
    }
  }
  selection_start_ = 0;
  selection_length_ = 0;
  first_visible_line_ = 0;
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
  const auto next = std::upper_bound(line_starts_.begin(), line_starts_.end(), position);
  return static_cast<std::int64_t>(next - line_starts_.begin()) - 1;
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
