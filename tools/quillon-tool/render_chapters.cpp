#include "tools/quillon-tool/render_chapters.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <exception>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string_view>

#include "reading/memory_view.h"
#include "reading/reading_loop.h"
#include "speech/espeak_input.h"
#include "speech/espeak_synthesizer.h"
#include "speech/markup_parser.h"
#include "speech/webvtt.h"
#include "text/encoding.h"
#include "text/reader_state.h"
#include "tools/quillon-tool/audio_file_thread.h"
#include "tools/quillon-tool/pending_file.h"
#include "tools/quillon-tool/stop_signals.h"

namespace quillon::tool {
namespace {

// What the chapter files are for.
struct ChapterFilesUse {
  bool subtitles = true;        // a WebVTT file beside each
  bool keep = false;            // keep what is known of each sentence and word, for a book
  std::size_t first_index = 1;  // in the name of the first file
  // Told, on a writer's thread, of each file complete (with its subtitles) and its length.
  std::function<void(const std::string& path, std::uint64_t frames)> on_complete;
};

// The file voice of a rendering: each chapter's sentences go to a file of its own, made when its
// first sentence is spoken. Files are encoded by `jobs` writers in turn (render uses one per
// process), each file by one writer from start to end, so a file's bytes do not depend on how many
// there are. A file takes its name
// only when it is complete; Abandon removes those in progress. A stop signal is noticed before
// each sentence and while one is synthesised.
class ChapterFilesVoice final : public SpeechVoice {
 public:
  ChapterFilesVoice(std::filesystem::path dir, AudioFormat format, unsigned jobs,
                    ChapterFilesUse use)
      : dir_(std::move(dir)),
        format_(format),
        rate_(EspeakSynthesizer::Instance().SampleRate()),
        use_(use) {
    for (unsigned i = 0; i < std::max(jobs, 1u); ++i) {
      writers_.push_back(std::make_unique<AudioFileThread>(
          [this](const std::string& path, std::uint64_t frames) {
            {
              std::lock_guard lock(report_mutex_);
              completed_.push_back(path);
              completed_frames_ += frames;
            }
            if (use_.subtitles) {
              WriteSubtitles(path);
            }
            if (use_.on_complete) {
              use_.on_complete(path, frames);
            }
          },
          [this](const std::string& path) {
            std::lock_guard lock(report_mutex_);
            removed_.push_back(path);
          }));
    }
  }

  // The next sentence starts the file of this chapter, whose text starts at view_start with its
  // heading (as written).
  void StartChapter(std::int32_t chapter, std::string title, std::int64_t view_start) {
    label_ = "chapter-" + (chapter < 10 && chapter >= 0 ? std::string("0") : std::string()) +
             std::to_string(chapter);
    title_ = std::move(title);
    view_start_ = view_start;
    file_open_ = false;
  }

  // The text before the first heading starts at view_start.
  void StartOpening(std::int64_t view_start) {
    label_ = "opening";
    title_ = "Opening";
    view_start_ = view_start;
    file_open_ = false;
  }

  // Where the sentence spoken next stands in the book: the line it was cut from (Windows-1252),
  // where that line starts in the view, and the reading loop's account of the sentence.
  void NextSentence(std::string_view line, std::int64_t line_start,
                    const quillon::SpokenSentence& sentence) {
    next_ = RenderedSentence{};
    next_->line_start = line_start;
    next_->in_line = sentence.in_line;
    next_->text = TextAsWritten(line, sentence.in_line);
    next_to_line_ = sentence.to_line;
  }

  void Speak(std::u16string_view text, unsigned flags) override {
    StopSignals::ThrowIfStopRequested();
    const SpokenMarkup spoken = ReadSpokenText(text, flags);
    const std::vector<SpeechStep> steps = TranslateSpeechMarkup(spoken.markup, Speed());
    if (!file_open_) {
      if (!files_.empty()) {
        HandOverSubtitles();
        Writer().Close();
      }
      char index[16];
      std::snprintf(index, sizeof index, "%02zu-", use_.first_index + files_.size());
      const std::filesystem::path path =
          dir_ / (index + label_ + "." + std::string(AudioFormatExtension(format_)));
      files_.push_back(path.string());
      Writer().Open(path.string(), format_, rate_);
      file_open_ = true;
      chapter_samples_ = 0;
      if (use_.keep) {
        chapters_.push_back({path.string(), title_, view_start_, 0, {}});
      }
    }
    AudioFileThread& writer = Writer();
    // Without the reading loop's account (a caller that gives none), the text as heard.
    RenderedSentence sentence = next_.value_or(
        RenderedSentence{0, {}, Windows1252ToUtf8(PlainTextOfMarkup(spoken.markup)), 0, 0, {}});
    const TextMap to_line = std::move(next_to_line_);
    const bool mapped = next_.has_value();
    next_.reset();
    sentence.first_sample = chapter_samples_;
    std::vector<HeardWord> heard;
    WordSink words;
    if (use_.keep && mapped) {
      words = [&](MarkupSpan source, std::uint64_t sample) {
        heard.push_back(spoken.WordAt(source, sample));
      };
    }
    subtitles_.StartSentence();
    EspeakSynthesizer::Instance().Render(
        steps,
        [&](std::span<const std::int16_t> samples) {
          StopSignals::ThrowIfStopRequested();
          writer.Write(samples);
          subtitles_.Add(samples);
          samples_ += samples.size();
          chapter_samples_ += samples.size();
        },
        words);
    sentence.end_sample = chapter_samples_;
    subtitles_.EndSentence(sentence.text, rate_);
    if (use_.keep) {
      for (const HeardWord& word : heard) {
        if (const std::optional<TextSpan> in_line = to_line.Source({word.start, word.length})) {
          sentence.words.push_back({*in_line, sentence.first_sample + word.sample});
        }
      }
      chapters_.back().frames = chapter_samples_;
      chapters_.back().sentences.push_back(std::move(sentence));
    }
  }

