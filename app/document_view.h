// Fills a QTextEdit with a loaded document, formatting included, so that the engine's view text
// over it (QtRichTextView::Text) equals Document::ViewText.
#pragma once

#include <QTextEdit>

#include "document/document.h"

namespace quillon {

void ShowDocument(QTextEdit& edit, const Document& document);

}  // namespace quillon
