// quillon-tool render DOCUMENT --out DIR [--format wav|flac|ogg|epub|m4b] [--words] [--start POS]
//
// An audiobook: the window's reading loop with a file voice, one file per chapter, each with its
// subtitles (WebVTT, one cue per sentence, the sentence as the book writes it) beside it once it
// is complete. A new file starts at each line that holds a chapter heading; text before the first
// heading has a file of its own. A reading that speaks nothing first plans the files; then each
// chapter is made in a worker process of its own (espeak-ng is one engine per process), --jobs of
// them side by side, each with synthesis on one thread and encoding on another. Each worker's
// synthesizer has spoken nothing before its chapter, so the files are the same whichever way, and
// however many at a time, they are made.
//
// A book (epub: a read-along EPUB 3; m4b: one audiobook file with chapters) is made from the same
// chapter audio, written first into a hidden working folder beside it, and what the reading loop
// says of where each sentence and word stands in the book.
//
// No file under a final name is ever partial: each is written under a temporary name and renamed
// when complete. A failure, SIGINT or SIGTERM removes the files in progress, says which, tells what
// was written, and exits 1, 130 or 143.
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <cmath>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <exception>
#include <filesystem>
#include <functional>
#include <iostream>
#include <map>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "document/document.h"
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
#include "tools/quillon-tool/render_epub.h"
#include "tools/quillon-tool/render_m4b.h"
#include "tools/quillon-tool/render_plan.h"
#include "tools/quillon-tool/render_report.h"
#include "tools/quillon-tool/render_sentences.h"
#include "tools/quillon-tool/render_workers.h"
#include "tools/quillon-tool/script.h"
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
    const std::vector<SpeechStep> steps = TranslateSpeechMarkup(spoken.markup);
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

struct RenderOptions {
  std::string document;
  std::string out;
  std::string format = "wav";
  bool words = false;
  std::string title;
  std::string author;
  std::int64_t start = 0;
  unsigned jobs = std::max(1u, std::thread::hardware_concurrency());
};

// The books render makes, as against folders of chapter files.
enum class BookKind { None, Epub, M4b };

// A hidden folder beside the book for its chapter audio, removed with all it holds.
class WorkingFolder {
 public:
  explicit WorkingFolder(const std::filesystem::path& beside) {
    std::string pattern =
        (beside.parent_path() / ("." + beside.filename().string() + ".parts.XXXXXX")).string();
    if (mkdtemp(pattern.data()) == nullptr) {
      throw std::runtime_error("Cannot make a working folder beside " + beside.string() + ".");
    }
    path_ = pattern;
  }
  ~WorkingFolder() {
    std::error_code error;
    std::filesystem::remove_all(path_, error);
  }
  WorkingFolder(const WorkingFolder&) = delete;
  WorkingFolder& operator=(const WorkingFolder&) = delete;
  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// The book's title when none is given: its first paragraph with text, unless that is a chapter
// heading; otherwise the document's file name.
std::string DefaultTitle(const Document& document, const std::string& path) {
  for (const Paragraph& paragraph : document) {
    const std::string text =
        TextAsWritten(Utf8ToWindows1252(paragraph.text_utf8), {0, paragraph.text_utf8.size()});
    if (!text.empty()) {
      if (!HoldsChapterHeading(text)) {
        return text;
      }
      break;
    }
  }
  return std::filesystem::path(path).stem().string();
}

// Now as "CCYY-MM-DDThh:mm:ssZ".
std::string UtcNow() {
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&now, &utc);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return text;
}

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

// espeak-ng's sample rate, for the progress line of a parent that does not start it (its workers
// do); the files and the summary use the rate the synthesizer gives.
constexpr int kSampleRate = 22050;

