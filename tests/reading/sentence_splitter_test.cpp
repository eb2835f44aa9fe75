#include "reading/sentence_splitter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "text/text_primitives.h"

namespace quillon {
namespace {

struct SplitCase {
  std::string line;
  std::string first;
};

TEST(SentenceSplitter, FirstSentence) {
  const SplitCase cases[] = {
      {R"(He said, "Go home." Then he left.)", "He said,"},
      {R"("Go home," she said.)", R"("Go home,")"},
      {R"("Yes," he said, "go.")", R"("Yes,")"},  // the earlier of the two comma breaks
      {R"("Why?" she asked.)", R"("Why?")"},
      {"It cost 94.2% more. Truly.", "It cost 94.2% more. Truly."},  // exception: whole line
      {"Meet me at 10:30. Bring it.", "Meet me at 10:30."},
      {"Time 10:30: now.", "Time 10:30: now."},  // only the first colon is examined
      {"Note: bring it.", "Note:"},
      {"O.J. said: yes.", "O.J."},  // a later colon changes neither cut nor extra length
      {"It weighs 62.8 kilos. Wow.", "It weighs 62.8"},
      {R"(He admits, "I did.")", "He admits"},
      {R"(She simply asks, "Why?")", "She simply asks"},
      {"and so on", "and so on"},
      {"  and so on  ", "  and so on  "},  // no break: returned untrimmed
      {"  Stop. Go.", "Stop."},            // a break: returned trimmed
      {"", ""},
      {"Listen:", "Listen:"},    // a colon at the very end breaks; the count runs past the end
      {"Listen:  ", "Listen:"},  // ... and the one character after it is a space
      {"Wait! No.", "Wait!"},    // '!' takes one character along, here a space
      {R"("Stop!" he cried.)", R"("Stop!")"},
      {R"("What?!" he cried.)", R"("What?!")"},  // the trailing space taken along is trimmed
      {"Was it? \x85 No.", "Was it?"},
      {"Was it?\x85 No. Yes.", "Was it?\x85 No. Yes."},            // exception before the cut
      {"Yes. Was it?\x85 No.", "Yes."},                            // exception after the cut
      {R"(So, "Bft!" went the pipe. Then.)", "So,"},               // comma break comes first
      {"Bft! went the pipe. Then.", "Bft! went the pipe. Then."},  // exception before the cut
      {R"(H.R. said, "no." Then.)", R"(H.R. said, "no." Then.)"},  // exception before the comma
      {R"(It said, "H.R. no." Then.)", "It said,"},                // exception after the comma
      {"It was B.I.O.N. again.", "It was B.I.O.N. again."},
      {"It cost $3,141,592.65 today. Wow.", "It cost $3,141,592.65 today. Wow."},
      {"About 1.000 of them. Yes.", "About 1.000"},  // a protected number ends the sentence
      {"O.J. went home.", "O.J."},
      {"Mr C.C. Smith came.", "Mr C.C."},
      {"It was 94.2 wide.", "It was 94.2"},
      {"(as in Minocqua) then on.", "(as in Minocqua)"},
      {"('Fine') and then.", "('Fine')"},
      {R"("But--" he began.)", R"("But--")"},
      {"\"So\x85\" he said.", "\"So\x85\""},
      {R"(Is it?" he said.)", R"(Is it?")"},  // row 22 wins over row 23 at the same position
      {R"(It is." he said.)", R"(It is.")"},  // row 15 wins over row 19 at the same position
      {"Ratio 3:1 then: go.", "Ratio 3:1 then: go."},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(GetFirstSentence(c.line), c.first) << "line: " << c.line;
  }
}

// What the reading loop does with each result: trim the sentence, trim the line, delete the
// sentence's length plus one character from the front, until nothing is left.
std::vector<std::string> SplitAll(std::string_view line) {
  std::vector<std::string> sentences;
  std::string rest = Trim(line);
  while (!rest.empty()) {
    std::string sentence = Trim(GetFirstSentence(rest));
    rest = Trim(std::string_view(rest).substr(std::min(rest.size(), sentence.size() + 1)));
    sentences.push_back(std::move(sentence));
  }
  return sentences;
}

TEST(SentenceSplitter, CallerGetsTheFollowingSentences) {
  EXPECT_EQ(SplitAll(R"(He said, "Go home." Then he left.)"),
            (std::vector<std::string>{"He said,", R"("Go home.")", "Then he left."}));
  EXPECT_EQ(SplitAll(R"(He admits, "I did.")"),
            (std::vector<std::string>{"He admits", R"("I did.")"}));
  EXPECT_EQ(SplitAll(R"(It said, "H.R. no." Then.)"),
            (std::vector<std::string>{"It said,", R"("H.R. no." Then.)"}));
}

// The mark table written out as the steps read, searching the whole line for every row: what the
// splitter must agree with, however it finds its marks.
std::string ReferenceFirstSentence(std::string_view line) {
  enum Kind { kFirstBreak, kException, kBreak, kColon };
  struct Row {
    std::string_view text;
    Kind kind;
    std::size_t extra;
  };
  // clang-format off
  static constexpr Row kRows[] = {
      {",\"", kFirstBreak, 1},  {", \"", kFirstBreak, 1},
      {"94.2%", kException, 0}, {"99.9%", kException, 0}, {".314", kException, 0},
      {"I.N.C.", kException, 0}, {"H.R.", kException, 0}, {"$314.15", kException, 0},
      {"$3,141,592.65", kException, 0}, {"3.14", kException, 0}, {"31.41", kException, 0},
      {"B.I.O.N.", kException, 0},
      {"1.000", kBreak, 4}, {"62.8", kBreak, 3}, {".\"", kBreak, 1}, {"O.J.", kBreak, 3},
      {"94.2", kBreak, 3}, {"C.C.", kBreak, 3}, {".", kBreak, 0},
      {"?\x85", kException, 0}, {"?!\"", kBreak, 3}, {"?\"", kBreak, 1}, {"?", kBreak, 0},
      {"!", kBreak, 1}, {"Bft!", kException, 0}, {":", kColon, 1}, {"')", kBreak, 1},
      {"Minocqua)", kBreak, 8}, {"--\"", kBreak, 2}, {"\x85\"", kBreak, 1},
      {"admits,", kBreak, 5}, {"simply asks,", kBreak, 10},
  };
  // clang-format on
  std::size_t cut = 123456789;
  std::size_t extra = 1;
  for (const Row& row : kRows) {
    const std::size_t p = Position(row.text, line);
    if (p == 0) {
      continue;
    }
    if (row.kind == kFirstBreak) {
      cut = std::min(cut, p);
    } else if (row.kind == kException) {
      if (p < cut) {
        return std::string(line);
      }
    } else if (p < cut) {
      const bool digit_follows = p < line.size() && line[p] >= '0' && line[p] <= '9';
      if (row.kind == kBreak || !digit_follows) {
        cut = p;
        extra = row.extra;
      }
    }
  }
  if (cut == 123456789) {
    return std::string(line);
  }
  return Trim(line.substr(0, std::min(line.size(), cut + extra)));
}

// The reading loop's own walk over a line: each rest is a view into the line, trimmed at both
// ends after the first sentence.
template <typename FirstSentence>
std::vector<std::string> WalkLine(std::string_view line, FirstSentence first_sentence) {
  const auto trimmed = [](std::string_view text) {
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= 32) {
      text.remove_suffix(1);
    }
    while (!text.empty() && static_cast<unsigned char>(text.front()) <= 32) {
      text.remove_prefix(1);
    }
    return text;
  };
  std::vector<std::string> sentences;
  std::string_view rest = line;
  while (!trimmed(rest).empty()) {
    std::string sentence = Trim(first_sentence(rest));
    rest = trimmed(rest);
    rest.remove_prefix(std::min(sentence.size() + 1, rest.size()));
    sentences.push_back(std::move(sentence));
  }
  return sentences;
}

// Lines made of the marks, parts of them and the characters around them, so that marks overlap,
// touch, repeat and stand at either end.
// Without exceptions, long lines are cut into many sentences instead of staying whole.
std::vector<std::string> GeneratedLines(unsigned seed, std::size_t count, std::size_t max_pieces,
                                        bool exceptions) {
  static const std::string_view kExceptions[] = {
      "94.2%",         "99.9%", ".314",  "I.N.C.",   "H.R.",  "$314.15",
      "$3,141,592.65", "3.14",  "31.41", "B.I.O.N.", "?\x85", "Bft!",
  };
  static const std::string_view kPieces[] = {
      ",\"",       ", \"", "1.000",    "62.8",    ".\"",
      "O.J.",      "94.2", "C.C.",     ".",       "?!\"",
      "?\"",       "?",    "!",        ":",       "')",
      "Minocqua)", "--\"", "\x85\"",   "admits,", "simply asks,",
      " ",         " ",    "  ",       "\t",      "\r\n",
      "word",      "Bft",  "Minocqua", "admits",  "simply",
      "asks",      "\"",   ",",        "'",       ")",
      "-",         "\x85", "0",        "1",       "9",
      "3",         "4",    "2",        "%",       "$",
      "H",         "R",    "C",        "J",       "O",
      "B",         "N",    "a",        ": 5",     ":7",
      "x",
  };
  static const std::string kFiller(2500, 'w');  // puts the next mark far from the last one
  std::vector<std::string_view> pieces(std::begin(kPieces), std::end(kPieces));
  pieces.push_back(kFiller);
  if (exceptions) {
    pieces.insert(pieces.end(), std::begin(kExceptions), std::end(kExceptions));
  }
  std::mt19937 random(seed);
  std::uniform_int_distribution<std::size_t> piece(0, pieces.size() - 1);
  std::uniform_int_distribution<std::size_t> length(0, max_pieces);
  std::vector<std::string> lines;
  for (std::size_t i = 0; i < count; ++i) {
    std::string line;
    for (std::size_t n = length(random); n > 0; --n) {
      line += pieces[piece(random)];
    }
    lines.push_back(std::move(line));
  }
  return lines;
}

TEST(SentenceSplitter, AgreesWithTheMarkTableOnGeneratedLines) {
  const struct {
    unsigned seed;
    std::size_t lines;
    std::size_t max_pieces;
    bool exceptions;
  } runs[] = {{1, 20000, 6, true},  {2, 5000, 40, true},  {3, 300, 400, true}, {4, 20, 4000, true},
              {5, 5000, 40, false}, {6, 300, 400, false}, {7, 20, 4000, false}};
  std::size_t sentences = 0;
  for (const auto& run : runs) {
    for (const std::string& line :
         GeneratedLines(run.seed, run.lines, run.max_pieces, run.exceptions)) {
      ASSERT_EQ(GetFirstSentence(line), ReferenceFirstSentence(line)) << "line: " << line;
      SentenceSplitter splitter(line);
      const std::vector<std::string> walked =
          WalkLine(line, [&](std::string_view rest) { return splitter.FirstSentence(rest); });
      ASSERT_EQ(walked, WalkLine(line, ReferenceFirstSentence)) << "line: " << line;
      sentences += walked.size();
    }
  }
  EXPECT_GT(sentences, 50000u);  // the lines are really cut, not kept whole
}

TEST(SentenceSplitter, TextOutsideTheLineOrBeforeTheLastRestIsSearchedAfresh) {
  const std::string line = "One. Two: three? \"Four,\" five!";
  const std::string other = "Elsewhere, \"quoted,\" then. More.";
  SentenceSplitter splitter(line);
  const std::string_view whole = line;
  const struct {
    std::string_view rest;
    std::string first;
  } calls[] = {
      {whole.substr(5), "Two:"},
      {whole.substr(17), "\"Four,\""},
      {whole.substr(0), "One."},  // before the previous rest
      {other, "Elsewhere,"},      // another text altogether
      {whole.substr(10), "three?"},
      {whole.substr(10, 3), "thr"},       // a rest that ends early holds none of the marks after it
      {whole.substr(16, 7), " \"Four,"},  // nor the one it cuts in two: no break, not trimmed
  };
  for (const auto& call : calls) {
    EXPECT_EQ(splitter.FirstSentence(call.rest), call.first) << call.rest;
    EXPECT_EQ(splitter.FirstSentence(call.rest), ReferenceFirstSentence(call.rest)) << call.rest;
  }
}

TEST(SentenceSplitter, AnyInputEnds) {
  std::string all_bytes;
  for (int b = 0; b < 256; ++b) {
    all_bytes.push_back(static_cast<char>(b));
  }
  std::string marks;
  for (int i = 0; i < 50; ++i) {
    marks += ".?!:,\"\x85')-- ";
  }
  const std::string lines[] = {all_bytes, marks, std::string(500, '.'), std::string(500, ' ')};
  for (const auto& line : lines) {
    EXPECT_NE(line.find(GetFirstSentence(line)), std::string::npos);
    std::size_t total = 0;
    for (const auto& sentence : SplitAll(line)) {
      ASSERT_FALSE(sentence.empty());
      total += sentence.size();
    }
    EXPECT_LE(total, line.size());
  }

  std::string big;  // 1 MB: one sentence cut off, and one line without any break
  while (big.size() < (1u << 20)) {
    big += "Quillon walked on and on, humming. \"Why?\" he asked: 10:30! ";
  }
  EXPECT_EQ(GetFirstSentence(big), "Quillon walked on and on, humming.");
  EXPECT_EQ(GetFirstSentence(std::string(1u << 20, 'x')).size(), 1u << 20);
}

}  // namespace
}  // namespace quillon
