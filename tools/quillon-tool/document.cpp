#include "tools/quillon-tool/document.h"

#include <exception>
#include <stdexcept>

#include "document/document.h"

namespace quillon::tool {

std::string LoadDocumentText(const std::string& path) {
  try {
    return LoadDocument(path).ViewText();
  } catch (const std::runtime_error& e) {
    // As the window shows a message: with a period when its last character sorts after ".".
    std::string message = e.what();
    if (!message.empty() && static_cast<unsigned char>(message.back()) > '.') {
      message += '.';
    }
    throw std::runtime_error(message);
  }
}

std::optional<std::string> LoadDocumentTextOrSay(const std::string& path, std::ostream& err) {
  try {
    return LoadDocumentText(path);
  } catch (const std::exception& e) {
    err << e.what() << '\n';
    return std::nullopt;
  }
}

}  // namespace quillon::tool
