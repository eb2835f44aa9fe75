// Any bytes load as a document without a crash; its paragraphs, runs, text and view text agree.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "document/document.h"

namespace {

void Check(bool holds) {
  if (!holds) {
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const quillon::Document document = quillon::ParseDocument(bytes);
  std::size_t text_bytes = 0;
  std::size_t index = 0;
  std::string joined;
  for (const quillon::Paragraph& paragraph : document) {
    std::string runs;
    for (const quillon::TextRun& run : paragraph.runs) {
      // Runs are never empty and never hold a line break.
      Check(!run.text_utf8.empty() && run.text_utf8.find_first_of("\r\n") == std::string::npos);
      text_bytes += run.text_utf8.size();
      runs += run.text_utf8;
    }
    // The runs make up the paragraph, which is the one its index gives.
    Check(runs == paragraph.text_utf8);
    Check(document.ParagraphAt(index) == paragraph);
    joined += (index > 0 ? "\n" : "") + runs;
    ++index;
  }
  Check(index == document.ParagraphCount() && joined == document.TextUtf8());
  // A character is one byte in the view and at least one in UTF-8; each break adds CR LF.
  const std::string view = document.ViewText();
  const std::size_t breaks = document.Empty() ? 0 : document.ParagraphCount() - 1;
  Check(view.size() <= text_bytes + 2 * breaks);
  return 0;
}
