#include "app/qt_rich_text_view.h"

#include <QAbstractTextDocumentLayout>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <algorithm>
#include <cmath>
#include <string_view>

#include "text/encoding.h"

namespace quillon {
namespace {

bool IsHighSurrogate(char16_t c) {
  return c >= 0xD800 && c <= 0xDBFF;
}
bool IsLowSurrogate(char16_t c) {
  return c >= 0xDC00 && c <= 0xDFFF;
}

// Keeps the scroll position while the selection changes: the engine scrolls only on request.
class ScrollKeeper {
 public:
  explicit ScrollKeeper(QTextEdit* edit)
      : edit_(edit),
        vertical_(edit->verticalScrollBar()->value()),
        horizontal_(edit->horizontalScrollBar()->value()) {}
  ~ScrollKeeper() {
    edit_->verticalScrollBar()->setValue(vertical_);
    edit_->horizontalScrollBar()->setValue(horizontal_);
  }

 private:
  QTextEdit* edit_;
  int vertical_;
  int horizontal_;
};

}  // namespace

QtRichTextView::QtRichTextView(QTextEdit* edit) : edit_(edit) {
  change_connection_ = QObject::connect(edit->document(), &QTextDocument::contentsChange,
                                        [this](int, int, int) { map_valid_ = false; });
}

QtRichTextView::~QtRichTextView() {
  QObject::disconnect(change_connection_);
}

void QtRichTextView::EnsureMap() const {
  if (map_valid_) {
    return;
  }
  text_.clear();
  paragraphs_.clear();
  const QTextDocument* document = edit_->document();
  for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
    if (!paragraphs_.empty()) {
      text_ += "\r\n";
    }
    const QString content = block.text();
    const std::u16string_view units(reinterpret_cast<const char16_t*>(content.utf16()),
                                    static_cast<std::size_t>(content.size()));
    Paragraph paragraph{block.position(), static_cast<std::int64_t>(text_.size()), 0, {}};
    for (std::size_t i = 0; i + 1 < units.size(); ++i) {
      if (IsHighSurrogate(units[i]) && IsLowSurrogate(units[i + 1])) {
        paragraph.pair_offsets.push_back(static_cast<int>(i));
        ++i;
      }
    }
    const std::string bytes = Utf16ToWindows1252(units);
    paragraph.engine_length = static_cast<std::int64_t>(bytes.size());
    text_ += bytes;
    paragraphs_.push_back(std::move(paragraph));
  }
  if (paragraphs_.empty()) {
    paragraphs_.push_back({0, 0, 0, {}});
  }
  map_valid_ = true;
}

const QtRichTextView::Paragraph& QtRichTextView::ParagraphAtEngine(std::int64_t position) const {
  const auto next = std::upper_bound(
      paragraphs_.begin(), paragraphs_.end(), position,
      [](std::int64_t p, const Paragraph& paragraph) { return p < paragraph.engine_start; });
  return next == paragraphs_.begin() ? paragraphs_.front() : *(next - 1);
}

const QtRichTextView::Paragraph& QtRichTextView::ParagraphAtDocument(int position) const {
  const auto next = std::upper_bound(
      paragraphs_.begin(), paragraphs_.end(), position,
      [](int p, const Paragraph& paragraph) { return p < paragraph.document_start; });
  return next == paragraphs_.begin() ? paragraphs_.front() : *(next - 1);
}

int QtRichTextView::ToDocumentPosition(std::int64_t position) const {
  EnsureMap();
  position = std::clamp<std::int64_t>(position, 0, static_cast<std::int64_t>(text_.size()));
  const Paragraph& paragraph = ParagraphAtEngine(position);
  // Inside the carriage return and line feed: the end of the paragraph.
  const std::int64_t offset = std::min(position - paragraph.engine_start, paragraph.engine_length);
  std::int64_t document_offset = offset;
  for (std::size_t k = 0; k < paragraph.pair_offsets.size(); ++k) {
    if (paragraph.pair_offsets[k] - static_cast<std::int64_t>(k) < offset) {
      ++document_offset;
    }
  }
  return paragraph.document_start + static_cast<int>(document_offset);
}

std::int64_t QtRichTextView::FromDocumentPosition(int position) const {
  EnsureMap();
  position = std::max(position, 0);
  const Paragraph& paragraph = ParagraphAtDocument(position);
  const std::int64_t document_offset = position - paragraph.document_start;
  std::int64_t offset = document_offset;
  for (const int pair : paragraph.pair_offsets) {
    if (pair + 1 < document_offset) {
      --offset;
    }
  }
  return paragraph.engine_start + std::clamp<std::int64_t>(offset, 0, paragraph.engine_length);
}

std::int64_t QtRichTextView::TextLength() const {
  EnsureMap();
  return static_cast<std::int64_t>(text_.size());
}

