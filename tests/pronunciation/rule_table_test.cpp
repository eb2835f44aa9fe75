// The rule table's shape, counted from the data: how rows are guarded, what kind of markup each
// inserts, and that every rewrite which changes the words records the phonemes it should give.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <set>
#include <string>
#include <string_view>

#include "pronunciation/pronunciation_rule.h"
#include "tests/pronunciation/rule_table_facts.h"

namespace quillon {
namespace {

TEST(RuleTable, RowsAreNumberedInOrder) {
  const auto rules = PronunciationRules();
  ASSERT_EQ(rules.size(), 371u);
  for (std::size_t i = 0; i < rules.size(); ++i) {
    EXPECT_EQ(rules[i].row, static_cast<int>(i) + 1);
  }
}

TEST(RuleTable, NoRowHasAnEmptyTextWhereOneIsNeeded) {
  for (const PronunciationRule& rule : PronunciationRules()) {
    EXPECT_FALSE(rule.rewrites[0].search.empty()) << "row " << rule.row;
    EXPECT_FALSE(rule.rewrites[0].replacement.empty()) << "row " << rule.row;
    if (rule.effect != RuleEffect::FlagRow) {
      EXPECT_FALSE(rule.triggers.empty()) << "row " << rule.row;
    }
  }
}

TEST(RuleTable, HowRowsAreGuarded) {
  int one_trigger_only = 0;
  int with_text_triggers = 0;
  int trigger_is_search = 0;
  std::vector<int> excluded_chapters, excluded_text, three_triggers, chapter_effect, flag, first;
  for (const PronunciationRule& rule : PronunciationRules()) {
    const bool has_chapters = rule.not_chapters[0] != 0;
    const bool plain_guard = rule.triggers.size() == 1 && rule.unless.empty() && !has_chapters &&
                             rule.effect == RuleEffect::None;
    one_trigger_only += plain_guard ? 1 : 0;
    with_text_triggers += rule.triggers.empty() ? 0 : 1;
    if (rule.triggers.size() == 1 && rule.triggers.items[0] == rule.rewrites[0].search) {
      ++trigger_is_search;
    }
    if (has_chapters)
      excluded_chapters.push_back(rule.row);
    if (!rule.unless.empty())
      excluded_text.push_back(rule.row);
    if (rule.triggers.size() == 3)
      three_triggers.push_back(rule.row);
    if (rule.effect == RuleEffect::SetsChapter99)
      chapter_effect.push_back(rule.row);
    if (rule.effect == RuleEffect::FlagRow)
      flag.push_back(rule.row);
    if (rule.mode == ReplaceMode::First)
      first.push_back(rule.row);
  }
  EXPECT_EQ(one_trigger_only, 362);
  EXPECT_EQ(excluded_chapters, (std::vector<int>{44, 107, 111, 187, 335}));
  EXPECT_EQ(excluded_text, (std::vector<int>{3}));
  EXPECT_EQ(three_triggers, (std::vector<int>{231}));
  EXPECT_EQ(chapter_effect, (std::vector<int>{124}));
  EXPECT_EQ(flag, (std::vector<int>{110}));
  EXPECT_EQ(first, (std::vector<int>{4}));
  EXPECT_EQ(with_text_triggers, 370);
  // Of the single-trigger rows, eleven select by a text other than the one they replace; the
  // cascade row's three triggers are its three search texts.
  EXPECT_EQ(trigger_is_search, 369 - 11);
  const PronunciationRule& cascade = PronunciationRules()[230];
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(cascade.triggers.items[i], cascade.rewrites[i].search);
  }
}

TEST(RuleTable, ExcludedChaptersAndTexts) {
  const auto rules = PronunciationRules();
  const std::map<int, ChapterList> expected = {
      {44, {29}},      {107, {4, 13, 15, 24, 27, 36, 66}},
      {111, {27, 59}}, {187, {35, 45, 52, 53, 65, 67}},
      {335, {57}},
  };
  for (const auto& [row, chapters] : expected) {
    EXPECT_EQ(rules[static_cast<std::size_t>(row - 1)].not_chapters, chapters) << "row " << row;
  }
  EXPECT_EQ(rules[2].unless, "cr--");
}

TEST(RuleTable, KindsOfRewrite) {
  std::map<RewriteKind, int> kinds;
  int keep_words = 0;
  int rewrite_words = 0;
  for (const PronunciationRule& rule : PronunciationRules()) {
    const RewriteKind kind = KindOf(rule);
    ++kinds[kind];
    if (kind == RewriteKind::Emphasis) {
      (ChangesWords(rule) ? rewrite_words : keep_words)++;
    }
  }
  EXPECT_EQ(kinds[RewriteKind::Plain], 182);
  EXPECT_EQ(kinds[RewriteKind::Emphasis], 155);
  EXPECT_EQ(keep_words, 92);
  EXPECT_EQ(rewrite_words, 63);
  EXPECT_EQ(kinds[RewriteKind::PartOfSpeech], 18);
  EXPECT_EQ(kinds[RewriteKind::Pause], 6);
  EXPECT_EQ(kinds[RewriteKind::Rate], 6);
  EXPECT_EQ(kinds[RewriteKind::Context], 3);
  EXPECT_EQ(kinds[RewriteKind::Volume], 1);
}

TEST(RuleTable, RowsWeWroteOurselves) {
  // The 245 rows not given in full: one trigger that is their search text, mode all, no effect,
  // and between them 116 plain rows and 129 emphasis rows (96 with "<emph>", 33 with "<EMPH>").
  ASSERT_EQ(kRowsGivenInFull.size(), 126u);
  int ours = 0;
  int lower = 0;
  int upper = 0;
  std::map<RewriteKind, int> kinds;
  for (const PronunciationRule& rule : PronunciationRules()) {
    if (kRowsGivenInFull.contains(rule.row)) {
      continue;
    }
    ++ours;
    ++kinds[KindOf(rule)];
    lower += Inserts(rule, "<emph>") ? 1 : 0;
    upper += Inserts(rule, "<EMPH>") ? 1 : 0;
    EXPECT_EQ(rule.triggers.size(), 1u) << "row " << rule.row;
    EXPECT_EQ(rule.triggers.items[0], rule.rewrites[0].search) << "row " << rule.row;
    EXPECT_TRUE(rule.rewrites[1].search.empty()) << "row " << rule.row;
    EXPECT_TRUE(rule.unless.empty()) << "row " << rule.row;
    EXPECT_EQ(rule.not_chapters, ChapterList{}) << "row " << rule.row;
    EXPECT_EQ(rule.mode, ReplaceMode::All) << "row " << rule.row;
    EXPECT_EQ(rule.effect, RuleEffect::None) << "row " << rule.row;
  }
  EXPECT_EQ(ours, 245);
  EXPECT_EQ(kinds[RewriteKind::Plain], 116);
  EXPECT_EQ(kinds[RewriteKind::Emphasis], 129);
  EXPECT_EQ(lower, 96);
  EXPECT_EQ(upper, 33);
}

TEST(RuleTable, TagForms) {
  const struct {
    std::string_view tag;
    int rows;
  } forms[] = {
      {"<emph>", 111},
      {"<EMPH>", 47},
      {R"(<silence msec="500"/>)", 6},
      {R"(<partofsp part="verb">)", 11},
      {R"(<partofsp part="noun">)", 7},
      {R"(<context ID = "currency">)", 3},
      {R"(<RATE SPEED="-7">)", 2},
      {R"(<RATE SPEED="-5">)", 2},
      {R"(<RATE SPEED="-4">)", 1},
      {R"(<RATE SPEED="+6">)", 1},
      {R"(<VOLUME LEVEL="100">)", 1},
  };
  for (const auto& form : forms) {
    int rows = 0;
    for (const PronunciationRule& rule : PronunciationRules()) {
      rows += Inserts(rule, form.tag) ? 1 : 0;
    }
    EXPECT_EQ(rows, form.rows) << form.tag;
  }
  // Every row's markup is one of these forms, and only the volume row leaves a tag open.
  for (const PronunciationRule& rule : PronunciationRules()) {
    for (const Rewrite& rewrite : rule.rewrites) {
      std::string_view rest = rewrite.replacement;
      std::map<std::string, int> open;
      for (std::size_t at = rest.find('<'); at != std::string_view::npos; at = rest.find('<')) {
        const std::size_t end = rest.find('>', at);
        ASSERT_NE(end, std::string_view::npos) << "row " << rule.row;
        const std::string tag(rest.substr(at, end + 1 - at));
        rest.remove_prefix(end + 1);
        if (tag.starts_with("</")) {
          --open[tag.substr(2, tag.size() - 3)];
        } else if (!tag.ends_with("/>")) {
          const std::string name = tag.substr(1, tag.find_first_of(" >") - 1);
          ++open[name];
          EXPECT_TRUE(std::any_of(std::begin(forms), std::end(forms),
                                  [&](const auto& form) { return form.tag == tag; }))
              << "row " << rule.row << ": " << tag;
        }
      }
      for (const auto& [name, depth] : open) {
        EXPECT_EQ(depth, name == "VOLUME" ? 1 : 0) << "row " << rule.row << ": " << name;
      }
    }
  }
}

TEST(RuleTable, EveryPhoneticRewriteRecordsItsPhonemes) {
  for (const PronunciationRule& rule : PronunciationRules()) {
    const bool kept_as_given = kSpellingsKeptAsGiven.contains(rule.row);
    if (!IsPhoneticRewrite(rule) || kept_as_given) {
      EXPECT_TRUE(rule.phonemes.empty()) << "row " << rule.row;
      continue;
    }
    EXPECT_FALSE(rule.phonemes.empty()) << "row " << rule.row;
  }
}

TEST(RuleTable, PublicFigureRowsAreMarked) {
  // 25 rows speak the names of public figures; their replacements are phonetic rewrites at the
  // places marked for one, except the four that only add emphasis.
  const std::set<int> emphasis_only = {63, 151, 221, 239};
  for (int row : kPublicFigureRows) {
    const PronunciationRule& rule = PronunciationRules()[static_cast<std::size_t>(row - 1)];
    if (emphasis_only.contains(row)) {
      EXPECT_EQ(KindOf(rule), RewriteKind::Emphasis) << "row " << row;
      EXPECT_FALSE(ChangesWords(rule)) << "row " << row;
    } else {
      EXPECT_TRUE(IsPhoneticRewrite(rule)) << "row " << row;
    }
  }
  EXPECT_EQ(kPublicFigureRows.size(), 25u);
}

}  // namespace
}  // namespace quillon
