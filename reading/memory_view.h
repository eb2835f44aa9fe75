// An in-memory rich-text view: the text, a selection, one display line per paragraph.
//
// Serves the engine's tests and quillon-tool. Positions count a paragraph break as the two
// characters carriage return and line feed, exactly as the text holds them; the visible page is a
// fixed number of display lines.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "reading/rich_text_view.h"

namespace quillon {

class MemoryView final : public RichTextView {
 public:
  static constexpr std::int64_t kDefaultPageLines = 40;

  explicit MemoryView(std::string text = {}, std::int64_t page_lines = kDefaultPageLines);

  // Replaces the text; the caret goes to 0 and the view to its top.
  void SetText(std::string text);

  std::int64_t TextLength() const override;
  std::string Text() const override { return text_; }
  std::int64_t SelectionStart() const override { return selection_start_; }
  std::int64_t SelectionLength() const override { return selection_length_; }
  // Out-of-range values are clamped to the text; a negative length selects backwards.
  void SetSelection(std::int64_t start, std::int64_t length) override;
  std::string SelectedText() const override;
  std::int64_t FindForward(std::string_view what, std::int64_t start,
                           std::int64_t count) const override;
  std::int64_t FirstVisibleLine() const override { return first_visible_line_; }
  void ScrollLines(std::int64_t lines) override;
  void ScrollCaret() override;
  void SetFocus() override { ++focus_count_; }

  // Bookkeeping for tests.
  std::int64_t DisplayLineCount() const { return static_cast<std::int64_t>(line_starts_.size()); }
  std::int64_t DisplayLineOf(std::int64_t position) const;
  std::int64_t PageLines() const { return page_lines_; }
  int FocusCount() const { return focus_count_; }
  int ScrollCaretCount() const { return scroll_caret_count_; }

 private:
  std::int64_t Clamp(std::int64_t position) const;

  std::string text_;
  std::vector<std::int64_t> line_starts_;  // first position of each paragraph
  std::int64_t page_lines_;
  std::int64_t selection_start_ = 0;
  std::int64_t selection_length_ = 0;
  std::int64_t first_visible_line_ = 0;
  int focus_count_ = 0;
  int scroll_caret_count_ = 0;
};

// Plain text as the view holds it: LF, CR LF and a lone CR each become one CR LF paragraph
// break. Every other byte is kept as it is (taken as Windows-1252).
std::string PlainTextToViewText(std::string_view bytes);

}  // namespace quillon
