// Loading the novel: a 1 MB rich-text document of the kind a word processor writes, plain text,
// and files of nothing but line ends, whose paragraphs cost the most per byte.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

#include "document/document.h"

namespace {

// A chapter's worth of paragraphs as a word processor writes them: a run per formatting change,
// paragraph properties repeated before every paragraph, Unicode characters with their fallbacks.
std::string MakeRichText(std::size_t size) {
  std::string rtf =
      "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\froman\\fprq2\\fcharset0 Times New "
      "Roman;}}"
      "{\\colortbl;\\red0\\green0\\blue0;}{\\*\\generator bench;}{\\info{\\title bench}}\n";
  for (int chapter = 1; rtf.size() < size; ++chapter) {
    rtf += "\\pard\\plain\\s0\\ql\\f0\\fs24\\qc{\\b\\fs32 CHAPTER " + std::to_string(chapter) +
           "}\\par\n";
    for (int p = 0; p < 20; ++p) {
      rtf +=
          "\\pard\\plain\\s0\\nowidctlpar\\hyphpar0\\ltrpar\\cf0\\f0\\fs24\\lang1033\\qj{\\loch "
          "\\u8220\\'93Are you sure?\\u8221\\'94 asked Mary. }{\\loch\\i\\loch Quite}{\\loch , he "
          "said \\u8212\\'97 and then, after a pause\\u8230\\'85 \\ldblquote Absolutely.\\rdblquote"
          " The caf\\'e9 served cr\\u232\\'e8me br\\u251\\'fbl\\u233\\'e9e and a na\\u239\\'efve "
          "ros\\u233\\'e9 from Z\\u252\\'fcrich, which Quillon considered {\\b the finest} on the "
          "road.}\\par\n";
    }
  }
  rtf += "{\\pard ~~~\\par}}";
  return rtf;
}

void BM_ParseDocument1MB(benchmark::State& state) {
  const std::string rtf = MakeRichText(1 << 20);
  for (auto _ : state) {
    benchmark::DoNotOptimize(quillon::ParseDocument(rtf));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * rtf.size()));
}
BENCHMARK(BM_ParseDocument1MB)->Unit(benchmark::kMillisecond);

// What the window does at start-up: parse, then hand the engine its view text.
void BM_ParseDocumentAndViewText1MB(benchmark::State& state) {
  const std::string rtf = MakeRichText(1 << 20);
  for (auto _ : state) {
    const quillon::Document document = quillon::ParseDocument(rtf);
    benchmark::DoNotOptimize(document.ViewText());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * rtf.size()));
}
BENCHMARK(BM_ParseDocumentAndViewText1MB)->Unit(benchmark::kMillisecond);

void BM_ParsePlainText1MB(benchmark::State& state) {
  std::string text;
  while (text.size() < (1 << 20)) {
    text += "\"Are you sure?\" asked Mary. Quite, he said \x97 and then, after a pause\x85\r\n";
  }
  for (auto _ : state) {
    benchmark::DoNotOptimize(quillon::ParseDocument(text));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ParsePlainText1MB)->Unit(benchmark::kMillisecond);

// 4 MB of empty lines: the loader holds a few bytes per paragraph, not an object each.
void BM_ParseEmptyLines4MB(benchmark::State& state) {
  const std::string text(4 << 20, '\n');
  for (auto _ : state) {
    const quillon::Document document = quillon::ParseDocument(text);
    benchmark::DoNotOptimize(document.ViewText());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ParseEmptyLines4MB)->Unit(benchmark::kMillisecond);

// The same in rich text: a paragraph mark after another.
void BM_ParseRichTextParagraphMarks4MB(benchmark::State& state) {
  std::string rtf = "{\\rtf1 ";
  while (rtf.size() < (4 << 20)) {
    rtf += "\\par\n";
  }
  rtf += "}";
  for (auto _ : state) {
    const quillon::Document document = quillon::ParseDocument(rtf);
    benchmark::DoNotOptimize(document.ViewText());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * rtf.size()));
}
BENCHMARK(BM_ParseRichTextParagraphMarks4MB)->Unit(benchmark::kMillisecond);

}  // namespace
