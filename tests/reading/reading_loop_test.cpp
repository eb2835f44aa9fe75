#include "reading/reading_loop.h"

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "reading/memory_view.h"
#include "speech/recording_voice.h"
#include "text/encoding.h"
#include "voices/voice_profiles.h"

namespace quillon {
namespace {

TEST(StripMarkupTags, RemovesWellFormedTagsAndEndsOnStrayBrackets) {
  const struct {
    std::string text, expected;
  } cases[] = {
      {"<VOICE REQUIRED=\"Name=Microsoft Mike\">\"Hi,\"</VOICE>", "\"Hi,\""},
      {"a<silence msec=\"500\"/>b", "ab"},
      {"no tags", "no tags"},
      {"", ""},
      {"<>", ""},
      {"a < b", "a < b"},                 // a "<" with no ">" after it stays
      {"a > b", "a > b"},                 // so does a ">" with no "<" before it
      {"x > \"y\" <t>z", "x > \"y\" z"},  // a stray ">" before a tag: the tag still goes
      {"\"q\" <t>r < s", "\"q\" r < s"},
      {"<a <b> c>", "<a  c>"},  // a "<" followed by another "<" before any ">" is text
      {"<<<>>>", "<<>>"},
      {"<VOICE REQUIRED=\"Name=Microsoft Mary\">\"I think 3 < 4,\"</VOICE>", "\"I think 3 < 4,\""},
      {"a<b<c>d>e<", "a<bd>e<"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(StripMarkupTags(c.text), c.expected) << c.text;
  }
}

TEST(IsQuotationClosed, CountsQuotationMarksOutsideTags) {
  const struct {
    std::string text;
    bool closed;
  } cases[] = {
      {"dummy", false},
      {"\"Go home.", false},
      {"\"Go home.\"", true},
      {"He said.\"", true},  // the only one, as the last character
      {"Go home,\" she said", false},
      {"  Go home,\"  ", true},  // trimmed first
      {"<VOICE REQUIRED=\"Name=Microsoft Mike\">It rained.</VOICE>", false},
      {"<VOICE REQUIRED=\"Gender=Male\"><RATE SPEED=\"+2\">\"Run!\"</VOICE>", true},
      {"<VOICE REQUIRED=\"Gender=Male\">It stopped,\"</VOICE>", true},
      {"<VOICE REQUIRED=\"Gender=Male\">\"It rained.</VOICE>", false},
      {"a > \"b</VOICE>", false},  // a stray ">" does not hang the test
      {"\"a < b", false},
      {"<VOICE REQUIRED=\"Name=Microsoft Mary\">\"I think 3 < 4,\"</VOICE>", true},
      {"<VOICE REQUIRED=\"Name=Microsoft Mary\">\"3 > 2 and 3 < 4,\"</VOICE>", true},
      {"", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsQuotationClosed(c.text), c.closed) << c.text;
  }
}

TEST(StripLineBreaks, RemovesEveryCarriageReturnAndLineFeed) {
  EXPECT_EQ(StripLineBreaks("a\r\nb\rc\n\n"), "abc");
  EXPECT_EQ(StripLineBreaks("plain"), "plain");
}

TEST(StripLineBreaks, TheMapDeletesTheBreaks) {
  TextMap map;
  EXPECT_EQ(StripLineBreaks("ab\r\ncd\n", &map), "abcd");
  EXPECT_EQ(map.InputLength(), 7u);
  EXPECT_EQ(map.Source({2, 1}), (TextSpan{4, 1}));
  EXPECT_EQ(map.Source({1, 2}), (TextSpan{1, 4}));  // across the deleted break
  EXPECT_EQ(map.Source({0, 4}), (TextSpan{0, 6}));  // not the trailing line feed
}

TEST(ExpandAbbreviations, TheMapLeadsEachExpansionBackToItsAbbreviation) {
  const std::string line = "Mr. Bell left P.S. at 9 a.m. and H.R. stayed.";
  TextMap map;
  const std::string expanded = ExpandAbbreviations(line, &map);
  ASSERT_EQ(expanded, ExpandAbbreviations(line));
  ASSERT_EQ(map.OutputLength(), expanded.size());
  const auto from = [&](std::string_view piece) {
    const std::size_t at = expanded.find(piece);
    const auto source = map.Source({at, piece.size()});
    return source ? line.substr(source->start, source->length) : "-";
  };
  EXPECT_EQ(from("Mister"), "Mr.");
  EXPECT_EQ(from("Bell"), "Bell");
  EXPECT_EQ(from("P S."), "P.S.");
  EXPECT_EQ(from("AM"), "a.m.");
  EXPECT_EQ(from("<silence msec=\"500\"/>"), "-");
  EXPECT_EQ(from("H R"), "H.R.");
  EXPECT_EQ(from("stayed."), "stayed.");
  EXPECT_EQ(from(expanded), line);
}

TEST(AbbreviationRules, TwelveRulesInOrder) {
  ASSERT_EQ(AbbreviationRules().size(), 12u);
  EXPECT_EQ(AbbreviationRules().front().search, "Mr.");
  EXPECT_EQ(AbbreviationRules().back().search, "p.m.");
}

TEST(ExpandAbbreviations, EachRuleSeesTheLineAsTheEarlierOnesLeftIt) {
  const struct {
    std::string line, expected;
  } cases[] = {
      {"Mr. Tod and Mr. Pim.", "Mister Tod and Mister Pim."},
      {"St. Agnes", "Saint Agnes"},
      {"in D.C. now", "in DC now"},
      {"B.B. guns", "B B guns"},
      {"P.S. do", "P S. do"},  // the last period stays
      {"J.C. and P.S", "J C. and P.S"},
      {"B.I.O.N.", "<emph>Buy</emph> on"},
      {"H.R. came", "H R came"},
      {"H.R.'s car", "H arz car"},
      {"H.R. took H.R.'s car", "H.R. took H arz car"},  // only rule 9 applies
      {"C.C.'s hat", "C seize hat"},
      {"at 6 a.m. and 9 p.m.", "at 6 AM <silence msec=\"500\"/> and 9 PM <silence msec=\"500\"/>"},
      {"mr. st. A.M.", "mr. st. A.M."},  // case-sensitive
      {"", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ExpandAbbreviations(c.line), c.expected) << c.line;
  }
}

TEST(NarrationPassages, TenPassagesTestedBySubstring) {
  ASSERT_EQ(NarrationPassages().size(), 10u);
  const struct {
    std::string sentence;
    bool spoken_by_voice_1;
  } cases[] = {
      {"\x85"
       "and then back to the punk part, he said.",
       true},
      {"...and then back to the punk part", false},  // three periods are not the ellipsis
      {"Police SWAT teams will come.", true},
      {"Prison riots will thereby end.", true},
      {"Items 2. and 3.", true},
      {"2.", false},  // a digit, a period and one space
      {"12. ", true},
      {"police SWAT teams", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ContainsNarrationPassage(c.sentence), c.spoken_by_voice_1) << c.sentence;
  }
}

// The reading loop over an in-memory view, with a voice that records each sentence together with
// the reader's place and voice at the moment it is spoken.
class ReadingLoopTest : public ::testing::Test {
 protected:
  struct Spoken {
    std::string text;  // back in Windows-1252
    std::int32_t voice;
    std::int64_t line;
    bool operator==(const Spoken&) const = default;
    friend void PrintTo(const Spoken& s, std::ostream* os) {
      *os << "{" << s.text << ", voice " << s.voice << ", line " << s.line << "}";
    }
  };

  ReadingEnd Read(const std::string& text, std::function<void()> pump = {},
                  bool stop_at_end_of_text = true) {
    view.SetText(text);
    return Continue(std::move(pump), stop_at_end_of_text);
  }
  ReadingEnd Continue(std::function<void()> pump = {}, bool stop_at_end_of_text = true) {
    ReadingOptions options;
    options.stop_at_end_of_text = stop_at_end_of_text;
    options.on_line = [this](std::string_view line) { lines.emplace_back(line); };
    return RunReadingLoop(view, voice, state, pump, options);
  }

  static std::string Narrator(const std::string& sentence) {
    return "<VOICE REQUIRED=\"Name=Microsoft Mike\">" + sentence + "</VOICE>";
  }
  static std::string Dialogue(std::int32_t voice_number, const std::string& sentence) {
    return std::string(GetVoiceProfileTag(voice_number)) + sentence + "</VOICE>";
  }

  MemoryView view;
  ReaderState state;
  std::vector<Spoken> spoken;
  std::vector<std::string> lines;
  RecordingVoice voice{[this](std::u16string_view text, unsigned flags) {
    EXPECT_EQ(flags, kSpeakIsXml);
    spoken.push_back({Utf16ToWindows1252(text), state.CurrentVoice, view.SelectionStart()});
  }};
};

TEST_F(ReadingLoopTest, AbbreviationsAreExpandedBeforeTheLineIsSplit) {
  EXPECT_EQ(Read("Mr. Plum met Mr. Dabble at 9 a.m. sharp. Then he left.\r\n~~~\r\n"),
            ReadingEnd::EndMarker);
  const std::vector<Spoken> expected = {
      {Narrator("Mister Plum met Mister Dabble at 9 AM <silence msec=\"500\"/> sharp."), 0, 0},
      {Narrator("Then he left."), 0, 0},
  };
  EXPECT_EQ(spoken, expected);
}

TEST_F(ReadingLoopTest, AQuotationOverSeveralSentencesIsSpokenInTheDialogueVoice) {
  // Bob is voice 4; he is named in the narration after the quotation.
  Read(
      "\"It rained. It poured. It stopped,\" said Bob. Then it was dry.\r\n"
      "It was dusk. \"Go,\" he said.\r\n");
  const std::vector<Spoken> expected = {
      {Dialogue(4, "\"It rained."), 4, 0},
      {Dialogue(4, "It poured."), 4, 0},
      {Dialogue(4, "It stopped,\""), 4, 0},
      {Narrator("said Bob."), 4, 0},  // the quotation closed with the previous sentence
      {Narrator("Then it was dry."), 4, 0},
      // The next line: no name, so the last speaker goes on.
      {Narrator("It was dusk."), 4, 64},
      {Dialogue(4, "\"Go,\""), 4, 64},
      {Narrator("he said."), 4, 64},
  };
  EXPECT_EQ(spoken, expected);
}

TEST_F(ReadingLoopTest, AStrayLessThanSignDoesNotKeepTheQuotationOpen) {
  state.CurrentVoice = 2;  // no name in the line: the last speaker goes on
  Read("\"I think 3 < 4,\" he said. \"Yes.\"\r\n");
  const std::vector<Spoken> expected = {
      {Dialogue(2, "\"I think 3 < 4,\""), 2, 0},
      {Narrator("he said."), 2, 0},
      {Dialogue(2, "\"Yes.\""), 2, 0},
  };
  EXPECT_EQ(spoken, expected);
}

TEST_F(ReadingLoopTest, AVeryLongLineIsReadSentenceBySentence) {
  // Far longer than any paragraph of a book; the splitter rescans what is left of the line for
  // every sentence, so this stays small enough for the sanitizer build.
  constexpr std::size_t kSentences = 16 * 1024 / 3;
  std::string line;
  for (std::size_t i = 0; i < kSentences; ++i) {
    line += "a. ";
  }
  EXPECT_EQ(Read(line + "\r\n"), ReadingEnd::EndOfText);
  ASSERT_EQ(spoken.size(), kSentences);
  EXPECT_EQ(spoken.front().text, Narrator("a."));
  EXPECT_EQ(spoken.back().text, Narrator("a."));
}

TEST_F(ReadingLoopTest, EachLineStartsOutsideAQuotation) {
  // No name in either line's narration: the last speaker, 5, goes on.
  state.CurrentVoice = 5;
  Read("\"It rained. It poured.\r\nIt stopped,\" he said.\r\n");
  ASSERT_EQ(spoken.size(), 4u);
  EXPECT_EQ(spoken[1].text, Dialogue(5, "It poured."));
  EXPECT_EQ(spoken[2].text, Narrator("It stopped,\""));  // not opened by this line's sentence
  EXPECT_EQ(spoken[3].text, Narrator("he said."));
  EXPECT_EQ(spoken[3].voice, 5);
}

TEST_F(ReadingLoopTest, ANarrationPassageSetsVoiceOneForTheRestOfTheLine) {
  state.CurrentVoice = 5;
  Read(
      "Police SWAT teams will come. \"Run!\" they cried. The end.\r\n"
      "\"Go,\" said Bob.\r\n");
  const std::vector<Spoken> expected = {
      {Dialogue(1, "Police SWAT teams will come."), 1, 0},
      {Dialogue(1, "\"Run!\""), 1, 0},
      {Narrator("they cried."), 1, 0},
      {Narrator("The end."), 1, 0},
      {Dialogue(4, "\"Go,\""), 4, 58},  // the next line picks its voice anew
      {Narrator("said Bob."), 4, 58},
  };
  EXPECT_EQ(spoken, expected);
}

TEST_F(ReadingLoopTest, TheLinesVoiceIsDecidedOnTheLineAsFetched) {
  const struct {
    std::int32_t chapter;
    std::string line;
    std::int32_t voice;
  } cases[] = {
      {3, "Bob sat down.\r\n", 0},      // narration: no detection outside chapter 57
      {57, "Bob sat down.\r\n", 4},     // every line of chapter 57 is detected
      {3, "Bob had 1.5 hats.\r\n", 4},  // "1." sends the line to detection
  };
  for (const auto& c : cases) {
    spoken.clear();
    state = {};
    state.CurrentChapter = c.chapter;
    state.CurrentVoice = 9;
    Read(c.line);
    ASSERT_FALSE(spoken.empty()) << c.line;
    EXPECT_EQ(spoken.front().voice, c.voice) << c.line;
    EXPECT_EQ(state.CurrentVoice, c.voice) << c.line;
  }
}

TEST_F(ReadingLoopTest, BlankLinesSpeakNothingAndKeepTheVoice) {
  EXPECT_EQ(Read("\"Go,\" said Bob.\r\n   \r\n\r\n\t\r\nlast line without a break"),
            ReadingEnd::EndOfText);
  EXPECT_EQ(spoken.size(), 2u);
  EXPECT_EQ(state.CurrentVoice, 4);
  EXPECT_EQ(lines.back(), "");  // the unfinished last line is never fetched
}

TEST_F(ReadingLoopTest, TheEndMarkerLineIsSelectedButNotSpoken) {
  EXPECT_EQ(Read("One.\r\nThe end ~~~ here.\r\nTwo.\r\n"), ReadingEnd::EndMarker);
  EXPECT_EQ(spoken.size(), 1u);
  EXPECT_EQ(view.SelectedText(), "The end ~~~ here.\r\n");
  EXPECT_FALSE(state.StopRequested);
}

TEST_F(ReadingLoopTest, PumpsBeforeEachLineAndTwiceForEachSentence) {
  std::vector<std::string> events;
  voice = RecordingVoice([&](std::u16string_view, unsigned) { events.push_back("speak"); });
  ReadingOptions options;
  options.stop_at_end_of_text = true;
  options.on_line = [&](std::string_view) { events.push_back("line"); };
  view.SetText("One. Two.\r\n\r\n");
  RunReadingLoop(
      view, voice, state, [&] { events.push_back("pump"); }, options);
  const std::vector<std::string> expected = {
      "pump", "line",           // the first line
      "pump", "pump", "speak",  // "One."
      "pump", "pump", "speak",  // "Two."
      "pump", "line",           // the blank line
      "pump", "line",           // no line feed follows
  };
  EXPECT_EQ(events, expected);
}

// A pump that clicks "&Stop" the first time it runs after `after` sentences have been spoken.
std::function<void()> ClickStopAfter(std::size_t after, const RecordingVoice& voice,
                                     ReaderState& state) {
  return [&voice, &state, after] {
    if (voice.calls().size() == after) {
      RequestStop(state);
    }
  };
}

TEST_F(ReadingLoopTest, AStopDuringASentenceEndsTheReadingAfterTheNextOne) {
  const std::string text = "One. Two. Three.\r\n\"Go,\" said Bob. Four.\r\nFive.\r\n";
  const struct {
    std::size_t click_during;  // the sentence (from 1) being spoken when Stop is clicked
    std::size_t spoken;
    std::int64_t selection;  // the line selected when the reading ends
    std::int32_t voice;
  } cases[] = {
      {1, 2, 0, 0},   // handled before "Two." is prepared: "Two." is still spoken
      {2, 3, 0, 0},   // handled before "Three.": the line ends, and so does the reading
      {3, 3, 18, 4},  // during the last sentence: the next line is fetched, its voice set
      {4, 5, 18, 4},
  };
  for (const auto& c : cases) {
    spoken.clear();
    voice.Clear();
    state = {};
    EXPECT_EQ(Read(text, ClickStopAfter(c.click_during, voice, state)), ReadingEnd::Stopped)
        << c.click_during;
    EXPECT_EQ(spoken.size(), c.spoken) << c.click_during;
    EXPECT_EQ(view.SelectionStart(), c.selection) << c.click_during;
    EXPECT_EQ(state.CurrentVoice, c.voice) << c.click_during;
    EXPECT_TRUE(state.StopRequested);
  }

  // The next reading clears the flag and goes on after the selected line.
  spoken.clear();
  EXPECT_EQ(Continue(), ReadingEnd::EndOfText);
  ASSERT_EQ(spoken.size(), 1u);
  EXPECT_EQ(spoken[0].text, Narrator("Five."));
}

TEST_F(ReadingLoopTest, WithoutStopAtEndOfTextTheLoopWaitsForStop) {
  int pumps = 0;
  const auto pump = [&] {
    if (++pumps == 10) {
      RequestStop(state);
    }
  };
  EXPECT_EQ(Read("One.\r\nunfinished", pump, false), ReadingEnd::Stopped);
  EXPECT_EQ(spoken.size(), 1u);
  EXPECT_EQ(pumps, 10);
  EXPECT_EQ(view.SelectionStart(), 6);
  EXPECT_EQ(view.SelectionLength(), 0);
}

TEST_F(ReadingLoopTest, AtTheEndOfTheTextTheLoopWaitsForEventsInsteadOfPumping) {
  // Blank lines still pump; only once no line feed follows does the wait take the pump's place.
  int pumps = 0;
  int waits = 0;
  ReadingOptions options;
  options.wait_for_events = [&] {
    if (++waits == 3) {
      RequestStop(state);
    }
  };
  view.SetText("One.\r\n\r\n\r\nunfinished");
  EXPECT_EQ(RunReadingLoop(
                view, voice, state, [&] { ++pumps; }, options),
            ReadingEnd::Stopped);
  EXPECT_EQ(spoken.size(), 1u);
  EXPECT_EQ(waits, 3);
  // Line 1: before it and twice in its sentence; one before each blank line; one before the
  // first fetch that finds no line feed. From then on only the wait.
  EXPECT_EQ(pumps, 3 + 2 + 1);
}

TEST_F(ReadingLoopTest, AFailingVoiceEndsTheReadingAndKeepsTheState) {
  voice.FailAt(1, "The voice is gone");
  state.CurrentChapter = 7;
  state.FirstOccurrenceOfHRInK12HasBeenRead = true;
  try {
    Read("\"Go. Now. Fast,\" said Bob.\r\nMore.\r\n");
    FAIL() << "the error did not reach the caller";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "The voice is gone");
  }
  EXPECT_EQ(spoken.size(), 1u);
  EXPECT_EQ(state.CurrentVoice, 4);
  EXPECT_EQ(state.CurrentChapter, 7);
  EXPECT_TRUE(state.FirstOccurrenceOfHRInK12HasBeenRead);
  EXPECT_FALSE(state.StopRequested);
  EXPECT_EQ(view.SelectionStart(), 0);  // the line stays selected; the next reading skips it
}

TEST_F(ReadingLoopTest, ASecondReadingRunsNestedAndTheFirstResumes) {
  bool nested = false;
  const auto pump = [&] {
    if (!nested && !spoken.empty()) {
      nested = true;
      EXPECT_EQ(Continue(), ReadingEnd::EndMarker);
    }
  };
  EXPECT_EQ(Read("One. Two.\r\nThree.\r\n~~~\r\nFour.\r\n~~~\r\n", pump), ReadingEnd::EndMarker);
  std::vector<std::string> texts;
  for (const Spoken& s : spoken) {
    texts.push_back(s.text);
  }
  const std::vector<std::string> expected = {Narrator("One."), Narrator("Three."), Narrator("Two."),
                                             Narrator("Four.")};
  EXPECT_EQ(texts, expected);
  EXPECT_EQ(view.SelectionStart(), 31);  // the second end marker
}

TEST_F(ReadingLoopTest, ArbitraryTextIsReadToItsEnd) {
  // Marks the splitter, the tags and the quotation test react to, mixed with line breaks.
  static constexpr std::string_view kPieces[] = {
      "\"",   "<",
      ">",    ".",
      "?",    "!",
      ":",    ",",
      " ",    "\r",
      "\n",   "\r\n",
      "\x85", "--",
      "1. ",  "a",
      "Mr.",  "H.R.'s",
      "~",    "CHAPTER 5",
      "\t",   std::string_view("\0", 1),
      "\xff", "Bob",
  };
  std::mt19937 random(20261208);
  for (int document = 0; document < 300; ++document) {
    std::string text;
    const int pieces = static_cast<int>(random() % 400);
    for (int i = 0; i < pieces; ++i) {
      text += kPieces[random() % std::size(kPieces)];
    }
    const ReadingEnd end = Read(PlainTextToViewText(text));
    EXPECT_NE(end, ReadingEnd::Stopped);
    EXPECT_LE(view.SelectionStart() + view.SelectionLength(), view.TextLength());
  }
}

}  // namespace
}  // namespace quillon
