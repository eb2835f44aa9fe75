#include "tools/quillon-tool/render_sentences.h"

#include <algorithm>

#include "text/encoding.h"

namespace quillon::tool {
namespace {

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

}  // namespace

std::string TextAsWritten(std::string_view line, TextSpan span) {
  const std::size_t start = std::min(span.start, line.size());
  const std::string_view piece = line.substr(start, std::min(span.length, line.size() - start));
  std::string flat;
  bool space = false;
  for (char c : piece) {
    if (IsSpace(c)) {
      space = !flat.empty();
      continue;
    }
    if (space) {
      flat.push_back(' ');
      space = false;
    }
    flat.push_back(c);
  }
  return Windows1252ToUtf8(flat);
}

std::vector<WordClip> WordClips(const RenderedSentence& sentence, std::uint64_t min_samples) {
  const std::uint64_t first = sentence.first_sample;
  const std::uint64_t end = sentence.end_sample;
  const TextSpan bounds = sentence.in_line;
  std::vector<WordClip> clips;
  if (end < first + std::max<std::uint64_t>(min_samples, 1)) {
    return clips;
  }
  for (const RenderedWord& word : sentence.words) {
    const std::size_t from = std::max(word.in_line.start, bounds.start);
    const std::size_t to = std::min(word.in_line.end(), bounds.end());
    if (to <= from) {
      continue;  // its time stays with the word before
    }
    const std::uint64_t at = std::clamp(word.sample, first, end);
    if (clips.empty()) {
      clips.push_back({{from, to - from}, first, end});
      continue;
    }
    WordClip& last = clips.back();
    if (from < last.in_line.end() || at < last.begin + min_samples) {
      // The same characters, or too close after the last word: one clip for both.
      last.in_line.length = std::max(last.in_line.end(), to) - last.in_line.start;
      continue;
    }
    last.end = at;
    clips.push_back({{from, to - from}, at, end});
  }
  // The last clip may be too short: it joins the one before.
  if (clips.size() > 1 && clips.back().end - clips.back().begin < min_samples) {
    const WordClip tail = clips.back();
    clips.pop_back();
    clips.back().in_line.length = tail.in_line.end() - clips.back().in_line.start;
    clips.back().end = tail.end;
  }
  return clips;
}

}  // namespace quillon::tool
