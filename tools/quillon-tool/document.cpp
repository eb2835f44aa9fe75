#include "tools/quillon-tool/document.h"

#include <cstdio>
#include <memory>
#include <stdexcept>

#include "reading/memory_view.h"

namespace quillon::tool {
namespace {

std::string ReadFileBytes(const std::string& path) {
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"),
                                                             &std::fclose);
  if (!file) {
    throw std::runtime_error("Cannot open file " + path + ".");
  }
  std::string bytes;
  char buffer[1 << 16];
  std::size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) {
    bytes.append(buffer, got);
  }
  // A directory opens but cannot be read.
  if (std::ferror(file.get())) {
    throw std::runtime_error("Cannot open file " + path + ".");
  }
  return bytes;
}

}  // namespace

std::string LoadDocumentText(const std::string& path) {
  // Plain text for now: every line end becomes a paragraph break.
  return PlainTextToViewText(ReadFileBytes(path));
}

}  // namespace quillon::tool
