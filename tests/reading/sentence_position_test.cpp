// Where each spoken sentence, and each piece of what the voice is given, stands in its line: the
// real reading loop over lines whose cutting, pre-pass and rewrites are the hard cases.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "reading/memory_view.h"
#include "reading/reading_loop.h"
#include "speech/recording_voice.h"
#include "text/encoding.h"

namespace quillon {
namespace {

struct Heard {
  std::string line;  // as fetched
  SpokenSentence where;
  std::string spoken;  // what Speak was given, back in Windows-1252
};

// Reads text from its top to the end marker, with state as given.
std::vector<Heard> Read(const std::string& text, ReaderState state = {}) {
  MemoryView view(text);
  RecordingVoice voice;
  std::vector<Heard> heard;
  std::string line;
  ReadingOptions options;
  options.stop_at_end_of_text = true;
  options.on_line = [&](std::string_view fetched) { line = fetched; };
  options.on_sentence_spoken = [&](const SpokenSentence& sentence) {
    heard.push_back({line, sentence, {}});
  };
  RunReadingLoop(view, voice, state, {}, options);
  EXPECT_EQ(voice.calls().size(), heard.size());
  for (std::size_t i = 0; i < heard.size() && i < voice.calls().size(); ++i) {
    heard[i].spoken = Utf16ToWindows1252(voice.calls()[i].text);
  }
  return heard;
}

std::string Text(const Heard& heard) {
  const TextSpan span = heard.where.in_line;
  return heard.line.substr(span.start, span.length);
}

// What piece (found in the spoken text after `after`) stands for in the line; "-" for nothing.
std::string PieceFrom(const Heard& heard, std::string_view after, std::string_view piece) {
  const std::size_t anchor = heard.spoken.find(std::string(after) + std::string(piece));
  if (anchor == std::string::npos) {
    return "<not spoken>";
  }
  const auto source = heard.where.to_line.Source({anchor + after.size(), piece.size()});
  return source ? heard.line.substr(source->start, source->length) : "-";
}

TEST(SentencePosition, TrickyLinesMapBackToTheirCharacters) {
  const struct Row {
    std::string_view what;
    std::string line;
    std::size_t sentence;    // which sentence of the line, from 0
    std::string_view text;   // its characters in the line
    std::string_view after;  // the piece of the spoken text, found after this
    std::string_view piece;
    std::string_view piece_from;  // what the piece stands for in the line, "-" for nothing
  } rows[] = {
      {"quotation, then attribution", "\"Go home,\" she said.", 0, "\"Go home,\"", "", "home",
       "home"},
      {"the attribution after it", "\"Go home,\" she said.", 1, "she said.", "", "she", "she"},
      {"attribution, then quotation", "He said, \"Go home.\" Then he left.", 0, "He said,", "",
       "said,", "said,"},
      {"the quotation after it", "He said, \"Go home.\" Then he left.", 1, "\"Go home.\"", "",
       "\"Go", "\"Go"},
      {"and the rest", "He said, \"Go home.\" Then he left.", 2, "Then he left.", "", "left.",
       "left."},
      {"the comma after admits is never spoken", "He admits, \"I did.\"", 0, "He admits", "",
       "admits", "admits"},
      {"nor part of the quotation after it", "He admits, \"I did.\"", 1, "\"I did.\"", "", "did.\"",
       "did.\""},
      {"P.S. keeps its last period", "P.S. Bring the map.", 0, "P.S.", "", "P", "P.S"},
      {"its last period is its own", "P.S. Bring the map.", 0, "P.S.", "S", ".", "."},
      {"H.R.'s spoken as H arz", "They sat on H.R.'s porch.", 0, "They sat on H.R.'s porch.", "H ",
       "arz", "H.R.'s"},
      {"Mr. spoken as Mister", "Mr. Slate waved.", 0, "Mr. Slate waved.", "", "Mister", "Mr."},
      {"a.m. with its pause", "We left at 9 a.m. sharp.", 0, "We left at 9 a.m. sharp.", "",
       "<silence msec=\"500\"/>", "-"},
      {"AM for a.m.", "We left at 9 a.m. sharp.", 0, "We left at 9 a.m. sharp.", "", "AM", "a.m."},
      {"a phrase rewritten into several words", "They drove out of Oconomowoc at nine.", 0,
       "They drove out of Oconomowoc at nine.", "", "muh", "Oconomowoc"},
      {"its emphasis tag", "They drove out of Oconomowoc at nine.", 0,
       "They drove out of Oconomowoc at nine.", "uh ", "<emph>", "-"},
      {"emphasis around a word keeps the word", "\"It tastes like a muffin to me,\" he said.", 0,
       "\"It tastes like a muffin to me,\"", "<EMPH>", "me", "me"},
      {"and the words before it", "\"It tastes like a muffin to me,\" he said.", 0,
       "\"It tastes like a muffin to me,\"", "", "muffin", "muffin"},
      {"the cascade's first alternative", "\"It is important to plan ahead.\"", 0,
       "\"It is important to plan ahead.\"", "import ", "int", "important"},
      {"a phrase rewrite keeps the words it does not change",
       "\"But they will not get my fingerprints.\"", 0,
       "\"But they will not get my fingerprints.\"", "", "nott", "not"},
      {"the cascade's third alternative", "\"It is important.\"", 0, "\"It is important.\"",
       "import ", "int.", "important."},
      {"the narrator's markup marks nothing", "It rained.", 0, "It rained.", "",
       "<VOICE REQUIRED=\"Name=Microsoft Mike\">", "-"},
      {"nor its closing", "It rained.", 0, "It rained.", "", "</VOICE>", "-"},
      {"two quotations: the first", "\"Run,\" he said. \"Now!\"", 0, "\"Run,\"", "", "Run", "Run"},
      {"the attribution between", "\"Run,\" he said. \"Now!\"", 1, "he said.", "", "he", "he"},
      {"the second", "\"Run,\" he said. \"Now!\"", 2, "\"Now!\"", "", "Now!\"", "Now!\""},
      {"a colon becomes a pause", "Note: bring it.", 0, "Note:", "Note", "<silence msec=\"500\"/>",
       "-"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    const std::vector<Heard> heard = Read(row.line + "\r\n~~~\r\n");
    ASSERT_LT(row.sentence, heard.size());
    const Heard& sentence = heard[row.sentence];
    EXPECT_EQ(Text(sentence), row.text);
    EXPECT_EQ(PieceFrom(sentence, row.after, row.piece), row.piece_from) << sentence.spoken;
  }
}

TEST(SentencePosition, TheChapter99RowMapsItsRewriteToWhatItReplaced) {
  const std::string line =
      "\"Awright then, pard,\" Dokie went on, folding his knife, \"Ah'll tell you what Ah am. True "
      "dyed-in-the-wool, way-down-yonder-in-the-land-of-cotton Southern gentleman, that's what, "
      "and proud of it.\"";
  ReaderState state;
  state.CurrentChapter = 15;
  const std::vector<Heard> heard = Read(line + "\r\nMia waved.\r\n~~~\r\n", state);
  const auto found = std::find_if(heard.begin(), heard.end(), [](const Heard& h) {
    return h.spoken.find("cot ton") != std::string::npos;
  });
  ASSERT_NE(found, heard.end());
  EXPECT_TRUE(Text(*found).starts_with("True dyed-in-the-wool")) << Text(*found);
  // The rewrite keeps its first word; the rest of it stands for the rest of what it replaced.
  EXPECT_EQ(PieceFrom(*found, "", "True"), "True");
  EXPECT_EQ(PieceFrom(*found, "", "died-in-the-wool,"),
            "dyed-in-the-wool, way-down-yonder-in-the-land-of-cotton");
  EXPECT_EQ(PieceFrom(*found, "cot ", "ton"),
            "dyed-in-the-wool, way-down-yonder-in-the-land-of-cotton");
  EXPECT_EQ(PieceFrom(*found, "", "Southern"), "Southern");
  // The rows after it see chapter 99 in the next line too: "Mia" is rewritten there.
  ASSERT_FALSE(heard.empty());
  EXPECT_EQ(Text(heard.back()), "Mia waved.");
  EXPECT_EQ(PieceFrom(heard.back(), "", "me uh"), "Mia");
  EXPECT_EQ(PieceFrom(heard.back(), "me uh ", "waved."), "waved.");
}

TEST(SentencePosition, SentencesOfALineFollowEachOtherWithoutTheirSeparators) {
  const std::string line = "  Mr. Slate admits, \"I fish.\" Then at 9 a.m. he left.  ";
  const std::vector<Heard> heard = Read(line + "\r\n~~~\r\n");
  std::vector<std::string> texts;
  for (const Heard& h : heard) {
    texts.push_back(Text(h));
  }
  EXPECT_EQ(texts, (std::vector<std::string>{"Mr. Slate admits", "\"I fish.\"",
                                             "Then at 9 a.m. he left."}));
}

TEST(SentencePosition, TheCallbackChangesNothingThatIsSpoken) {
  const std::string text =
      "CHAPTER 15\r\n\"Go home,\" she said. Mr. Slate admits, \"I did.\"\r\n"
      "P.S. They drove out of Oconomowoc at 9 a.m. -- it was important.\r\n"
      "H.R. waved. \"It tastes like a muffin to me,\" he said.\r\n~~~\r\n";
  const auto speak_calls = [&](bool with_callback) {
    MemoryView view(text);
    RecordingVoice voice;
    ReaderState state;
    ReadingOptions options;
    options.stop_at_end_of_text = true;
    int told = 0;
    if (with_callback) {
      options.on_sentence_spoken = [&](const SpokenSentence&) { ++told; };
    }
    RunReadingLoop(view, voice, state, {}, options);
    std::vector<std::u16string> spoken;
    for (const auto& call : voice.calls()) {
      spoken.push_back(call.text);
    }
    EXPECT_EQ(told, with_callback ? static_cast<int>(spoken.size()) : 0);
    return spoken;
  };
  const auto without = speak_calls(false);
  EXPECT_GT(without.size(), 6u);
  EXPECT_EQ(speak_calls(true), without);
}

}  // namespace
}  // namespace quillon
