// Prints a text document page after page on the whole page of a printer, as one job.
#pragma once

#include <QPrinter>
#include <QString>
#include <QTextDocument>
#include <memory>

namespace quillon {

// The system's default printer; throws "There is no default printer currently selected" when
// there is none.
std::unique_ptr<QPrinter> DefaultPrinter();

// Lays the document out on the printer's whole page and prints every page in one job with the
// title; returns the number of pages. Throws when the printer cannot start the job.
int PrintDocument(const QTextDocument& document, QPrinter& printer, const QString& title);

}  // namespace quillon
