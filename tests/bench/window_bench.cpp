// The window: opening it on a novel (offscreen), and how long its thread goes without handling
// events while a long sentence is spoken.
//
// QUILLON_BENCH_NOVEL names the document to open (default: the novel built into build/bin, else the
// document tests' sample).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <span>
#include <string>
#include <thread>

#include "app/quillon_talks_main.h"
#include "app/input_hold.h"
#include "app/threaded_voice.h"
#include "speech/file_voice.h"
#include "speech/speech_voice.h"

namespace {

QApplication& Application() {
  static int argc = 1;
  static char name[] = "window_bench";
  static char* argv[] = {name, nullptr};
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  static QApplication application(argc, argv);
  return application;
}

std::string NovelPath() {
  if (const char* path = std::getenv("QUILLON_BENCH_NOVEL")) {
    return path;
  }
  const std::string built =
      std::string(QUILLON_BINARY_DIR) + "/bin/TheBlitheWanderingsOfQuillonFenwright.rtf";
  if (std::filesystem::exists(built)) {
    return built;
  }
  return std::string(QUILLON_SOURCE_DIR) + "/tests/document/data/sample.rtf";
}

class SilentVoice final : public quillon::SpeechVoice {
 public:
  void Speak(std::u16string_view, unsigned) override {}
};

// A voice that takes as long as a long sentence does to be heard.
class SlowVoice final : public quillon::SpeechVoice {
 public:
  void Speak(std::u16string_view, unsigned) override {
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  }
};

void BM_OpenWindowOnNovel(benchmark::State& state) {
  Application();
  SilentVoice voice;
  quillon::ReaderWindowOptions options;
  options.document_path = NovelPath();
  options.settings_path = (std::filesystem::temp_directory_path() / "window_bench.INI").string();
  for (auto _ : state) {
    quillon::TfQuillonReaderMain window(voice, options);
    window.show();
    benchmark::DoNotOptimize(QTest::qWaitForWindowExposed(&window));
    state.counters["characters"] = static_cast<double>(window.View().TextLength());
    state.counters["display_lines"] = static_cast<double>(window.View().DisplayLineCount());
  }
  std::filesystem::remove(options.settings_path);
}
BENCHMARK(BM_OpenWindowOnNovel)->Unit(benchmark::kMillisecond)->Iterations(5);

// The longest time between two ticks of a 10 ms timer while the window waits for a sentence.
void LongestEventGap(benchmark::State& state, quillon::SpeechVoice& inner,
                     std::u16string_view text) {
  Application();
  quillon::InputHold hold;
  quillon::ThreadedVoice voice(inner, hold);
  for (auto _ : state) {
    QElapsedTimer clock;
    qint64 last = 0;
    qint64 longest = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
      const qint64 now = clock.elapsed();
      longest = std::max(longest, now - last);
      last = now;
    });
    timer.start(10);
    clock.start();
    voice.Speak(text, quillon::kSpeakIsXml);
    timer.stop();
    state.counters["longest_gap_ms"] = static_cast<double>(longest);
  }
}

// A voice that takes 1.5 s to be heard.
void BM_LongestEventGapWhileSpeaking(benchmark::State& state) {
  SlowVoice slow;
  LongestEventGap(state, slow, u"<VOICE REQUIRED=\"Gender=Male\">A long sentence.</VOICE>");
}
BENCHMARK(BM_LongestEventGapWhileSpeaking)->Unit(benchmark::kMillisecond)->Iterations(3);

// espeak-ng synthesising a long sentence as fast as it can: the other core stays the window's.
void BM_LongestEventGapWhileSynthesizing(benchmark::State& state) {
  std::size_t samples = 0;
  quillon::SinkSpeechVoice espeak(
      [&](std::span<const std::int16_t> chunk) { samples += chunk.size(); });
  LongestEventGap(state, espeak,
                  u"<VOICE REQUIRED=\"Gender=Male\">Quillon peered closer, and the voice was "
                  u"Mary's, and the bathrobe was Mary's, and the fuzzy slippers, he had to admit, "
                  u"were most definitely Mary's, though he would not say so aloud until he had "
                  u"finished his coffee and read the paper from the front page to the back."
                  u"</VOICE>");
  state.counters["sentence_seconds"] = static_cast<double>(samples) /
                                       static_cast<double>(espeak.SampleRate()) /
                                       static_cast<double>(state.iterations());
}
BENCHMARK(BM_LongestEventGapWhileSynthesizing)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
