#include "app/print_document.h"

#include <QAbstractTextDocumentLayout>
#include <QPainter>
#include <QPrinterInfo>
#include <stdexcept>

namespace quillon {

std::unique_ptr<QPrinter> DefaultPrinter() {
  const QPrinterInfo info = QPrinterInfo::defaultPrinter();
  if (info.isNull()) {
    throw std::runtime_error("There is no default printer currently selected");
  }
  return std::make_unique<QPrinter>(info, QPrinter::HighResolution);
}

int PrintDocument(const QTextDocument& document, QPrinter& printer, const QString& title) {
  printer.setDocName(title);
  printer.setFullPage(true);
  const QRectF page = printer.paperRect(QPrinter::DevicePixel);
  if (page.width() < 1 || page.height() < 1) {
    throw std::runtime_error("The printer has no page to print on");
  }

  // A copy laid out at the printer's resolution, cut into pages of the whole paper size.
  const std::unique_ptr<QTextDocument> copy(document.clone());
  copy->documentLayout()->setPaintDevice(&printer);
  copy->setDocumentMargin(0);
  copy->setPageSize(page.size());
  const int pages = copy->pageCount();

  QPainter painter;
  if (!painter.begin(&printer)) {
    throw std::runtime_error("Unable to print to " + printer.printerName().toStdString());
  }
  for (int i = 0; i < pages; ++i) {
    if (i > 0 && !printer.newPage()) {
      painter.end();
      throw std::runtime_error("Unable to print to " + printer.printerName().toStdString());
    }
    painter.save();
    const QRectF area(0, i * page.height(), page.width(), page.height());
    painter.translate(0, -area.top());
    QAbstractTextDocumentLayout::PaintContext context;
    context.clip = area;
    context.palette.setColor(QPalette::Text, Qt::black);
    copy->documentLayout()->draw(&painter, context);
    painter.restore();
  }
  painter.end();
  return pages;
}

}  // namespace quillon
