// The read-along book: an EPUB 3 with media overlays, made from a rendering's chapters.
//
// One XHTML content document per chapter holds the book's own text and formatting (headings,
// centred lines, italics, bold, underline) with every spoken sentence an element with an id, and
// with words each word heard inside it. A SMIL overlay per chapter ties each sentence (or word) to
// its clip of the chapter's MP3. The package names the title, the author, the language, an
// identifier made from the book, the time of making, the length of each overlay and of the whole,
// and the classes a reading system sets on what is being read, which the stylesheet shows.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "document/document.h"
#include "tools/quillon-tool/render_sentences.h"

namespace quillon::tool {

struct BookInfo {
  std::string title;            // UTF-8
  std::string author;           // UTF-8
  std::string language = "en";  // BCP 47
  std::string modified;         // "CCYY-MM-DDThh:mm:ssZ"
};

struct EpubOptions {
  bool words = false;          // a clip per word, inside each sentence
  int sample_rate = 22050;     // of the chapters' audio
  std::int64_t view_end = -1;  // where the book's text ends in the view; -1: its end
};

// SMIL clock value of a count of samples: "H:MM:SS.mmm", rounded to the millisecond.
std::string SmilClock(std::uint64_t samples, int sample_rate);

// Writes the book to path (a file that may exist; it is replaced). chapters are in reading order,
// each with its MP3 complete. check is called between the pieces and may throw to stop. Throws
// std::runtime_error("Cannot write the file SHOWN_NAME: reason") when the book cannot be written.
void WriteEpub(const std::string& path, const std::string& shown_name, const Document& document,
               const std::vector<RenderedChapter>& chapters, const BookInfo& info,
               const EpubOptions& options, const std::function<void()>& check = {});

}  // namespace quillon::tool
