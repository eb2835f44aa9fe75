// How the reader is played from outside the buttons: the keyboard's Pause and play/pause media
// keys while the window has the focus, and the view's context menu with Pause or Resume.
#pragma once

#include <QPoint>
#include <QString>
#include <functional>
#include <vector>

class QMenu;
class QShortcut;
class QTextEdit;
class QWidget;

namespace quillon {

// What the keys and the menu ask of the window.
struct PlayerCommands {
  std::function<void()> play_pause;  // Pause and the play/pause keys
  std::function<void()> play;        // the play key
  std::function<void()> pause;       // the media pause key
};

// Window shortcuts for the keys; the window owns them. Their activation arrives as a shortcut
// event for the returned objects.
std::vector<QShortcut*> AddPlayerKeys(QWidget& window, const PlayerCommands& commands);

// What the context menu offers besides the view's own entries.
struct ViewMenuEntries {
  bool reading = false;  // a reading runs
  bool paused = false;   // and is held
  std::function<void()> pause_or_resume;
  double speed = 1.0;  // the reading speed now, checked among the choices
  std::function<void(double)> choose_speed;
};

// The view's standard menu at pos (its coordinates) with "&Pause" or "&Resume" and a "Reading
// &speed" submenu (0.5x to 3x) added; shown by the caller, deleted when it closes.
QMenu* MakeViewMenu(QTextEdit& view, QPoint pos, const ViewMenuEntries& entries);

}  // namespace quillon
