// The whole novel read as "&Read" does, with every sentence told where it stands in its line: each
// sentence's span lies in its line, holds exactly the characters the sentence was cut from, and
// follows the sentence before it; every word handed to the voice maps back into its sentence.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "document/document.h"
#include "reading/memory_view.h"
#include "reading/reading_loop.h"
#include "reading/sentence_splitter.h"
#include "speech/recording_voice.h"
#include "text/encoding.h"
#include "text/text_primitives.h"

namespace quillon {
namespace {

const std::string& NovelText() {
  static const std::string text =
      LoadDocument(QUILLON_BINARY_DIR "/bin/TheBlitheWanderingsOfQuillonFenwright.rtf").ViewText();
  return text;
}

struct Sentence {
  std::size_t line;  // index into Reading::lines
  SpokenSentence where;
  std::string spoken;  // Windows-1252
};

struct Reading {
  std::vector<std::string> lines;
  std::vector<Sentence> sentences;
  ReadingEnd end = ReadingEnd::Stopped;
};

const Reading& NovelReading() {
  static const Reading reading = [] {
    Reading r;
    MemoryView view(NovelText());
    RecordingVoice voice([&](std::u16string_view text, unsigned) {
      if (!r.sentences.empty()) {
        r.sentences.back().spoken = Utf16ToWindows1252(text);
      }
    });
    ReaderState state;
    ReadingOptions options;
    options.stop_at_end_of_text = true;
    options.on_line = [&](std::string_view line) { r.lines.emplace_back(line); };
    options.on_sentence_spoken = [&](const SpokenSentence& sentence) {
      r.sentences.push_back({r.lines.size() - 1, sentence, {}});
    };
    r.end = RunReadingLoop(view, voice, state, {}, options);
    return r;
  }();
  return reading;
}

bool IsBlank(char c) {
  return static_cast<unsigned char>(c) <= 32;
}

// The line as the loop cuts it, sentence by sentence, worked out here from the splitter itself:
// the sentences after the pre-pass, and the pre-pass rules that applied to the line.
struct Cut {
  std::vector<std::string> sentences;
  std::vector<AbbreviationRule> applied;
};

Cut CutLine(std::string_view fetched) {
  Cut cut;
  std::string line(fetched);
  for (const AbbreviationRule& rule : AbbreviationRules()) {
    if (Contains(rule.applies_when, line) &&
        (rule.unless.empty() || !Contains(rule.unless, line))) {
      cut.applied.push_back(rule);
      line = ReplaceText(line, rule.search, rule.replacement);
    }
  }
  std::string rest = line;
  while (!Trim(rest).empty()) {
    const std::string sentence = Trim(GetFirstSentence(rest));
    rest = Trim(rest);
    rest.erase(0, std::min(sentence.size() + 1, rest.size()));
    cut.sentences.push_back(sentence);
  }
  return cut;
}

// Runs of non-blank characters outside tags, as a voice reports words.
std::vector<TextSpan> Words(std::string_view text) {
  std::vector<TextSpan> words;
  std::size_t start = std::string_view::npos;
  const auto end_word = [&](std::size_t at) {
    if (start != std::string_view::npos) {
      words.push_back({start, at - start});
      start = std::string_view::npos;
    }
  };
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '<') {
      const std::size_t close = text.find_first_of("<>", i + 1);
      if (close != std::string_view::npos && text[close] == '>') {
        end_word(i);
        i = close;
        continue;
      }
    }
    if (IsBlank(text[i])) {
      end_word(i);
    } else if (start == std::string_view::npos) {
      start = i;
    }
  }
  end_word(text.size());
  return words;
}

