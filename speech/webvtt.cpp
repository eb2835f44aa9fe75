#include "speech/webvtt.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <utility>

namespace quillon {
namespace {

// "hh:mm:ss.mmm".
std::string Timestamp(double seconds) {
  const long long ms = std::llround(std::max(seconds, 0.0) * 1000.0);
  char text[32];
  std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld.%03lld", ms / 3'600'000, ms / 60'000 % 60,
                ms / 1000 % 60, ms % 1000);
  return text;
}

std::string CueText(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '\r':
      case '\n':
        out.push_back(' ');
        break;
      default:
        out.push_back(c);
    }
  }
  return out;
}

}  // namespace

std::string FormatWebVtt(const std::vector<SubtitleCue>& cues) {
  std::string out = "WEBVTT\n";
  for (const SubtitleCue& cue : cues) {
    out += "\n" + Timestamp(cue.start_seconds) + " --> " + Timestamp(cue.end_seconds) + "\n" +
           CueText(cue.text) + "\n";
  }
  return out;
}

void WriteWebVtt(const std::string& path, const std::vector<SubtitleCue>& cues,
                 const std::string& shown_name) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  const std::string text = FormatWebVtt(cues);
  file.write(text.data(), static_cast<std::streamsize>(text.size()));
  file.close();
  if (!file) {
    throw std::runtime_error("Cannot write the file " + (shown_name.empty() ? path : shown_name) +
                             ".");
  }
}

void SubtitleTrack::StartSentence() {
  first_audible_.reset();
  last_audible_ = 0;
}

void SubtitleTrack::Add(std::span<const std::int16_t> samples) {
  for (std::size_t i = 0; i < samples.size(); ++i) {
    if (samples[i] != 0) {
      first_audible_ = first_audible_.value_or(samples_ + i);
      last_audible_ = samples_ + i;
    }
  }
  samples_ += samples.size();
}

void SubtitleTrack::EndSentence(std::string text, int sample_rate) {
  if (first_audible_ && !text.empty()) {
    cues_.push_back({static_cast<double>(*first_audible_) / sample_rate,
                     static_cast<double>(last_audible_ + 1) / sample_rate, std::move(text)});
  }
  first_audible_.reset();
}

std::vector<SubtitleCue> SubtitleTrack::Take() {
  samples_ = 0;
  first_audible_.reset();
  return std::exchange(cues_, {});
}

}  // namespace quillon
