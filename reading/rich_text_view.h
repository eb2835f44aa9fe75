// The rich-text view as the reading engine sees it.
//
// Positions are 0-based and count a paragraph break as the two characters carriage return and
// line feed, whatever the real view stores. Text crosses this seam as Windows-1252.
// Implementations: an in-memory view (tests, quillon-tool) and the Qt view of the window.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quillon {

class RichTextView {
 public:
  virtual ~RichTextView() = default;

  // Length of the whole text in characters.
  virtual std::int64_t TextLength() const = 0;
  // The whole text (copies it: the reading loop never needs it per line).
  virtual std::string Text() const = 0;

  virtual std::int64_t SelectionStart() const = 0;
  virtual std::int64_t SelectionLength() const = 0;
  // Selects length characters from start; length 0 puts the caret at start.
  virtual void SetSelection(std::int64_t start, std::int64_t length) = 0;
  virtual std::string SelectedText() const = 0;

  // Position of the first occurrence of what in the count characters from start, or -1.
  // Case-sensitive, no whole-word matching.
  virtual std::int64_t FindForward(std::string_view what, std::int64_t start,
                                   std::int64_t count) const = 0;

  // Index (from 0) of the topmost visible display line, after word wrap.
  virtual std::int64_t FirstVisibleLine() const = 0;
  // Scrolls vertically by lines display lines (negative: upwards), as far as the view can.
  virtual void ScrollLines(std::int64_t lines) = 0;
  // Scrolls so that the caret is visible.
  virtual void ScrollCaret() = 0;
  // Gives the view the input focus, so its selection shows highlighted.
  virtual void SetFocus() = 0;
};

}  // namespace quillon
