#include "app/bookmarks.h"

#include <algorithm>

#include "app/settings_file.h"

namespace quillon {
namespace {

constexpr const char* kLeft = "Left";
constexpr const char* kTop = "Top";
constexpr const char* kLine = "Line";
constexpr const char* kCursor = "Cursor";
constexpr const char* kLastVoice = "LastVoice";
constexpr const char* kLastChapter = "LastChapter";
constexpr const char* kHrFlag = "FirstOccurrenceOfHRInK12HasBeenRead";

void WriteReadingState(SettingsFile& file, const ReaderState& state) {
  file.WriteInteger(kBookmarksSection, kLastVoice, state.CurrentVoice);
  file.WriteInteger(kBookmarksSection, kLastChapter, state.CurrentChapter);
  file.WriteBool(kBookmarksSection, kHrFlag, state.FirstOccurrenceOfHRInK12HasBeenRead);
}

std::int32_t ClampToInt32(std::int64_t value) {
  if (value > INT32_MAX) {
    return INT32_MAX;
  }
  if (value < INT32_MIN) {
    return INT32_MIN;
  }
  return static_cast<std::int32_t>(value);
}

}  // namespace

WindowPosition CentredWindowPosition(std::int32_t screen_width, std::int32_t screen_height,
                                     std::int32_t window_width, std::int32_t window_height) {
  return {screen_width / 2 - window_width / 2, screen_height / 2 - window_height / 2};
}

WindowPosition BringIntoCoordinateRange(WindowPosition position, std::int32_t width,
                                        std::int32_t height, CoordinateRange range) {
  const auto bring = [&range](std::int32_t start, std::int32_t extent) {
    const std::int64_t lowest = range.min;
    // A window larger than the range keeps its start at the lowest coordinate.
    const std::int64_t highest =
        std::max<std::int64_t>(lowest, static_cast<std::int64_t>(range.max) - std::max(extent, 0));
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(start, lowest, highest));
  };
  return {bring(position.left, width), bring(position.top, height)};
}

WindowPosition LoadWindowPosition(const SettingsLocation& settings, WindowPosition centred) {
  const SettingsFile file(settings);
  return {file.ReadInteger(kMetricsSection, kLeft, centred.left),
          file.ReadInteger(kMetricsSection, kTop, centred.top)};
}

void SaveWindowPosition(const SettingsLocation& settings, WindowPosition position) {
  SettingsFile file(settings);
  file.WriteInteger(kMetricsSection, kLeft, position.left);
  file.WriteInteger(kMetricsSection, kTop, position.top);
}

void StoreReadingState(const SettingsLocation& settings, const ReaderState& state) {
  SettingsFile file(settings);
  WriteReadingState(file, state);
}

void SetBookmark(const SettingsLocation& settings, const RichTextView& view,
                 const ReaderState& state) {
  SettingsFile file(settings);
  file.WriteInteger(kBookmarksSection, kLine, ClampToInt32(view.FirstVisibleLine()));
  file.WriteInteger(kBookmarksSection, kCursor, ClampToInt32(view.SelectionStart()));
  WriteReadingState(file, state);
}

void GoToBookmark(const SettingsLocation& settings, RichTextView& view, ReaderState& state) {
  std::int32_t line = 0;
  {
    const SettingsFile file(settings);
    line = file.ReadInteger(kBookmarksSection, kLine, 0);
    view.SetSelection(file.ReadInteger(kBookmarksSection, kCursor, 0), 0);
    state.CurrentVoice = file.ReadInteger(kBookmarksSection, kLastVoice, 0);
    state.CurrentChapter = file.ReadInteger(kBookmarksSection, kLastChapter, 1);
    state.FirstOccurrenceOfHRInK12HasBeenRead = file.ReadBool(kBookmarksSection, kHrFlag, false);
    view.ScrollLines(static_cast<std::int64_t>(line) - view.FirstVisibleLine());
  }
  view.ScrollCaret();
}

}  // namespace quillon
