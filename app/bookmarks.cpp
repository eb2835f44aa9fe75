#include "app/bookmarks.h"

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

WindowPosition LoadWindowPosition(const std::string& settings_path, WindowPosition centred) {
  const SettingsFile file(settings_path);
  return {file.ReadInteger(kMetricsSection, kLeft, centred.left),
          file.ReadInteger(kMetricsSection, kTop, centred.top)};
}

void SaveWindowPosition(const std::string& settings_path, WindowPosition position) {
  SettingsFile file(settings_path);
  file.WriteInteger(kMetricsSection, kLeft, position.left);
  file.WriteInteger(kMetricsSection, kTop, position.top);
}

void StoreReadingState(const std::string& settings_path, const ReaderState& state) {
  SettingsFile file(settings_path);
  WriteReadingState(file, state);
}

void SetBookmark(const std::string& settings_path, const RichTextView& view,
                 const ReaderState& state) {
  SettingsFile file(settings_path);
  file.WriteInteger(kBookmarksSection, kLine, ClampToInt32(view.FirstVisibleLine()));
  file.WriteInteger(kBookmarksSection, kCursor, ClampToInt32(view.SelectionStart()));
  WriteReadingState(file, state);
}

void GoToBookmark(const std::string& settings_path, RichTextView& view, ReaderState& state) {
  std::int32_t line = 0;
  {
    const SettingsFile file(settings_path);
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
