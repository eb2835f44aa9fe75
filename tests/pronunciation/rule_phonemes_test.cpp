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
#include "tests/pronunciation/rule_table_facts.h"
#include "text/encoding.h"

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

// Phonemes with what does not change the sound of a name left out: stress marks, word breaks,
// pauses, and the difference between the two weak vowels "@" and "V".
std::string Sound(std::string_view phonemes) {
  std::string out;
  for (std::size_t i = 0; i < phonemes.size(); ++i) {
    const char c = phonemes[i];
    if (c == '_' && i + 1 < phonemes.size() && phonemes[i + 1] == ':') {
      ++i;
    } else if (std::string_view("',#_;- ").find(c) == std::string_view::npos) {
      out += c == '@' ? 'V' : c;
    }
  }
  return out;
}

TEST_F(Espeak, PublicFigureNamesNeedTheirRewrite) {
  // A public figure's row earns its place only if espeak-ng gets the name wrong on its own.
  // Row 121 respells a fragment of a name in the speaker's dialect and is kept as written.
  ASSERT_TRUE(ready_);
  EXPECT_EQ(Sound("d'eIgA:"), Sound("d'eI g'A:"));  // "Degas" was already said right
  for (int row : kPublicFigureRows) {
    const PronunciationRule& rule = PronunciationRules()[static_cast<std::size_t>(row - 1)];
    if (rule.phonemes.empty() || row == 121) {
      continue;
    }
    EXPECT_NE(Sound(Phonemes(rule.rewrites[0].search)), Sound(rule.phonemes))
        << "row " << row << ": espeak-ng already says \""
        << Windows1252ToUtf8(rule.rewrites[0].search) << "\" as "
        << Phonemes(rule.rewrites[0].search);
  }
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
