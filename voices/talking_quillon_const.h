// The voice markup strings: the opening of each of the 37 voice profiles and the two closings.
//
// Every sentence the reader speaks is framed in one of these. Profiles 0, 2 and 7 require a voice
// by name; the others ask for a gender and set rate, volume and pitch. The strings are sent to the
// speech voice exactly as they stand.
#pragma once

#include <array>
#include <string_view>

namespace quillon {

extern const std::string_view kVoiceProfile0;
extern const std::string_view kVoiceProfile1;
extern const std::string_view kVoiceProfile2;
extern const std::string_view kVoiceProfile3;
extern const std::string_view kVoiceProfile4;
extern const std::string_view kVoiceProfile5;
extern const std::string_view kVoiceProfile6;
extern const std::string_view kVoiceProfile7;
extern const std::string_view kVoiceProfile8;
extern const std::string_view kVoiceProfile9;
extern const std::string_view kVoiceProfile10;
extern const std::string_view kVoiceProfile11;
extern const std::string_view kVoiceProfile12;
extern const std::string_view kVoiceProfile13;
extern const std::string_view kVoiceProfile14;
extern const std::string_view kVoiceProfile15;
extern const std::string_view kVoiceProfile16;
extern const std::string_view kVoiceProfile17;
extern const std::string_view kVoiceProfile18;
extern const std::string_view kVoiceProfile19;
extern const std::string_view kVoiceProfile20;
extern const std::string_view kVoiceProfile21;
extern const std::string_view kVoiceProfile22;
extern const std::string_view kVoiceProfile23;
extern const std::string_view kVoiceProfile24;
extern const std::string_view kVoiceProfile25;
extern const std::string_view kVoiceProfile26;
extern const std::string_view kVoiceProfile27;
extern const std::string_view kVoiceProfile28;
extern const std::string_view kVoiceProfile29;
extern const std::string_view kVoiceProfile30;
extern const std::string_view kVoiceProfile31;
extern const std::string_view kVoiceProfile32;
extern const std::string_view kVoiceProfile33;
extern const std::string_view kVoiceProfile34;
extern const std::string_view kVoiceProfile35;
extern const std::string_view kVoiceProfile36;

// Closes a profile's VOICE tag only.
extern const std::string_view kVoiceClosingShort;
// Closes the PITCH, VOLUME, RATE and VOICE tags of the attribute form.
extern const std::string_view kVoiceClosingLong;

// The profiles by voice number, 0 to 36.
extern const std::array<std::string_view, 37> kVoiceProfiles;

}  // namespace quillon
