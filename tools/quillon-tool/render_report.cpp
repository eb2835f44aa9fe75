#include "tools/quillon-tool/render_report.h"

#include <cstdio>

namespace quillon::tool {
namespace {

// A ratio as the user reads it: one decimal below ten, whole numbers from there.
std::string Times(double ratio) {
  char text[32];
  std::snprintf(text, sizeof text, ratio < 9.95 ? "%.1f" : "%.0f", ratio);
  return text;
}

}  // namespace

std::string Clock(double seconds) {
  const auto total = static_cast<long>(seconds + 0.5);
  char text[32];
  std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", total / 3600, total / 60 % 60, total % 60);
  return text;
}

std::string RenderSummary(std::size_t files, const std::string& folder, double audio_seconds,
                          double wall_seconds) {
  char wall[32];
  std::snprintf(wall, sizeof wall, "%.2f", wall_seconds);
  std::string summary = std::to_string(files) + (files == 1 ? " file in " : " files in ") + folder;
  if (audio_seconds <= 0) {
    return summary + ", no audio, wall time " + wall + " s";
  }
  char factor[32];
  const double real_time_factor = wall_seconds / audio_seconds;
  std::snprintf(factor, sizeof factor, "%.5f", real_time_factor);
  summary += ", " + Clock(audio_seconds) + " of audio, wall time " + wall +
             " s, real-time factor " + factor + " (";
  if (real_time_factor <= 1.0) {
    summary += wall_seconds > 0 ? Times(audio_seconds / wall_seconds) + " times faster" : "faster";
  } else {
    summary += Times(real_time_factor) + " times slower";
  }
  return summary + " than real time)";
}

}  // namespace quillon::tool
