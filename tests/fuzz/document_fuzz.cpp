// Any bytes load as a document without a crash, and the view text agrees with the paragraphs.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "document/document.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const quillon::Document document = quillon::ParseDocument(bytes);
  std::size_t text_bytes = 0;
  for (const quillon::Paragraph& paragraph : document) {
    for (const quillon::TextRun& run : paragraph.runs) {
      // Runs are never empty and never hold a line break.
      if (run.text_utf8.empty() || run.text_utf8.find_first_of("\r\n") != std::string::npos) {
        std::abort();
      }
      text_bytes += run.text_utf8.size();
    }
  }
  // A character is one byte in the view and at least one in UTF-8; each break adds CR LF.
  const std::string view = document.ViewText();
  const std::size_t breaks = document.Empty() ? 0 : document.ParagraphCount() - 1;
  if (view.size() > text_bytes + 2 * breaks) {
    std::abort();
  }
  return 0;
}
