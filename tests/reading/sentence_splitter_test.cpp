#include "reading/sentence_splitter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "reading/text_primitives.h"

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
