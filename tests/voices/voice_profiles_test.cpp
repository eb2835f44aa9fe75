#include "voices/voice_profiles.h"

#include <gtest/gtest.h>

#include <climits>
#include <optional>
#include <regex>
#include <set>
#include <string>

#include "voices/talking_quillon_const.h"

namespace quillon {
namespace {

constexpr std::string_view kMike = R"(<VOICE REQUIRED="Name=Microsoft Mike">)";

TEST(VoiceProfiles, NumbersOutsideTheTableGiveTheNarrator) {
  for (std::int32_t voice : {37, 100, -1, INT_MIN, INT_MAX, 0}) {
    EXPECT_EQ(GetVoiceProfileTag(voice), kMike) << voice;
  }
  EXPECT_EQ(GetVoiceProfileTag(36), kVoiceProfile36);
}

// Every profile is in one of the two forms, with the values in their ranges; the counts of each
// form and gender match the cast (three named voices, 27 men, 7 women).
TEST(VoiceProfiles, TableHasTheTwoForms) {
  const std::regex named(R"re(<VOICE REQUIRED="Name=Microsoft (Mike|Mary|Sam)">)re");
  const std::regex attribute(
      R"re(<VOICE REQUIRED="Gender=(Male|Female)"><RATE SPEED="[+-]([1-9])"><VOLUME LEVEL="(\d\d)">)re"
      R"re(<PITCH MIDDLE="[+-]([1-9]\d?)">)re");
  int named_count = 0, male = 0, female = 0;
  std::set<std::string_view> distinct;
  for (std::int32_t voice = 0; voice <= 36; ++voice) {
    const std::string profile(GetVoiceProfileTag(voice));
    distinct.insert(GetVoiceProfileTag(voice));
    std::smatch m;
    if (std::regex_match(profile, m, named)) {
      ++named_count;
    } else if (std::regex_match(profile, m, attribute)) {
      (m[1] == "Male" ? male : female)++;
      const int volume = std::stoi(m[3]);
      EXPECT_TRUE(volume >= 70 && volume <= 97) << voice;
    } else {
      ADD_FAILURE() << "voice " << voice << ": " << profile;
    }
  }
  EXPECT_EQ(named_count, 3);
  EXPECT_EQ(male, 27);
  EXPECT_EQ(female, 7);
  EXPECT_EQ(distinct.size(), 37u);
  for (std::int32_t voice : {10, 12, 18, 22, 25, 28, 33}) {
    EXPECT_NE(GetVoiceProfileTag(voice).find("Gender=Female"), std::string_view::npos) << voice;
  }
  EXPECT_EQ(
      GetVoiceProfileTag(1),
      R"(<VOICE REQUIRED="Gender=Male"><RATE SPEED="+2"><VOLUME LEVEL="85"><PITCH MIDDLE="+7">)");
  EXPECT_EQ(GetVoiceProfileTag(2), R"(<VOICE REQUIRED="Name=Microsoft Mary">)");
  EXPECT_EQ(GetVoiceProfileTag(7), R"(<VOICE REQUIRED="Name=Microsoft Sam">)");
}

struct DialogueCase {
  std::int32_t voice;
  std::string sentence;
  std::string_view closing;
};

TEST(VoiceProfiles, DialogueClosing) {
  const std::string_view kShort = "</VOICE>";
  const std::string_view kLong = "</PITCH></VOLUME></RATE></VOICE>";
  const DialogueCase cases[] = {
      {7, R"(Oh <PITCH MIDDLE="+5">no</PITCH>!)", kLong},  // named profile, still the long one
      {3, "<PITCH", kLong},
      {-5, "<PITCH", kShort},  // falls back to profile 0, and -5 is not greater than 2
      {1, "<PITCH", kShort},   // 1, 0 and 2 are never greater than 2
      {0, "<PITCH", kShort},
      {2, "<PITCH", kShort},
      {7, "<pitch middle", kShort},  // case-sensitive
      {13, "Hooray!", kShort},
      {13, "Why?", kShort},
      {7, "", kShort},
      {100, "<PITCH", kLong},  // profile 0, but the voice number is greater than 2
  };
  for (const auto& c : cases) {
    ReaderState state;
    state.CurrentVoice = c.voice;
    const std::string expected =
        std::string(GetVoiceProfileTag(c.voice)) + c.sentence + std::string(c.closing);
    EXPECT_EQ(WrapDialogueSentence(c.sentence, state), expected) << c.voice << " " << c.sentence;
  }
}

TEST(VoiceProfiles, Wrappers) {
  ReaderState state;
  state.CurrentVoice = 13;
  EXPECT_EQ(
      WrapDialogueSentence("Hooray!", state),
      R"(<VOICE REQUIRED="Gender=Male"><RATE SPEED="+3"><VOLUME LEVEL="81"><PITCH MIDDLE="+5">)"
      "Hooray!</VOICE>");
  EXPECT_EQ(WrapDialogueSentence("", state), std::string(kVoiceProfile13) + "</VOICE>");
  // The sentence goes in as it stands: not trimmed, not escaped.
  EXPECT_EQ(WrapNarratorSentence(" a < b & c "),
            R"(<VOICE REQUIRED="Name=Microsoft Mike"> a < b & c </VOICE>)");
  EXPECT_EQ(WrapNarratorSentence("<PITCH x"),
            R"(<VOICE REQUIRED="Name=Microsoft Mike"><PITCH x</VOICE>)");
  EXPECT_EQ(WrapNarratorSentence(""), R"(<VOICE REQUIRED="Name=Microsoft Mike"></VOICE>)");
  EXPECT_EQ(state.CurrentVoice, 13);
}

TEST(VoiceProfiles, WrappersMapTheSentenceToItselfAndTheMarkupToNothing) {
  ReaderState state;
  state.CurrentVoice = 13;
  const std::string sentence = "It <PITCH> rang!";
  TextMap dialogue;
  const std::string framed = WrapDialogueSentence(sentence, state, &dialogue);
  EXPECT_EQ(framed, WrapDialogueSentence(sentence, state));
  const std::size_t at = framed.find(sentence);
  ASSERT_NE(at, std::string::npos);
  EXPECT_EQ(dialogue.InputLength(), sentence.size());
  EXPECT_EQ(dialogue.OutputLength(), framed.size());
  EXPECT_EQ(dialogue.Source({at + 3, 7}), (TextSpan{3, 7}));
  EXPECT_EQ(dialogue.Source({0, at}), std::nullopt);
  EXPECT_EQ(dialogue.Source({at + sentence.size(), framed.size() - at - sentence.size()}),
            std::nullopt);  // the long closing

  TextMap narrator;
  const std::string narrated = WrapNarratorSentence(sentence, &narrator);
  EXPECT_EQ(narrated, WrapNarratorSentence(sentence));
  EXPECT_EQ(narrator.Source({0, narrated.size()}), (TextSpan{0, sentence.size()}));
  EXPECT_EQ(narrator.Source({0, narrated.find(sentence)}), std::nullopt);
}

}  // namespace
}  // namespace quillon
