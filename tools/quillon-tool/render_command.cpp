// quillon-tool render DOCUMENT --out DIR [--format wav|flac|ogg] [--start POS]
//
// An audiobook: the window's reading loop with a file voice, one file per chapter. A new file
// starts at each line that holds a chapter heading; text before the first heading has a file of
// its own. espeak-ng runs on its one synthesis thread; encoding runs beside it on another, so
// both cores work. The samples and their order are those of a plain sequential reading, so the
// files are the same whichever way they are made.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <exception>
#include <filesystem>
#include <iostream>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "reading/memory_view.h"
#include "reading/reader_state.h"
#include "reading/reading_loop.h"
#include "speech/audio_file.h"
#include "speech/espeak_input.h"
#include "speech/espeak_synthesizer.h"
#include "tools/quillon-tool/commands.h"
#include "tools/quillon-tool/document.h"
#include "tools/quillon-tool/script.h"

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

// Writes audio files on a thread of its own: the synthesis thread hands over blocks of samples
// and goes on. Blocks and file changes keep their order.
class FileWriterThread {
 public:
  FileWriterThread() : thread_([this] { Loop(); }) {}
  ~FileWriterThread() {
    try {
      Finish();
    } catch (...) {
    }
  }

  void Open(std::string path, AudioFormat format, int rate) {
    Push(Item{std::move(path), format, rate, {}, false});
  }
  void Write(std::span<const std::int16_t> samples) {
    Push(Item{
        {}, AudioFormat::Wav, 0, std::vector<std::int16_t>(samples.begin(), samples.end()), false});
  }
  void Close() { Push(Item{{}, AudioFormat::Wav, 0, {}, true}); }

  // Waits for everything handed over; rethrows the writer's first error.
  void Finish() {
    {
      std::unique_lock lock(mutex_);
      if (!stopping_) {
        stopping_ = true;
        changed_.notify_all();
      }
    }
    if (thread_.joinable()) {
      thread_.join();
    }
    if (error_) {
      std::rethrow_exception(std::exchange(error_, nullptr));
    }
  }

 private:
  struct Item {
    std::string path;  // open this file
    AudioFormat format;
    int rate;
    std::vector<std::int16_t> samples;  // write these
    bool close;                         // close the file
  };

  void Push(Item item) {
    std::unique_lock lock(mutex_);
    if (failed_) {
      std::rethrow_exception(error_);
    }
    // A bounded queue: synthesis runs at most kQueuedSamples ahead of this file's encoding.
    changed_.wait(lock, [this] { return queued_ < kQueuedSamples || failed_; });
    if (failed_) {
      std::rethrow_exception(error_);
    }
    queued_ += item.samples.size();
    items_.push_back(std::move(item));
    changed_.notify_all();
  }

  void Loop() {
    std::unique_ptr<AudioFileWriter> file;
    for (;;) {
      Item item;
      {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return stopping_ || !items_.empty(); });
        if (items_.empty()) {
          break;
        }
        item = std::move(items_.front());
        items_.pop_front();
        queued_ -= item.samples.size();
        changed_.notify_all();
      }
      try {
        if (!item.path.empty()) {
          file = std::make_unique<AudioFileWriter>(item.path, item.format, item.rate);
        } else if (item.close) {
          if (file) {
            file->Close();
            file.reset();
          }
        } else if (file) {
          file->Write(item.samples);
        }
      } catch (...) {
        std::unique_lock lock(mutex_);
        error_ = std::current_exception();
        failed_ = true;
        items_.clear();
        queued_ = 0;
        changed_.notify_all();
        return;
      }
    }
    if (file) {
      try {
        file->Close();
      } catch (...) {
        error_ = std::current_exception();
      }
    }
  }

  std::mutex mutex_;
  std::condition_variable changed_;
  // About 25 minutes of audio at 22,050 Hz (32 MB) per writer.
  static constexpr std::size_t kQueuedSamples = 16u << 20;
  std::deque<Item> items_;
  std::size_t queued_ = 0;
  bool stopping_ = false;
  bool failed_ = false;
  std::exception_ptr error_;
  std::thread thread_;
};

