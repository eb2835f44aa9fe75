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
  std::int64_t DisplayLineCount() const { return line_count_; }
  std::int64_t DisplayLineOf(std::int64_t position) const;
  std::int64_t PageLines() const { return page_lines_; }
  int FocusCount() const { return focus_count_; }
  int ScrollCaretCount() const { return scroll_caret_count_; }

 private:
  // Text is indexed in blocks of this many characters.
  static constexpr std::int64_t kBlock = 4096;

  std::int64_t Clamp(std::int64_t position) const;
  bool IsLineEnd(std::int64_t i) const;
  // Paragraph ends (a line feed, or a carriage return without one) at positions from <= i < to.
  std::int64_t LineEndsIn(std::int64_t from, std::int64_t to) const;

  std::string text_;
  // Paragraph ends before each block: the index costs 8 bytes per block, not per paragraph.
  std::vector<std::int64_t> line_ends_before_block_;
  std::int64_t line_count_ = 1;
  // The last position asked about and its line: a reading asks about one position after another,
  // so the next answer counts only from there.
  mutable std::int64_t last_position_ = 0;
  mutable std::int64_t last_line_ = 0;
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
