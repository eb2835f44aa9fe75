#include "document/document.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <stdexcept>
#include <utility>

#include "document/document_builder.h"
#include "document/rich_text_reader.h"

namespace quillon {

namespace {

constexpr std::string_view kRichTextMagic = "{\\rtf";

Document ParsePlainText(std::string_view in) {
  DocumentBuilder builder(in.size());
  const TextFormat plain;
  std::size_t pos = 0;
  while (pos < in.size()) {
    std::size_t end = pos;
    while (end < in.size() && in[end] != '\r' && in[end] != '\n') {
      ++end;
    }
    // NUL bytes are not text: add the line in the pieces between them.
    std::string_view line = in.substr(pos, end - pos);
    for (std::size_t nul; (nul = line.find('\0')) != std::string_view::npos;) {
      builder.AddBytes(line.substr(0, nul), plain);
      line.remove_prefix(nul + 1);
    }
    builder.AddBytes(line, plain);
    if (end == in.size()) {
      break;
    }
    builder.EndParagraph(Alignment::Left);
    pos = end + 1;
    if (in[end] == '\r' && pos < in.size() && in[pos] == '\n') {
      ++pos;
    }
  }
  return builder.Finish(Alignment::Left);
}

}  // namespace

Document::Iterator::Iterator(const Document* document, std::size_t index, std::size_t begin)
    : document_(document), index_(index), begin_(begin) {
  if (index_ < document_->paragraph_count_) {
    end_ = document_->ParagraphEnd(begin_);
  }
}

Paragraph Document::Iterator::operator*() const {
  return document_->MakeParagraph(index_, begin_, end_);
}

Document::Iterator& Document::Iterator::operator++() {
  *this = Iterator(document_, index_ + 1, end_ + 1);
  return *this;
}

Document::Iterator Document::begin() const {
  return Iterator(this, 0, 0);
}

Document::Iterator Document::end() const {
  return Iterator(this, paragraph_count_, text_.size());
}

std::size_t Document::ParagraphEnd(std::size_t begin) const {
  const std::size_t end = text_.find('\n', begin);
  return end == std::string::npos ? text_.size() : end;
}

Paragraph Document::ParagraphAt(std::size_t index) const {
  std::size_t begin = checkpoints_.at(index / kCheckpointEvery);
  for (std::size_t i = index - index % kCheckpointEvery; i < index; ++i) {
    begin = ParagraphEnd(begin) + 1;
  }
  return MakeParagraph(index, begin, ParagraphEnd(begin));
}

Paragraph Document::MakeParagraph(std::size_t index, std::size_t begin, std::size_t end) const {
  Paragraph paragraph;
  paragraph.text_utf8 = std::string_view(text_).substr(begin, end - begin);
  const auto alignment = std::upper_bound(
      alignments_.begin(), alignments_.end(), index,
      [](std::size_t i, const AlignmentChange& change) { return i < change.paragraph; });
  if (alignment != alignments_.begin()) {
    paragraph.alignment = std::prev(alignment)->alignment;
  }
  if (begin == end) {
    return paragraph;
  }
  // The change in force at the paragraph's start, then every change inside it.
  auto change = std::prev(std::upper_bound(
      formats_.begin(), formats_.end(), begin,
      [](std::size_t offset, const FormatChange& c) { return offset < c.offset; }));
  for (std::size_t from = begin; from < end; ++change) {
    const auto next = std::next(change);
    const std::size_t to = next == formats_.end() ? end : std::min(next->offset, end);
    paragraph.runs.push_back({paragraph.text_utf8.substr(from - begin, to - from), change->format});
    from = to;
  }
  return paragraph;
}

std::string Document::ViewText() const {
  std::string view;
  view.reserve(text_.size() + paragraph_count_);
  const std::string_view text = text_;
  std::size_t begin = 0;
  for (std::size_t i = 0; i < paragraph_count_; ++i) {
    const std::size_t end = ParagraphEnd(begin);
    const std::string_view paragraph = text.substr(begin, end - begin);
    if (i > 0) {
      view += "\r\n";
    }
    if (std::all_of(paragraph.begin(), paragraph.end(),
                    [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
      view += paragraph;  // ASCII is the same in both
    } else {
      view += Utf8ToWindows1252(paragraph);
    }
    begin = end + 1;
  }
  return view;
}

Document ParseDocument(std::string_view bytes) {
  if (bytes.starts_with(kRichTextMagic)) {
    return ReadRichText(bytes);
  }
  return ParsePlainText(bytes);
}

namespace {

struct OpenFile {
  explicit OpenFile(int descriptor) : fd(descriptor) {}
  OpenFile(const OpenFile&) = delete;
  OpenFile& operator=(const OpenFile&) = delete;
  ~OpenFile() {
    if (fd >= 0) {
      ::close(fd);
    }
  }
  int fd;
};

}  // namespace

Document LoadDocument(const std::string& path) {
  const auto fail = [&path](std::string_view why = {}) {
    std::string message = "Cannot open file " + path;
    if (!why.empty()) {
      message += ": ";
      message += why;
    }
    return std::runtime_error(message);
  };
  // Not blocking, so a FIFO without a writer is refused at once rather than waited on.
  const OpenFile file{::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY)};
  const int fd = file.fd;
  if (fd < 0) {
    throw fail();
  }
  struct stat status {};
  if (::fstat(fd, &status) != 0 || S_ISDIR(status.st_mode)) {
    throw fail();
  }
  if (!S_ISREG(status.st_mode)) {
    throw fail(kNotRegularFile);
  }
  if (status.st_size > static_cast<off_t>(kMaxDocumentBytes)) {
    throw fail(kDocumentTooLarge);
  }
  // Room for the whole file at once, so the bytes are held only once. A file that grows while it
  // is read is read up to one byte past the limit, and refused.
  std::string bytes;
  bytes.reserve(static_cast<std::size_t>(status.st_size));
  char buffer[1 << 16];
  while (bytes.size() <= kMaxDocumentBytes) {
    const std::size_t want = std::min(sizeof buffer, kMaxDocumentBytes + 1 - bytes.size());
    const ssize_t n = ::read(fd, buffer, want);
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n < 0) {
      throw fail();
    }
    if (n == 0) {
      break;
    }
    bytes.append(buffer, static_cast<std::size_t>(n));
  }
  if (bytes.size() > kMaxDocumentBytes) {
    throw fail(kDocumentTooLarge);
  }
  return ParseDocument(bytes);
}

}  // namespace quillon