std::string QtRichTextView::Text() const {
  EnsureMap();
  return text_;
}

std::int64_t QtRichTextView::SelectionStart() const {
  return FromDocumentPosition(edit_->textCursor().selectionStart());
}

std::int64_t QtRichTextView::SelectionLength() const {
  const QTextCursor cursor = edit_->textCursor();
  return FromDocumentPosition(cursor.selectionEnd()) -
         FromDocumentPosition(cursor.selectionStart());
}

void QtRichTextView::SetSelection(std::int64_t start, std::int64_t length) {
  const std::int64_t size = TextLength();
  start = std::clamp<std::int64_t>(start, 0, size);
  std::int64_t end = 0;
  if (length >= 0) {
    end = length > size - start ? size : start + length;
  } else {
    end = length < -start ? 0 : start + length;
  }
  QTextCursor cursor(edit_->document());
  cursor.setPosition(ToDocumentPosition(start));
  cursor.setPosition(ToDocumentPosition(end), QTextCursor::KeepAnchor);
  const ScrollKeeper keep(edit_);
  edit_->setTextCursor(cursor);
}

std::string QtRichTextView::SelectedText() const {
  EnsureMap();
  return text_.substr(static_cast<std::size_t>(SelectionStart()),
                      static_cast<std::size_t>(SelectionLength()));
}

std::int64_t QtRichTextView::FindForward(std::string_view what, std::int64_t start,
                                         std::int64_t count) const {
  EnsureMap();
  const auto size = static_cast<std::int64_t>(text_.size());
  if (what.empty() || count <= 0 || start >= size) {
    return -1;
  }
  start = std::max<std::int64_t>(start, 0);
  const std::int64_t end = start + std::min(count, size - start);
  const std::string_view range(text_.data() + start, static_cast<std::size_t>(end - start));
  const std::size_t found = range.find(what);
  return found == std::string_view::npos ? -1 : start + static_cast<std::int64_t>(found);
}

template <typename Visit>
std::int64_t QtRichTextView::ForEachDisplayLine(Visit visit) const {
  QTextDocument* document = edit_->document();
  document->documentLayout()->documentSize();  // lays out the whole text
  std::int64_t index = 0;
  for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
    const QTextLayout* layout = block.layout();
    if (layout == nullptr || !block.isVisible()) {
      continue;
    }
    const qreal block_top = document->documentLayout()->blockBoundingRect(block).top();
    for (int i = 0; i < layout->lineCount(); ++i) {
      const QTextLine line = layout->lineAt(i);
      const qreal top = block_top + line.y();
      if (!visit(index, top, top + line.height())) {
        return index;
      }
      ++index;
    }
  }
  return index;
}

std::int64_t QtRichTextView::DisplayLineCount() const {
  return ForEachDisplayLine([](std::int64_t, qreal, qreal) { return true; });
}

std::int64_t QtRichTextView::DisplayLineOf(std::int64_t position) const {
  const QTextBlock target = edit_->document()->findBlock(ToDocumentPosition(position));
  std::int64_t before = 0;
  for (QTextBlock block = edit_->document()->begin(); block.isValid() && block != target;
       block = block.next()) {
    if (block.isVisible() && block.layout() != nullptr) {
      before += block.layout()->lineCount();
    }
  }
  edit_->document()->documentLayout()->documentSize();
  const int offset = ToDocumentPosition(position) - target.position();
  const QTextLine line = target.layout()->lineForTextPosition(offset);
  return before + (line.isValid() ? line.lineNumber() : 0);
}

std::int64_t QtRichTextView::FirstVisibleLine() const {
  const qreal top = edit_->verticalScrollBar()->value();
  std::int64_t last = 0;
  const std::int64_t stopped_at = ForEachDisplayLine([&](std::int64_t index, qreal, qreal bottom) {
    last = index;
    return bottom <= top;
  });
  return std::min(stopped_at, last);
}

void QtRichTextView::ScrollLines(std::int64_t lines) {
  const std::int64_t first = FirstVisibleLine();
  const std::int64_t count = DisplayLineCount();
  const std::int64_t target =
      lines > count - 1 - first ? count - 1 : (lines < -first ? 0 : first + lines);
  if (target <= 0) {
    edit_->verticalScrollBar()->setValue(0);
    return;
  }
  qreal target_top = 0;
  ForEachDisplayLine([&](std::int64_t index, qreal top, qreal) {
    target_top = top;
    return index < target;
  });
  // The scroll bar stops at its maximum: as far as the view can scroll.
  edit_->verticalScrollBar()->setValue(static_cast<int>(std::ceil(target_top)));
}

void QtRichTextView::ScrollCaret() {
  edit_->ensureCursorVisible();
}

void QtRichTextView::SetFocus() {
  edit_->setFocus(Qt::OtherFocusReason);
}

}  // namespace quillon
