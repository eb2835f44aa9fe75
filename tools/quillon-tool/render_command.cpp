// quillon-tool render DOCUMENT --out DIR [--format wav|flac|ogg] [--start POS]
//
// An audiobook: the window's reading loop with a file voice, one file per chapter, each with its
// subtitles (WebVTT, one cue per sentence) beside it once it is complete. A new file
// starts at each line that holds a chapter heading; text before the first heading has a file of
// its own. espeak-ng runs on its one synthesis thread; encoding runs beside it on another, so
// both cores work. The samples and their order are those of a plain sequential reading, so the
// files are the same whichever way they are made.
//
// No file under a final name is ever partial: each is written under a temporary name and renamed
// when complete. A failure, SIGINT or SIGTERM removes the files in progress, says which, tells what
// was written, and exits 1, 130 or 143.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <iostream>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "reading/memory_view.h"
#include "reading/reading_loop.h"
#include "speech/audio_file.h"
#include "speech/espeak_input.h"
#include "speech/espeak_synthesizer.h"
#include "speech/markup_parser.h"
#include "speech/webvtt.h"
#include "text/encoding.h"
#include "text/reader_state.h"
#include "tools/quillon-tool/audio_file_thread.h"
#include "tools/quillon-tool/commands.h"
#include "tools/quillon-tool/document.h"
#include "tools/quillon-tool/pending_file.h"
#include "tools/quillon-tool/render_report.h"
#include "tools/quillon-tool/script.h"
#include "tools/quillon-tool/stop_signals.h"

namespace quillon::tool {
namespace {

// Whether a line holds a chapter heading: "CHAPTER", one space, a digit (the line fetch sets the
// chapter number from the same text).
bool HoldsChapterHeading(std::string_view line) {
  for (std::size_t at = line.find("CHAPTER "); at != std::string_view::npos;
       at = line.find("CHAPTER ", at + 1)) {
    if (at + 8 < line.size() && line[at + 8] >= '1' && line[at + 8] <= '9') {
      return true;
    }
  }
  return false;
}

// The file voice of a rendering: each chapter's sentences go to a file of its own, made when its
// first sentence is spoken. Files are encoded by `jobs` writers in turn, each file by one writer
// from start to end, so a file's bytes do not depend on how many there are. A file takes its name
// only when it is complete; Abandon removes those in progress. A stop signal is noticed before
// each sentence and while one is synthesised.
class ChapterFilesVoice final : public SpeechVoice {
 public:
  ChapterFilesVoice(std::filesystem::path dir, AudioFormat format, unsigned jobs)
      : dir_(std::move(dir)), format_(format), rate_(EspeakSynthesizer::Instance().SampleRate()) {
    for (unsigned i = 0; i < std::max(jobs, 1u); ++i) {
      writers_.push_back(std::make_unique<AudioFileThread>(
          [this](const std::string& path, std::uint64_t frames) {
            {
              std::lock_guard lock(report_mutex_);
              completed_.push_back(path);
              completed_frames_ += frames;
            }
            WriteSubtitles(path);
          },
          [this](const std::string& path) {
            std::lock_guard lock(report_mutex_);
            removed_.push_back(path);
          }));
    }
  }

  // The next sentence starts the file of this chapter.
  void StartChapter(std::int32_t chapter) {
    label_ = "chapter-" + (chapter < 10 && chapter >= 0 ? std::string("0") : std::string()) +
             std::to_string(chapter);
    file_open_ = false;
  }

