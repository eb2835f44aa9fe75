// The audiobook in one file: the chapters' audio as AAC in an MPEG-4 audiobook (.m4b), a chapter
// mark at the start of each chapter with its heading as title (both the QuickTime chapter track and
// the Nero chapter list, so players on desktops and phones find them), and the book's title and
// author. The container and the encoder are FFmpeg's (libavformat, libavcodec).
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "tools/quillon-tool/render_epub.h"
#include "tools/quillon-tool/render_sentences.h"

namespace quillon::tool {

// Writes the book to path (replaced if it exists) from the chapters' audio files (16-bit mono, any
// format libsndfile reads, all at sample_rate). check is called between blocks and may throw to
// stop. Throws std::runtime_error("Cannot write the file SHOWN_NAME: reason") on a failure.
void WriteM4b(const std::string& path, const std::string& shown_name,
              const std::vector<RenderedChapter>& chapters, const BookInfo& info, int sample_rate,
              const std::function<void()>& check = {});

}  // namespace quillon::tool