  // The chapters written, for a book: complete once Finish has returned.
  const std::vector<RenderedChapter>& Chapters() const { return chapters_; }

  // Waits for every file to be complete; rethrows the first error.
  void Finish() {
    if (!files_.empty()) {
      HandOverSubtitles();
    }
    for (auto& writer : writers_) {
      writer->Finish();
    }
    std::lock_guard lock(report_mutex_);
    if (subtitles_error_) {
      std::rethrow_exception(subtitles_error_);
    }
  }

  // Stops every writer and removes the files not complete.
  void Abandon() {
    for (auto& writer : writers_) {
      writer->Abandon();
    }
  }

  const std::vector<std::string>& Files() const { return files_; }
  double AudioSeconds() const { return static_cast<double>(samples_) / rate_; }

  // The files that have their final names, and the audio in them.
  std::size_t CompletedFiles() {
    std::lock_guard lock(report_mutex_);
    return completed_.size();
  }
  double CompletedSeconds() {
    std::lock_guard lock(report_mutex_);
    return static_cast<double>(completed_frames_) / rate_;
  }
  // The files begun and removed when they were not complete, in file order.
  std::vector<std::string> RemovedFiles() {
    std::lock_guard lock(report_mutex_);
    std::vector<std::string> removed = removed_;
    std::sort(removed.begin(), removed.end());
    return removed;
  }

 private:
  // The cues of the file being written go with it; its writer writes them once it is complete.
  void HandOverSubtitles() {
    std::lock_guard lock(report_mutex_);
    pending_subtitles_[files_.back()] = subtitles_.Take();
  }
  // On a writer's thread, for a file that has just taken its final name: its subtitles beside it,
  // under a temporary name until whole. A failure is told by Finish.
  void WriteSubtitles(const std::string& audio_path) {
    std::vector<SubtitleCue> cues;
    {
      std::lock_guard lock(report_mutex_);
      cues = std::move(pending_subtitles_[audio_path]);
      pending_subtitles_.erase(audio_path);
    }
    try {
      PendingFile file(std::filesystem::path(audio_path).replace_extension(".vtt"));
      WriteWebVtt(file.TemporaryPath(), cues, file.FinalPath().string());
      file.Commit();
    } catch (...) {
      std::lock_guard lock(report_mutex_);
      if (!subtitles_error_) {
        subtitles_error_ = std::current_exception();
      }
    }
  }

  std::filesystem::path dir_;
  AudioFormat format_;
  int rate_;
  ChapterFilesUse use_;
  std::string label_ = "opening";
  std::string title_ = "Opening";
  std::int64_t view_start_ = 0;
  bool file_open_ = false;
  std::uint64_t chapter_samples_ = 0;
  std::optional<RenderedSentence> next_;
  TextMap next_to_line_;
  std::vector<RenderedChapter> chapters_;
  std::vector<std::string> files_;
  std::uint64_t samples_ = 0;
  std::mutex report_mutex_;  // the writers report here
  std::vector<std::string> completed_;
  std::uint64_t completed_frames_ = 0;
  std::vector<std::string> removed_;
  SubtitleTrack subtitles_;                                            // of the file being written
  std::map<std::string, std::vector<SubtitleCue>> pending_subtitles_;  // by audio file
  std::exception_ptr subtitles_error_;
  std::vector<std::unique_ptr<AudioFileThread>> writers_;

