// The speech markup translator: runs and silences, and the SSML espeak-ng gets.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "speech/espeak_input.h"
#include "speech/recording_voice.h"
#include "speech/speech_voice.h"

namespace quillon {
namespace {

// "[male rate+2 vol85 pitch+7]Hi|<500>|[]x": each run's state (defaults left out) and text.
std::string Describe(const std::vector<MarkupSegment>& segments) {
  std::string out;
  for (const MarkupSegment& s : segments) {
    if (!out.empty()) {
      out += '|';
    }
    if (s.is_silence) {
      out += "<" + std::to_string(s.silence_ms) + ">";
      continue;
    }
    std::vector<std::string> fields;
    static const char* const kVoices[] = {"narrator", "mary", "robot", "male", "female"};
    if (s.state.voice != MarkupVoice::Narrator) {
      fields.push_back(kVoices[static_cast<int>(s.state.voice)]);
    }
    const auto sign = [](int v) { return (v > 0 ? "+" : "") + std::to_string(v); };
    if (s.state.rate != 0) {
      fields.push_back("rate" + sign(s.state.rate));
    }
    if (s.state.volume != 100) {
      fields.push_back("vol" + std::to_string(s.state.volume));
    }
    if (s.state.pitch != 0) {
      fields.push_back("pitch" + sign(s.state.pitch));
    }
    if (s.state.emphasis) {
      fields.push_back("emph");
    }
    if (s.state.part != PartOfSpeech::None) {
      fields.push_back(s.state.part == PartOfSpeech::Noun ? "noun" : "verb");
    }
    if (s.state.context != SpeechContext::None) {
      fields.push_back(s.state.context == SpeechContext::Currency ? "$"
                       : s.state.context == SpeechContext::Time   ? "time"
                                                                  : "ctx");
    }
    out += '[';
    for (std::size_t i = 0; i < fields.size(); ++i) {
      out += (i ? " " : "") + fields[i];
    }
    out += ']' + s.text;
  }
  return out;
}

struct ParseCase {
  const char* what;
  std::string markup;
  std::string expected;
};

class ParseTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseTest, GivesRunsAndSilences) {
  EXPECT_EQ(Describe(ParseSpeechMarkup(GetParam().markup)), GetParam().expected) << GetParam().what;
}

const std::string kProfile1 =
    R"(<VOICE REQUIRED="Gender=Male"><RATE SPEED="+2"><VOLUME LEVEL="85"><PITCH MIDDLE="+7">)";

// clang-format off
INSTANTIATE_TEST_SUITE_P(Elements, ParseTest, ::testing::Values(
    ParseCase{"plain text",            "Hello.",                                 "[]Hello."},
    ParseCase{"empty text",            "",                                       ""},
    ParseCase{"attribute profile",     kProfile1 + "Hi.</VOICE>",                "[male rate+2 vol85 pitch+7]Hi."},
    ParseCase{"narrator",              R"(<VOICE REQUIRED="Name=Microsoft Mike">Hi</VOICE>)", "[]Hi"},
    ParseCase{"Mary",                  R"(<VOICE REQUIRED="Name=Microsoft Mary">Hi</VOICE>)", "[mary]Hi"},
    ParseCase{"Sam",                   R"(<VOICE REQUIRED="Name=Microsoft Sam">Hi</VOICE>)",  "[robot]Hi"},
    ParseCase{"female",                R"(<VOICE REQUIRED="Gender=Female">Hi</VOICE>)",       "[female]Hi"},
    ParseCase{"unknown voice keeps",   R"(<VOICE REQUIRED="Gender=Female"><VOICE REQUIRED="Name=Nobody">x</VOICE></VOICE>)", "[female]x"},
    ParseCase{"several requirements",  R"(<VOICE REQUIRED="Age=Adult;Gender=Female">x)",     "[female]x"},
    ParseCase{"rates add up",          R"(<RATE SPEED="+2">a<RATE SPEED="-7">b</RATE>c)",    "[rate+2]a|[rate-5]b|[rate+2]c"},
    ParseCase{"rate within -10..10",   R"(<RATE SPEED="+6"><RATE SPEED="+6">x)",             "[rate+10]x"},
    ParseCase{"absolute rate",         R"(<RATE SPEED="+6"><RATE ABSSPEED="-1">x)",          "[rate-1]x"},
    ParseCase{"volume is absolute",    R"(<VOLUME LEVEL="85">a<VOLUME LEVEL="70">b</VOLUME>c)", "[vol85]a|[vol70]b|[vol85]c"},
    ParseCase{"volume within 0..100",  R"(<VOLUME LEVEL="250">x)",                           "[]x"},
    ParseCase{"pitches add up",        R"(<PITCH MIDDLE="+7"><PITCH MIDDLE="-22">x)",        "[pitch-15]x"},
    ParseCase{"emphasis",              "a <emph>b</emph> c",                     "[]a |[emph]b|[] c"},
    ParseCase{"nested emphasis",       "<emph>a<emph>b</emph>c</emph>d",         "[emph]abc|[]d"},
    ParseCase{"silence",               R"(a<silence msec="500"/>b)",             "[]a|<500>|[]b"},
    ParseCase{"silences add up",       R"(<silence msec="500"/><SILENCE MSEC="250"></SILENCE>)", "<750>"},
    ParseCase{"zero silence",          R"(a<silence msec="0"/>b)",               "[]ab"},
    ParseCase{"huge silence bounded",  R"(<silence msec="99999999999"/>)",       "<60000>"},
    ParseCase{"silences bounded in total", R"(a<silence msec="40000"/>b<silence msec="30000"/>c<silence msec="5"/>d)", "[]a|<40000>|[]b|<20000>|[]cd"},
    ParseCase{"part of speech",        R"(to <partofsp part="verb">record</partofsp>)", "[]to |[verb]record"},
    ParseCase{"noun",                  R"(<partofsp part="noun">lives</partofsp>)",     "[noun]lives"},
    ParseCase{"currency",              R"(<context ID = "currency">$500</context> )",   "[$]$500|[] "},
    ParseCase{"time",                  R"(<context id="time">6:30</context>)",          "[time]6:30"}));

INSTANTIATE_TEST_SUITE_P(Forms, ParseTest, ::testing::Values(
    ParseCase{"lower case names",      R"(<voice required="gender=female"><rate speed="-1">x)", "[female rate-1]x"},
    ParseCase{"mixed case",            "<Emph>a</EMPH>b",                        "[emph]a|[]b"},
    ParseCase{"single quotes",         "<RATE SPEED='-4'>x",                     "[rate-4]x"},
    ParseCase{"spaces around =",       "<RATE SPEED = \"-4\" >x",                "[rate-4]x"},
    ParseCase{"empty element stays",   R"(<RATE SPEED="+3"/>x)",                 "[rate+3]x"},
    ParseCase{"empty emphasis nothing","a<emph/>b",                              "[]ab"}));

INSTANTIATE_TEST_SUITE_P(ProfilesAndRules, ParseTest, ::testing::Values(
    ParseCase{"profile left open by the short closing",
              kProfile1 + "Hi.</VOICE>then",
              "[male rate+2 vol85 pitch+7]Hi.|[rate+2 vol85 pitch+7]then"},
    ParseCase{"end tag closes its own name under later ones",
              R"(<RATE SPEED="+2"><VOLUME LEVEL="80">a</RATE>b</VOLUME>c)",
              "[rate+2 vol80]a|[vol80]b|[]c"},
    ParseCase{"volume 100 opened by a rule inside the long closing",
              kProfile1 + R"(Say <VOLUME LEVEL="100"><emph>Quil</emph> lon!</PITCH></VOLUME></RATE></VOICE>x)",
              "[male rate+2 vol85 pitch+7]Say |[male rate+2 pitch+7 emph]Quil|[male rate+2 pitch+7] lon!|[vol85]x"},
    ParseCase{"rule rate inside a profile",
              kProfile1 + R"(<RATE SPEED="-5"><EMPH>shush</EMPH></RATE>!</VOICE>)",
              "[male rate-3 vol85 pitch+7 emph]shush|[male rate+2 vol85 pitch+7]!"},
    ParseCase{"stray end tags",        "</RATE>a</emph></VOICE>b",               "[]ab"}));

INSTANTIATE_TEST_SUITE_P(Text, ParseTest, ::testing::Values(
    ParseCase{"entities",              "&amp; &lt;x&gt; &quot;q&quot; &apos; &#65;&#x42; &#8230;",
                                       "[]& <x> \"q\" ' AB \x85"},
    ParseCase{"stray ampersands",      "M&M & Q&A &nosuch; &#; &#xZZ; &#0; &",   "[]M&M & Q&A &nosuch; &#; &#xZZ; &#0; &"},
    ParseCase{"stray less-than",       "a <b is true, x < y, <3, <>, a<",        "[]a <b is true, x < y, <3, <>, a<"},
    ParseCase{"unterminated tag",      R"(x <VOICE REQUIRED="Gender=Male")",     "[]x <VOICE REQUIRED=\"Gender=Male\""},
    ParseCase{"unquoted attribute",    "<RATE SPEED=5>x",                        "[]<RATE SPEED=5>x"},
    ParseCase{"unknown tags dropped",  "a <b>bold</b> <foo x='1'/>c<!-- no -->", "[]a bold c<!-- no -->"},
    ParseCase{"line breaks kept",      "a\r\nb",                                 "[]a\r\nb"}));
// clang-format on

TEST(ParseSpeechMarkup, DeepNestingIsFlatAndKeepsEveryCharacter) {
  std::string markup;
  for (int i = 0; i < 100'000; ++i) {
    markup += "<emph><RATE SPEED=\"+1\">x";
  }
  for (int i = 0; i < 100'000; ++i) {
    markup += "</RATE></emph>y";
  }
  const auto segments = ParseSpeechMarkup(markup);
  std::string text;
  for (const auto& s : segments) {
    text += s.text;
  }
  EXPECT_EQ(text, std::string(100'000, 'x') + std::string(100'000, 'y'));
  // Rates 1 to 10 on the way in, the rest merged at the bound, 9 to 0 on the way out.
  ASSERT_EQ(segments.size(), 20u);
  EXPECT_EQ(segments[0].state.rate, 1);
  EXPECT_EQ(segments[9].state.rate, 10);
  EXPECT_EQ(segments[19].state, SpeakingState{});
}

// A megabyte of sentences as the reading loop hands them over, with the rule tags in them.
std::string MegabyteOfMarkup(std::mt19937& random) {
  const std::vector<std::string> pieces = {kProfile1,
                                           "</VOICE>",
                                           R"(<VOICE REQUIRED="Name=Microsoft Mary">)",
                                           "<emph>",
                                           "</emph>",
                                           "<EMPH>",
                                           "</EMPH>",
                                           R"(<silence msec="500"/>)",
                                           R"(<partofsp part="verb">)",
                                           "</partofsp>",
                                           R"(<context ID = "currency">)",
                                           "</context>",
                                           R"(<RATE SPEED="-7">)",
                                           "</RATE>",
                                           R"(<VOLUME LEVEL="100">)",
                                           "</PITCH></VOLUME></RATE></VOICE>",
                                           "word ",
                                           "address ",
                                           "$314.15 ",
                                           "a < b ",
                                           "M&M ",
                                           "&amp; ",
                                           "[[x]] ",
                                           "\x85 ",
                                           "caf\xE9 ",
                                           "\"Quote,\" he said. "};
  std::string markup;
  while (markup.size() < (1u << 20)) {
    markup += pieces[random() % pieces.size()];
  }
  return markup;
}

TEST(ParseSpeechMarkup, MegabyteOfText) {
  std::mt19937 random(7);
  const std::string markup = MegabyteOfMarkup(random);
  const auto segments = ParseSpeechMarkup(markup);
  std::string text;
  for (const auto& s : segments) {
    text += s.text;
  }
  const auto count = [](const std::string& haystack, const std::string& needle) {
    std::size_t n = 0;
    for (auto at = haystack.find(needle); at != std::string::npos;
         at = haystack.find(needle, at + 1)) {
      ++n;
    }
    return n;
  };
  EXPECT_EQ(count(text, "word "), count(markup, "word "));
  EXPECT_EQ(count(text, "a < b "), count(markup, "a < b "));
  EXPECT_EQ(count(text, "M&M "), count(markup, "M&M "));
  EXPECT_FALSE(TranslateSpeechMarkup(markup).empty());
}

// --- translation ---------------------------------------------------------------------------

// Checks that ssml is one <speak> element with balanced elements and no bare "<" or "&" in text.
::testing::AssertionResult IsWellFormed(const std::string& ssml) {
  std::vector<std::string> open;
  std::size_t i = 0;
  while (i < ssml.size()) {
    if (ssml[i] == '&') {
      const std::size_t end = ssml.find(';', i);
      const std::string entity = ssml.substr(i, end == std::string::npos ? 1 : end - i + 1);
      if (entity != "&amp;" && entity != "&lt;" && entity != "&gt;") {
        return ::testing::AssertionFailure() << "bare & at " << i << " in " << ssml;
      }
      i += entity.size();
    } else if (ssml[i] == '<') {
      const std::size_t end = ssml.find('>', i);
      if (end == std::string::npos) {
        return ::testing::AssertionFailure() << "unclosed tag in " << ssml;
      }
      std::string tag = ssml.substr(i + 1, end - i - 1);
      const bool closing = tag[0] == '/';
      std::string name = tag.substr(closing ? 1 : 0, tag.find(' ') - (closing ? 1 : 0));
      if (tag.back() == '/') {
        if (open.empty()) {
          return ::testing::AssertionFailure() << "<" << name << "/> outside <speak>";
        }
      } else if (closing) {
        if (open.empty() || open.back() != name) {
          return ::testing::AssertionFailure() << "unbalanced </" << name << "> in " << ssml;
        }
        open.pop_back();
      } else {
        if (open.empty() && name != "speak") {
          return ::testing::AssertionFailure() << "text outside <speak> in " << ssml;
        }
        open.push_back(name);
      }
      i = end + 1;
    } else if (ssml[i] == '>') {
      return ::testing::AssertionFailure() << "bare > in " << ssml;
    } else {
      if (open.empty()) {
        return ::testing::AssertionFailure() << "text outside <speak> in " << ssml;
      }
      ++i;
    }
  }
  if (!open.empty()) {
    return ::testing::AssertionFailure() << "<" << open.back() << "> left open in " << ssml;
  }
  return ::testing::AssertionSuccess();
}

TEST(TranslateSpeechMarkup, EveryUtteranceIsWellFormed) {
  std::mt19937 random(11);
  const std::string markup = MegabyteOfMarkup(random).substr(0, 200'000);
  for (const SpeechStep& step : TranslateSpeechMarkup(markup)) {
    if (!step.is_silence) {
      ASSERT_TRUE(IsWellFormed(step.utterance.ssml));
    }
  }
}

std::vector<std::string> Utterances(std::string_view markup) {
  std::vector<std::string> out;
  for (const SpeechStep& step : TranslateSpeechMarkup(markup)) {
    out.push_back(step.is_silence ? "<" + std::to_string(step.silence_ms) + ">"
                                  : step.utterance.voice_name + ":" + step.utterance.ssml);
  }
  return out;
}

using ::testing::AllOf;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

TEST(TranslateSpeechMarkup, OneUtterancePerVoiceWithItsSilencesAsMarks) {
  EXPECT_THAT(Utterances(R"(a <emph>b</emph> c<silence msec="500"/>d<silence msec="20"/>)"),
              ElementsAre(AllOf(StartsWith("en-us+m3:<speak><prosody"), HasSubstr(">a </prosody>"),
                                HasSubstr("<emphasis>"), HasSubstr("> c<mark name=\"0\"/>d\n<")),
                          "<20>"));
  EXPECT_EQ(TranslateSpeechMarkup(R"(a<silence msec="500"/>b)")[0].utterance.silences_ms,
            std::vector<int>{500});
  EXPECT_THAT(Utterances(R"(<silence msec="300"/><VOICE REQUIRED="Name=Microsoft Mary">Hi.</VOICE>)"
                         R"(<silence msec="500"/> He said.)"),
              ElementsAre("<300>", StartsWith("en-us+f3:"), "<500>", StartsWith("en-us+m3:")));
  // White space between two silences says nothing.
  EXPECT_THAT(Utterances(R"(<silence msec="500"/> <emph> </emph><silence msec="10"/>)"),
              ElementsAre("<510>"));
}

// Forty thousand one-minute silences between words would be weeks of quiet: a text gets a minute.
TEST(TranslateSpeechMarkup, SilencesOfATextAreBoundedTogether) {
  std::string markup;
  for (int i = 0; i < 40'000; ++i) {
    markup += R"(a<silence msec="60000"/>)";
  }
  long total_ms = 0;
  for (const SpeechStep& step : TranslateSpeechMarkup(markup)) {
    total_ms += step.silence_ms;
    for (int ms : step.utterance.silences_ms) {
      total_ms += ms;
    }
  }
  EXPECT_EQ(total_ms, kMaxTotalSilenceMs);
  std::string text;  // no text is lost with the silences
  for (const MarkupSegment& segment : ParseSpeechMarkup(markup)) {
    text += segment.text;
  }
  EXPECT_EQ(text, std::string(40'000, 'a'));
}

TEST(TranslateSpeechMarkup, VoicesFollowGenderAndLoudness) {
  EXPECT_THAT(Utterances(kProfile1 + "x"), ElementsAre(StartsWith("en-us+m2:")));
  EXPECT_THAT(Utterances(R"(<VOICE REQUIRED="Gender=Male"><VOLUME LEVEL="78">x)"),
              ElementsAre(StartsWith("en-us+m1:")));
  EXPECT_THAT(Utterances(R"(<VOICE REQUIRED="Gender=Male"><VOLUME LEVEL="74">x)"),
              ElementsAre(StartsWith("en-us+m4:")));
  EXPECT_THAT(Utterances(R"(<VOICE REQUIRED="Gender=Female"><VOLUME LEVEL="80">x)"),
              ElementsAre(StartsWith("en-us+f1:")));
  EXPECT_THAT(Utterances(R"(<VOICE REQUIRED="Gender=Female"><VOLUME LEVEL="79">x)"),
              ElementsAre(StartsWith("en-us+f4:")));
  EXPECT_THAT(Utterances(R"(<VOICE REQUIRED="Name=Microsoft Sam">x)"),
              ElementsAre(StartsWith("en-us+robosoft:")));
  // A rule's full volume inside a soft voice's sentence keeps the sentence in one voice.
  EXPECT_THAT(
      Utterances(R"(<VOICE REQUIRED="Gender=Male"><VOLUME LEVEL="78">Say <VOLUME LEVEL="100">x)"),
      ElementsAre(AllOf(StartsWith("en-us+m1:"), HasSubstr("volume=\"100\""))));
}

TEST(TranslateSpeechMarkup, TextIsEscaped) {
  const auto u = Utterances("a <b is true & M&M > [[x]] \x85\x01");
  ASSERT_EQ(u.size(), 1u);
  EXPECT_THAT(u[0], HasSubstr("a &lt;b is true &amp; M&amp;M &gt; [ [x]] \xE2\x80\xA6 \n<"));
}

TEST(TranslateSpeechMarkup, PunctuationStaysWithTheWordBeforeATag) {
  EXPECT_THAT(Utterances("He said <emph>no</emph>. Then"),
              ElementsAre(HasSubstr(">no.</prosody></emphasis></prosody><prosody")));
  EXPECT_THAT(Utterances(R"(It was six AM <silence msec="500"/>.)"),
              ElementsAre(HasSubstr(">It was six AM.\n</prosody></speak>"), "<500>"));
}

struct WordCase {
  std::string markup;
  std::string expected;  // in the SSML
  bool phonemes;
};

class WordTest : public ::testing::TestWithParam<WordCase> {};

TEST_P(WordTest, ReadsWordsAsMarked) {
  const auto steps = TranslateSpeechMarkup(GetParam().markup);
  ASSERT_EQ(steps.size(), 1u);
  std::string ssml = steps[0].utterance.ssml;
  std::erase(ssml, '\n');  // the line break that ends every utterance
  EXPECT_THAT(ssml, HasSubstr(GetParam().expected));
  EXPECT_EQ(steps[0].utterance.uses_phonemes, GetParam().phonemes);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(PartsOfSpeechAndMoney, WordTest, ::testing::Values(
    WordCase{R"(to <partofsp part="verb">record</partofsp> a press)",  ">to [[rI#k'o@d ]] a press<",   true},
    WordCase{R"(on <partofsp part="noun">record</partofsp>.)",         ">on [[r'Ek3d ]].<",            true},
    WordCase{R"(Gettysburg <partofsp part="verb">Address</partofsp>)", ">Gettysburg [[a#dr'Es ]].<",   true},
    WordCase{R"(their <partofsp part="noun"> lives </partofsp>, so)",  "their  [[l'aIvz ]] , so<",          true},
    WordCase{R"(<partofsp part="verb">Sound</partofsp> the alarm)",    ">[[s'aUnd ]] the alarm<",      true},
    WordCase{R"(to <partofsp part="verb">address</partofsp><silence msec="9"/> Mary)", "[[a#dr'Es ]],<mark", true},
    WordCase{R"(I <RATE SPEED="-2"><partofsp part="verb">record</partofsp> </RATE>it)", ">record </prosody>", false},
    WordCase{R"(<partofsp part="verb">walrus</partofsp>)",             ">walrus<",                      false},
    WordCase{R"(<partofsp part="adverb">record</partofsp>)",           ">record<",                      false},
    WordCase{R"(<context ID = "currency">$314.15</context>)",          ">314 dollars and 15 cents<",    false},
    WordCase{R"(<context ID = "currency">$3,141,592.65</context>)",    ">3141592 dollars and 65 cents<", false},
    WordCase{R"(<context ID = "currency">$500</context> )",            ">500 dollars <",                false},
    WordCase{R"(<context ID = "currency">$1.01, $0.5</context>)",      ">1 dollar and 1 cent, 0 dollars.5<", false},
    WordCase{R"(<context ID = "currency">$ and $,</context>)",         ">$ and $,<",                    false},
    WordCase{"It cost $500.",                                          ">It cost $500.<",               false}));
// clang-format on

struct ProsodyCase {
  int rate, pitch, volume;
  EspeakProsody expected;
};

TEST(MapProsody, FollowsTheMarkupScales) {
  // clang-format off
  const ProsodyCase cases[] = {
      //  rate pitch vol    rate%  pitch range volume
      {    0,    0, 100,  { 100,   50,   50,   100}},
      {   10,    0, 100,  { 300,   50,   50,   100}},   // +10: three times as fast
      {  -10,    0, 100,  {  33,   50,   50,   100}},
      {    5,    0, 100,  { 173,   50,   50,   100}},   // square root of 3
      {    0,   24, 100,  { 100,   99,   99,   100}},   // an octave up: espeak-ng's ceiling
      {    0,  -24, 100,  { 100,    0,   25,   100}},   // an octave down
      {    0,  -12,  70,  { 100,   25,   35,    70}},
      {    0,    7,  85,  { 100,   65,   61,    85}},
  };
  // clang-format on
  for (const ProsodyCase& c : cases) {
    SpeakingState state;
    state.rate = c.rate;
    state.pitch = c.pitch;
    state.volume = c.volume;
    const EspeakProsody p = MapProsody(state);
    EXPECT_EQ(p.rate_percent, c.expected.rate_percent) << c.rate;
    EXPECT_EQ(p.pitch, c.expected.pitch) << c.pitch;
    EXPECT_EQ(p.range, c.expected.range) << c.pitch;
    EXPECT_EQ(p.volume, c.expected.volume) << c.volume;
  }
}

TEST(MarkupOfSpokenText, PlainTextIsTakenLiterally) {
  EXPECT_EQ(MarkupOfSpokenText(u"<emph>a</emph> & \u2026", kSpeakIsXml), "<emph>a</emph> & \x85");
  EXPECT_EQ(MarkupOfSpokenText(u"<emph>a</emph> & b", 0), "&lt;emph>a&lt;/emph> &amp; b");
  EXPECT_EQ(Describe(ParseSpeechMarkup(MarkupOfSpokenText(u"<emph>a & b", 0))), "[]<emph>a & b");
}

}  // namespace
}  // namespace quillon

namespace quillon {
namespace {

TEST(TranslateSpeechMarkup, SilenceAfterAFullStopIsMarkedBeforeIt) {
  // espeak-ng reports no mark right after a full stop; before it the quiet is the same.
  struct Case {
    std::string markup;
    std::string expected;  // in the SSML
  };
  // clang-format off
  const Case cases[] = {
      {R"(One. <silence msec="500"/>Two.)",          R"(>One<mark name="0"/>. Two.)"},
      {R"(One.. <silence msec="500"/>Two.)",         R"(>One<mark name="0"/>.. Two.)"},
      {R"(It was nine AM <silence msec="500"/>. Then)", R"(>It was nine AM<mark name="0"/>. Then)"},
      {R"("One." <silence msec="500"/>Two.)",        R"(>"One." <mark name="0"/>Two.)"},
      {R"(One! <silence msec="500"/>Two.)",          R"(>One! <mark name="0"/>Two.)"},
      // Phonemes directly before a tag would be spelt out: the plain word is said instead.
      {R"(on <partofsp part="noun">record</partofsp>. <silence msec="500"/>Then)", R"(record<mark name="0"/>. )"},
  };
  // clang-format on
  for (const Case& c : cases) {
    const auto steps = TranslateSpeechMarkup(c.markup);
    ASSERT_EQ(steps.size(), 1u) << c.markup;
    EXPECT_THAT(steps[0].utterance.ssml, HasSubstr(c.expected)) << c.markup;
    EXPECT_EQ(steps[0].utterance.silences_ms, std::vector<int>{500}) << c.markup;
    EXPECT_FALSE(steps[0].utterance.uses_phonemes) << c.markup;
  }
}

// Where a word espeak-ng reports in the SSML was written from in the markup.
struct SourceCase {
  const char* what;
  std::string markup;
  std::string in_ssml;   // the word as the SSML holds it (its first occurrence)
  std::string expected;  // the markup it stands on
};

class WordSourceTest : public ::testing::TestWithParam<SourceCase> {};

TEST_P(WordSourceTest, PointsAtTheMarkup) {
  const SourceCase& c = GetParam();
  std::optional<MarkupSpan> span;
  for (const SpeechStep& step : TranslateSpeechMarkup(c.markup)) {
    const std::string& ssml = step.utterance.ssml;
    ASSERT_EQ(step.utterance.ssml_sources.size(), ssml.size());
    const std::size_t at = ssml.find(c.in_ssml);
    if (step.is_silence || at == std::string::npos) {
      continue;
    }
    const auto chars = [](std::string_view s) {
      return static_cast<int>(std::count_if(s.begin(), s.end(), [](char b) {
        return (static_cast<unsigned char>(b) & 0xC0) != 0x80;
      }));
    };
    span = WordSource(step.utterance, chars(std::string_view(ssml).substr(0, at)) + 1,
                      chars(c.in_ssml));
    break;
  }
  ASSERT_TRUE(span) << c.what;
  EXPECT_EQ(c.markup.substr(span->begin, span->end - span->begin), c.expected) << c.what;
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Markup, WordSourceTest, ::testing::Values(
    SourceCase{"plain word",           "The river is yellow.",                       "river",        "river"},
    SourceCase{"inside a profile",     kProfile1 + "Hi there.</VOICE>",              "there",        "there"},
    SourceCase{"entity",               "Tom &amp; Mary",                             "&amp;",        "&amp;"},
    SourceCase{"stray ampersand",      "Tom & Mary",                                 "&amp;",        "&"},
    SourceCase{"character reference",  "caf&#233; au lait",                          "caf\xC3\xA9",  "caf&#233;"},
    SourceCase{"after a multibyte",    "Caf\xE9 au lait",                            "lait",         "lait"},
    SourceCase{"spelt-out money",      R"(<context ID="currency">$3.50</context> now)", "dollars",   "$3.50"},
    SourceCase{"phonemes",             R"(on <partofsp part="noun">record</partofsp> now)", "[[r'Ek3d ]]", "record"},
    SourceCase{"after a silence",      R"(a <silence msec="5"/>bird)",               "bird",         "bird"},
    SourceCase{"second voice",         R"(Hi <VOICE REQUIRED="Name=Microsoft Mary">there</VOICE>)", "there", "there"},
    SourceCase{"emphasis",             "He said <emph>no</emph>. Then",              "no",           "no"},
    SourceCase{"escaped phoneme start", "[[x]] y",                                   "[ [x]]",       "[[x]]"}));
// clang-format on

TEST(WordSource, TextTheMarkupDoesNotHoldIsNoWord) {
  const auto steps = TranslateSpeechMarkup("Hello.");
  ASSERT_EQ(steps.size(), 1u);
  EXPECT_FALSE(WordSource(steps[0].utterance, 1, 7));       // <speak>
  EXPECT_FALSE(WordSource(steps[0].utterance, 0, 3));       // before the text
  EXPECT_FALSE(WordSource(steps[0].utterance, 10'000, 3));  // beyond it
}

TEST(ReadSpokenText, MapsBackToTheUtf16Text) {
  // A character beyond the basic plane is one byte ('?') and two UTF-16 units.
  const SpokenMarkup emoji = ReadSpokenText(u"\U0001F600 ok", kSpeakIsXml);
  EXPECT_EQ(emoji.markup, "? ok");
  EXPECT_EQ(emoji.utf16_offsets, (std::vector<std::size_t>{0, 2, 3, 4, 5}));
  EXPECT_EQ(emoji.Utf16Of({2, 4}), (std::pair<std::size_t, std::size_t>{3, 2}));
  // Plain text: the escapes stand on the one character they escape.
  const SpokenMarkup plain = ReadSpokenText(u"a & <b", 0);
  EXPECT_EQ(plain.markup, "a &amp; &lt;b");
  EXPECT_EQ(plain.Utf16Of({2, 7}), (std::pair<std::size_t, std::size_t>{2, 1}));
  EXPECT_EQ(plain.Utf16Of({8, 13}), (std::pair<std::size_t, std::size_t>{4, 2}));
  const HeardWord word = plain.WordAt({8, 13}, 99);
  EXPECT_EQ(word.start, 4u);
  EXPECT_EQ(word.length, 2u);
  EXPECT_EQ(word.sample, 99u);
  // Out of range is clamped, never read past the end.
  EXPECT_EQ(plain.Utf16Of({100, 200}), (std::pair<std::size_t, std::size_t>{6, 0}));
}

TEST(PlainTextOfMarkup, IsWhatIsHeardOnOneLine) {
  // clang-format off
  const std::pair<std::string, std::string> cases[] = {
      {kProfile1 + "\"Hi,\" she said.</VOICE>",                 "\"Hi,\" she said."},
      {R"(<silence msec="500"/>CHAPTER 1)",                     "CHAPTER 1"},
      {R"(six AM <silence msec="500"/> and  then)",             "six AM and then"},
      {"Tom &amp; <emph>Mary</emph> &lt;3 \r\n",                "Tom & Mary <3"},
      {"a <b is true",                                          "a <b is true"},
      {"",                                                      ""},
  };
  // clang-format on
  for (const auto& [markup, plain] : cases) {
    EXPECT_EQ(PlainTextOfMarkup(markup), plain) << markup;
  }
}

TEST(RecordingVoice, ReportsTheWordsItIsGiven) {
  RecordingVoice voice;
  std::vector<HeardWord> heard;
  voice.SetWordListener([&](const HeardWord& word) { heard.push_back(word); });
  const auto at = std::chrono::steady_clock::time_point(std::chrono::seconds(5));
  voice.QueueWords({{0, 3, 0, at}, {4, 5, 100, {}}});
  voice.Speak(u"Tom Mary", kSpeakIsXml);
  voice.Speak(u"again", kSpeakIsXml);  // no words given for it
  ASSERT_EQ(heard.size(), 2u);
  EXPECT_EQ(heard[0], (HeardWord{0, 3, 0, at}));
  EXPECT_EQ(heard[1].start, 4u);
  EXPECT_NE(heard[1].at, std::chrono::steady_clock::time_point{});  // stamped when reported
}

}  // namespace
}  // namespace quillon
