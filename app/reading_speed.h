// The reading speed kept in the settings file: key ReadingSpeed of section Metrics, in percent of
// every profile's own rate (50 to 300). A file without the key, or with a value that is no whole
// number, reads as 100; a value outside the range is brought into it. The key is written only
// when the speed is chosen, so a file is not changed by merely reading it.
#pragma once

#include <array>

#include "app/settings_file.h"

namespace quillon {

inline constexpr const char* kReadingSpeedKey = "ReadingSpeed";

// The speeds the view's context menu offers, as factors.
inline constexpr std::array<double, 9> kSpeedChoices = {0.5,  0.75, 1.0, 1.25, 1.5,
                                                        1.75, 2.0,  2.5, 3.0};

// The factor the file holds: 0.5 to 3, 1 by default.
double LoadReadingSpeed(const SettingsLocation& settings);
// Stores the factor, brought into 0.5 to 3, as whole percent; throws "Unable to write to %s".
void StoreReadingSpeed(const SettingsLocation& settings, double speed);

}  // namespace quillon