  AudioFileThread& Writer() { return *writers_[(files_.size() - 1) % writers_.size()]; }
};

}  // namespace

RangeOutcome RenderRange(const RenderJob& job, std::size_t first, std::size_t end,
                         const std::function<void(const std::string&, std::uint64_t)>& on_complete,
                         const std::function<void(std::int64_t position)>& on_line) {
  RangeOutcome outcome;
  MemoryView view(job.view_text);
  ReaderState state;
  std::int64_t stop_at = INT64_MAX;
  std::size_t first_index = 1;
  std::int64_t start = 0;
  if (first < job.plan.files.size()) {
    const PlannedFile& file = job.plan.files[first];
    start = file.view_start;
    state = file.state;
    first_index = file.index;
    if (end < job.plan.files.size()) {
      stop_at = job.plan.files[end].view_start;
    }
  }
  view.SetSelection(start, 0);
  std::optional<ChapterFilesVoice> voice;
  try {
    voice.emplace(job.dir, job.format, 1,
                  ChapterFilesUse{.subtitles = job.subtitles,
                                  .keep = job.keep,
                                  .first_index = first_index,
                                  .on_complete = on_complete});
    voice->SetSpeed(job.speed);
    outcome.rate = EspeakSynthesizer::Instance().SampleRate();
    ReadingOptions reading;
    reading.stop_at_end_of_text = true;
    std::string line_text;  // the line last fetched, and where it starts
    std::int64_t line_start = 0;
    reading.on_line = [&](std::string_view line) {
      line_start = view.SelectionStart();
      if (line_start >= stop_at) {
        state.StopRequested = true;  // the next process's part: nothing of it is spoken here
        return;
      }
      line_text = line;
      if (HoldsChapterHeading(line)) {
        voice->StartChapter(state.CurrentChapter, TextAsWritten(line, {0, line.size()}),
                            line_start);
      }
      if (on_line) {
        on_line(line_start);
      }
    };
    reading.on_sentence_spoken = [&](const quillon::SpokenSentence& sentence) {
      voice->NextSentence(line_text, line_start, sentence);
    };
    voice->StartOpening(start);
    RunReadingLoop(view, *voice, state, {}, reading);
    voice->Finish();
    StopSignals::ThrowIfStopRequested();  // a signal while the last files were finished
    outcome.files = voice->Files().size();
    outcome.frames = static_cast<std::uint64_t>(std::llround(voice->AudioSeconds() * outcome.rate));
    outcome.chapters = voice->Chapters();
    return outcome;
  } catch (const StopRequested& stop) {
    outcome.exit_code = stop.ExitCode();
    outcome.message = std::string(stop.what()) + ".";
  } catch (const std::exception& failure) {
    outcome.exit_code = 1;
    outcome.message = failure.what();
  }
  if (voice) {
    voice->Abandon();
    outcome.removed = voice->RemovedFiles();
    outcome.files = voice->CompletedFiles();
    outcome.frames =
        static_cast<std::uint64_t>(std::llround(voice->CompletedSeconds() * outcome.rate));
  }
  return outcome;
}

nlohmann::json OutcomeToJson(const RangeOutcome& outcome) {
  nlohmann::json chapters = nlohmann::json::array();
  for (const RenderedChapter& chapter : outcome.chapters) {
    nlohmann::json sentences = nlohmann::json::array();
    for (const RenderedSentence& s : chapter.sentences) {
      nlohmann::json words = nlohmann::json::array();
      for (const RenderedWord& w : s.words) {
        words.push_back({w.in_line.start, w.in_line.length, w.sample});
      }
      sentences.push_back({s.line_start, s.in_line.start, s.in_line.length, s.text, s.first_sample,
                           s.end_sample, words});
    }
    chapters.push_back({{"audio", chapter.audio_path},
                        {"title", chapter.title},
                        {"start", chapter.view_start},
                        {"frames", chapter.frames},
                        {"sentences", sentences}});
  }
  return {{"exit", outcome.exit_code}, {"message", outcome.message}, {"files", outcome.files},
          {"frames", outcome.frames},  {"removed", outcome.removed}, {"rate", outcome.rate},
          {"chapters", chapters}};
}

RangeOutcome OutcomeFromJson(const nlohmann::json& json) {
  RangeOutcome outcome;
  outcome.exit_code = json.at("exit");
  outcome.message = json.at("message");
  outcome.files = json.at("files");
  outcome.frames = json.at("frames");
  outcome.removed = json.at("removed").get<std::vector<std::string>>();
  outcome.rate = json.at("rate");
  for (const nlohmann::json& c : json.at("chapters")) {
    RenderedChapter chapter{c.at("audio"), c.at("title"), c.at("start"), c.at("frames"), {}};
    for (const nlohmann::json& s : c.at("sentences")) {
      RenderedSentence sentence{s[0], {s[1], s[2]}, s[3], s[4], s[5], {}};
      for (const nlohmann::json& w : s[6]) {
        sentence.words.push_back({{w[0], w[1]}, w[2]});
      }
      chapter.sentences.push_back(std::move(sentence));
    }
    outcome.chapters.push_back(std::move(chapter));
  }
  return outcome;
}

}  // namespace quillon::tool
