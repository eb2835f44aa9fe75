// The per-sentence text work on one realistic line of dialogue.
#include <benchmark/benchmark.h>

#include <string>

#include "reading/sentence_splitter.h"
#include "text/text_primitives.h"

namespace {

// About 200 characters, with a quotation, an attribution, a question and a dash.
const std::string kLine =
    "\"Mr. Fenwright, I must say, you have the most peculiar notion of a holiday,\" "
    "said the landlady, wiping her floury hands on her apron. \"Do you mean to walk all the way to "
    "the coast--in those boots?\"";

void BM_GetFirstSentence(benchmark::State& state) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(quillon::GetFirstSentence(kLine));
  }
}
BENCHMARK(BM_GetFirstSentence);

void BM_ReplaceTextAll(benchmark::State& state) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(quillon::ReplaceText(kLine, "Mr.", "Mister"));
  }
}
BENCHMARK(BM_ReplaceTextAll);

void BM_ReplaceTextAbsent(benchmark::State& state) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(quillon::ReplaceText(kLine, "Mrs.", "Missus"));
  }
}
BENCHMARK(BM_ReplaceTextAbsent);

}  // namespace
