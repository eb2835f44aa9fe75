// Collects a document's text as it is read: UTF-8 text and Windows-1252 bytes in their formats,
// paragraph breaks with their alignments. Bytes are buffered and converted in bulk.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>

#include "document/code_page.h"
#include "document/document.h"
#include "text/encoding.h"

namespace quillon {

class DocumentBuilder {
 public:
  // expected_bytes: how much text to make room for at once (room not written costs no memory).
  explicit DocumentBuilder(std::size_t expected_bytes) {
    document_.text_.reserve(expected_bytes);
    document_.checkpoints_.push_back(0);
  }

  // Bytes in a code page (see code_page.h).
  void AddByte(char byte, const TextFormat& format, int code_page = kWindows1252) {
    if (byte == '\0') {
      return;
    }
    StartText(format);
    UseCodePage(code_page);
    pending_ += byte;
  }

  void AddBytes(std::string_view bytes, const TextFormat& format, int code_page = kWindows1252) {
    if (bytes.empty()) {
      return;
    }
    StartText(format);
    UseCodePage(code_page);
    pending_.append(bytes);
  }

  void AddCodePoint(char32_t c, const TextFormat& format) {
    if (c == 0) {
      return;
    }
    StartText(format);
    FlushPending();
    AppendUtf8(document_.text_, c);
  }

  void EndParagraph(Alignment alignment) {
    CountParagraph(alignment);
    document_.text_ += '\n';
    if (document_.paragraph_count_ % Document::kCheckpointEvery == 0) {
      document_.checkpoints_.push_back(document_.text_.size());
    }
  }

  // The text after the last paragraph break is the last paragraph, kept even when empty: a file
  // that ends with a break ends with an empty paragraph, so the view text keeps that final line
  // end, as a rich-text view keeps the last paragraph mark. An empty file has no paragraphs.
  Document Finish(Alignment alignment) {
    FlushPending();
    if (document_.text_.size() > paragraph_start_ || document_.paragraph_count_ > 0) {
      CountParagraph(alignment);
    } else {
      document_.checkpoints_.clear();
    }
    return std::move(document_);
  }

 private:
  // Text in this format follows at once, so a change recorded here never stands alone.
  void StartText(const TextFormat& format) {
    auto& formats = document_.formats_;
    if (formats.empty() || !(formats.back().format == format)) {
      FlushPending();
      formats.push_back({document_.text_.size(), format});
    }
  }

  void FlushPending() {
    if (!pending_.empty()) {
      document_.text_ += pending_code_page_ == kWindows1252
                             ? Windows1252ToUtf8(pending_)
                             : CodePageToUtf8(pending_, pending_code_page_);
      pending_.clear();
    }
  }

  // Bytes of one code page are converted together (a double-byte character may come as two
  // escapes).
  void UseCodePage(int code_page) {
    if (code_page != pending_code_page_) {
      FlushPending();
      pending_code_page_ = code_page;
    }
  }

  // The paragraph being built ends here, in this alignment.
  void CountParagraph(Alignment alignment) {
    FlushPending();
    auto& alignments = document_.alignments_;
    if (alignments.empty() || alignments.back().alignment != alignment) {
      alignments.push_back({document_.paragraph_count_, alignment});
    }
    ++document_.paragraph_count_;
    paragraph_start_ = document_.text_.size() + 1;
  }

  Document document_;
  std::size_t paragraph_start_ = 0;  // where the paragraph being built begins in the text
  std::string pending_;              // bytes not yet converted, in pending_code_page_
  int pending_code_page_ = kWindows1252;
};

}  // namespace quillon
