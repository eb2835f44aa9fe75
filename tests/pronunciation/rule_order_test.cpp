// The real table over whole sentences: what each row leaves for the rows after it.
#include <gtest/gtest.h>

#include <string>

#include "pronunciation/pronunciation_pipeline.h"

namespace quillon {
namespace {

constexpr const char* kPause = R"(<silence msec="500"/>)";

std::string Pronounce(std::string_view sentence, std::int32_t chapter = 1) {
  ReaderState state;
  state.CurrentChapter = chapter;
  return ApplyPronunciationRules(sentence, state);
}

TEST(RuleOrder, EarlierRowsDecideWhatLaterRowsSee) {
  const struct {
    const char* what;
    std::string sentence;
    std::int32_t chapter;
    std::string expected;
  } cases[] = {
      {"\"Mia\" takes the start of \"Miami\"", "They flew to Miami.", 1, "They flew to me uhmi."},
      {"\"Miami\" in chapter 29", "They flew to Miami.", 29, "They flew to my <emph>ammy</emph>."},
      {"\"$5\" takes the start of \"$500\"", "A $500 fine.", 1, "A five dollar00 fine."},
      {"\"$500\" in one of the six chapters", "A $500 fine.", 35,
       R"(A <context ID = "currency">$500</context>  fine.)"},
      {"every colon is a pause", "At 9:42 sharp: go", 1,
       std::string("At 9") + kPause + "42 sharp" + kPause + " go"},
      {"the news banner, then its town",
       "<><><><><>  T h e   OCONOMOWOC   N e w s   S e r v i c e  <><><><><>", 1,
       "The uh <emph>con</emph> uh muh walk News Service"},
      {"the dateline, then its town",
       "=======================                            [Oconomowoc, WI, USA] -- Today", 1,
       std::string("uh <emph>con</emph> uh muh walk, Wisconsin, USA] ") + kPause + " Today"},
      {"\"or it \" also ends longer words", "Take it or it leaves, for it must.", 1,
       "Take it or<EMPH>it</EMPH> leaves, for<EMPH>it</EMPH> must."},
      {"\"or it\" at the very end stays", "Take this or it", 1, "Take this or it"},
      {"\" can.\" selects, every \"can.\" is marked", "Yes we can. Pass the pecan.", 1,
       "Yes we <emph>can</emph>. Pass the pe<emph>can</emph>."},
      {"\"can.\" without \" can.\" stays", "Pass the pecan.", 1, "Pass the pecan."},
      {"the closing quote goes inside the emphasis",
       R"("I'd just love to join your band!" she said.)", 1,
       R"("<emph>I'd just love to join your band!"</emph> she said.)"},
      {"\"$20\" selects, only \"$20 bill\" is rewritten", "A $20 tip and a $20 bill.", 1,
       "A $20 tip and a twenty dollar bill."},
      {"\"$20\" alone stays", "A $20 tip.", 1, "A $20 tip."},
      {"\"Sound\" is marked once, before the phrase", "Sound it! Sound the alarm!", 1,
       R"(<partofsp part="verb">Sound</partofsp> it! Sound the alarm!)"},
      {"\"cr--\" keeps the other dash", "He went cr-- and then -- silence.", 1,
       std::string("He went kruh ") + kPause + " and then -- silence."},
      {"a dash alone is a pause", "And then -- silence.", 1,
       std::string("And then ") + kPause + " silence."},
      {"the ellipsis between words", "Well\x85yes", 1, std::string("Well") + kPause + "yes"},
      {"\"Oh, no!\" alone is spoken as it is", "Oh, no!", 1, "Oh, no!"},
      {"\"oh no\" beside \"Oh, no!\"", "Oh, no! oh no", 1, "Oh, no! <EMPH>oh no</EMPH>"},
      {"the cascade's first alternative", "It is important and important.", 1,
       "It is import int and important."},
      {"the cascade's third alternative", "It is important.", 1, "It is import int."},
      {"case matters", "brats and Brats", 1, "brotts and brotts"},
      {"\"brat,\" outside chapter 57", "You brat, you.", 1, "You brott, you."},
      {"\"brat,\" in chapter 57", "You brat, you.", 57, "You brat, you."},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Pronounce(c.sentence, c.chapter), c.expected) << c.what;
  }
}

TEST(RuleOrder, PossessivesJoinTheWords) {
  const struct {
    const char* sentence;
    std::int32_t chapter;
    const char* expected;
  } cases[] = {
      {"Quillon's Mercury", 1, "QuillonMercury"}, {"Mary's eyes", 1, "Maryeyes"},
      {"Mary's eyes", 66, "Mary's eyes"},         {"Mary's eyes", 99, "Maryeyes"},
      {"Mary's neighbor", 1, "Maryneighbor"},     {"Mary's neighbor", 59, "Mary's neighbor"},
      {"Mary's friendly", 1, "Maryfriendly"},     {"Mary's pillow", 1, "Marypillow"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Pronounce(c.sentence, c.chapter), c.expected)
        << c.sentence << " in chapter " << c.chapter;
  }
}

TEST(RuleOrder, VolumeStaysOpenToTheEnd) {
  const std::string spoken = Pronounce("<voice>Quil-lon, come back!</voice>");
  EXPECT_EQ(spoken, R"(<voice><VOLUME LEVEL="100"><emph>Quil</emph> lon, come back!</voice>)");
  EXPECT_EQ(spoken.find("</VOLUME>"), std::string::npos);
}

TEST(RuleOrder, ChapterNinetyNineLiftsTheExcludedChapters) {
  ReaderState state;
  state.CurrentChapter = 29;
  // The "Mia" row comes before the chapter row, so in the same sentence it still sees chapter 29.
  EXPECT_EQ(ApplyPronunciationRules(
                "True dyed-in-the-wool, way-down-yonder-in-the-land-of-cotton Mia", state),
            "True died-in-the-wool, way-down-yonder-in-the-land-of-cot ton Mia");
  EXPECT_EQ(state.CurrentChapter, 99);
  EXPECT_EQ(ApplyPronunciationRules("Miami", state), "me uhmi");
  EXPECT_EQ(ApplyPronunciationRules("A $500 fine", state), "A five dollar00 fine");
}

TEST(RuleOrder, FlagRowInChapterTwelve) {
  // "HR" at position 39 of a 48-character sentence.
  const std::string sentence = "The memo everybody waited for came by HR, today.";
  ASSERT_EQ(sentence.size(), 48u);
  ASSERT_EQ(sentence.find("HR"), 38u);
  ReaderState state;
  state.CurrentChapter = 12;
  EXPECT_EQ(ApplyPronunciationRules(sentence, state), sentence);
  EXPECT_TRUE(state.FirstOccurrenceOfHRInK12HasBeenRead);
  // The "H.R" row has already turned every "H.R." into "HR.", so the flag row finds nothing
  // left to rewrite.
  EXPECT_EQ(ApplyPronunciationRules("H.R.", state), "HR.");
}

TEST(RuleOrder, SentencesWithoutTriggersPassUnchanged) {
  for (const char* sentence : {"", "Plain words and nothing else", "<voice>Hello there</voice>"}) {
    ReaderState state;
    state.CurrentChapter = 12;
    EXPECT_EQ(ApplyPronunciationRules(sentence, state), sentence);
    EXPECT_FALSE(state.FirstOccurrenceOfHRInK12HasBeenRead);
  }
}

}  // namespace
}  // namespace quillon
