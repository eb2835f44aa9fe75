// Follow along with live sound: how long after a word is heard at the sink its mark is painted in
// the window, over the sentences of the novel's first chapter.
//
// The window reads with the sound server voice; the sink's monitor is recorded in the same
// process. Each sentence's audio is found in the recording: its first loud sample after the quiet
// that follows the sentence before, less the quiet that opens the same text rendered to samples;
// a word is heard at the monitor time of its own first sample. Run it on a sink that plays by the
// clock: with PULSE_SERVER unset it starts the tests' private PipeWire server. Under Xvfb
// (QT_QPA_PLATFORM=xcb) the paint is the one sent to the X server.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "app/quillon_talks_main.h"
#include "app/reader_text_edit.h"
#include "app/reading_speed.h"
#include "speech/espeak_synthesizer.h"
#include "speech/file_voice.h"
#include "speech/pulse_voice.h"
#include "tests/speech/monitor_recorder.h"
#include "tests/speech/private_sound_server.h"

namespace quillon {
namespace {

using Clock = std::chrono::steady_clock;

QApplication& Application() {
  static int argc = 1;
  static char name[] = "follow_along_bench";
  static char* argv[] = {name, nullptr};
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  // Never destroyed: Qt's own clean-up at exit must not run after the application is gone.
  static auto* application = new QApplication(argc, argv);
  return *application;
}

// The window's voice: notes each text, when it was given, and its words as the voice heard them.
class NotingVoice final : public SpeechVoice {
 public:
  struct Text {
    std::u16string text;
    Clock::time_point given;
    std::vector<HeardWord> words;
  };

  explicit NotingVoice(SpeechVoice& inner) : inner_(inner) {}

  void Speak(std::u16string_view text, unsigned flags) override {
    {
      const std::lock_guard lock(mutex_);
      texts_.push_back({std::u16string(text), Clock::now(), {}});
    }
    inner_.Speak(text, flags);
  }
  void SetSpeed(double speed) override {
    SpeechVoice::SetSpeed(speed);
    inner_.SetSpeed(speed);
  }
  void SetWordListener(WordListener listener) override {
    if (!listener) {
      inner_.SetWordListener({});
      return;
    }
    inner_.SetWordListener([this, listener = std::move(listener)](const HeardWord& word) {
      {
        const std::lock_guard lock(mutex_);
        texts_.back().words.push_back(word);
      }
      listener(word);
    });
  }
  std::vector<Text> Texts() const {
    const std::lock_guard lock(mutex_);
    return texts_;
  }

