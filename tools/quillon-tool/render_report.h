// What render tells the user: lengths as a clock and the closing summary.
#pragma once

#include <cstddef>
#include <string>

namespace quillon::tool {

// Seconds as H:MM:SS, rounded to the nearest second.
std::string Clock(double seconds);

// "N files in FOLDER, H:MM:SS of audio, wall time W s, real-time factor F (X times faster than
// real time)"; "slower" when the audio took longer to make than to hear, and "no audio" in place
// of the length and the factor when there is none.
std::string RenderSummary(std::size_t files, const std::string& folder, double audio_seconds,
                          double wall_seconds);

}  // namespace quillon::tool