  void Speak(std::u16string_view text, unsigned flags) override {
    StopSignals::ThrowIfStopRequested();
    const std::string markup = MarkupOfSpokenText(text, flags);
    const std::vector<SpeechStep> steps = TranslateSpeechMarkup(markup, Speed());
    if (!file_open_) {
      if (!files_.empty()) {
        HandOverSubtitles();
        Writer().Close();
      }
      char index[16];
      std::snprintf(index, sizeof index, "%02zu-", files_.size() + 1);
      const std::filesystem::path path =
          dir_ / (index + label_ + "." + std::string(AudioFormatExtension(format_)));
      files_.push_back(path.string());
      Writer().Open(path.string(), format_, rate_);
      file_open_ = true;
    }
    AudioFileThread& writer = Writer();
    subtitles_.StartSentence();
    EspeakSynthesizer::Instance().Render(steps, [&](std::span<const std::int16_t> samples) {
      StopSignals::ThrowIfStopRequested();
      writer.Write(samples);
      subtitles_.Add(samples);
      samples_ += samples.size();
    });
    subtitles_.EndSentence(Windows1252ToUtf8(PlainTextOfMarkup(markup)), rate_);
  }

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
  std::string label_ = "opening";
  bool file_open_ = false;
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

struct RenderOptions {
  std::string document;
  std::string out;
  std::string format = "wav";
  std::int64_t start = 0;
  unsigned jobs = std::max(1u, std::thread::hardware_concurrency());
  double speed = 1.0;
};

// Whether a file name is one render makes: "NN-opening" or "NN-chapter-NN" (two digits or more,
// a chapter number that may be negative) with the extension of a format it writes, or of the
// subtitles beside them.
bool IsChapterFileName(std::string_view name) {
  const auto digits = [&name](std::size_t at) {
    std::size_t end = at;
    while (end < name.size() && name[end] >= '0' && name[end] <= '9') {
      ++end;
    }
    return end - at;
  };
  const std::size_t index = digits(0);
  if (index < 2 || name.substr(index, 1) != "-") {
    return false;
  }
  std::string_view rest = name.substr(index + 1);
  if (rest.starts_with("opening.")) {
    rest.remove_prefix(7);
  } else if (rest.starts_with("chapter-")) {
    std::size_t at = name.size() - rest.size() + 8;
    if (at < name.size() && name[at] == '-') {
      ++at;
    }
    const std::size_t number = digits(at);
    if (number == 0) {
      return false;
    }
    rest = name.substr(at + number);
  } else {
    return false;
  }
  return rest == ".wav" || rest == ".flac" || rest == ".ogg" || rest == ".vtt";
}

// Removes the chapter files of an earlier rendering from the folder, so that a shorter book or
// another format leaves none behind, and the temporary files of one that was killed. Nothing else
// in the folder is touched.
void RemoveEarlierChapterFiles(const std::filesystem::path& dir) {
  std::vector<std::filesystem::path> earlier;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    const std::string name = entry.path().filename().string();
    const std::optional<std::string> stands_for = FinalNameOfTemporary(name);
    if (entry.is_regular_file() && !entry.is_symlink() &&
        (IsChapterFileName(name) || (stands_for && IsChapterFileName(*stands_for)))) {
      earlier.push_back(entry.path());
    }
  }
  for (const auto& path : earlier) {
    std::error_code error;
    if (!std::filesystem::remove(path, error) && error) {
      throw std::runtime_error("Cannot remove the earlier file " + path.string() + ".");
    }
  }
}

int RunRender(const RenderOptions& options) {
  const std::optional<AudioFormat> format = AudioFormatFromName(options.format);
  if (!format) {
    throw std::runtime_error("Unknown audio format " + options.format + " (wav, flac or ogg).");
  }
  std::optional<std::string> text = LoadDocumentTextOrSay(options.document, std::cerr);
  if (!text) {
    return kExitCannotOpen;
  }
  MemoryView view(std::move(*text));
  view.SetSelection(options.start, 0);
  std::error_code error;
  std::filesystem::create_directories(options.out, error);
  if (!std::filesystem::is_directory(options.out)) {
    throw std::runtime_error("Cannot make the folder " + options.out + ".");
  }
  RemoveEarlierChapterFiles(options.out);

  const StopSignals stop_signals;
  const auto started = std::chrono::steady_clock::now();
  ChapterFilesVoice voice(options.out, *format, options.jobs);
  voice.SetSpeed(options.speed);
  ReaderState state;
  const bool progress = isatty(STDERR_FILENO) == 1;
  const double length = std::max<double>(1.0, static_cast<double>(view.TextLength()));
  auto last_progress = started;
  const auto clear_progress = [progress] {
    if (progress) {
      std::fprintf(stderr, "\r%70s\r", "");
    }
  };
  const auto summary = [&](std::size_t files, double audio) {
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::fprintf(stderr, "%s\n", RenderSummary(files, options.out, audio, wall).c_str());
  };
  // After a failure or a stop: the files not complete are removed, and what is there is told.
  const auto abandon = [&](const std::string& why) {
    voice.Abandon();
    clear_progress();
    std::fprintf(stderr, "%s\n", why.c_str());
    for (const std::string& file : voice.RemovedFiles()) {
      std::fprintf(stderr, "Removed, not complete: %s\n", file.c_str());
    }
    summary(voice.CompletedFiles(), voice.CompletedSeconds());
  };

  ReadingOptions reading;
  reading.stop_at_end_of_text = true;
  reading.on_line = [&](std::string_view line) {
    if (HoldsChapterHeading(line)) {
      voice.StartChapter(state.CurrentChapter);
    }
    const auto now = std::chrono::steady_clock::now();
    if (progress && now - last_progress > std::chrono::milliseconds(100)) {
      last_progress = now;
      const double done = static_cast<double>(view.SelectionStart()) / length;
      const int filled = static_cast<int>(done * 30);
      std::fprintf(stderr, "\r[%s%s] %3d%%  chapter %d  %s of audio ",
                   std::string(filled, '#').c_str(), std::string(30 - filled, ' ').c_str(),
                   static_cast<int>(done * 100), state.CurrentChapter,
                   Clock(voice.AudioSeconds()).c_str());
    }
  };
  try {
    RunReadingLoop(view, voice, state, {}, reading);
    voice.Finish();
    StopSignals::ThrowIfStopRequested();  // a signal while the last files were finished
  } catch (const StopRequested& stop) {
    abandon(std::string(stop.what()) + ".");
    return stop.ExitCode();
  } catch (const std::exception& failure) {
    abandon(failure.what());
    return 1;
  }
  clear_progress();
  summary(voice.Files().size(), voice.AudioSeconds());
  return 0;
}

}  // namespace

void AddRenderCommand(CLI::App& app, int& exit_code) {
  auto options = std::make_shared<RenderOptions>();
  CLI::App* render = app.add_subcommand(
      "render", "Make an audiobook: read the document into audio files, one per chapter");
  AddDocumentArgument(*render, options->document);
  render->add_option("--out", options->out, "Folder for the audio files")->required();
  render->add_option("--format", options->format, "wav, flac or ogg")
      ->check(CLI::IsMember({"wav", "flac", "ogg"}, CLI::ignore_case));
  render->add_option("--start", options->start, "View position of the caret to start at")
      ->check(CLI::NonNegativeNumber);
  render
      ->add_option("--jobs", options->jobs,
                   "Files encoded at the same time (default: one per core)")
      ->check(CLI::Range(1u, 64u));
  render
      ->add_option("--speed", options->speed,
                   "Reading speed, 0.5 to 3 times every profile's own rate (default 1)")
      ->check(CLI::Range(kSlowestSpeed, kFastestSpeed));
  render->callback([options, &exit_code] { exit_code = RunRender(*options); });
}

}  // namespace quillon::tool
