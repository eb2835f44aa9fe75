// Fills a QTextEdit with a loaded document, formatting included, so that the engine's view text
// over it (QtRichTextView::Text) equals Document::ViewText of the paragraphs shown.
//
// Qt lays a document out at most 8,388,607 pixels tall (its fixed-point limit): past that its
// layout runs without end, and the window with it. So the view holds the document's paragraphs
// from the start only as far as they surely stay below that height at the largest font the view
// can take, every character counted as wide as the font's size (four times, outside the first 2048
// code points), every line as tall as 1.25 times it. That is about 800 KB of prose or 84,000 empty
// lines, several times the novel.
#pragma once

#include <QTextEdit>
#include <cstddef>
#include <string>

#include "document/document.h"

namespace quillon {

// What the view holds of a document: its first `shown` paragraphs of `total`.
struct ShownPart {
  std::size_t shown = 0;
  std::size_t total = 0;

  bool Whole() const { return shown == total; }
};

// How tall the view may be laid out, in pixels, and what it measures the document with.
struct ViewMeasure {
  double text_width_px = 0;     // the width lines wrap at
  double pixels_per_point = 0;  // the screen's dots per inch over 72
  int largest_points = 0;       // the largest font the view's text can be given
};
inline constexpr double kMaxViewHeightPx = 8388607.0 * 0.8;

// How many paragraphs from the start surely fit below kMaxViewHeightPx: each takes at least one
// line, and as many as its characters fill at the largest of largest_points and its runs' sizes.
std::size_t ParagraphsTheViewCanHold(const Document& document, const ViewMeasure& measure);

// Shows as much of the document as the view can hold; the caret goes to the start.
ShownPart ShowDocument(QTextEdit& edit, const Document& document, int largest_points);

// What the window says when the view holds only a part.
std::string PartShownMessage(const ShownPart& part);

}  // namespace quillon
