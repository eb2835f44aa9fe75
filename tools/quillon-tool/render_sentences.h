// What a rendering knows of each sentence it spoke: where it stands in the book, the text as
// written there, and where its samples and the samples of its words lie in its chapter's audio.
// Subtitles, the read-along book and the audiobook are all made from this.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "text/text_map.h"

namespace quillon::tool {

// A word as heard: the characters of its line it was spoken from, and its first sample in the
// chapter's audio.
struct RenderedWord {
  TextSpan in_line;
  std::uint64_t sample = 0;
};

struct RenderedSentence {
  std::int64_t line_start = 0;  // view position of the line it was cut from
  TextSpan in_line;             // its characters in that line (empty: it stands for nothing there)
  std::string text;             // as written in the line: UTF-8, one line
  std::uint64_t first_sample = 0;  // its samples in the chapter's audio: [first_sample, end_sample)
  std::uint64_t end_sample = 0;
  std::vector<RenderedWord> words;  // in the order heard
};

struct RenderedChapter {
  std::string audio_path;       // the chapter's audio file, complete
  std::string title;            // the heading line as written (UTF-8), or "Opening"
  std::int64_t view_start = 0;  // where its text starts in the view
  std::uint64_t frames = 0;     // samples in its audio
  std::vector<RenderedSentence> sentences;
};

// The characters of a Windows-1252 line in span, in UTF-8, each run of line breaks and white
// space made one space, trimmed. Spans reaching past the line are cut at its end.
std::string TextAsWritten(std::string_view line, TextSpan span);

// A word with its own clip of audio: the characters it shows and the samples [begin, end).
struct WordClip {
  TextSpan in_line;
  std::uint64_t begin = 0;
  std::uint64_t end = 0;
};

// The clips of a sentence's words, covering the sentence's samples from first to end without gap
// or overlap, in reading order, each at least min_samples long. Words that stand for nothing in the
// line give their time to the word before them; words spoken from the same characters, or from
// characters that overlap or come before those of the word before them, are one (its span grows
// to the end of theirs); a word whose clip
// would be shorter than min_samples is merged with its neighbour. Spans are cut to the sentence.
// Empty when no word stands for characters of the sentence or its samples are fewer than
// min_samples.
std::vector<WordClip> WordClips(const RenderedSentence& sentence, std::uint64_t min_samples);

}  // namespace quillon::tool