// What one process is asked to render: the files [first, end) of the plan.
struct RenderJob {
  const std::string& view_text;
  const RenderPlan& plan;
  std::filesystem::path dir;  // for the files
  AudioFormat format;
  bool subtitles = true;
  bool keep = false;  // what a book needs of each sentence
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

// Renders files [first, end) of the plan in this process; on_complete is told of each file
// complete (on a writer's thread), on_line of each line reached.
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

// A process's outcome as one line of JSON for its parent, and back.
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

// The progress line on a terminal: the chapter being made, a bar, the audio so far.
class Progress {
 public:
  explicit Progress(bool shown) : shown_(shown) {}
  void Show(std::size_t chapter, std::size_t chapters, double done, double audio_seconds) {
    const auto now = std::chrono::steady_clock::now();
    if (!shown_ || now - last_ < std::chrono::milliseconds(100)) {
      return;
    }
    last_ = now;
    const int filled = static_cast<int>(std::clamp(done, 0.0, 1.0) * 30);
    std::fprintf(stderr, "\rchapter %zu of %zu [%s%s] %3d%%  %s of audio ", chapter, chapters,
                 std::string(filled, '#').c_str(), std::string(30 - filled, ' ').c_str(),
                 static_cast<int>(std::clamp(done, 0.0, 1.0) * 100), Clock(audio_seconds).c_str());
  }
  void Clear() const {
    if (shown_) {
      std::fprintf(stderr, "\r%78s\r", "");
    }
  }

