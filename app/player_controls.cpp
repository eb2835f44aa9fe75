#include "app/player_controls.h"

#include <QAction>
#include <QActionGroup>
#include <QKeySequence>
#include <QMenu>
#include <QShortcut>
#include <QTextEdit>
#include <QWidget>
#include <cmath>

#include "app/reading_speed.h"

namespace quillon {

std::vector<QShortcut*> AddPlayerKeys(QWidget& window, const PlayerCommands& commands) {
  std::vector<QShortcut*> keys;
  const auto add = [&](Qt::Key key, const std::function<void()>& command) {
    auto* shortcut = new QShortcut(QKeySequence(key), &window);
    shortcut->setContext(Qt::WindowShortcut);
    QObject::connect(shortcut, &QShortcut::activated, &window, [command] { command(); });
    keys.push_back(shortcut);
  };
  add(Qt::Key_Pause, commands.play_pause);
  add(Qt::Key_MediaTogglePlayPause, commands.play_pause);
  add(Qt::Key_MediaPlay, commands.play);
  add(Qt::Key_MediaPause, commands.pause);
  return keys;
}

QMenu* MakeViewMenu(QTextEdit& view, QPoint pos, const ViewMenuEntries& entries) {
  QMenu* menu = view.createStandardContextMenu(pos);
  menu->setAttribute(Qt::WA_DeleteOnClose);
  menu->addSeparator();
  QAction* pause =
      menu->addAction(entries.paused ? QStringLiteral("&Resume") : QStringLiteral("&Pause"));
  pause->setObjectName(QStringLiteral("pauseOrResume"));
  pause->setEnabled(entries.reading);
  QObject::connect(pause, &QAction::triggered, menu,
                   [command = entries.pause_or_resume] { command(); });
  QMenu* speeds = menu->addMenu(QStringLiteral("Reading &speed"));
  speeds->setObjectName(QStringLiteral("readingSpeed"));
  auto* group = new QActionGroup(speeds);
  for (const double speed : kSpeedChoices) {
    QAction* choice = speeds->addAction(QStringLiteral("%1\u00D7").arg(speed));
    choice->setCheckable(true);
    choice->setChecked(std::abs(speed - entries.speed) < 0.001);
    choice->setActionGroup(group);
    QObject::connect(choice, &QAction::triggered, menu,
                     [command = entries.choose_speed, speed] { command(speed); });
  }
  return menu;
}

}  // namespace quillon
