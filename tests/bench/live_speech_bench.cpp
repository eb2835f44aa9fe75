// Live speech on a sound server whose sink plays by the clock: the pause between sentences read
// through the window's path (the reading loop, a voice on a thread of its own, the sound server
// voice) next to the pauses of the same document written to audio, in one run.
//
// With PULSE_SERVER unset it starts the private PipeWire server of the tests
// (tests/speech/private_sound_server.h), and stops it at the end.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "reading/memory_view.h"
#include "reading/reading_loop.h"
#include "speech/espeak_synthesizer.h"
#include "speech/file_voice.h"
#include "speech/pulse_voice.h"
#include "tests/speech/audio_analysis.h"
#include "tests/speech/monitor_recorder.h"
#include "tests/speech/private_sound_server.h"
#include "text/encoding.h"
#include "text/reader_state.h"

namespace quillon {
namespace {

using Clock = std::chrono::steady_clock;

void Server() {
  testing::UsePrivateSoundServer();
}

// Like the window's voice: the inner voice speaks on a thread of its own while the caller waits.
class ThreadedSpeech final : public SpeechVoice {
 public:
  explicit ThreadedSpeech(SpeechVoice& inner) : inner_(inner), worker_([this] { Run(); }) {}
  ~ThreadedSpeech() override {
    {
      std::lock_guard lock(mutex_);
      quit_ = true;
    }
    changed_.notify_all();
    worker_.join();
  }

  void Speak(std::u16string_view text, unsigned flags) override {
    std::unique_lock lock(mutex_);
    job_ = [this, copy = std::u16string(text), flags] { inner_.Speak(copy, flags); };
    done_ = false;
    changed_.notify_all();
    changed_.wait(lock, [this] { return done_; });
    if (error_) {
      std::rethrow_exception(std::exchange(error_, nullptr));
    }
  }

 private:
  void Run() {
    std::unique_lock lock(mutex_);
    for (;;) {
      changed_.wait(lock, [this] { return quit_ || job_; });
      if (!job_) {
        return;
      }
      auto job = std::exchange(job_, nullptr);
      lock.unlock();
      try {
        job();
      } catch (...) {
        error_ = std::current_exception();
      }
      lock.lock();
      done_ = true;
      changed_.notify_all();
    }
  }

