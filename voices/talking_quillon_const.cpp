#include "voices/talking_quillon_const.h"

namespace quillon {

// One row per voice number: 0 is the narrator, 1 Quillon, 2 Mary.
// clang-format off
constexpr std::string_view kVoiceProfile0  = R"(<VOICE REQUIRED="Name=Microsoft Mike">)";
constexpr std::string_view kVoiceProfile1  = R"(<VOICE REQUIRED="Gender=Male"><RATE SPEED="+2"><VOLUME LEVEL="85"><PITCH MIDDLE="+7">)";
constexpr std::string_view kVoiceProfile2  = R"(<VOICE REQUIRED="Name=Microsoft Mary">)";
constexpr std::string_view kVoiceProfile3  = R"(<VOICE REQUIRED="Gender=Male"><RATE SPEED="-1"><VOLUME LEVEL="70"><PITCH MIDDLE="-4">)";
constexpr std::string_view kVoiceProfile4  = R"(<VOICE REQUIRED="Gender=Male"><RATE SPEED="+2"><VOLUME LEVEL="78"><PITCH MIDDLE="+5">)";
constexpr std::string_view kVoiceProfile5  = R"(<VOICE REQUIRED="Gender=Male"><RATE SPEED="-1"><VOLUME LEVEL="78"><PITCH MIDDLE="-7">)";
constexpr std::string_view kVoiceProfile6  = R"(<VOICE REQUIRED="Gender=Male"><RATE SPEED="-1"><VOLUME LEVEL="70"><PITCH MIDDLE="-5">)";
constexpr std::string_view kVoiceProfile7  = R"(<VOICE REQUIRED="Name=Microsoft Sam">)";
constexpr std::string_view kVoiceProfile8  = R"(<VOICE REQUIRED="Gender=Male"><RATE SPEED="+1"><VOLUME LEVEL="78"><PITCH MIDDLE="-1">)";
constexpr std::string_view kVoiceProfile9  = R"(<VOICE REQUIRED="Gender=Male"><RATE SPEED="-1"><VOLUME LEVEL="80"><PITCH MIDDLE="-7">)";
constexpr std::string_view kVoiceProfile10 = R"(<VOICE REQUIRED="Gender=Female"><RATE SPEED="+1"><VOLUME LEVEL="94"><PITCH MIDDLE="-1">)";
constexpr std::string_view kVoiceProfile11 = R"(<VOICE REQUIRED="Gender=Male"><RATE SPEED="-3"><VOLUME LEVEL="97"><PITCH MIDDLE="+2">)";
constexpr std::string_view kVoiceProfile12 = R"(<VOICE REQUIRED="Gender=Female"><RATE SPEED="-1"><VOLUME LEVEL="87"><PITCH MIDDLE="-2">)";
constexpr std::string_view kVoiceProfile13 = R"(<VOICE REQUIRED="Gender=Male"><RATE SPEED="+3"><VOLUME LEVEL="81"><PITCH MIDDLE="+5">)";
constexpr std::string_view kVoiceProfile14 = R"(<VOICE REQUIRED="Gender=Male"><RATE SPEED="-1"><VOLUME LEVEL="97"><PITCH MIDDLE="-20">)";
constexpr std::string_view kVoiceProfile15 = R"(<VOICE REQUIRED="Gender=Male"><RATE SPEED="-2"><VOLUME LEVEL="71"><PITCH MIDDLE="-10">)";
constexpr std::string_view kVoiceProfile16 = R"(<VOICE REQUIRED="Gender=Male"><RATE SPEED="-1"><VOLUME LEVEL="73"><PITCH MIDDLE="+5">)";
constexpr std::string_view kVoiceProfile17 = R"(<VOICE REQUIRED="Gender=Male"><RATE SPEED="+1"><VOLUME LEVEL="77"><PITCH MIDDLE="+3">)";
constexpr std::string_view kVoiceProfile18 = R"(<VOICE REQUIRED="Gender=Female"><RATE SPEED="-3"><VOLUME LEVEL="79"><PITCH MIDDLE="+6">)";
constexpr std::string_view kVoiceProfile19 = R"(<VOICE REQUIRED="Gender=Male"><RATE SPEED="-2"><VOLUME LEVEL="84"><PITCH MIDDLE="+3">)";
constexpr std::string_view kVoiceProfile20 = R"(<VOICE REQUIRED="Gender=Male"><RATE SPEED="+1"><VOLUME LEVEL="71"><PITCH MIDDLE="-2">)";
constexpr std::string_view kVoiceProfile21 = R"(<VOICE REQUIRED="Gender=Male"><RATE SPEED="+4"><VOLUME LEVEL="73"><PITCH MIDDLE="+17">)";
constexpr std::string_view kVoiceProfile22 = R"(<VOICE REQUIRED="Gender=Female"><RATE SPEED="-1"><VOLUME LEVEL="79"><PITCH MIDDLE="-1">)";
constexpr std::string_view kVoiceProfile23 = R"(<VOICE REQUIRED="Gender=Male"><RATE SPEED="-3"><VOLUME LEVEL="89"><PITCH MIDDLE="-15">)";
constexpr std::string_view kVoiceProfile24 = R"(<VOICE REQUIRED="Gender=Male"><RATE SPEED="+3"><VOLUME LEVEL="94"><PITCH MIDDLE="-10">)";
constexpr std::string_view kVoiceProfile25 = R"(<VOICE REQUIRED="Gender=Female"><RATE SPEED="+4"><VOLUME LEVEL="84"><PITCH MIDDLE="+6">)";
constexpr std::string_view kVoiceProfile26 = R"(<VOICE REQUIRED="Gender=Male"><RATE SPEED="+1"><VOLUME LEVEL="89"><PITCH MIDDLE="-1">)";
constexpr std::string_view kVoiceProfile27 = R"(<VOICE REQUIRED="Gender=Male"><RATE SPEED="+4"><VOLUME LEVEL="95"><PITCH MIDDLE="+1">)";
constexpr std::string_view kVoiceProfile28 = R"(<VOICE REQUIRED="Gender=Female"><RATE SPEED="-1"><VOLUME LEVEL="80"><PITCH MIDDLE="+7">)";
constexpr std::string_view kVoiceProfile29 = R"(<VOICE REQUIRED="Gender=Male"><RATE SPEED="+3"><VOLUME LEVEL="85"><PITCH MIDDLE="-11">)";
constexpr std::string_view kVoiceProfile30 = R"(<VOICE REQUIRED="Gender=Male"><RATE SPEED="-1"><VOLUME LEVEL="82"><PITCH MIDDLE="-12">)";
constexpr std::string_view kVoiceProfile31 = R"(<VOICE REQUIRED="Gender=Male"><RATE SPEED="-1"><VOLUME LEVEL="81"><PITCH MIDDLE="-22">)";
constexpr std::string_view kVoiceProfile32 = R"(<VOICE REQUIRED="Gender=Male"><RATE SPEED="+2"><VOLUME LEVEL="87"><PITCH MIDDLE="+18">)";
constexpr std::string_view kVoiceProfile33 = R"(<VOICE REQUIRED="Gender=Female"><RATE SPEED="-2"><VOLUME LEVEL="82"><PITCH MIDDLE="+8">)";
constexpr std::string_view kVoiceProfile34 = R"(<VOICE REQUIRED="Gender=Male"><RATE SPEED="-1"><VOLUME LEVEL="80"><PITCH MIDDLE="-4">)";
constexpr std::string_view kVoiceProfile35 = R"(<VOICE REQUIRED="Gender=Male"><RATE SPEED="-2"><VOLUME LEVEL="80"><PITCH MIDDLE="-8">)";
constexpr std::string_view kVoiceProfile36 = R"(<VOICE REQUIRED="Gender=Male"><RATE SPEED="+2"><VOLUME LEVEL="75"><PITCH MIDDLE="-1">)";

constexpr std::string_view kVoiceClosingShort = "</VOICE>";
constexpr std::string_view kVoiceClosingLong  = "</PITCH></VOLUME></RATE></VOICE>";

constexpr std::array<std::string_view, 37> kVoiceProfiles = {
    kVoiceProfile0, kVoiceProfile1, kVoiceProfile2, kVoiceProfile3, kVoiceProfile4, kVoiceProfile5,
    kVoiceProfile6, kVoiceProfile7, kVoiceProfile8, kVoiceProfile9, kVoiceProfile10, kVoiceProfile11,
    kVoiceProfile12, kVoiceProfile13, kVoiceProfile14, kVoiceProfile15, kVoiceProfile16, kVoiceProfile17,
    kVoiceProfile18, kVoiceProfile19, kVoiceProfile20, kVoiceProfile21, kVoiceProfile22, kVoiceProfile23,
    kVoiceProfile24, kVoiceProfile25, kVoiceProfile26, kVoiceProfile27, kVoiceProfile28, kVoiceProfile29,
    kVoiceProfile30, kVoiceProfile31, kVoiceProfile32, kVoiceProfile33, kVoiceProfile34, kVoiceProfile35,
    kVoiceProfile36,
};
// clang-format on

}  // namespace quillon
