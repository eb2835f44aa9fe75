#include "app/button_icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPolygon>

namespace quillon {
namespace {

// Colours of the classic 16-colour palette.
const QColor kBlack(0, 0, 0);
const QColor kMaroon(128, 0, 0);
const QColor kGreen(0, 128, 0);
const QColor kNavy(0, 0, 128);
const QColor kGray(128, 128, 128);
const QColor kSilver(192, 192, 192);
const QColor kRed(255, 0, 0);
const QColor kLime(0, 255, 0);
const QColor kYellow(255, 255, 0);
const QColor kBlue(0, 0, 255);
const QColor kWhite(255, 255, 255);

void Draw(QPainter& p, ButtonImage image) {
  p.setPen(kBlack);
  switch (image) {
    case ButtonImage::Read: {  // a green "play" triangle
      p.setBrush(kLime);
      p.drawPolygon(QPolygon({QPoint(3, 1), QPoint(13, 7), QPoint(13, 8), QPoint(3, 14)}));
      p.setPen(kGreen);
      p.drawLine(4, 4, 4, 11);
      break;
    }
    case ButtonImage::Stop:  // a red square
      p.setBrush(kRed);
      p.drawRect(2, 2, 11, 11);
      p.setPen(kMaroon);
      p.drawLine(3, 12, 12, 12);
      break;
    case ButtonImage::SetBookmark:  // a blue ribbon with a plus
      p.setBrush(kBlue);
      p.drawPolygon(
          QPolygon({QPoint(3, 1), QPoint(10, 1), QPoint(10, 14), QPoint(6, 10), QPoint(3, 14)}));
      p.setPen(kYellow);
      p.drawLine(12, 2, 12, 8);
      p.drawLine(9, 5, 15, 5);
      break;
    case ButtonImage::GoToBookmark:  // a ribbon and an arrow pointing at it
      p.setBrush(kBlue);
      p.drawPolygon(
          QPolygon({QPoint(9, 1), QPoint(14, 1), QPoint(14, 14), QPoint(11, 11), QPoint(9, 14)}));
      p.setPen(QPen(kNavy, 2));
      p.drawLine(1, 7, 6, 7);
      p.drawLine(4, 4, 7, 7);
      p.drawLine(4, 10, 7, 7);
      break;
    case ButtonImage::Print:  // a printer with a sheet of paper
      p.setBrush(kWhite);
      p.drawRect(4, 1, 7, 5);
      p.setBrush(kSilver);
      p.drawRect(1, 6, 13, 6);
      p.setBrush(kWhite);
      p.drawRect(4, 10, 7, 4);
      p.setPen(kGreen);
      p.drawPoint(12, 8);
      p.setPen(kGray);
      p.drawLine(5, 12, 9, 12);
      break;
    case ButtonImage::IncreaseFont: {  // a large "A" with a plus
      QFont font("serif");
      font.setPixelSize(14);
      font.setBold(true);
      p.setFont(font);
      p.setPen(kNavy);
      p.drawText(QRect(0, 1, 11, 15), Qt::AlignCenter, QStringLiteral("A"));
      p.setPen(QPen(kRed, 2));
      p.drawLine(13, 2, 13, 8);
      p.drawLine(10, 5, 16, 5);
      break;
    }
  }
}

}  // namespace

QIcon ButtonIcon(ButtonImage image) {
  QPixmap pixmap(16, 16);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  Draw(painter, image);
  painter.end();
  return QIcon(pixmap);
}

}  // namespace quillon
