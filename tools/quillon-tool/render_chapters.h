// Making a rendering's chapters: the file voice that writes each chapter's audio (and its
// subtitles) as the reading loop speaks, keeping what a book needs of every sentence and word, and
// the run of the reading loop over some of the planned files that one process does. A process's
// outcome travels to its parent as one line of JSON.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "speech/audio_file.h"
#include "tools/quillon-tool/render_plan.h"
#include "tools/quillon-tool/render_sentences.h"

namespace quillon::tool {

// What one process is asked to render: the files [first, end) of the plan.
struct RenderJob {
  const std::string& view_text;
  const RenderPlan& plan;
  std::filesystem::path dir;  // for the files
  AudioFormat format;
  bool subtitles = true;
  bool keep = false;   // what a book needs of each sentence
  double speed = 1.0;  // the reading speed
};

// How a process's part of the rendering went.
struct RangeOutcome {
  int exit_code = 0;      // 0, 1, or 128 + a stop signal
  std::string message;    // why it ended early
  std::size_t files = 0;  // complete, and their audio
  std::uint64_t frames = 0;
  std::vector<std::string> removed;       // begun and removed, not complete
  std::vector<RenderedChapter> chapters;  // for a book
  int rate = 0;
};

// Renders files [first, end) of the plan in this process, from its first sentence to the line
// where file `end` starts. on_complete is told of each file complete (on a writer's thread), with
// its samples; on_line of each line reached. Failures and stop signals end up in the outcome; the
// files not complete are removed then.
RangeOutcome RenderRange(const RenderJob& job, std::size_t first, std::size_t end,
                         const std::function<void(const std::string&, std::uint64_t)>& on_complete,
                         const std::function<void(std::int64_t position)>& on_line);

nlohmann::json OutcomeToJson(const RangeOutcome& outcome);
RangeOutcome OutcomeFromJson(const nlohmann::json& json);

}  // namespace quillon::tool
