// Line fetching, the pronunciation pipeline and the whole reading loop over large documents.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

#include "pronunciation/pronunciation_pipeline.h"
#include "reading/line_fetcher.h"
#include "reading/memory_view.h"
#include "reading/reader_state.h"
#include "reading/reading_loop.h"
#include "speech/recording_voice.h"
#include "voices/voice_profiles.h"

namespace quillon {
namespace {

// A document of at least `bytes` characters made of chapters, narration and dialogue, ending with
// the end marker.
std::string MakeDocument(std::int64_t bytes) {
  static const char* const kLines[] = {
      "Quillon Fenwright woke at dawn. He put on his left sock inside-out, as always.\r\n",
      "\"Mary, we must go into seclusion,\" Quillon said. \"They are after us.\"\r\n",
      "\"Who?\" asked Mary.\r\n",
      "He stared at her. \"Aha! You see? It is a trap!\"\r\n",
      "\r\n",
      "They drove south in the old Chevy at 6 a.m. and did not stop until Mr. Slate's diner.\r\n",
      "\"The dog ate the map. It was a good map. Now it is gone,\" said Bob. Then he sat down.\r\n",
      "Prison wardens will be able to rest. \"Stay calm,\" said Bob.\r\n",
      "The waitress brought coffee: black, bitter and important. Nobody drank it.\r\n",
  };
  std::string text;
  text.reserve(static_cast<std::size_t>(bytes) + 256);
  int chapter = 1;
  while (static_cast<std::int64_t>(text.size()) < bytes) {
    text += "CHAPTER " + std::to_string(chapter++ % 68 + 1) + "\r\n\r\n";
    for (const char* line : kLines) {
      text += line;
    }
  }
  text += "~~~\r\n";
  return text;
}

void BM_GetNextLineWalk(benchmark::State& bench) {
  MemoryView view(MakeDocument(bench.range(0)));
  std::int64_t lines = 0;
  for (auto _ : bench) {
    view.SetSelection(0, 0);
    ReaderState state;
    while (!GetNextLine(view, state).empty()) {
      ++lines;
    }
  }
  bench.SetBytesProcessed(bench.iterations() * view.TextLength());
  bench.counters["lines"] =
      benchmark::Counter(static_cast<double>(lines), benchmark::Counter::kAvgIterations);
  bench.SetComplexityN(view.TextLength());
}
BENCHMARK(BM_GetNextLineWalk)
    ->RangeMultiplier(2)
    ->Range(256 << 10, 2 << 20)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

void BM_PronunciationPerSentence(benchmark::State& bench) {
  ReaderState state;
  state.CurrentVoice = 2;
  state.CurrentChapter = 7;
  const std::string sentence =
      WrapDialogueSentence("\"The dog ate the map, and it was a good map,\"", state);
  for (auto _ : bench) {
    benchmark::DoNotOptimize(ApplyPronunciationRules(sentence, state));
  }
}
BENCHMARK(BM_PronunciationPerSentence);

void BM_ReadingLoopWholeDocument(benchmark::State& bench) {
  MemoryView view(MakeDocument(1 << 20));
  std::int64_t sentences = 0;
  for (auto _ : bench) {
    view.SetSelection(0, 0);
    ReaderState state;
    RecordingVoice voice;
    RunReadingLoop(view, voice, state, [] {});
    sentences += static_cast<std::int64_t>(voice.calls().size());
  }
  bench.SetBytesProcessed(bench.iterations() * view.TextLength());
  bench.counters["sentences"] =
      benchmark::Counter(static_cast<double>(sentences), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_ReadingLoopWholeDocument)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quillon
