// Loading the novel's document for the subcommands.
#pragma once

#include <string>

namespace quillon::tool {

// The document at path (rich text or plain text) as the view holds it: Windows-1252 text with
// CR LF paragraph breaks. Throws std::runtime_error("Cannot open file PATH.") when it cannot be
// read.
std::string LoadDocumentText(const std::string& path);

}  // namespace quillon::tool
