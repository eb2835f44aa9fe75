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
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <exception>
#include <filesystem>
#include <functional>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "document/document.h"
#include "speech/audio_file.h"
#include "speech/espeak_input.h"
#include "text/encoding.h"
#include "tools/quillon-tool/commands.h"
#include "tools/quillon-tool/document.h"
#include "tools/quillon-tool/pending_file.h"
#include "tools/quillon-tool/render_chapters.h"
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

struct RenderOptions {
  std::string document;
  std::string out;
  std::string format = "wav";
  bool words = false;
  std::string title;
  std::string author;
  std::int64_t start = 0;
  unsigned jobs = std::max(1u, std::thread::hardware_concurrency());
  double speed = 1.0;
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
  if (options.words && book != BookKind::Epub) {
    std::fprintf(stderr, "--words is for --format epub only.\n");
    return kExitUsage;
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
                      working.has_value(),
                      options.speed};
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
  render
      ->add_option("--speed", options->speed,
                   "Reading speed, 0.5 to 3 times every profile's own rate (default 1)")
      ->check(CLI::Range(kSlowestSpeed, kFastestSpeed));
  render->callback([options, &exit_code] { exit_code = RunRender(*options); });
}

}  // namespace quillon::tool
