#include "tools/quillon-tool/render_plan.h"

#include <algorithm>
#include <optional>

#include "reading/memory_view.h"
#include "reading/reading_loop.h"
#include "speech/speech_voice.h"

namespace quillon::tool {
namespace {

// Speaks nothing; notes the file that each chapter's first sentence would open.
class PlanningVoice final : public SpeechVoice {
 public:
  explicit PlanningVoice(RenderPlan& plan) : plan_(plan) {}
  void NextFile(PlannedFile file) { next_ = std::move(file); }
  void Speak(std::u16string_view /*text*/, unsigned /*flags*/) override {
    if (next_) {
      next_->index = plan_.files.size() + 1;
      plan_.files.push_back(std::move(*next_));
      next_.reset();
    }
  }

 private:
  RenderPlan& plan_;
  std::optional<PlannedFile> next_;
};

std::string ChapterLabel(std::int32_t chapter) {
  return "chapter-" + (chapter < 10 && chapter >= 0 ? std::string("0") : std::string()) +
         std::to_string(chapter);
}

}  // namespace

bool HoldsChapterHeading(std::string_view line) {
  for (std::size_t at = line.find("CHAPTER "); at != std::string_view::npos;
       at = line.find("CHAPTER ", at + 1)) {
    if (at + 8 < line.size() && line[at + 8] >= '1' && line[at + 8] <= '9') {
      return true;
    }
  }
  return false;
}

RenderPlan PlanRender(const std::string& view_text, std::int64_t start) {
  RenderPlan plan;
  MemoryView view(view_text);
  view.SetSelection(start, 0);
  plan.text_length = view.TextLength();
  PlanningVoice voice(plan);
  ReaderState state;
  voice.NextFile({0, "opening", view.SelectionStart(), state});
  ReadingOptions reading;
  reading.stop_at_end_of_text = true;
  reading.on_line = [&](std::string_view line) {
    const std::int64_t line_start = view.SelectionStart();
    if (line.find("~~~") != std::string_view::npos) {
      plan.text_end = line_start;
    }
    if (HoldsChapterHeading(line)) {
      // The fetch has set the chapter from this line, as it will again for a reading starting
      // here; the voice and the flag are as they were before it.
      voice.NextFile({0, ChapterLabel(state.CurrentChapter), line_start, state});
    }
  };
  RunReadingLoop(view, voice, state, {}, reading);
  return plan;
}

}  // namespace quillon::tool
