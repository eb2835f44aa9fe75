// Loading the novel's document for the subcommands.
#pragma once

#include <optional>
#include <ostream>
#include <string>

namespace quillon::tool {

// The document at path (rich text or plain text) as the view holds it: Windows-1252 text with
// CR LF paragraph breaks. Throws std::runtime_error("Cannot open file PATH.") when it cannot be
// read.
std::string LoadDocumentText(const std::string& path);

// The same, but for a document that cannot be read the message goes to err (a line of its own)
// and the result is empty: the command then exits with kExitCannotOpen.
std::optional<std::string> LoadDocumentTextOrSay(const std::string& path, std::ostream& err);

}  // namespace quillon::tool
