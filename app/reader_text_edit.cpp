#include "app/reader_text_edit.h"

#include <QAbstractTextDocumentLayout>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextLayout>
#include <algorithm>

namespace quillon {

ReaderTextEdit::ReaderTextEdit(QWidget* parent) : QTextEdit(parent) {
  // Marks stand at positions of the text: a new or changed text drops them. A change of format
  // alone (a bigger font) replaces as many characters as it removes, and keeps them.
  connect(document(), &QTextDocument::contentsChange, this, [this](int, int removed, int added) {
    if (removed != added && (!sentence_.empty() || !word_.empty())) {
      ClearMarks();
    }
  });
}

DocumentSpan ReaderTextEdit::Clamped(DocumentSpan span) const {
  // The last position of a document is its final paragraph break, which has no glyph.
  const int last = std::max(0, document()->characterCount() - 1);
  const int start = std::clamp(span.start, 0, last);
  const int end = std::clamp(span.end(), start, last);
  return {start, end - start};
}

void ReaderTextEdit::SetMarks(DocumentSpan sentence, DocumentSpan word,
                              Clock::time_point heard_at) {
  sentence = Clamped(sentence);
  word = Clamped(word);
  if (sentence == sentence_ && word == word_) {
    return;
  }
  heard_at_ = heard_at;
  const DocumentSpan old_sentence = sentence_;
  const DocumentSpan old_word = word_;
  sentence_ = sentence;
  word_ = word;
  if (old_sentence == sentence_) {
    UpdateSpans(old_word, word_);
  } else {
    UpdateSpans(old_sentence, sentence_);
    UpdateSpans(old_word, word_);
  }
  emit marksChanged(sentence_, word_);
}

void ReaderTextEdit::UpdateSpans(DocumentSpan a, DocumentSpan b) {
  QRegion dirty = SpanRegion(a) | SpanRegion(b);
  if (!dirty.isEmpty()) {
    viewport()->update(dirty);
  }
}

QRegion ReaderTextEdit::SpanRegion(DocumentSpan span) const {
  QRegion region;
  span = Clamped(span);
  if (span.empty()) {
    return region;
  }
  QTextDocument* doc = document();
  QAbstractTextDocumentLayout* layout = doc->documentLayout();
  const QPoint offset(horizontalScrollBar()->value(), verticalScrollBar()->value());
  const QRect visible = viewport()->rect();
  for (QTextBlock block = doc->findBlock(span.start);
       block.isValid() && block.position() < span.end(); block = block.next()) {
    const QTextLayout* text_layout = block.layout();
    if (text_layout == nullptr) {
      continue;
    }
    const QPointF origin = layout->blockBoundingRect(block).topLeft();
    const int from = std::max(span.start - block.position(), 0);
    const int to = std::min(span.end() - block.position(), block.length() - 1);
    for (int i = 0; i < text_layout->lineCount(); ++i) {
      const QTextLine line = text_layout->lineAt(i);
      const int line_start = line.textStart();
      const int line_end = line_start + line.textLength();
      if (line_end <= from || line_start >= to) {
        continue;
      }
      const qreal x1 = line.cursorToX(std::max(from, line_start));
      const qreal x2 = line.cursorToX(std::min(to, line_end));
      const QRectF rect(origin.x() + std::min(x1, x2), origin.y() + line.y(), std::abs(x2 - x1),
                        line.height());
      const QRect on_screen = rect.toAlignedRect().translated(-offset);
      if (on_screen.intersects(visible)) {
        region |= on_screen & visible;
      }
    }
    // Past the visible area nothing more can be drawn.
    if (origin.y() - offset.y() > visible.bottom()) {
      break;
    }
  }
  return region;
}

void ReaderTextEdit::ScrollToShow(DocumentSpan span) {
  span = Clamped(span);
  QTextCursor cursor(document());
  cursor.setPosition(span.start);
  const QRect first = cursorRect(cursor);  // the span's first display line, in the viewport
  const int height = viewport()->height();
  QScrollBar* bar = verticalScrollBar();
  if (first.top() < 0) {
    bar->setValue(bar->value() + first.top());
  } else if (first.bottom() >= height) {
    bar->setValue(bar->value() + first.bottom() - height + 1);
  }
}

void ReaderTextEdit::paintEvent(QPaintEvent* event) {
  QTextEdit::paintEvent(event);
  if (sentence_.empty() && word_.empty()) {
    return;
  }
  const QRegion sentence_area = SpanRegion(sentence_) & event->region();
  const QRegion word_area = SpanRegion(word_) & event->region();
  const QRegion marked = sentence_area | word_area;
  if (marked.isEmpty()) {
    return;
  }
  // The text inside the marks is drawn once more, over what the edit drew there, with the marks
  // as its only selections.
  QPainter painter(viewport());
  painter.setClipRegion(marked);
  painter.fillRect(sentence_area.boundingRect(), QColor(kSentenceBackground));
  const QPoint offset(horizontalScrollBar()->value(), verticalScrollBar()->value());
  painter.translate(-offset);

  QAbstractTextDocumentLayout::PaintContext context;
  context.palette = palette();
  context.palette.setColor(QPalette::Text, QColor(kMarkedText));
  context.clip = QRectF(marked.boundingRect().translated(offset));
  context.cursorPosition = -1;
  const auto selection = [this](DocumentSpan span, QRgb background) {
    QAbstractTextDocumentLayout::Selection s;
    s.cursor = QTextCursor(document());
    s.cursor.setPosition(span.start);
    s.cursor.setPosition(span.end(), QTextCursor::KeepAnchor);
    s.format.setBackground(QColor(background));
    s.format.setForeground(QColor(kMarkedText));
    return s;
  };
  if (!sentence_.empty()) {
    context.selections.append(selection(sentence_, kSentenceBackground));
  }
  if (!word_.empty()) {
    context.selections.append(selection(word_, kWordBackground));
  }
  painter.setClipRegion(marked.translated(offset));
  document()->documentLayout()->draw(&painter, context);
  if (!word_area.isEmpty()) {
    emit wordMarkPainted(word_);
  }
}

}  // namespace quillon
