#include "tools/quillon-tool/explained_reading.h"

#include <string_view>
#include <utility>

#include "reading/memory_view.h"
#include "speech/recording_voice.h"
#include "text/encoding.h"
#include "text/reader_state.h"

namespace quillon::tool {
namespace {

// Keeps what the engine tells about the line and the sentence being read.
class Explainer final : public ReadingObserver {
 public:
  Explainer(ReadLine& line, SpokenSentence& sentence) : line_(line), sentence_(sentence) {}

  void StartLine() { passage_ = {}; }

  void OnLineVoice(const SpeakerDecision& decision) override {
    line_.voiced = true;
    line_.speaker = decision;
  }

  void OnSentenceFramed(std::int32_t voice, std::string_view passage) override {
    // A passage sets the current voice to 1 for the rest of its line.
    if (!passage.empty()) {
      passage_ = passage;
    }
    sentence_.framed_voice = voice;
    sentence_.passage = passage_;
  }

  void OnRuleApplied(const RuleApplication& application) override {
    sentence_.rules.push_back({.row = application.rule.row,
                               .before = std::string(application.before),
                               .after = std::string(application.after),
                               .alternative = application.alternative,
                               .flag = application.flag});
  }

 private:
  ReadLine& line_;
  SpokenSentence& sentence_;
  std::string_view passage_;  // into the engine's table of passages
};

}  // namespace

ReadingResult ReadDocument(std::string view_text, const ReadingStart& start, bool explain,
                           ReadingListener& listener) {
  MemoryView view(std::move(view_text));
  view.SetSelection(start.position, 0);

  ReaderState state;
  state.CurrentChapter = start.chapter;
  state.CurrentVoice = start.voice;
  state.FirstOccurrenceOfHRInK12HasBeenRead = start.flag;

  ReadingResult result;
  ReadLine line;
  SpokenSentence sentence;
  Explainer explainer(line, sentence);
  const auto leave_line = [&] {
    if (!line.text.empty()) {
      line.voice_after = state.CurrentVoice;
      listener.OnLineDone(line);
    }
    line.text.clear();
  };

  ReadingOptions options;
  options.stop_at_end_of_text = true;
  options.observer = explain ? &explainer : nullptr;
  options.on_line = [&](std::string_view fetched) {
    leave_line();
    if (!listener.WantsMoreLines()) {
      RequestStop(state);
      return;
    }
    if (fetched.empty()) {
      return;  // no line feed follows: the end of the text
    }
    ++result.lines;
    line = ReadLine();
    line.number = result.lines;
    line.start = view.SelectionStart();
    line.text = fetched;
    line.chapter = state.CurrentChapter;
    explainer.StartLine();
  };

  RecordingVoice voice([&](std::u16string_view spoken, unsigned) {
    sentence.chapter = state.CurrentChapter;
    sentence.voice = state.CurrentVoice;
    sentence.text = Utf16ToWindows1252(spoken);
    ++line.sentences;
    listener.OnSentence(line, sentence);
    sentence = SpokenSentence{};
  });

  result.end = RunReadingLoop(view, voice, state, {}, options);
  if (result.end == ReadingEnd::EndMarker) {
    result.end_line_start = view.SelectionStart();
  }
  leave_line();
  return result;
}

}  // namespace quillon::tool
