// Reads the whole novel through the reading loop, as "&Read" does from the top, with a recording
// voice, and checks that the book and the engine's tables fit each other: every annotated paragraph
// is spoken in its speaker's voice, every voice is heard, nearly every cue decides a line and
// nearly every pronunciation rule fires, every chapter is reached, and the reading ends at the end
// marker.
//
// The cue and rule figures need to know which row decided or fired, which the loop does not tell.
// So the test follows the loop sentence by sentence with the engine's own pieces (a shadow reading)
// and checks that the shadow speaks exactly what the loop spoke; the figures come from the shadow.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "document/document.h"
#include "pronunciation/pronunciation_pipeline.h"
#include "pronunciation/pronunciation_rule.h"
#include "reading/encoding.h"
#include "reading/memory_view.h"
#include "reading/reader_state.h"
#include "reading/reading_loop.h"
#include "reading/sentence_splitter.h"
#include "reading/text_primitives.h"
#include "speech/recording_voice.h"
#include "voices/speaker_cue.h"
#include "voices/speaker_detection.h"
#include "voices/speaker_name.h"
#include "voices/voice_profiles.h"

namespace quillon {
namespace {

constexpr int kVoices = 37;
constexpr int kChapters = 68;

struct Annotation {
  std::int64_t paragraph;
  std::int32_t voice;
  std::string where;
};

std::vector<Annotation> ReadAnnotations(const std::string& path) {
  std::ifstream in(path);
  std::vector<Annotation> rows;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#')
      continue;
    std::istringstream fields(line);
    Annotation row;
    fields >> row.paragraph >> row.voice >> row.where;
    rows.push_back(row);
  }
  return rows;
}

// The first cue row that matches the line, as speaker detection walks the list; -1 when none.
int FirstMatchingCue(std::string_view line, std::int32_t chapter) {
  const auto cues = SpeakerCues();
  for (std::size_t i = 0; i < cues.size(); ++i) {
    const auto& cue = cues[i];
    if (!Contains(cue.cue, line) || !cue.chapter.HoldsFor(chapter))
      continue;
    const auto excluded = cue.unless.texts();
    if (std::none_of(excluded.begin(), excluded.end(),
                     [&](std::string_view text) { return Contains(text, line); })) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

// Whether the row's guard holds for text, as the pipeline tests it.
bool RuleFires(const PronunciationRule& rule, std::string_view text, const ReaderState& state) {
  if (rule.effect == RuleEffect::FlagRow) {
    return Position("HR", text) == 39 && text.size() == 48 && state.CurrentChapter != 13;
  }
  const auto triggers = rule.triggers.texts();
  if (std::none_of(triggers.begin(), triggers.end(),
                   [&](std::string_view t) { return Contains(t, text); })) {
    return false;
  }
  if (!rule.unless.empty() && Contains(rule.unless, text))
    return false;
  return std::find(rule.not_chapters.begin(), rule.not_chapters.end(), state.CurrentChapter) ==
             rule.not_chapters.end() ||
         state.CurrentChapter == 0;
}

// What one reading of the novel produced.
struct NovelReading {
  ReadingEnd end = ReadingEnd::Stopped;
  std::vector<std::int32_t> line_voice;  // per fetched line (paragraph), the voice it ended with
  std::vector<std::string> lines;
  std::set<std::int32_t> chapters;
  std::vector<int> cue_decisions;    // per cue row
  std::vector<int> rule_firings;     // per rule row
  std::vector<int> voice_sentences;  // per voice number
  std::vector<std::string> shadow_spoken;
  std::vector<std::string> spoken;
  std::vector<std::string> detection_mismatches;
};

// The shadow reading of one line: the loop's steps with the engine's pieces, counting as it goes.
void ShadowLine(std::string_view fetched, ReaderState state, NovelReading& out) {
  if (Contains("~~~", fetched) || Trim(fetched).empty())
    return;
  if (Contains("\"", fetched) || Contains("1.", fetched) || state.CurrentChapter == 57) {
    const int row = FirstMatchingCue(fetched, state.CurrentChapter);
    const std::int32_t detected = DetectSpeakerVoice(fetched, state);
    if (row >= 0) {
      ++out.cue_decisions[static_cast<std::size_t>(row)];
      if (SpeakerCues()[static_cast<std::size_t>(row)].voice != detected) {
        out.detection_mismatches.emplace_back(fetched);
      }
    }
    state.CurrentVoice = detected;
  } else {
    state.CurrentVoice = 0;
  }
  std::string line = ExpandAbbreviations(fetched);
  bool in_dialogue = false;
  std::string sentence = "dummy";
  const auto rules = PronunciationRules();
  while (!Trim(line).empty()) {
    if (IsQuotationClosed(Trim(sentence)))
      in_dialogue = false;
    sentence = Trim(GetFirstSentence(line));
    line = Trim(line);
    line.erase(0, std::min(line.size(), sentence.size() + 1));
    if (!in_dialogue)
      in_dialogue = Trim(sentence).starts_with('"');
    std::int32_t voice = 0;
    if (in_dialogue) {
      voice = state.CurrentVoice;
      sentence = WrapDialogueSentence(sentence, state);
    } else if (ContainsNarrationPassage(sentence)) {
      state.CurrentVoice = voice = 1;
      sentence = WrapDialogueSentence(sentence, state);
    } else {
      sentence = WrapNarratorSentence(sentence);
    }
    ++out.voice_sentences[static_cast<std::size_t>(std::clamp(voice, 0, kVoices - 1))];
    if (!Trim(sentence).empty())
      sentence = StripLineBreaks(sentence);
    for (std::size_t i = 0; i < rules.size(); ++i) {
      if (RuleFires(rules[i], sentence, state))
        ++out.rule_firings[i];
      sentence = ApplyPronunciationRules(sentence, state, rules.subspan(i, 1));
    }
    out.shadow_spoken.push_back(sentence);
  }
}

const NovelReading& ReadNovelOnce() {
  static const NovelReading reading = [] {
    NovelReading out;
    out.cue_decisions.assign(SpeakerCues().size(), 0);
    out.rule_firings.assign(PronunciationRules().size(), 0);
    out.voice_sentences.assign(kVoices, 0);

    const Document document =
        LoadDocument(QUILLON_BINARY_DIR "/bin/TheBlitheWanderingsOfQuillonFenwright.rtf");
    MemoryView view(document.ViewText());
    RecordingVoice voice;
    ReaderState state;
    ReadingOptions options;
    options.stop_at_end_of_text = true;
    options.on_line = [&](std::string_view line) {
      if (!out.lines.empty())
        out.line_voice.push_back(state.CurrentVoice);
      out.lines.emplace_back(line);
      if (state.CurrentChapter >= 1 && state.CurrentChapter <= kChapters) {
        out.chapters.insert(state.CurrentChapter);
      }
      ShadowLine(line, state, out);
    };
    out.end = RunReadingLoop(
        view, voice, state, [] {}, options);
    out.line_voice.push_back(state.CurrentVoice);
    for (const auto& call : voice.calls())
      out.spoken.push_back(Utf16ToWindows1252(call.text));
    return out;
  }();
  return reading;
}

TEST(NovelCoverage, TheReadingEndsAtTheEndMarker) {
  const auto& reading = ReadNovelOnce();
  EXPECT_EQ(reading.end, ReadingEnd::EndMarker);
  ASSERT_FALSE(reading.lines.empty());
  EXPECT_TRUE(Contains("~~~", reading.lines.back()));
}

TEST(NovelCoverage, TheShadowReadingSpeaksWhatTheLoopSpoke) {
  const auto& reading = ReadNovelOnce();
  ASSERT_EQ(reading.shadow_spoken.size(), reading.spoken.size());
  for (std::size_t i = 0; i < reading.spoken.size(); ++i) {
    ASSERT_EQ(reading.shadow_spoken[i], reading.spoken[i]) << "sentence " << i;
  }
  EXPECT_TRUE(reading.detection_mismatches.empty()) << reading.detection_mismatches.front();
}

TEST(NovelCoverage, EveryAnnotatedParagraphHasItsSpeakersVoice) {
  const auto& reading = ReadNovelOnce();
  const auto annotations = ReadAnnotations(QUILLON_BINARY_DIR "/bin/novel-speakers.tsv");
  ASSERT_GT(annotations.size(), 500u);
  int wrong = 0;
  for (const auto& a : annotations) {
    ASSERT_LT(static_cast<std::size_t>(a.paragraph), reading.line_voice.size()) << a.where;
    const auto got = reading.line_voice[static_cast<std::size_t>(a.paragraph)];
    if (got != a.voice) {
      ++wrong;
      ADD_FAILURE() << a.where << ": voice " << got << ", meant " << a.voice << ": "
                    << reading.lines[static_cast<std::size_t>(a.paragraph)];
    }
  }
  std::cout << "annotated paragraphs: " << annotations.size() << ", in another voice: " << wrong
            << '\n';
}

TEST(NovelCoverage, EveryVoiceSpeaksAtLeastOneSentence) {
  const auto& reading = ReadNovelOnce();
  for (int v = 0; v < kVoices; ++v) {
    EXPECT_GT(reading.voice_sentences[static_cast<std::size_t>(v)], 0) << "voice " << v;
  }
  std::cout << "sentences per voice:";
  for (int v = 0; v < kVoices; ++v)
    std::cout << ' ' << v << ':' << reading.voice_sentences[v];
  std::cout << '\n';
}

TEST(NovelCoverage, NearlyEveryCueDecidesALine) {
  const auto& reading = ReadNovelOnce();
  const auto cues = SpeakerCues();
  ASSERT_FALSE(cues.empty());
  std::size_t deciding = 0;
  std::ostringstream idle;
  for (std::size_t i = 0; i < cues.size(); ++i) {
    if (reading.cue_decisions[i] > 0) {
      ++deciding;
    } else {
      idle << "\n  row " << i + 1 << " (voice " << cues[i].voice
           << "): " << Windows1252ToUtf8(cues[i].cue);
    }
  }
  const double share = 100.0 * static_cast<double>(deciding) / static_cast<double>(cues.size());
  std::cout << "cue rows deciding a line: " << deciding << " of " << cues.size() << " ("
            << std::fixed << std::setprecision(1) << share << " %)" << idle.str() << '\n';
  EXPECT_GE(share, 95.0);
}

TEST(NovelCoverage, NearlyEveryPronunciationRuleFires) {
  const auto& reading = ReadNovelOnce();
  const auto rules = PronunciationRules();
  ASSERT_FALSE(rules.empty());
  std::size_t firing = 0;
  std::ostringstream idle;
  for (std::size_t i = 0; i < rules.size(); ++i) {
    if (reading.rule_firings[i] > 0) {
      ++firing;
    } else {
      idle << "\n  row " << rules[i].row << ": "
           << (rules[i].triggers.empty() ? std::string("(flag row)")
                                         : Windows1252ToUtf8(rules[i].triggers.items[0]));
    }
  }
  const double share = 100.0 * static_cast<double>(firing) / static_cast<double>(rules.size());
  std::cout << "pronunciation rows firing: " << firing << " of " << rules.size() << " ("
            << std::fixed << std::setprecision(1) << share << " %)" << idle.str() << '\n';
  EXPECT_GE(share, 90.0);
}

TEST(NovelCoverage, EveryChapterIsReached) {
  const auto& reading = ReadNovelOnce();
  for (int chapter = 1; chapter <= kChapters; ++chapter) {
    EXPECT_TRUE(reading.chapters.contains(chapter)) << "chapter " << chapter;
  }
  std::cout << "chapters reached: " << reading.chapters.size() << " of " << kChapters
            << "; lines read: " << reading.lines.size()
            << "; sentences spoken: " << reading.spoken.size() << '\n';
}

}  // namespace
}  // namespace quillon
