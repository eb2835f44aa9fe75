#include "text/text_map.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>

#include "text/text_primitives.h"

namespace quillon {
namespace {

using Span = std::optional<TextSpan>;

// What the output text at [start, start + length) comes from in input, as text; "-" for nothing.
std::string From(const TextMap& map, std::string_view input, std::size_t start,
                 std::size_t length) {
  const Span source = map.Source({start, length});
  return source ? std::string(input.substr(source->start, source->length)) : "-";
}

// The same, finding the output piece by its text.
std::string From(const TextMap& map, std::string_view input, std::string_view output,
                 std::string_view piece) {
  const std::size_t at = output.find(piece);
  EXPECT_NE(at, std::string_view::npos) << piece << " in " << output;
  return From(map, input, at, piece.size());
}

TEST(TextMap, SourceOverCopiesReplacementsAndInserts) {
  // "ab" copied, "cde" replaced by "XY", "<t>" inserted, "fg" copied: "abXY<t>fg".
  TextMap map;
  map.Copy(2);
  map.Replace(3, 2);
  map.Insert(3);
  map.Copy(2);
  EXPECT_EQ(map.InputLength(), 7u);
  EXPECT_EQ(map.OutputLength(), 9u);

  EXPECT_EQ(map.Source({1, 1}), (Span{TextSpan{1, 1}}));  // copied: character for character
  EXPECT_EQ(map.Source({3, 1}), (Span{TextSpan{2, 3}}));  // half a replacement: all of it
  EXPECT_EQ(map.Source({4, 3}), std::nullopt);            // the inserted text alone
  EXPECT_EQ(map.Source({4, 4}), (Span{TextSpan{5, 1}}));  // the insert adds nothing to the span
  EXPECT_EQ(map.Source({1, 7}), (Span{TextSpan{1, 5}}));  // across all kinds: covering span
  EXPECT_EQ(map.Source({0, 0}), std::nullopt);            // an empty span touches nothing
  EXPECT_EQ(map.Source({9, 2}), std::nullopt);            // past the end
}

TEST(TextMap, DeletedInputIsCoveredOnlyBetweenWhatIsKept) {
  // "He admits, x": the comma deleted.
  TextMap map;
  map.Copy(9);
  map.Delete(1);
  map.Copy(2);
  EXPECT_EQ(map.OutputLength(), 11u);
  EXPECT_EQ(map.Source({0, 9}), (Span{TextSpan{0, 9}}));
  EXPECT_EQ(map.Source({9, 2}), (Span{TextSpan{10, 2}}));
  EXPECT_EQ(map.Source({8, 2}), (Span{TextSpan{8, 3}}));
}

TEST(TextMap, ReplaceAgainStandsForTheLastReplacedSpan) {
  TextMap map;
  map.Copy(1);
  map.Replace(4, 2);
  map.Insert(5);
  map.ReplaceAgain(3);
  map.Copy(1);
  EXPECT_EQ(map.InputLength(), 6u);
  EXPECT_EQ(map.Source({8, 3}), (Span{TextSpan{1, 4}}));
  EXPECT_EQ(map.Source({11, 1}), (Span{TextSpan{5, 1}}));

  TextMap nothing_before;  // with no replacement before it, it is inserted text
  nothing_before.ReplaceAgain(2);
  EXPECT_EQ(nothing_before.Source({0, 2}), std::nullopt);
}

TEST(TextMap, ThenFollowsBothSteps) {
  const std::string line = "Mr. Oconomowoc wept.";
  // Step 1: "Mr." -> "Mister".
  TextMap first;
  const std::string once = ReplaceText(line, "Mr.", "Mister", ReplaceMode::All, &first);
  // Step 2: "Oconomowoc" -> "uh <emph>con</emph> uh muh walk", then "wept" emphasised.
  TextMap second;
  const std::string twice =
      ReplaceText(once, "Oconomowoc", "uh <emph>con</emph> uh muh walk", ReplaceMode::All, &second);
  TextMap third;
  const std::string spoken =
      ReplaceText(twice, "wept", "<EMPH>wept</EMPH>", ReplaceMode::All, &third);
  ASSERT_EQ(spoken, "Mister uh <emph>con</emph> uh muh walk <EMPH>wept</EMPH>.");

  const TextMap all = first.Then(second).Then(third);
  EXPECT_EQ(all.InputLength(), line.size());
  EXPECT_EQ(all.OutputLength(), spoken.size());
  EXPECT_EQ(From(all, line, spoken, "Mister"), "Mr.");
  EXPECT_EQ(From(all, line, spoken, "ter"), "Mr.");
  EXPECT_EQ(From(all, line, spoken, "con"), "Oconomowoc");
  EXPECT_EQ(From(all, line, spoken, "walk"), "Oconomowoc");
  EXPECT_EQ(From(all, line, spoken, "<emph>"), "-");
  EXPECT_EQ(From(all, line, spoken, "</EMPH>"), "-");
  EXPECT_EQ(From(all, line, spoken, "ep"), "ep");
  EXPECT_EQ(all.Source({spoken.find("ep"), 2}), (Span{TextSpan{line.find("ep"), 2}}));
  EXPECT_EQ(From(all, line, spoken, "wept</EMPH>."), "wept.");
  EXPECT_EQ(From(all, line, 0, spoken.size()), line);

  // Joining with identities changes nothing.
  EXPECT_EQ(TextMap::Identity(line.size()).Then(all), all);
  EXPECT_EQ(all.Then(TextMap::Identity(spoken.size())), all);
}

TEST(TextMap, ThenOfACopyOverPartOfAReplacement) {
  // "abc" -> "XYZW" as a whole; the next step keeps only "YZ" and inserts around it.
  TextMap first;
  first.Replace(3, 4);
  TextMap second;
  second.Delete(1);
  second.Insert(2);
  second.Copy(2);
  second.Delete(1);
  const TextMap both = first.Then(second);
  EXPECT_EQ(both.OutputLength(), 4u);
  EXPECT_EQ(both.Source({0, 2}), std::nullopt);
  EXPECT_EQ(both.Source({3, 1}), (Span{TextSpan{0, 3}}));

  // A replacement in the next step over copied and replaced text stands for all of it.
  TextMap copy_then_replace;
  copy_then_replace.Copy(2);
  copy_then_replace.Replace(2, 1);
  TextMap over;
  over.Copy(1);
  over.Replace(2, 5);
  over.Copy(0);
  const TextMap joined = copy_then_replace.Then(over);
  EXPECT_EQ(joined.InputLength(), 4u);
  EXPECT_EQ(joined.Source({1, 1}), (Span{TextSpan{1, 3}}));
}

TEST(MapReplacement, TagsAreInsertedAndKeptWordsCopied) {
  const struct {
    std::string_view search, replacement, piece, from;
  } cases[] = {
      // Only markup added: every character maps to itself.
      {"to me,", "to <EMPH>me</EMPH>,", "me", "me"},
      {"to me,", "to <EMPH>me</EMPH>,", ",", ","},
      {"to me,", "to <EMPH>me</EMPH>,", "<EMPH>", "-"},
      {"CHAPTER", "<silence msec=\"500\"/>CHAPTER", "CHAP", "CHAP"},
      // Rewritten: any word stands for the whole search text, the tags for nothing.
      {"imposter", "im <EMPH>poss</EMPH> ter", "poss", "imposter"},
      {"imposter", "im <EMPH>poss</EMPH> ter", "ter", "imposter"},
      {"imposter", "im <EMPH>poss</EMPH> ter", "</EMPH>", "-"},
      {"a.m.", "AM <silence msec=\"500\"/>", "AM", "a.m."},
      {"a.m.", "AM <silence msec=\"500\"/>", "<silence msec=\"500\"/>", "-"},
      // A phrase with one word rewritten: the words around it are its own.
      {"They will not go", "They will <EMPH>nott</EMPH> go", "nott", "not"},
      {"They will not go", "They will <EMPH>nott</EMPH> go", "will", "will"},
      {"They will not go", "They will <EMPH>nott</EMPH> go", "go", "go"},
      {"He is  lucky", "He iz lucky", "iz", "is "},
      {"He is  lucky", "He iz lucky", "lucky", "lucky"},
      {"a b c", "a c", "a c", "a b c"},  // a word dropped between kept ones
      {"$500", "<context ID = \"currency\">$500</context> ", "$500", "$500"},
      {"$500", "<context ID = \"currency\">$500</context> ", "</context> ", "-"},
      // Only part of a word alike is no word alike.
      {"important ", "import int ", "import", "important"},
      {"important ", "import int ", "int ", "important "},
      // Brackets that make no tag are text.
      {"<x", "(x", "(x", "<x"},
      {"a", "b > <c", "> <c", "a"},
  };
  for (const auto& c : cases) {
    TextMap map;
    MapReplacement(c.search, c.replacement, map);
    EXPECT_EQ(map.InputLength(), c.search.size()) << c.replacement;
    EXPECT_EQ(map.OutputLength(), c.replacement.size()) << c.replacement;
    EXPECT_EQ(From(map, c.search, c.replacement, c.piece), c.from)
        << c.search << " -> " << c.replacement << ": " << c.piece;
  }

  // Nothing but a tag for the search text (":" becomes a pause): the search text is deleted.
  TextMap pause;
  MapReplacement(":", "<silence msec=\"500\"/>", pause);
  EXPECT_EQ(pause.InputLength(), 1u);
  EXPECT_EQ(pause.Source({0, pause.OutputLength()}), std::nullopt);
}

TEST(ReplaceText, TheMapFollowsEveryOccurrenceAndTheResultIsUnchanged) {
  TextMap map;
  const std::string text = "aXbXXc";
  const std::string result = ReplaceText(text, "X", "yy", ReplaceMode::All, &map);
  EXPECT_EQ(result, ReplaceText(text, "X", "yy"));
  EXPECT_EQ(map.InputLength(), text.size());
  EXPECT_EQ(map.OutputLength(), result.size());
  EXPECT_EQ(From(map, text, 4, 2), "X");   // the second occurrence's "yy"
  EXPECT_EQ(From(map, text, 6, 1), "X");   // the third's first "y"
  EXPECT_EQ(From(map, text, 5, 2), "XX");  // across two occurrences
  EXPECT_EQ(From(map, text, 8, 1), "c");

  const std::string first = ReplaceText(text, "X", "yy", ReplaceMode::First, &map);
  EXPECT_EQ(first, "ayybXXc");
  EXPECT_EQ(From(map, text, 4, 3), "XXc");

  // The map is set afresh, also when nothing is found or the search text is empty.
  EXPECT_EQ(ReplaceText(text, "Q", "z", ReplaceMode::All, &map), text);
  EXPECT_EQ(map, TextMap::Identity(text.size()));
  EXPECT_EQ(ReplaceText(text, "", "z", ReplaceMode::All, &map), text);
  EXPECT_EQ(map, TextMap::Identity(text.size()));
}

}  // namespace
}  // namespace quillon
