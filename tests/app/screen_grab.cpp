// screen_grab WINDOW-ID FILE.png: saves a picture of one X window (the smoke test's screenshot).
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <cstdio>

int main(int argc, char** argv) {
  QGuiApplication application(argc, argv);
  if (argc != 3) {
    std::fprintf(stderr, "usage: screen_grab WINDOW-ID FILE.png\n");
    return 64;
  }
  bool ok = false;
  const WId window = QString::fromLocal8Bit(argv[1]).toULongLong(&ok, 0);
  const QPixmap picture = QGuiApplication::primaryScreen()->grabWindow(ok ? window : 0);
  if (picture.isNull() || !picture.save(QString::fromLocal8Bit(argv[2]))) {
    std::fprintf(stderr, "screen_grab: cannot save %s\n", argv[2]);
    return 1;
  }
  return 0;
}
