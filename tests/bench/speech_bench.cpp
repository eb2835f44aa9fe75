// Speech output: the markup translator, the time to espeak-ng's first samples, and synthesis speed.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <span>
#include <string>

#include "speech/espeak_input.h"
#include "speech/espeak_synthesizer.h"

namespace quillon {
namespace {

// Twenty words, framed as the reading loop frames dialogue, with a rule's emphasis and pause.
const std::string kSentence =
    R"(<VOICE REQUIRED="Gender=Female"><RATE SPEED="+1"><VOLUME LEVEL="94"><PITCH MIDDLE="-1">)"
    R"("Quillon," she said, "you have <emph>never</emph> been to Miami, and you will never see )"
    R"(the ocean from the old pier <silence msec="500"/>again.")"
    "</VOICE>";

void BM_TranslateSentence(benchmark::State& state) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(TranslateSpeechMarkup(kSentence));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kSentence.size()));
}
BENCHMARK(BM_TranslateSentence);

struct FirstSamples {};

// From handing the sentence over to the synthesis thread to its first samples coming back: what
// Speak spends before it can write to the sound server.
void BM_FirstSamples(benchmark::State& state) {
  EspeakSynthesizer& synthesizer = EspeakSynthesizer::Instance();
  for (auto _ : state) {
    try {
      synthesizer.Render(kSentence, [](std::span<const std::int16_t>) { throw FirstSamples{}; });
    } catch (const FirstSamples&) {
    }
  }
}
BENCHMARK(BM_FirstSamples)->Unit(benchmark::kMillisecond)->UseRealTime();

// Whole sentences; the counter is seconds of audio per second of work (the work runs on the
// synthesis thread, so the times are wall-clock times).
void BM_RenderSentence(benchmark::State& state) {
  EspeakSynthesizer& synthesizer = EspeakSynthesizer::Instance();
  std::uint64_t samples = 0;
  for (auto _ : state) {
    synthesizer.Render(kSentence, [&](std::span<const std::int16_t> s) { samples += s.size(); });
  }
  state.counters["audio_per_second"] = benchmark::Counter(
      static_cast<double>(samples) / synthesizer.SampleRate(), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_RenderSentence)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace quillon
