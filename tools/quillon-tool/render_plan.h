// Which files a rendering makes and where each one's reading starts, found by a reading that
// speaks nothing: so each chapter can be made on its own (in a process of its own) exactly as a
// reading from the start would make it, and progress can say "chapter N of M".
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "text/reader_state.h"

namespace quillon::tool {

// Whether a line holds a chapter heading: "CHAPTER", one space, a digit (the line fetch sets the
// chapter number from the same text). Each such line starts a new file.
bool HoldsChapterHeading(std::string_view line);

struct PlannedFile {
  std::size_t index = 0;        // from 1, as in its name
  std::string label;            // "opening" or "chapter-07"
  std::int64_t view_start = 0;  // where a reading that makes it starts: its heading line
  ReaderState state;            // the reader state such a reading starts with
};

inline constexpr std::size_t kWarmUpSentences = 4;

struct RenderPlan {
  std::vector<PlannedFile> files;  // in reading order
  std::int64_t text_end = -1;      // where the end marker's line starts; -1 without one
  std::int64_t text_length = 0;    // of the view
};

// The files a reading of view_text from start makes.
RenderPlan PlanRender(const std::string& view_text, std::int64_t start);

}  // namespace quillon::tool
