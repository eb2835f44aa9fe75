#include "reading/reading_loop.h"

#include <algorithm>
#include <array>

#include "pronunciation/pronunciation_pipeline.h"
#include "reading/line_fetcher.h"
#include "reading/sentence_splitter.h"
#include "text/encoding.h"
#include "text/text_primitives.h"
#include "voices/speaker_detection.h"
#include "voices/voice_profiles.h"

namespace quillon {
namespace {

// clang-format off
constexpr std::array<AbbreviationRule, 12> kAbbreviationRules{{
//   applies when   unless     search       replacement
    {"Mr.",        "",        "Mr.",       "Mister"},
    {"St.",        "",        "St.",       "Saint"},
    {"D.C.",       "",        "D.C.",      "DC"},
    {"B.B.",       "",        "B.B.",      "B B"},
    {"P.S.",       "",        "P.S",       "P S"},
    {"J.C.",       "",        "J.C",       "J C"},
    {"B.I.O.N.",   "",        "B.I.O.N.",  "<emph>Buy</emph> on"},
    {"H.R.",       "H.R.'s",  "H.R.",      "H R"},
    {"H.R.'s",     "",        "H.R.'s",    "H arz"},
    {"C.C.'s",     "",        "C.C.'s",    "C seize"},
    {"a.m.",       "",        "a.m.",      "AM <silence msec=\"500\"/>"},
    {"p.m.",       "",        "p.m.",      "PM <silence msec=\"500\"/>"},
}};

constexpr std::array<std::string_view, 10> kNarrationPassages{{
    "\x85" "and then back to the punk part",
    "Police SWAT teams",
    "Prison wardens will be able",
    "Parents will be able to have the child",
    "Miss America wannabes can guarantee",
    "Prison riots will thereby",
    "1. ",
    "2. ",
    "3. ",
    "4. ",
}};
// clang-format on

// The sentence a reading starts with: no quotation mark, so no quotation is open.
constexpr std::string_view kNoSentenceYet = "dummy";

// The voice for a line as fetched: speaker detection for a line that may hold dialogue, else the
// narrator. Tells decision, when given, how it was decided.
std::int32_t VoiceForLine(std::string_view line, const ReaderState& state,
                          SpeakerDecision* decision) {
  if (Contains("\"", line) || Contains("1.", line) || state.CurrentChapter == 57) {
    return DetectSpeakerVoice(line, state, decision);
  }
  if (decision != nullptr) {
    *decision = SpeakerDecision{};
  }
  return 0;
}

// The text without its leading and trailing characters of code 0 to 32, as a view into it.
std::string_view TrimmedView(std::string_view text) {
  const auto is_blank = [](char c) { return static_cast<unsigned char>(c) <= 32; };
  while (!text.empty() && is_blank(text.front())) {
    text.remove_prefix(1);
  }
  while (!text.empty() && is_blank(text.back())) {
    text.remove_suffix(1);
  }
  return text;
}

// The map from length characters at offset of a text of text_length characters to the text.
TextMap CutMap(std::size_t text_length, std::size_t offset, std::size_t length) {
  TextMap map;
  map.Delete(offset);
  map.Copy(length);
  map.Delete(text_length - offset - length);
  return map;
}

// Where the sentence at [offset, offset + length) of the expanded line stands in the line as
// fetched; line_map leads from the one to the other. A sentence with nothing to map back (an empty
// one) stands, empty, where it was cut.
TextSpan SpanInLine(const TextMap& line_map, std::size_t offset, std::size_t length) {
  if (const auto source = line_map.Source({offset, length})) {
    return *source;
  }
  const auto here = line_map.Source({offset, 1});
  return {here ? here->start : line_map.InputLength(), 0};
}

}  // namespace

std::span<const AbbreviationRule> AbbreviationRules() {
  return kAbbreviationRules;
}

std::string ExpandAbbreviations(std::string_view line, TextMap* map) {
  std::string result(line);
  if (map != nullptr) {
    *map = TextMap::Identity(line.size());
  }
  TextMap step;
  for (const AbbreviationRule& rule : kAbbreviationRules) {
    if (Contains(rule.applies_when, result) &&
        (rule.unless.empty() || !Contains(rule.unless, result))) {
      result = ReplaceText(result, rule.search, rule.replacement, ReplaceMode::All,
                           map ? &step : nullptr);
      if (map != nullptr) {
        *map = map->Then(step);
      }
    }
  }
  return result;
}

std::span<const std::string_view> NarrationPassages() {
  return kNarrationPassages;
}

std::string_view FindNarrationPassage(std::string_view sentence) {
  const auto found =
      std::find_if(kNarrationPassages.begin(), kNarrationPassages.end(),
                   [&](std::string_view passage) { return Contains(passage, sentence); });
  return found == kNarrationPassages.end() ? std::string_view() : *found;
}

bool ContainsNarrationPassage(std::string_view sentence) {
  return !FindNarrationPassage(sentence).empty();
}

std::string StripLineBreaks(std::string_view text, TextMap* map) {
  std::string result;
  result.reserve(text.size());
  if (map != nullptr) {
    *map = TextMap();
  }
  for (const char c : text) {
    const bool kept = c != '\r' && c != '\n';
    if (kept) {
      result += c;
    }
    if (map != nullptr) {
      kept ? map->Copy(1) : map->Delete(1);
    }
  }
  return result;
}

std::string StripMarkupTags(std::string_view text) {
  // A tag is a "<" and the first ">" after it with no other "<" between them. The kept text is
  // copied as it comes; the last "<" not yet closed is remembered by its place in the result.
  std::string result;
  result.reserve(text.size());
  std::size_t open = std::string::npos;
  for (const char c : text) {
    if (c == '>' && open != std::string::npos) {
      result.resize(open);
      open = std::string::npos;
      continue;
    }
    if (c == '<') {
      open = result.size();
    }
    result += c;
  }
  return result;
}

bool IsQuotationClosed(std::string_view text) {
  const std::string t = StripMarkupTags(TrimmedView(text));
  const std::size_t first = t.find('"');
  if (first == std::string::npos) {
    return false;
  }
  return first + 1 == t.size() || t.find('"', first + 1) != std::string::npos;
}

ReadingEnd RunReadingLoop(RichTextView& view, SpeechVoice& voice, ReaderState& state,
                          const std::function<void()>& pump, const ReadingOptions& options) {
  const auto handle_pending_events = [&] {
    if (pump) {
      pump();
    }
  };

  state.StopRequested = false;
  bool at_end_of_text = false;
  while (!state.StopRequested) {
    if (at_end_of_text && options.wait_for_events) {
      options.wait_for_events();
    } else {
      handle_pending_events();
    }
    std::string line = GetNextLine(view, state);
    if (options.on_line) {
      options.on_line(line);
    }
    if (Contains("~~~", line)) {
      return ReadingEnd::EndMarker;
    }
    if (Trim(line).empty()) {
      // An empty text means no line feed follows; the window waits here for "&Stop".
      at_end_of_text = line.empty();
      if (at_end_of_text && options.stop_at_end_of_text) {
        return ReadingEnd::EndOfText;
      }
      continue;
    }
    at_end_of_text = false;
    SpeakerDecision decision;
    state.CurrentVoice = VoiceForLine(line, state, options.observer ? &decision : nullptr);
    if (options.observer) {
      options.observer->OnLineVoice(decision);
    }
    // The maps from each step's result back to the line as fetched, only when someone asks.
    const bool mapping = static_cast<bool>(options.on_sentence_spoken);
    TextMap line_map;
    line = ExpandAbbreviations(line, mapping ? &line_map : nullptr);

    // What is left of the line to read, as a view into it: no sentence copies the rest, and the
    // splitter searches each part of the line once, however many sentences it holds.
    std::string_view rest = line;
    SentenceSplitter splitter(line);
    bool in_dialogue = false;
    std::string sentence(kNoSentenceYet);
    while (!TrimmedView(rest).empty()) {
      if (state.StopRequested) {
        return ReadingEnd::Stopped;
      }
      handle_pending_events();
      // The previous sentence, in its final form, closes the quotation it was part of.
      if (IsQuotationClosed(Trim(sentence))) {
        in_dialogue = false;
      }
      sentence = Trim(splitter.FirstSentence(rest));
      // The sentence and the separator after it (a space, or a comma left outside it).
      rest = TrimmedView(rest);
      // The sentence is the front of the trimmed rest.
      const auto offset = static_cast<std::size_t>(rest.data() - line.data());
      TextMap to_line;
      TextSpan in_line;
      if (mapping) {
        to_line = line_map.Then(CutMap(line.size(), offset, sentence.size()));
        in_line = SpanInLine(line_map, offset, sentence.size());
      }
      rest.remove_prefix(std::min(sentence.size() + 1, rest.size()));
      if (!in_dialogue) {
        in_dialogue = sentence.starts_with('"');
      }
      TextMap step;
      TextMap* const step_map = mapping ? &step : nullptr;
      std::string_view passage;
      if (in_dialogue) {
        sentence = WrapDialogueSentence(sentence, state, step_map);
      } else if (passage = FindNarrationPassage(sentence); !passage.empty()) {
        state.CurrentVoice = 1;
        sentence = WrapDialogueSentence(sentence, state, step_map);
      } else {
        sentence = WrapNarratorSentence(sentence, step_map);
      }
      if (mapping) {
        to_line = to_line.Then(step);
      }
      if (options.observer) {
        const bool narrator = !in_dialogue && passage.empty();
        options.observer->OnSentenceFramed(narrator ? 0 : state.CurrentVoice, passage);
      }
      handle_pending_events();
      if (!Trim(sentence).empty()) {
        sentence = StripLineBreaks(sentence, step_map);
        if (mapping) {
          to_line = to_line.Then(step);
        }
      }
      sentence = ApplyPronunciationRules(sentence, state, options.observer, step_map);
      view.ScrollCaret();
      if (mapping) {
        options.on_sentence_spoken({in_line, to_line.Then(step)});
      }
      voice.Speak(Windows1252ToUtf16(sentence), kSpeakIsXml);
    }
  }
  return ReadingEnd::Stopped;
}

}  // namespace quillon
