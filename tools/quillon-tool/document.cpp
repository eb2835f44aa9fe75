#include "tools/quillon-tool/document.h"

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

}  // namespace quillon::tool
