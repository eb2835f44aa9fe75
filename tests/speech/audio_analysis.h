// Measurements on rendered speech for the audio tests: length, pitch, loudness.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "speech/espeak_synthesizer.h"

namespace quillon::testing {

inline std::vector<std::int16_t> RenderSamples(std::string_view markup) {
  std::vector<std::int16_t> samples;
  EspeakSynthesizer::Instance().Render(markup, [&](std::span<const std::int16_t> s) {
    samples.insert(samples.end(), s.begin(), s.end());
  });
  return samples;
}

inline double Milliseconds(std::size_t samples) {
  return 1000.0 * static_cast<double>(samples) / EspeakSynthesizer::Instance().SampleRate();
}

// The samples between the first and the last one louder than a whisper.
inline std::size_t AudibleLength(const std::vector<std::int16_t>& samples) {
  const auto loud = [](std::int16_t s) { return std::abs(static_cast<int>(s)) > 300; };
  const auto first = std::find_if(samples.begin(), samples.end(), loud);
  if (first == samples.end()) {
    return 0;
  }
  const auto last = std::find_if(samples.rbegin(), samples.rend(), loud);
  return static_cast<std::size_t>(std::distance(first, last.base()));
}

// Fundamental frequency of each voiced 40 ms frame (10 ms apart), by normalised autocorrelation
// (60-500 Hz); unvoiced and quiet frames are left out.
inline std::vector<double> VoicedF0s(const std::vector<std::int16_t>& samples, int rate) {
  const std::size_t frame = static_cast<std::size_t>(rate) * 40 / 1000;
  const std::size_t hop = static_cast<std::size_t>(rate) * 10 / 1000;
  const std::size_t min_lag = static_cast<std::size_t>(rate / 500);
  const std::size_t max_lag = static_cast<std::size_t>(rate / 60);
  std::vector<double> f0s;
  for (std::size_t start = 0; start + frame + max_lag < samples.size(); start += hop) {
    double energy = 0;
    for (std::size_t i = 0; i < frame; ++i) {
      energy += double(samples[start + i]) * samples[start + i];
    }
    if (energy / frame < 1000.0 * 1000.0) {
      continue;  // quiet: no voicing worth measuring
    }
    double best = 0;
    std::size_t best_lag = 0;
    std::vector<double> r(max_lag + 2, 0.0);
    for (std::size_t lag = min_lag; lag <= max_lag + 1; ++lag) {
      double cross = 0, e1 = 0, e2 = 0;
      for (std::size_t i = 0; i < frame; ++i) {
        const double a = samples[start + i], b = samples[start + i + lag];
        cross += a * b;
        e1 += a * a;
        e2 += b * b;
      }
      r[lag] = cross / std::sqrt(e1 * e2 + 1e-9);
    }
    for (std::size_t lag = min_lag + 1; lag <= max_lag; ++lag) {
      if (r[lag] > best && r[lag] >= r[lag - 1] && r[lag] >= r[lag + 1]) {
        best = r[lag];
        best_lag = lag;
      }
    }
    if (best < 0.7 || best_lag == 0) {
      continue;
    }
    // Parabolic interpolation around the peak.
    const double y0 = r[best_lag - 1], y1 = r[best_lag], y2 = r[best_lag + 1];
    const double denominator = y0 - 2 * y1 + y2;
    const double shift = denominator != 0 ? 0.5 * (y0 - y2) / denominator : 0.0;
    f0s.push_back(rate / (static_cast<double>(best_lag) + shift));
  }
  return f0s;
}

// Median fundamental frequency of the voiced frames.
inline double MedianF0(const std::vector<std::int16_t>& samples, int rate) {
  std::vector<double> f0s = VoicedF0s(samples, rate);
  if (f0s.empty()) {
    return 0;
  }
  std::nth_element(f0s.begin(), f0s.begin() + f0s.size() / 2, f0s.end());
  return f0s[f0s.size() / 2];
}

// The quiet stretches of at least min_ms between two loud samples, in milliseconds, in order.
inline std::vector<double> QuietGaps(const std::vector<std::int16_t>& samples, int rate,
                                     double min_ms) {
  std::vector<double> gaps;
  std::size_t quiet = 0;
  bool heard = false;
  for (std::int16_t s : samples) {
    if (std::abs(static_cast<int>(s)) > 300) {
      const double ms = 1000.0 * static_cast<double>(quiet) / rate;
      if (heard && ms >= min_ms) {
        gaps.push_back(ms);
      }
      heard = true;
      quiet = 0;
    } else {
      ++quiet;
    }
  }
  return gaps;
}

inline double Rms(const std::vector<std::int16_t>& samples) {
  double sum = 0;
  for (std::int16_t s : samples) {
    sum += double(s) * s;
  }
  return samples.empty() ? 0 : std::sqrt(sum / samples.size());
}

}  // namespace quillon::testing
