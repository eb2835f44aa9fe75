#include "tools/quillon-tool/render_report.h"

#include <gtest/gtest.h>

#include <string>

namespace quillon::tool {
namespace {

TEST(RenderSummary, SaysFasterOrSlowerAndNothingOfAFactorWithoutAudio) {
  // clang-format off
  const struct { std::size_t files; double audio; double wall; const char* summary; } cases[] = {
    {69, 7560,  6.5,  "69 files in book, 2:06:00 of audio, wall time 6.50 s, real-time factor 0.00086 (1163 times faster than real time)"},
    {4,  10,    3.8,  "4 files in book, 0:00:10 of audio, wall time 3.80 s, real-time factor 0.38000 (2.6 times faster than real time)"},
    {1,  10,    26.4, "1 file in book, 0:00:10 of audio, wall time 26.40 s, real-time factor 2.64000 (2.6 times slower than real time)"},
    {2,  60,    60,   "2 files in book, 0:01:00 of audio, wall time 60.00 s, real-time factor 1.00000 (1.0 times faster than real time)"},
    {1,  1,     0,    "1 file in book, 0:00:01 of audio, wall time 0.00 s, real-time factor 0.00000 (faster than real time)"},
    {0,  0,     0.12, "0 files in book, no audio, wall time 0.12 s"},
    {3,  0,     0.5,  "3 files in book, no audio, wall time 0.50 s"},
  };
  // clang-format on
  for (const auto& c : cases) {
    EXPECT_EQ(RenderSummary(c.files, "book", c.audio, c.wall), c.summary);
  }
}

TEST(Clock, RoundsToTheNearestSecond) {
  EXPECT_EQ(Clock(0), "0:00:00");
  EXPECT_EQ(Clock(59.5), "0:01:00");
  EXPECT_EQ(Clock(102965.4), "28:36:05");
}

}  // namespace
}  // namespace quillon::tool
