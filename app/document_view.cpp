#include "app/document_view.h"

#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <string_view>

namespace quillon {
namespace {

Qt::Alignment ToQt(Alignment alignment) {
  switch (alignment) {
    case Alignment::Center:
      return Qt::AlignHCenter;
    case Alignment::Right:
      return Qt::AlignRight;
    case Alignment::Justify:
      return Qt::AlignJustify;
    case Alignment::Left:
      break;
  }
  return Qt::AlignLeft;
}

QTextCharFormat ToQt(const TextFormat& format) {
  QTextCharFormat result;
  result.setFontWeight(format.bold ? QFont::Bold : QFont::Normal);
  result.setFontItalic(format.italic);
  result.setFontUnderline(format.underline);
  if (format.font_half_points > 0) {
    result.setFontPointSize(format.font_half_points / 2.0);
  }
  return result;
}

// Characters that QTextDocument would turn into paragraph breaks or frames stay one character.
QString RunText(std::string_view utf8) {
  QString text = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
  for (QChar& c : text) {
    const char16_t u = c.unicode();
    if (u == u'\r' || u == u'\n' || u == 0x2028 || u == 0x2029 || u == 0xFDD0 || u == 0xFDD1) {
      c = QLatin1Char('?');
    }
  }
  return text;
}

}  // namespace

void ShowDocument(QTextEdit& edit, const Document& document) {
  QTextDocument* text = edit.document();
  const bool undo = text->isUndoRedoEnabled();
  text->setUndoRedoEnabled(false);
  text->clear();
  QTextCursor cursor(text);
  cursor.beginEditBlock();
  bool first = true;
  for (const Paragraph& paragraph : document) {
    QTextBlockFormat block_format;
    block_format.setAlignment(ToQt(paragraph.alignment));
    if (first) {
      cursor.setBlockFormat(block_format);
      first = false;
    } else {
      cursor.insertBlock(block_format, QTextCharFormat());
    }
    for (const TextRun& run : paragraph.runs) {
      cursor.insertText(RunText(run.text_utf8), ToQt(run.format));
    }
  }
  cursor.endEditBlock();
  text->setUndoRedoEnabled(undo);
  edit.moveCursor(QTextCursor::Start);
}

}  // namespace quillon