// The file voice of a rendering: each chapter's sentences go to a file of its own, made when its
// first sentence is spoken. Files are encoded by `jobs` writers in turn, each file by one writer
// from start to end, so a file's bytes do not depend on how many there are.
class ChapterFilesVoice final : public SpeechVoice {
 public:
  ChapterFilesVoice(std::filesystem::path dir, AudioFormat format, unsigned jobs)
      : dir_(std::move(dir)), format_(format), rate_(EspeakSynthesizer::Instance().SampleRate()) {
    for (unsigned i = 0; i < std::max(jobs, 1u); ++i) {
      writers_.push_back(std::make_unique<FileWriterThread>());
    }
  }

  // The next sentence starts the file of this chapter.
  void StartChapter(std::int32_t chapter) {
    label_ = "chapter-" + (chapter < 10 && chapter >= 0 ? std::string("0") : std::string()) +
             std::to_string(chapter);
    file_open_ = false;
  }

  void Speak(std::u16string_view text, unsigned flags) override {
    const std::vector<SpeechStep> steps = TranslateSpeechMarkup(MarkupOfSpokenText(text, flags));
    if (!file_open_) {
      if (!files_.empty()) {
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
    FileWriterThread& writer = Writer();
    EspeakSynthesizer::Instance().Render(steps, [&](std::span<const std::int16_t> samples) {
      writer.Write(samples);
      samples_ += samples.size();
    });
  }

  void Finish() {
    for (auto& writer : writers_) {
      writer->Finish();
    }
  }

  const std::vector<std::string>& Files() const { return files_; }
  double AudioSeconds() const { return static_cast<double>(samples_) / rate_; }

 private:
  std::filesystem::path dir_;
  AudioFormat format_;
  int rate_;
  std::string label_ = "opening";
  bool file_open_ = false;
  std::vector<std::string> files_;
  std::uint64_t samples_ = 0;
  std::vector<std::unique_ptr<FileWriterThread>> writers_;

  FileWriterThread& Writer() { return *writers_[(files_.size() - 1) % writers_.size()]; }
};

std::string Clock(double seconds) {
  const auto total = static_cast<long>(seconds + 0.5);
  char text[32];
  std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", total / 3600, total / 60 % 60, total % 60);
  return text;
}

struct RenderOptions {
  std::string document;
  std::string out;
  std::string format = "wav";
  std::int64_t start = 0;
  unsigned jobs = std::max(1u, std::thread::hardware_concurrency());
};

// Whether a file name is one render makes: "NN-opening" or "NN-chapter-NN" (two digits or more,
// a chapter number that may be negative) with the extension of a format it writes.
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
  return rest == ".wav" || rest == ".flac" || rest == ".ogg";
}

// Removes the chapter files of an earlier rendering from the folder, so that a shorter book or
// another format leaves none behind. Nothing else in the folder is touched.
void RemoveEarlierChapterFiles(const std::filesystem::path& dir) {
  std::vector<std::filesystem::path> earlier;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    if (entry.is_regular_file() && !entry.is_symlink() &&
        IsChapterFileName(entry.path().filename().string())) {
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

  const auto started = std::chrono::steady_clock::now();
  ChapterFilesVoice voice(options.out, *format, options.jobs);
  ReaderState state;
  const bool progress = isatty(STDERR_FILENO) == 1;
  const double length = std::max<double>(1.0, static_cast<double>(view.TextLength()));
  auto last_progress = started;

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
  RunReadingLoop(view, voice, state, {}, reading);
  voice.Finish();

  const double wall =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  if (progress) {
    std::fprintf(stderr, "\r%70s\r", "");
  }
  const double audio = voice.AudioSeconds();
  std::fprintf(stderr,
               "%zu files in %s, %s of audio, wall time %.2f s, real-time factor %.5f (%.0f times "
               "faster than real time)\n",
               voice.Files().size(), options.out.c_str(), Clock(audio).c_str(), wall,
               audio > 0 ? wall / audio : 0.0, wall > 0 ? audio / wall : 0.0);
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
  render->callback([options, &exit_code] { exit_code = RunRender(*options); });
}

}  // namespace quillon::tool