 private:
  bool shown_;
  std::chrono::steady_clock::time_point last_{};
};

int RunRender(const RenderOptions& options) {
  const BookKind book = options.format == "epub"  ? BookKind::Epub
                        : options.format == "m4b" ? BookKind::M4b
                                                  : BookKind::None;
  // A book's chapters are written first as MP3 (what the EPUB holds) or WAV (what the audiobook
  // is encoded from).
  const std::optional<AudioFormat> format = book == BookKind::Epub ? AudioFormat::Mp3
                                            : book == BookKind::M4b
                                                ? AudioFormat::Wav
                                                : AudioFormatFromName(options.format);
  if (!format) {
    throw std::runtime_error("Unknown format " + options.format +
                             " (wav, flac, ogg, epub or m4b).");
  }
  std::optional<std::string> text = LoadDocumentTextOrSay(options.document, std::cerr);
  if (!text) {
    return kExitCannotOpen;
  }
  std::error_code error;
  std::filesystem::create_directories(options.out, error);
  if (!std::filesystem::is_directory(options.out)) {
    throw std::runtime_error("Cannot make the folder " + options.out + ".");
  }
  const std::filesystem::path book_path =
      std::filesystem::path(options.out) /
      (std::filesystem::path(options.document).stem().string() + "." + options.format);
  std::optional<Document> document;
  std::optional<WorkingFolder> working;
  if (book == BookKind::None) {
    RemoveEarlierChapterFiles(options.out);
  } else {
    document = LoadDocument(options.document);
    working.emplace(book_path);
  }

  const StopSignals stop_signals;
  const auto started = std::chrono::steady_clock::now();
  const RenderPlan plan = PlanRender(*text, options.start);
  const RenderJob job{*text,
                      plan,
                      working ? working->Path() : std::filesystem::path(options.out),
                      *format,
                      !working.has_value(),
                      working.has_value()};
  Progress progress(isatty(STDERR_FILENO) == 1);
  const std::size_t total = plan.files.size();
  const double length = static_cast<double>(std::max<std::int64_t>(
      1, (plan.text_end >= 0 ? plan.text_end : plan.text_length) - options.start));

  // Each chapter is made in a process of its own, from a synthesizer that has spoken nothing
  // before (espeak-ng carries a little of everything it has spoken into what it speaks next), so a
  // chapter's samples are the same whether it is made alone, after the others or beside them.
  // Up to --jobs of them run side by side; their lines say what they do.
  std::vector<RangeOutcome> outcomes(total);
  std::vector<std::int64_t> reached(total, -1);
  std::size_t complete = 0;
  std::uint64_t frames = 0;
  std::vector<bool> told(total, false);
  WorkerProcesses workers(total, options.jobs, [&](std::size_t k, WorkerPipe& pipe) {
    auto last = std::chrono::steady_clock::now();
    const RangeOutcome outcome = RenderRange(
        job, k, k + 1,
        [&](const std::string&, std::uint64_t file_frames) {
          pipe.Send("file " + std::to_string(file_frames));
        },
        [&](std::int64_t position) {
          const auto now = std::chrono::steady_clock::now();
          if (now - last > std::chrono::milliseconds(100)) {
            last = now;
            pipe.Send("at " + std::to_string(position));
          }
        });
    pipe.Send("outcome " + OutcomeToJson(outcome).dump());
  });
  int forwarded = 0;
  bool stopping = false;
  const std::vector<bool> ended_well = workers.Run(
      [&](std::size_t k, std::string_view line) {
        if (line.starts_with("file ")) {
          ++complete;
          frames += std::stoull(std::string(line.substr(5)));
        } else if (line.starts_with("at ")) {
          reached[k] = std::stoll(std::string(line.substr(3)));
        } else if (line.starts_with("outcome ")) {
          outcomes[k] = OutcomeFromJson(nlohmann::json::parse(line.substr(8)));
          told[k] = true;
          reached[k] = k + 1 < total ? plan.files[k + 1].view_start : plan.files[k].view_start;
          if (outcomes[k].exit_code != 0 && !stopping) {
            // One chapter failed: no more are begun; those being made are finished (a full disk
            // stops them by itself).
            stopping = true;
            workers.StopStarting();
          }
        }
      },
      [&] {
        if (const int signal = StopSignals::Received(); signal != 0 && forwarded == 0) {
          forwarded = signal;
          stopping = true;
          workers.Signal(signal);
        }
        double done = 0;
        for (std::size_t k = 0; k < total; ++k) {
          if (told[k] && k + 1 < total) {
            done += static_cast<double>(plan.files[k + 1].view_start - plan.files[k].view_start);
          } else if (reached[k] >= 0) {
            done += static_cast<double>(reached[k] - plan.files[k].view_start);
          }
        }
        progress.Show(std::min(complete + 1, total), total, done / length,
                      static_cast<double>(frames) / kSampleRate);
      });
  for (std::size_t k = 0; k < total; ++k) {
    if (!told[k] && !ended_well[k] && !stopping) {
      outcomes[k].exit_code = 1;
      outcomes[k].message = "A rendering process ended before its work was done.";
    }
  }
  // A stop the parent received is the reason, whatever its workers said.
  if (forwarded != 0) {
    for (RangeOutcome& outcome : outcomes) {
      if (outcome.exit_code != 0) {
        outcome.exit_code = 128 + forwarded;
        outcome.message = "Interrupted by " + SignalName(forwarded) + ".";
      }
    }
    if (std::none_of(outcomes.begin(), outcomes.end(),
                     [](const RangeOutcome& o) { return o.exit_code != 0; })) {
      // Every chapter was done before the stop took effect: the stop still ends the rendering.
      outcomes.emplace_back();
      outcomes.back().exit_code = 128 + forwarded;
      outcomes.back().message = "Interrupted by " + SignalName(forwarded) + ".";
    }
  }
  progress.Clear();

  // All together, with the failure that ended the rendering: a part's own failure before the
  // stops it caused in the others.
  RangeOutcome whole;
  whole.rate = kSampleRate;
  for (RangeOutcome& outcome : outcomes) {
    whole.rate = outcome.rate != 0 ? outcome.rate : whole.rate;
    whole.files += outcome.files;
    whole.frames += outcome.frames;
    whole.removed.insert(whole.removed.end(), outcome.removed.begin(), outcome.removed.end());
    for (RenderedChapter& chapter : outcome.chapters) {
      whole.chapters.push_back(std::move(chapter));
    }
    if (outcome.exit_code != 0 &&
        (whole.exit_code == 0 || (outcome.exit_code == 1 && whole.exit_code != 1))) {
      whole.exit_code = outcome.exit_code;
      whole.message = outcome.message;
    }
  }
  std::sort(whole.removed.begin(), whole.removed.end());
  const auto summary = [&](std::size_t files, std::uint64_t frames) {
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::fprintf(
        stderr, "%s\n",
        RenderSummary(files, options.out, static_cast<double>(frames) / whole.rate, wall).c_str());
  };
  // After a failure or a stop: the files not complete are removed, and what is there is told.
  const auto abandon = [&](const std::string& why, bool packing) {
    std::fprintf(stderr, "%s\n", why.c_str());
    if (working) {
      if (packing) {
        std::fprintf(stderr, "Removed, not complete: %s\n", book_path.string().c_str());
      }
      summary(0, 0);
      return;
    }
    for (const std::string& file : whole.removed) {
      std::fprintf(stderr, "Removed, not complete: %s\n", file.c_str());
    }
    summary(whole.files, whole.frames);
  };
  if (whole.exit_code != 0) {
    abandon(whole.message, false);
    return whole.exit_code;
  }
  if (book != BookKind::None && whole.chapters.empty()) {
    abandon("Nothing in " + options.document + " is read aloud: no book is written.", false);
    return 1;
  }
  if (book != BookKind::None) {
    try {
      PendingFile file(book_path);
      const BookInfo info{.title = options.title.empty() ? DefaultTitle(*document, options.document)
                                                         : options.title,
                          .author = options.author.empty() ? "Unknown" : options.author,
                          .language = "en",
                          .modified = UtcNow()};
      const auto check = [] { StopSignals::ThrowIfStopRequested(); };
      if (book == BookKind::Epub) {
        WriteEpub(file.TemporaryPath(), book_path.string(), *document, whole.chapters, info,
                  {.words = options.words, .sample_rate = whole.rate, .view_end = plan.text_end},
                  check);
      } else {
        WriteM4b(file.TemporaryPath(), book_path.string(), whole.chapters, info, whole.rate, check);
      }
      StopSignals::ThrowIfStopRequested();
      file.Commit();
    } catch (const StopRequested& stop) {
      abandon(std::string(stop.what()) + ".", true);
      return stop.ExitCode();
    } catch (const std::exception& failure) {
      abandon(failure.what(), true);
      return 1;
    }
  }
  summary(working ? 1 : whole.files, whole.frames);
  return 0;
}

}  // namespace

