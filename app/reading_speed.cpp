#include "app/reading_speed.h"

#include <algorithm>
#include <cmath>

#include "speech/espeak_input.h"

namespace quillon {
namespace {

constexpr const char* kSection = "Metrics";

int Percent(double speed) {
  return static_cast<int>(std::lround(std::clamp(speed, kSlowestSpeed, kFastestSpeed) * 100.0));
}

}  // namespace

double LoadReadingSpeed(const SettingsLocation& settings) {
  const SettingsFile file(settings);
  return Percent(file.ReadInteger(kSection, kReadingSpeedKey, 100) / 100.0) / 100.0;
}

void StoreReadingSpeed(const SettingsLocation& settings, double speed) {
  SettingsFile file(settings);
  file.WriteInteger(kSection, kReadingSpeedKey, Percent(speed));
}

}  // namespace quillon
