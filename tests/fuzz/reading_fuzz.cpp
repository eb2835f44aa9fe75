// Any bytes as the view's text: the splitter that remembers where marks occur cuts every line as a
// fresh search of each rest would, and a reading over the in-memory view ends as the text says.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "reading/memory_view.h"
#include "reading/reading_loop.h"
#include "reading/sentence_splitter.h"
#include "speech/recording_voice.h"
#include "text/reader_state.h"
#include "text/text_primitives.h"

namespace {

void Check(bool holds) {
  if (!holds) {
    std::abort();
  }
}

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && static_cast<unsigned char>(text.front()) <= 32) {
    text.remove_prefix(1);
  }
  while (!text.empty() && static_cast<unsigned char>(text.back()) <= 32) {
    text.remove_suffix(1);
  }
  return text;
}

// Cuts the line as the reading loop does, once with one splitter for the line and once with a
// copy of every rest, which the splitter has never seen.
void CheckSplitter(std::string_view line) {
  quillon::SentenceSplitter splitter(line);
  std::string_view rest = line;
  while (!Trimmed(rest).empty()) {
    const std::string sentence = quillon::Trim(splitter.FirstSentence(rest));
    Check(sentence == quillon::Trim(quillon::GetFirstSentence(std::string(rest))));
    Check(!sentence.empty());
    rest = Trimmed(rest);
    rest.remove_prefix(std::min(sentence.size() + 1, rest.size()));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  // Each line with its line feed, as the reading fetches it.
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t line_feed = text.find('\n', start);
    const std::size_t end = line_feed == std::string_view::npos ? text.size() : line_feed + 1;
    CheckSplitter(text.substr(start, end - start));
    start = end;
  }

  quillon::MemoryView view{std::string(text)};
  quillon::ReaderState state;
  quillon::RecordingVoice voice;
  quillon::ReadingOptions options;
  options.stop_at_end_of_text = true;
  const quillon::ReadingEnd end = quillon::RunReadingLoop(view, voice, state, {}, options);
  // The reading ends at the end marker exactly when a line that ends with a line feed holds it.
  const std::size_t last_line_feed = text.rfind('\n');
  const std::size_t marker = text.find("~~~");
  const bool marked = last_line_feed != std::string_view::npos && marker < last_line_feed;
  Check(end == (marked ? quillon::ReadingEnd::EndMarker : quillon::ReadingEnd::EndOfText));
  // Every sentence spoken takes at least one character of the text.
  Check(voice.calls().size() <= size);
  return 0;
}