void AddRenderCommand(CLI::App& app, int& exit_code) {
  auto options = std::make_shared<RenderOptions>();
  CLI::App* render = app.add_subcommand(
      "render", "Make an audiobook: read the document into audio files, one per chapter");
  AddDocumentArgument(*render, options->document);
  render->add_option("--out", options->out, "Folder for the audio files")->required();
  render
      ->add_option("--format", options->format,
                   "wav, flac or ogg (a folder of chapter files), epub (a read-along book) or "
                   "m4b (one audiobook file with chapters)")
      ->check(CLI::IsMember({"wav", "flac", "ogg", "epub", "m4b"}, CLI::ignore_case))
      ->transform([](std::string name) {
        for (char& c : name) {
          c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        }
        return name;
      });
  render->add_flag("--words", options->words,
                   "epub: highlight each word as it is heard, not only each sentence");
  render->add_option("--title", options->title,
                     "The book's title (default: its first line, or the document's name)");
  render->add_option("--author", options->author, "The book's author (default: Unknown)");
  render->add_option("--start", options->start, "View position of the caret to start at")
      ->check(CLI::NonNegativeNumber);
  render
      ->add_option("--jobs", options->jobs,
                   "Chapters made at the same time, each run in a process of its own (default: "
                   "one per core); the files are the same whatever it is")
      ->check(CLI::Range(1u, 64u));
  render->callback([options, &exit_code] { exit_code = RunRender(*options); });
}

}  // namespace quillon::tool