 private:
  SpeechVoice& inner_;
  mutable std::mutex mutex_;
  std::vector<Text> texts_;
};

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0.0 : values[values.size() / 2];
}

double Milliseconds(Clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

void BM_WordMarkAfterItsSound(benchmark::State& state) {
  Application();
  testing::UsePrivateSoundServer();
  const auto sentences = static_cast<std::size_t>(state.range(0));
  const int rate = EspeakSynthesizer::Instance().SampleRate();
  const std::string novel =
      std::string(QUILLON_BINARY_DIR) + "/bin/TheBlitheWanderingsOfQuillonFenwright.rtf";
  if (!std::filesystem::exists(novel)) {
    state.SkipWithError("the novel is not in build/bin");
    return;
  }
  for (auto _ : state) {
    PulseSpeechVoice live;
    NotingVoice noting(live);
    ReaderWindowOptions options;
    options.document_path = novel;
    options.settings_path =
        (std::filesystem::temp_directory_path() / "follow_along_bench.INI").string();
    // QUILLON_BENCH_SPEED=2 reads at twice the speed.
    std::filesystem::remove(options.settings_path);
    if (const char* speed = std::getenv("QUILLON_BENCH_SPEED")) {
      StoreReadingSpeed(options.settings_path, std::atof(speed));
    }
    TfQuillonReaderMain window(noting, options);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) {
      state.SkipWithError("the window did not show");
      return;
    }
    const std::int64_t chapter =
        window.View().FindForward("CHAPTER 1", 0, window.View().TextLength());
    window.View().SetSelection(chapter, 0);

    struct Painted {
      Clock::time_point heard_at;
      Clock::time_point painted;
    };
    std::vector<Painted> painted;
    QObject::connect(window.riched, &ReaderTextEdit::wordMarkPainted, window.riched, [&] {
      const Clock::time_point heard_at = window.riched->WordHeardAt();
      if (painted.empty() || painted.back().heard_at != heard_at) {
        painted.push_back({heard_at, Clock::now()});
      }
    });
    QTimer stopper;
    QObject::connect(&stopper, &QTimer::timeout, [&] {
      if (noting.Texts().size() >= sentences) {
        window.btnStopClick();
      }
    });
    stopper.start(20);
    testing::MonitorRecorder recorder(testing::FixtureMonitor(), rate);
    window.btnReadClick();
    stopper.stop();
    recorder.WaitUntilRecorded(Clock::now() + std::chrono::milliseconds(100),
                               std::chrono::seconds(10));
    const std::vector<std::int16_t> heard = recorder.Samples();
    const std::vector<NotingVoice::Text> texts = noting.Texts();

    // Each text's first word is heard where its first loud sample lies in the recording, and
    // every later word its own sample count after that.
    const auto loud = [](std::int16_t s) { return std::abs(static_cast<int>(s)) > 300; };
    std::vector<std::int16_t> rendered;
    SinkSpeechVoice sink([&](std::span<const std::int16_t> s) {
      rendered.insert(rendered.end(), s.begin(), s.end());
    });
    sink.SetSpeed(noting.Speed());
    std::vector<double> delays;
    std::vector<double> voice_errors;
    for (const NotingVoice::Text& text : texts) {
      const std::int64_t from = std::max<std::int64_t>(0, recorder.IndexAt(text.given));
      if (text.words.empty() || from >= static_cast<std::int64_t>(heard.size())) {
        continue;
      }
      // The sentence before may still sound when this one is given (the voice waits only for
      // its last audible sample to be read): its sound starts after the next stretch of quiet.
      const auto quiet_run = static_cast<std::ptrdiff_t>(rate / 20);
      auto search = heard.begin() + from;
      for (auto quiet = search; search != heard.end(); ++search) {
        if (loud(*search)) {
          quiet = search + 1;
        } else if (search - quiet >= quiet_run) {
          break;
        }
      }
      const auto first = std::find_if(search, heard.end(), loud) - heard.begin();
      if (first == static_cast<std::ptrdiff_t>(heard.size())) {
        continue;
      }
      // Where the text's own audio starts: as far before its first loud sample as the same text
      // rendered to samples is quiet before its own.
      rendered.clear();
      sink.Speak(text.text, kSpeakIsXml);
      const auto opening = std::find_if(rendered.begin(), rendered.end(), loud) - rendered.begin();
      if (first < opening) {
        continue;
      }
      for (const HeardWord& word : text.words) {
        const Clock::time_point sound =
            recorder.TimeOf(static_cast<std::size_t>(first - opening) + word.sample);
        voice_errors.push_back(std::abs(Milliseconds(word.at - sound)));
        const auto mark = std::find_if(painted.begin(), painted.end(),
                                       [&](const Painted& p) { return p.heard_at == word.at; });
        if (mark != painted.end()) {
          delays.push_back(Milliseconds(mark->painted - sound));
        }
      }
    }
    std::vector<double> after_at;
    for (const Painted& p : painted) {
      after_at.push_back(Milliseconds(p.painted - p.heard_at));
    }
    std::filesystem::remove(options.settings_path);
    if (delays.empty()) {
      state.SkipWithError("no word mark was painted");
      return;
    }
    state.counters["sentences"] = static_cast<double>(texts.size());
    state.counters["marks"] = static_cast<double>(delays.size());
    state.counters["delay_median_ms"] = Median(delays);
    // The latest mark, and the earliest (negative: painted before its word was heard).
    state.counters["delay_worst_ms"] = *std::max_element(delays.begin(), delays.end());
    state.counters["delay_earliest_ms"] = *std::min_element(delays.begin(), delays.end());
    state.counters["voice_time_error_median_ms"] = Median(voice_errors);
    // From the moment the voice gives for a word to its mark painted.
    state.counters["paint_after_word_time_median_ms"] = Median(after_at);
    state.counters["paint_after_word_time_worst_ms"] =
        *std::max_element(after_at.begin(), after_at.end());
  }
}
BENCHMARK(BM_WordMarkAfterItsSound)->Arg(8)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
}  // namespace quillon
