// The reading engine's view over a QTextEdit.
//
// The QTextDocument counts a paragraph break as one character and a character outside the Basic
// Multilingual Plane as two; the engine counts a paragraph break as carriage return and line feed
// and every character as one Windows-1252 byte. This adapter keeps a map of the paragraphs between
// the two and rebuilds it whenever the document's content changes. Display lines are the lines of
// the laid-out text after word wrap, counted from the top of the document.
#pragma once

#include <QObject>
#include <QPointer>
#include <QTextEdit>
#include <cstdint>
#include <string>
#include <vector>

#include "reading/rich_text_view.h"

namespace quillon {

class QtRichTextView final : public RichTextView {
 public:
  explicit QtRichTextView(QTextEdit* edit);
  ~QtRichTextView() override;
  QtRichTextView(const QtRichTextView&) = delete;
  QtRichTextView& operator=(const QtRichTextView&) = delete;

  std::int64_t TextLength() const override;
  std::string Text() const override;
  std::int64_t SelectionStart() const override;
  std::int64_t SelectionLength() const override;
  // Out-of-range values are clamped to the text; a negative length selects backwards. A position
  // between a carriage return and its line feed counts as the end of the paragraph. Selecting does
  // not scroll the view (ScrollCaret does).
  void SetSelection(std::int64_t start, std::int64_t length) override;
  std::string SelectedText() const override;
  std::int64_t FindForward(std::string_view what, std::int64_t start,
                           std::int64_t count) const override;
  std::int64_t FirstVisibleLine() const override;
  void ScrollLines(std::int64_t lines) override;
  void ScrollCaret() override;
  void SetFocus() override;

  // Display lines of the whole text, and the display line holding an engine position.
  std::int64_t DisplayLineCount() const;
  std::int64_t DisplayLineOf(std::int64_t position) const;

  // Conversions between engine positions and the QTextDocument's positions.
  int ToDocumentPosition(std::int64_t position) const;
  std::int64_t FromDocumentPosition(int position) const;

 private:
  struct Paragraph {
    int document_start;             // position of the paragraph's first character in the document
    std::int64_t engine_start;      // the same in engine positions
    std::int64_t engine_length;     // without the paragraph break
    std::vector<int> pair_offsets;  // offsets of surrogate pairs inside the paragraph
  };

  void EnsureMap() const;
  const Paragraph& ParagraphAtEngine(std::int64_t position) const;
  const Paragraph& ParagraphAtDocument(int position) const;
  // Calls visit(line_top, line_bottom) for every display line from the top; stops when it
  // returns false. Returns how many lines were visited.
  template <typename Visit>
  std::int64_t ForEachDisplayLine(Visit visit) const;

  QPointer<QTextEdit> edit_;
  QMetaObject::Connection change_connection_;
  mutable bool map_valid_ = false;
  mutable std::string text_;
  mutable std::vector<Paragraph> paragraphs_;
};

}  // namespace quillon
