// The word-level difference that `why` shows for each rewrite.
#include "tools/quillon-tool/text_diff.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace quillon::tool {
namespace {

// The pieces in the notation `why` uses without colours.
std::string Shown(std::string_view before, std::string_view after) {
  std::string shown;
  for (const DiffPiece& piece : DiffTexts(before, after)) {
    switch (piece.kind) {
      case DiffPiece::Kind::Same:
        shown += piece.text;
        break;
      case DiffPiece::Kind::Removed:
        shown += "[-" + std::string(piece.text) + "-]";
        break;
      case DiffPiece::Kind::Added:
        shown += "{+" + std::string(piece.text) + "+}";
        break;
    }
  }
  return shown;
}

TEST(TextDiff, ShowsWholeWordsTagsAndMarks) {
  const struct {
    const char* what;
    std::string before;
    std::string after;
    std::string shown;
  } cases[] = {
      {"equal", "<V>Same.</V>", "<V>Same.</V>", "<V>Same.</V>"},
      {"both empty", "", "", ""},
      {"from nothing", "", "new", "{+new+}"},
      {"to nothing", "old", "", "[-old-]"},
      {"a word respelt", "<V>A Chevy here.</V>", "<V>A shevvy here.</V>",
       "<V>A [-Chevy-]{+shevvy+} here.</V>"},
      {"a word split around a tag", "an imposter!", "an im <EMPH>poss</EMPH> ter!",
       "an [-imposter-]{+im <EMPH>poss</EMPH> ter+}!"},
      {"tags around unchanged words", "He said What? twice.", "He said <EMPH>What?</EMPH> twice.",
       "He said {+<EMPH>+}What?{+</EMPH>+} twice."},
      {"punctuation replaced by a tag", "only: this", "only<silence msec=\"500\"/> this",
       "only[-:-]{+<silence msec=\"500\"/>+} this"},
      {"every occurrence", "P.S and P.S", "P S and P S", "P[-.-]{+ +}S and P[-.-]{+ +}S"},
      {"the Windows-1252 ellipsis is part of a word", "So\x85 lay", "So <silence/> lay",
       "[-So\x85-]{+So <silence/>+} lay"},
      {"a stray bracket is one character", "a < b", "a &lt; b", "a [-<-]{+&lt;+} b"},
      {"a phrase becomes several words", "c/o Mary", "in care of Mary",
       "[-c/o-]{+in care of+} Mary"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Shown(c.before, c.after), c.shown) << c.what;
  }
}

// Whatever the texts, the pieces spell both, neighbours differ in kind and removals come first.
TEST(TextDiff, PiecesSpellBothTexts) {
  const std::string long_middle(5000, 'x');
  std::string many_a, many_b;  // thousands of tokens each: the middle is not compared in detail
  for (int i = 0; i < 1500; ++i) {
    many_a += "a b ";
    many_b += "b a ";
  }
  const struct {
    std::string before;
    std::string after;
  } cases[] = {
      {"a b c d e f", "a x c y e z"},
      {"one two three", "three two one"},
      {"<a><b></a>", "<b><a></b>"},
      {"  spaced   out  ", " spaced out "},
      {"Mia Miami Mia", "me uh me uhmi me uh"},
      {long_middle + " a b c " + long_middle, std::string(2000, ' ') + "a c"},
      {std::string(3000, 'w') + " " + std::string(3000, '.'), std::string(3000, ',')},
      {"start " + many_a + " end", "start " + many_b + " end"},
  };
  for (const auto& c : cases) {
    std::string before, after;
    const auto pieces = DiffTexts(c.before, c.after);
    for (std::size_t i = 0; i < pieces.size(); ++i) {
      const DiffPiece& piece = pieces[i];
      EXPECT_FALSE(piece.text.empty());
      if (piece.kind != DiffPiece::Kind::Added) {
        before += piece.text;
      }
      if (piece.kind != DiffPiece::Kind::Removed) {
        after += piece.text;
      }
      if (i > 0) {
        EXPECT_NE(pieces[i - 1].kind, piece.kind);
        EXPECT_FALSE(pieces[i - 1].kind == DiffPiece::Kind::Added &&
                     piece.kind == DiffPiece::Kind::Removed);
      }
    }
    EXPECT_EQ(before, c.before);
    EXPECT_EQ(after, c.after);
  }
}

}  // namespace
}  // namespace quillon::tool