TEST(NovelSentencePosition, EverySentenceStandsWhereItWasCutFrom) {
  const Reading& reading = NovelReading();
  ASSERT_EQ(reading.end, ReadingEnd::EndMarker);
  ASSERT_GT(reading.sentences.size(), 2000u);

  std::size_t next = 0;  // the next sentence to check
  std::size_t rewritten_lines = 0;
  for (std::size_t l = 0; l < reading.lines.size(); ++l) {
    const std::string& line = reading.lines[l];
    if (Trim(line).empty() || Contains("~~~", line)) {
      continue;
    }
    const Cut cut = CutLine(line);
    rewritten_lines += cut.applied.empty() ? 0 : 1;
    std::size_t previous_end = 0;
    for (const std::string& expected : cut.sentences) {
      ASSERT_LT(next, reading.sentences.size()) << line;
      const Sentence& sentence = reading.sentences[next++];
      ASSERT_EQ(sentence.line, l) << line;
      const TextSpan span = sentence.where.in_line;
      ASSERT_LE(span.end(), line.size()) << line;
      ASSERT_GT(span.length, 0u) << line;
      const std::string text = line.substr(span.start, span.length);
      EXPECT_FALSE(IsBlank(text.front()) || IsBlank(text.back())) << text;
      EXPECT_GE(span.start, previous_end) << "overlaps the sentence before it: " << text;
      previous_end = span.end();
      // The line's characters there, through the pre-pass rules that applied to the line, are
      // the sentence as it was cut.
      std::string expanded = text;
      for (const AbbreviationRule& rule : cut.applied) {
        expanded = ReplaceText(expanded, rule.search, rule.replacement);
      }
      EXPECT_EQ(expanded, expected) << "in line " << l << ": " << line;
    }
  }
  EXPECT_EQ(next, reading.sentences.size());
  EXPECT_GT(rewritten_lines, 10u);  // the pre-pass is part of what is checked
}

TEST(NovelSentencePosition, EveryWordSpokenMapsIntoItsSentence) {
  const Reading& reading = NovelReading();
  std::size_t words = 0, unmapped = 0, itself = 0, rewritten = 0;
  for (const Sentence& sentence : reading.sentences) {
    const std::string& line = reading.lines[sentence.line];
    const TextSpan in_line = sentence.where.in_line;
    ASSERT_EQ(sentence.where.to_line.OutputLength(), sentence.spoken.size()) << sentence.spoken;
    ASSERT_EQ(sentence.where.to_line.InputLength(), line.size()) << line;
    for (const TextSpan word : Words(sentence.spoken)) {
      ++words;
      const auto source = sentence.where.to_line.Source(word);
      if (!source) {
        ++unmapped;
        continue;
      }
      EXPECT_TRUE(source->start >= in_line.start && source->end() <= in_line.end())
          << sentence.spoken.substr(word.start, word.length) << " in " << sentence.spoken;
      const bool same = line.compare(source->start, source->length, sentence.spoken, word.start,
                                     word.length) == 0;
      ++(same ? itself : rewritten);
    }
  }
  std::cout << "words spoken: " << words << ", mapped to themselves: " << itself
            << ", to the text a rewrite replaced: " << rewritten << ", to nothing: " << unmapped
            << "\n";
  // Only markup comes from nothing, and the words here are what lies outside it.
  EXPECT_EQ(unmapped, 0u);
  EXPECT_GT(itself, words * 9 / 10);
  EXPECT_GT(rewritten, 100u);
}

// A figure, not a test of speed: the whole reading with and without the maps, side by side.
TEST(NovelSentencePosition, ReadingWithAndWithoutMaps) {
  const auto read = [](bool maps) {
    MemoryView view(NovelText());
    RecordingVoice voice;
    ReaderState state;
    ReadingOptions options;
    options.stop_at_end_of_text = true;
    std::size_t told = 0;
    if (maps) {
      options.on_sentence_spoken = [&](const SpokenSentence&) { ++told; };
    }
    const auto start = std::chrono::steady_clock::now();
    RunReadingLoop(view, voice, state, {}, options);
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(told, maps ? voice.calls().size() : 0u);
    return std::chrono::duration<double, std::milli>(took).count();
  };
  double without = 1e9, with = 1e9;
  for (int round = 0; round < 3; ++round) {
    without = std::min(without, read(false));
    with = std::min(with, read(true));
  }
  std::cout << "whole novel, best of 3: " << without << " ms without maps, " << with << " ms with ("
            << with / without << " times)\n";
}

}  // namespace
}  // namespace quillon
