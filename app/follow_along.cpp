#include "app/follow_along.h"

#include <QScrollBar>
#include <algorithm>

namespace quillon {

FollowAlong::FollowAlong(ReaderTextEdit& edit, const QtRichTextView& view)
    : edit_(edit), view_(view) {
  // Moves of the scroll bar the reader makes (dragging, clicking, the wheel, the keys); the
  // program's own scrolling sets the value and triggers no action.
  scroll_connection_ =
      QObject::connect(edit_.verticalScrollBar(), &QAbstractSlider::actionTriggered,
                       [this](int) { scrolled_by_hand_ = true; });
}

FollowAlong::~FollowAlong() {
  QObject::disconnect(scroll_connection_);
}

void FollowAlong::LineFetched() {
  line_start_ = view_.SelectionStart();
  scrolled_by_hand_ = false;
  sentence_.reset();
  sentence_span_ = {};
  edit_.ClearMarks();
}

DocumentSpan FollowAlong::LineSpanToDocument(TextSpan in_line) const {
  const auto start = line_start_ + static_cast<std::int64_t>(in_line.start);
  const int from = view_.ToDocumentPosition(start);
  const int to = view_.ToDocumentPosition(start + static_cast<std::int64_t>(in_line.length));
  return {from, std::max(0, to - from)};
}

void FollowAlong::SentenceSpoken(const SpokenSentence& sentence) {
  sentence_ = sentence;
  sentence_span_ = LineSpanToDocument(sentence.in_line);
  edit_.SetMarks(sentence_span_, {});
}

DocumentSpan FollowAlong::ToDocument(TextSpan spoken) const {
  if (!sentence_) {
    return {};
  }
  const std::optional<TextSpan> in_line = sentence_->to_line.Source(spoken);
  if (!in_line || in_line->length == 0) {
    return {};
  }
  return LineSpanToDocument(*in_line);
}

void FollowAlong::WordHeard(const HeardWord& word) {
  if (!sentence_) {
    return;
  }
  const DocumentSpan span = ToDocument({word.start, word.length});
  edit_.SetMarks(sentence_span_, span, word.at);
  if (!span.empty() && !scrolled_by_hand_) {
    edit_.ScrollToShow(span);
  }
}

void FollowAlong::Clear() {
  sentence_.reset();
  sentence_span_ = {};
  edit_.ClearMarks();
}

}  // namespace quillon
