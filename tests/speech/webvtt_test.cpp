// Subtitles: the WebVTT text, and the cues of a file made from its samples.
#include "speech/webvtt.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

namespace quillon {
namespace {

TEST(WebVtt, FormatsCuesInOrder) {
  const std::vector<SubtitleCue> cues = {
      {0.0, 1.5, "\"Mary, we must go,\""},
      {3723.0456, 3724.9996, "Tom & <Jerry> --> home\r\nnow"},
  };
  EXPECT_EQ(FormatWebVtt(cues),
            "WEBVTT\n"
            "\n00:00:00.000 --> 00:00:01.500\n\"Mary, we must go,\"\n"
            "\n01:02:03.046 --> 01:02:05.000\nTom &amp; &lt;Jerry&gt; --&gt; home  now\n");
  EXPECT_EQ(FormatWebVtt({}), "WEBVTT\n");
}

TEST(SubtitleTrack, CuesSpanEachSentencesAudibleSamples) {
  SubtitleTrack track;
  const std::vector<std::int16_t> quiet(100, 0);
  std::vector<std::int16_t> sound(300, 0);
  sound[50] = 7;
  sound[249] = -3;
  // clang-format off
  struct Sentence { std::vector<std::vector<std::int16_t>> pieces; std::string text; };
  const Sentence sentences[] = {
      {{quiet, sound},        "First."},   // audible from 100 + 50 to 100 + 249
      {{quiet},               "Silent."},  // nothing audible: no cue
      {{sound, sound},        ""},         // no text: no cue
      {{sound},               "Last."},    // at 1100
  };
  // clang-format on
  for (const Sentence& sentence : sentences) {
    track.StartSentence();
    for (const auto& piece : sentence.pieces) {
      track.Add(piece);
    }
    track.EndSentence(sentence.text, 100);
  }
  const std::vector<SubtitleCue> cues = track.Take();
  ASSERT_EQ(cues.size(), 2u);
  EXPECT_DOUBLE_EQ(cues[0].start_seconds, 1.5);
  EXPECT_DOUBLE_EQ(cues[0].end_seconds, 3.5);
  EXPECT_EQ(cues[1].text, "Last.");
  EXPECT_DOUBLE_EQ(cues[1].start_seconds, 11.5);
  EXPECT_DOUBLE_EQ(cues[1].end_seconds, 13.5);
  // The next file starts from its own beginning.
  EXPECT_TRUE(track.Cues().empty());
  track.StartSentence();
  track.Add(sound);
  track.EndSentence("Next file.", 100);
  ASSERT_EQ(track.Cues().size(), 1u);
  EXPECT_DOUBLE_EQ(track.Cues()[0].start_seconds, 0.5);
}

TEST(WebVtt, WritesTheFile) {
  const std::filesystem::path path =
      std::filesystem::temp_directory_path() / ("quillon_webvtt_" + std::to_string(getpid()));
  const std::vector<SubtitleCue> cues = {{0.25, 1.0, "Hello."}};
  WriteWebVtt(path.string(), cues);
  std::ifstream in(path);
  std::stringstream written;
  written << in.rdbuf();
  EXPECT_EQ(written.str(), FormatWebVtt(cues));
  std::filesystem::remove(path);
}

TEST(WebVtt, UnwritablePathIsAnError) {
  try {
    WriteWebVtt("/nonexistent-dir/x.vtt", {});
    FAIL() << "no error";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "Cannot write the file /nonexistent-dir/x.vtt.");
  }
}

}  // namespace
}  // namespace quillon
