// What a loaded document costs, counted by the allocator: a small multiple of the file's size,
// whatever the file holds, down to millions of empty lines.
#include <gtest/gtest.h>

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <new>
#include <string>

#include "document/document.h"

namespace {

// Bytes handed out by operator new and not yet given back, for this test program as a whole.
std::atomic<std::ptrdiff_t> g_live_bytes{0};

// Each block carries its size in front, so that delete knows what it gives back.
constexpr std::size_t kHeader = alignof(std::max_align_t);

void* Allocate(std::size_t size) {
  void* block = std::malloc(size + kHeader);
  if (block == nullptr) {
    throw std::bad_alloc();
  }
  *static_cast<std::size_t*>(block) = size;
  g_live_bytes += static_cast<std::ptrdiff_t>(size);
  return static_cast<char*>(block) + kHeader;
}

void Release(void* pointer) {
  if (pointer == nullptr) {
    return;
  }
  void* block = static_cast<char*>(pointer) - kHeader;
  g_live_bytes -= static_cast<std::ptrdiff_t>(*static_cast<std::size_t*>(block));
  std::free(block);
}

}  // namespace

void* operator new(std::size_t size) {
  return Allocate(size);
}
void* operator new[](std::size_t size) {
  return Allocate(size);
}
void operator delete(void* pointer) noexcept {
  Release(pointer);
}
void operator delete[](void* pointer) noexcept {
  Release(pointer);
}
void operator delete(void* pointer, std::size_t) noexcept {
  Release(pointer);
}
void operator delete[](void* pointer, std::size_t) noexcept {
  Release(pointer);
}

namespace quillon {
namespace {

std::string Repeat(const std::string& piece, std::size_t bytes) {
  std::string text;
  text.reserve(bytes + piece.size());
  while (text.size() < bytes) {
    text += piece;
  }
  return text;
}

TEST(DocumentMemory, ASmallMultipleOfTheFileWhateverItHolds) {
  constexpr std::size_t kSize = 4u << 20;
  // The text takes room for the whole file at once; a format or alignment change takes 16 bytes
  // (in a vector that may have grown to twice what it holds).
  const struct {
    const char* name;
    std::string bytes;
    std::size_t paragraphs_at_least;
    double times_the_file;
  } cases[] = {
      {"empty lines (CR LF)", Repeat("\r\n", kSize), kSize / 2, 1.5},
      {"empty lines (LF)", Repeat("\n", kSize), kSize, 1.5},
      {"lines of one letter", Repeat("a\n", kSize), kSize / 2, 1.5},
      {"prose", Repeat("\"Are you sure?\" asked Mary. Quite, he said.\r\n", kSize), kSize / 50,
       1.1},
      {"rich-text paragraphs", "{\\rtf1 " + Repeat("\\par ", kSize) + "}", kSize / 5, 1.5},
      {"a format change per letter", "{\\rtf1 " + Repeat("{\\b a}{\\i b}", kSize) + "}", 1, 6},
      {"an alignment change per line", "{\\rtf1 " + Repeat("\\qc a\\par\\qr b\\par ", kSize) + "}",
       kSize / 10, 4},
  };
  for (const auto& c : cases) {
    const std::ptrdiff_t before = g_live_bytes;
    const Document document = ParseDocument(c.bytes);
    const std::ptrdiff_t held = g_live_bytes - before;
    EXPECT_GE(document.ParagraphCount(), c.paragraphs_at_least) << c.name;
    EXPECT_LE(static_cast<double>(held), c.times_the_file * static_cast<double>(c.bytes.size()))
        << c.name;
  }
}

}  // namespace
}  // namespace quillon
