// The novel's view: a read-only rich-text edit that, over the line selected for reading, marks the
// sentence being spoken and the word being heard.
//
// The marks are drawn after the edit has painted its text and its selection, in their own colours,
// so they show on the selection's colour as on the view's background. They are not part of the
// selection nor of the document: setting them changes neither the caret nor the text.
#pragma once

#include <QColor>
#include <QRegion>
#include <QTextEdit>
#include <chrono>

namespace quillon {

// A run of characters in the QTextDocument, by its positions; empty when length is 0.
struct DocumentSpan {
  int start = 0;
  int length = 0;
  int end() const { return start + length; }
  bool empty() const { return length <= 0; }
  bool operator==(const DocumentSpan&) const = default;
};

class ReaderTextEdit final : public QTextEdit {
  Q_OBJECT

 public:
  // Dark text on light yellow (the sentence) and on amber (the word): readable whatever the
  // selection's colour and the window's.
  static constexpr QRgb kSentenceBackground = 0xFFF1A8;
  static constexpr QRgb kWordBackground = 0xFFB72E;
  static constexpr QRgb kMarkedText = 0x1A1A1A;

  explicit ReaderTextEdit(QWidget* parent = nullptr);

  using Clock = std::chrono::steady_clock;

  // Marks sentence and, inside it, word, a word heard at heard_at; an empty span marks nothing.
  // Spans are clamped to the document.
  void SetMarks(DocumentSpan sentence, DocumentSpan word, Clock::time_point heard_at = {});
  void ClearMarks() { SetMarks({}, {}); }
  DocumentSpan SentenceMark() const { return sentence_; }
  DocumentSpan WordMark() const { return word_; }
  // When the marked word was heard (the clock's epoch when not told).
  Clock::time_point WordHeardAt() const { return heard_at_; }

  // The area a span takes in the viewport, one rectangle per display line it covers.
  QRegion SpanRegion(DocumentSpan span) const;
  // Scrolls vertically, as little as it can, so that the span's first display line is wholly
  // visible; a span already in sight does not move the view.
  void ScrollToShow(DocumentSpan span);

 signals:
  // The marks were set (not necessarily painted yet).
  void marksChanged(quillon::DocumentSpan sentence, quillon::DocumentSpan word);
  // A paint drew the word mark that is set now.
  void wordMarkPainted(quillon::DocumentSpan word);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  DocumentSpan Clamped(DocumentSpan span) const;
  void UpdateSpans(DocumentSpan a, DocumentSpan b);

  DocumentSpan sentence_;
  DocumentSpan word_;
  Clock::time_point heard_at_{};
};

}  // namespace quillon