  SpeechVoice& inner_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::function<void()> job_;
  std::exception_ptr error_;
  bool done_ = false;
  bool quit_ = false;
  std::thread worker_;
};

// Short sentences, three to a line, as a reader of the window would meet them.
std::string ShortSentences(int lines) {
  std::string text;
  for (int i = 0; i < lines; ++i) {
    text += "The river is yellow. The river is yellow. The river is yellow.\r\n";
  }
  return text + "~~~\r\n";
}

double Median(std::vector<double> values) {
  if (values.empty()) {
    return 0;
  }
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// The gaps of at least 200 ms: between sentences, never inside one.
constexpr double kSentenceGapMs = 200;

void BM_PauseBetweenSentences(benchmark::State& state) {
  Server();
  const int lines = static_cast<int>(state.range(0));
  const int rate = EspeakSynthesizer::Instance().SampleRate();
  for (auto _ : state) {
    // The document written to audio, as render writes it; twice, as espeak-ng's output depends a
    // little on the texts before it, and the reading aloud follows the same ones.
    std::vector<std::int16_t> rendered;
    for (int pass = 0; pass < 2; ++pass) {
      rendered.clear();
      SinkSpeechVoice sink([&](std::span<const std::int16_t> s) {
        rendered.insert(rendered.end(), s.begin(), s.end());
      });
      MemoryView view(ShortSentences(lines));
      ReaderState reader;
      RunReadingLoop(view, sink, reader, [] {});
    }
    // The same document read aloud through the window's path, recorded from the sink's monitor.
    std::vector<std::int16_t> heard;
    std::uint64_t live_underruns = 0;
    {
      testing::MonitorRecorder recorder(testing::FixtureMonitor(), rate);
      PulseSpeechVoice live;
      ThreadedSpeech threaded(live);
      MemoryView view(ShortSentences(lines));
      ReaderState reader;
      RunReadingLoop(view, threaded, reader, [] {});
      live_underruns = live.Underruns();
      // What is still queued plays out; then a second of quiet.
      recorder.WaitUntilRecorded(Clock::now() + std::chrono::milliseconds(1500),
                                 std::chrono::seconds(10));
      heard = recorder.Samples();
    }
    const std::vector<double> own = testing::QuietGaps(rendered, rate, kSentenceGapMs);
    const std::vector<double> live = testing::QuietGaps(heard, rate, kSentenceGapMs);
    if (own.size() != live.size() || own.empty()) {
      state.SkipWithError(("gaps do not pair up: " + std::to_string(own.size()) + " rendered, " +
                           std::to_string(live.size()) + " heard")
                              .c_str());
      return;
    }
    std::vector<double> added;
    for (std::size_t i = 0; i < own.size(); ++i) {
      added.push_back(live[i] - own[i]);
    }
    state.counters["pauses"] = static_cast<double>(own.size());
    state.counters["render_median_ms"] = Median(own);
    state.counters["live_median_ms"] = Median(live);
    state.counters["live_worst_ms"] = *std::max_element(live.begin(), live.end());
    state.counters["added_median_ms"] = Median(added);
    state.counters["added_worst_ms"] = *std::max_element(added.begin(), added.end());
    state.counters["underruns"] = static_cast<double>(live_underruns);
  }
}
BENCHMARK(BM_PauseBetweenSentences)->Arg(10)->Iterations(1)->Unit(benchmark::kSecond);

// The moments the live voice reports for its words, against when the sink played them: each
// sentence is recorded on its own; its audio starts where the recording's first loud sample lies
// less the quiet that opens the rendered sentence, and a word's first sample lies its own sample
// count after that.
void BM_WordTimes(benchmark::State& state) {
  Server();
  const int rate = EspeakSynthesizer::Instance().SampleRate();
  const std::vector<std::string> sentences = {
      "The river is yellow and the sky is grey today.",
      R"(<VOICE REQUIRED="Gender=Male"><RATE SPEED="+2"><VOLUME LEVEL="85"><PITCH MIDDLE="+7">)"
      R"("Mary, we must go into seclusion," Quillon said.</VOICE>)",
      R"(<VOICE REQUIRED="Name=Microsoft Mary">Tom &amp; Jerry walked home at six AM )"
      R"(<silence msec="500"/>.</VOICE>)",
      R"(It cost <context ID="currency">$3.50</context>, and <emph>nobody</emph> paid it back.)",
      R"(<RATE SPEED="-3">Slowly, very slowly, the old dog crossed the road.</RATE>)",
      "Then they rested by the water until the evening came.",
  };
  const auto render = [&](const std::string& text) {
    std::vector<std::int16_t> samples;
    SinkSpeechVoice sink([&](std::span<const std::int16_t> s) {
      samples.insert(samples.end(), s.begin(), s.end());
    });
    sink.Speak(Windows1252ToUtf16(text), kSpeakIsXml);
    return samples;
  };
  const auto loud = [](std::int16_t s) { return std::abs(static_cast<int>(s)) > 300; };
  for (auto _ : state) {
    PulseSpeechVoice live;
    std::vector<double> errors_ms;
    std::vector<double> first_sound_ms;  // from Speak to the text's first sample played
    for (const std::string& sentence : sentences) {
      // espeak-ng's output depends a little on the texts before it: both follow the same.
      render(sentence);
      render(sentence);
      std::vector<HeardWord> words;
      live.SetWordListener([&](const HeardWord& word) { words.push_back(word); });
      testing::MonitorRecorder recorder(testing::FixtureMonitor(), rate);
      live.Speak(Windows1252ToUtf16(sentence), kSpeakIsXml);
      first_sound_ms.push_back(
          std::chrono::duration<double, std::milli>(live.LastFirstSampleLatency()).count());
      recorder.WaitUntilRecorded(Clock::now() + std::chrono::milliseconds(100),
                                 std::chrono::seconds(10));
      render(sentence);
      const std::vector<std::int16_t> rendered = render(sentence);
      const std::vector<std::int16_t> heard = recorder.Samples();
      const auto opening = std::find_if(rendered.begin(), rendered.end(), loud) - rendered.begin();
      const auto first = std::find_if(heard.begin(), heard.end(), loud) - heard.begin();
      if (first == static_cast<std::ptrdiff_t>(heard.size()) || first < opening) {
        state.SkipWithError("a sentence was not heard");
        return;
      }
      for (const HeardWord& word : words) {
        const auto played =
            recorder.TimeOf(static_cast<std::size_t>(first - opening) + word.sample);
        errors_ms.push_back(std::chrono::duration<double, std::milli>(word.at - played).count());
      }
    }
    std::vector<double> size;
    for (double e : errors_ms) {
      size.push_back(std::abs(e));
    }
    state.counters["words"] = static_cast<double>(errors_ms.size());
    state.counters["median_ms"] = Median(size);
    state.counters["worst_ms"] = *std::max_element(size.begin(), size.end());
    state.counters["median_signed_ms"] = Median(errors_ms);
    state.counters["underruns"] = static_cast<double>(live.Underruns());
    state.counters["first_sound_ms"] = Median(first_sound_ms);
  }
}
BENCHMARK(BM_WordTimes)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
}  // namespace quillon
