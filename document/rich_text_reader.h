// The rich-text reader: the subset of rich text word processors write, read in one pass with an
// explicit group stack, into a Document (see document.h for what it keeps and drops).
#pragma once

#include <string_view>

#include "document/document.h"

namespace quillon {

// Reads a file that begins with "{\\rtf". Never throws on bad input.
Document ReadRichText(std::string_view bytes);

}  // namespace quillon
