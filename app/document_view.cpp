#include "app/document_view.h"

#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>
#include <cmath>
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

// A line is at most this many times as tall as the font's size (most fonts: 1.15 to 1.2).
constexpr double kLineHeightPerEm = 1.25;
// How many ems a character outside the first 2048 code points is counted as.
constexpr double kWideEms = 4;
// What the scroll bar, the frame and the document's margins take of the view's width.
constexpr int kWidthTakenPx = 40;

}  // namespace

std::size_t ParagraphsTheViewCanHold(const Document& document, const ViewMeasure& measure) {
  const double text_width = std::max(measure.text_width_px, 1.0);
  double height = 0;
  std::size_t count = 0;
  for (const Paragraph& paragraph : document) {
    // The paragraph's width in ems: a character of the first 2048 code points (Latin, Greek,
    // Cyrillic ...) as wide as the font's size, any other (symbols, ligatures, scripts that draw
    // wider) four times as wide. A UTF-8 character's first byte says which.
    double ems = 0;
    for (const char c : paragraph.text_utf8) {
      const auto byte = static_cast<unsigned char>(c);
      ems += byte < 0x80 || (byte >= 0xC0 && byte < 0xE0) ? 1 : byte >= 0xE0 ? kWideEms : 0;
    }
    double points = measure.largest_points;
    for (const TextRun& run : paragraph.runs) {
      points = std::max(points, run.format.font_half_points / 2.0);
    }
    const double em = points * measure.pixels_per_point;
    const double lines = std::max(1.0, std::ceil(ems * em / text_width));
    height += lines * em * kLineHeightPerEm;
    if (height > kMaxViewHeightPx) {
      break;
    }
    ++count;
  }
  return count;
}

ShownPart ShowDocument(QTextEdit& edit, const Document& document, int largest_points) {
  ViewMeasure measure;
  // The scroll bar and the document's margins take some of the width.
  measure.text_width_px = std::max(edit.width() - kWidthTakenPx, kWidthTakenPx);
  measure.pixels_per_point = edit.logicalDpiY() / 72.0;
  measure.largest_points = largest_points;
  const ShownPart part{ParagraphsTheViewCanHold(document, measure), document.ParagraphCount()};

  QTextDocument* text = edit.document();
  const bool undo = text->isUndoRedoEnabled();
  text->setUndoRedoEnabled(false);
  text->clear();
  QTextCursor cursor(text);
  cursor.beginEditBlock();
  std::size_t index = 0;
  for (auto it = document.begin(); index < part.shown; ++it, ++index) {
    const Paragraph paragraph = *it;
    QTextBlockFormat block_format;
    block_format.setAlignment(ToQt(paragraph.alignment));
    if (index == 0) {
      cursor.setBlockFormat(block_format);
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
  return part;
}

std::string PartShownMessage(const ShownPart& part) {
  return "The document is too long to show whole: the view holds its first " +
         std::to_string(part.shown) + " of " + std::to_string(part.total) + " paragraphs.";
}

}  // namespace quillon
