// Every phonetic rewrite of the rule table still makes espeak-ng say what the table records.
//
// The replacement, its tags turned into spaces, goes to espeak_TextToPhonemes (voice en-us,
// phoneme mode 0: the notation of `espeak-ng -x`) clause by clause; the clauses' phonemes are
// joined by one space. One espeak-ng instance serves all rows.
#include <espeak-ng/speak_lib.h>
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "pronunciation/pronunciation_rule.h"
#include "reading/encoding.h"
#include "tests/pronunciation/rule_table_facts.h"

namespace quillon {
namespace {

class Espeak : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ready_ =
        espeak_Initialize(AUDIO_OUTPUT_RETRIEVAL, 0, nullptr, espeakINITIALIZE_DONT_EXIT) > 0 &&
        espeak_SetVoiceByName("en-us") == EE_OK;
  }
  static void TearDownTestSuite() { espeak_Terminate(); }

  static std::string Phonemes(std::string_view windows1252) {
    const std::string text = Windows1252ToUtf8(WithoutTags(windows1252));
    const void* next = text.c_str();
    std::string phonemes;
    while (next != nullptr) {
      const char* clause = espeak_TextToPhonemes(&next, espeakCHARS_UTF8, 0);
      if (clause != nullptr && *clause != '\0') {
        if (!phonemes.empty()) {
          phonemes += ' ';
        }
        phonemes += clause;
      }
    }
    return phonemes;
  }

  static bool ready_;
};

bool Espeak::ready_ = false;

TEST_F(Espeak, EveryPhoneticRewriteSaysWhatTheTableRecords) {
  ASSERT_TRUE(ready_) << "espeak-ng with the en-us voice is needed (Debian: espeak-ng-data)";
  int checked = 0;
  for (const PronunciationRule& rule : PronunciationRules()) {
    if (rule.phonemes.empty()) {
      continue;
    }
    // The cascade row's alternatives all say the same.
    for (const Rewrite& rewrite : rule.rewrites) {
      if (rewrite.search.empty()) {
        break;
      }
      EXPECT_EQ(Phonemes(rewrite.replacement), rule.phonemes)
          << "row " << rule.row << ": \"" << Windows1252ToUtf8(rewrite.replacement) << "\"";
      ++checked;
    }
  }
  EXPECT_GT(checked, 150);
}

TEST_F(Espeak, RewritesChangeWhatIsSaid) {
  // A few rewrites whose whole point is a sound espeak-ng gets wrong from the novel's spelling.
  ASSERT_TRUE(ready_);
  const struct {
    std::string_view original;
    std::string_view rewrite;
    std::string_view sound;  // in the rewrite's phonemes, not in the original's
  } cases[] = {
      {"Krzyzewski", "shuh shev skee", "S'Ev"},  // the coach's name
      {"Boehner", "bayner", "b'eI"},             // "bay"
      {"Putting", "Puttting", "p'Vt"},           // golf, not "put"
      {"the courses themselves present dangers", "the courses themselves pree zent dangers",
       "z'Ent"},  // the verb
      {"Ms.", "Miz", "m'Iz"},
      {"I can talk", "I kann talk", "k'an"},  // stressed "can"
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Phonemes(c.original).find(c.sound), std::string::npos) << c.original;
    EXPECT_NE(Phonemes(c.rewrite).find(c.sound), std::string::npos) << c.rewrite;
  }
}

}  // namespace
}  // namespace quillon
