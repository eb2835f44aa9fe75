// The window position and the bookmark in the settings file, free of Qt.
//
// Each function is one operation on the file: it opens the file, reads or writes in a fixed order,
// and releases it. A refused write throws "Unable to write to <path>" and skips the rest of the
// operation, so a bookmark may be stored in part (the keys written before the failure stay).
#pragma once

#include <cstdint>
#include <string>

#include "app/settings_file.h"
#include "reading/rich_text_view.h"
#include "text/reader_state.h"

namespace quillon {

inline constexpr const char* kMetricsSection = "Metrics";
inline constexpr const char* kBookmarksSection = "Bookmarks";

struct WindowPosition {
  std::int32_t left = 0;
  std::int32_t top = 0;

  friend bool operator==(const WindowPosition&, const WindowPosition&) = default;
};

// Centred on the screen: each half is rounded toward zero on its own before the subtraction.
WindowPosition CentredWindowPosition(std::int32_t screen_width, std::int32_t screen_height,
                                     std::int32_t window_width, std::int32_t window_height);

// The coordinates a window system can hold. A window at left with width w spans left to left + w,
// and both ends must lie within [min, max] (likewise for top and height).
struct CoordinateRange {
  std::int32_t min;
  std::int32_t max;
};
// X11 keeps positions and the corners of every region as signed 16-bit numbers.
inline constexpr CoordinateRange kX11Coordinates{-32768, 32767};
// Other window systems: at least the range of the 32-bit numbers the settings file holds.
inline constexpr CoordinateRange kInt32Coordinates{INT32_MIN, INT32_MAX};

// On each axis apart: a position whose window would reach beyond the range moves to the nearest one
// whose window lies within it; any other position is kept as it is, even off the screen.
WindowPosition BringIntoCoordinateRange(WindowPosition position, std::int32_t width,
                                        std::int32_t height, CoordinateRange range);

// Metrics/Left and Metrics/Top, each with its own default; a stored value is used unchanged.
WindowPosition LoadWindowPosition(const SettingsLocation& settings, WindowPosition centred);
// Writes Left, then Top.
void SaveWindowPosition(const SettingsLocation& settings, WindowPosition position);

// The reading state: LastVoice, LastChapter, FirstOccurrenceOfHRInK12HasBeenRead, in this order.
// Line and Cursor are left as they are.
void StoreReadingState(const SettingsLocation& settings, const ReaderState& state);

// Line (the first visible display line), Cursor (the selection's start), then the reading state.
void SetBookmark(const SettingsLocation& settings, const RichTextView& view,
                 const ReaderState& state);

// Puts the caret at Cursor, restores the reader state (defaults voice 0, chapter 1, flag false),
// scrolls line Line to the top as far as the view can, then scrolls the caret into view.
void GoToBookmark(const SettingsLocation& settings, RichTextView& view, ReaderState& state);

}  // namespace quillon
