// The text the window shows for an error: the message, with a period added when its last
// character sorts after ".".
#pragma once

#include <string>
#include <string_view>

namespace quillon {

inline std::string ErrorMessageText(std::string_view message) {
  std::string text(message);
  if (!text.empty() && static_cast<unsigned char>(text.back()) > static_cast<unsigned char>('.')) {
    text += '.';
  }
  return text;
}

}  // namespace quillon
