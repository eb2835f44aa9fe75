// Line fetching, the pronunciation pipeline, the whole reading loop over large documents, and one
// line of many sentences (which must cost in proportion to its length).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

#include "pronunciation/pronunciation_pipeline.h"
#include "reading/line_fetcher.h"
#include "reading/memory_view.h"
#include "reading/reading_loop.h"
#include "reading/sentence_splitter.h"
#include "speech/recording_voice.h"
#include "text/reader_state.h"
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

// One line of `sentences` short sentences, as a document with the end marker after it.
std::string LongLine(std::int64_t sentences) {
  std::string text;
  for (std::int64_t i = 1; i <= sentences; ++i) {
    text += "Sentence number " + std::to_string(i) + " is here. ";
  }
  text += "\r\n~~~\r\n";
  return text;
}

// The splitter alone, cutting every sentence off the line as the reading loop does.
void BM_SplitLongLine(benchmark::State& bench) {
  const std::string line = LongLine(bench.range(0));
  for (auto _ : bench) {
    SentenceSplitter splitter(line);
    std::string_view rest = line;
    while (!rest.empty()) {
      const std::string sentence = splitter.FirstSentence(rest);
      rest.remove_prefix(std::min(rest.size(), sentence.size() + 1));
    }
  }
  bench.SetComplexityN(bench.range(0));
}
BENCHMARK(BM_SplitLongLine)
    ->RangeMultiplier(10)
    ->Range(1000, 100000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

// The whole loop over the line: framing, rewriting and "speaking" every sentence.
void BM_ReadingLoopLongLine(benchmark::State& bench) {
  MemoryView view(LongLine(bench.range(0)));
  for (auto _ : bench) {
    view.SetSelection(0, 0);
    ReaderState state;
    RecordingVoice voice;
    RunReadingLoop(view, voice, state, [] {});
  }
  bench.SetComplexityN(bench.range(0));
}
BENCHMARK(BM_ReadingLoopLongLine)
    ->RangeMultiplier(10)
    ->Range(1000, 100000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

}  // namespace
}  // namespace quillon
