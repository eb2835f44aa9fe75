#include "app/mpris_player.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QUrl>
#include <algorithm>

#include "app/quillon_talks_main.h"
#include "speech/espeak_input.h"

namespace quillon {
namespace {

constexpr const char* kIdentity = "Quillon Reader";
constexpr const char* kAuthor = "quillonfenwright.net";
constexpr const char* kIconName = "net.quillonfenwright.QuillonReader";

// The installed icon, looked for where the package puts it; none when it is not installed.
QString IconUrl() {
  const QString program = QCoreApplication::applicationDirPath();
  for (const QString& candidate :
       {program + QStringLiteral("/../share/icons/hicolor/scalable/apps/%1.svg"),
        program + QStringLiteral("/../share/icons/hicolor/128x128/apps/%1.png"),
        QStringLiteral("/usr/share/icons/hicolor/scalable/apps/%1.svg")}) {
    const QString path = candidate.arg(QString::fromUtf8(kIconName));
    if (QFile::exists(path)) {
      return QUrl::fromLocalFile(QFileInfo(path).canonicalFilePath()).toString();
    }
  }
  return {};
}

}  // namespace

MprisPlayer::MprisPlayer(TfQuillonReaderMain& window) : window_(window) {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) {
    return;
  }
  new MprisRootAdaptor(this);
  new MprisPlayerAdaptor(this);
  if (!bus.registerObject(QString::fromUtf8(kMprisPath), this)) {
    return;
  }
  QString name = QString::fromUtf8(kMprisServiceBase);
  if (!bus.registerService(name)) {
    name += QStringLiteral(".instance%1").arg(QCoreApplication::applicationPid());
    if (!bus.registerService(name)) {
      bus.unregisterObject(QString::fromUtf8(kMprisPath));
      return;
    }
  }
  service_ = name;
  status_ = PlaybackStatus();
  metadata_ = Metadata();
  connect(&window_, &TfQuillonReaderMain::PlaybackChanged, this, &MprisPlayer::Notify);
}

MprisPlayer::~MprisPlayer() {
  if (!service_.isEmpty()) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.unregisterService(service_);
    bus.unregisterObject(QString::fromUtf8(kMprisPath));
  }
}

QString MprisPlayer::PlaybackStatus() const {
  if (window_.Paused()) {
    return QStringLiteral("Paused");
  }
  return window_.ReadingDepth() > 0 ? QStringLiteral("Playing") : QStringLiteral("Stopped");
}

QVariantMap MprisPlayer::Metadata() const {
  const int chapter = window_.State().CurrentChapter;
  QVariantMap metadata;
  // One track per chapter; before the first, the title page.
  metadata.insert(QStringLiteral("mpris:trackid"),
                  QVariant::fromValue(QDBusObjectPath(
                      QStringLiteral("/net/quillonfenwright/QuillonReader/chapter/%1")
                          .arg(std::max(chapter, 0)))));
  metadata.insert(QStringLiteral("xesam:title"), chapter > 0
                                                     ? QStringLiteral("CHAPTER %1").arg(chapter)
                                                     : QString::fromUtf8(kPrintTitle));
  metadata.insert(QStringLiteral("xesam:album"), QString::fromUtf8(kPrintTitle));
  metadata.insert(QStringLiteral("xesam:artist"), QStringList{QString::fromUtf8(kAuthor)});
  if (const QString icon = IconUrl(); !icon.isEmpty()) {
    metadata.insert(QStringLiteral("mpris:artUrl"), icon);
  }
  return metadata;
}

double MprisPlayer::Rate() const {
  return window_.ReadingSpeed();
}

void MprisPlayer::SetRate(double rate) {
  // A rate of 0 means pause; anything else is brought into the range.
  TfQuillonReaderMain* window = &window_;
  QMetaObject::invokeMethod(
      window,
      [window, rate] {
        if (rate <= 0.0) {
          window->Pause();
        } else {
          window->RunHandler([window, rate] { window->SetReadingSpeed(rate); });
        }
      },
      Qt::QueuedConnection);
}

double MprisPlayer::MinimumRate() const {
  return kSlowestSpeed;
}

double MprisPlayer::MaximumRate() const {
  return kFastestSpeed;
}

void MprisPlayer::Notify() {
  QVariantMap changed;
  if (const QString status = PlaybackStatus(); status != status_) {
    status_ = status;
    changed.insert(QStringLiteral("PlaybackStatus"), status);
  }
  if (const QVariantMap metadata = Metadata(); metadata != metadata_) {
    metadata_ = metadata;
    changed.insert(QStringLiteral("Metadata"), metadata);
  }
  if (const double rate = Rate(); rate != rate_) {
    rate_ = rate;
    changed.insert(QStringLiteral("Rate"), rate);
  }
  if (changed.isEmpty()) {
    return;
  }
  QDBusMessage signal = QDBusMessage::createSignal(
      QString::fromUtf8(kMprisPath), QStringLiteral("org.freedesktop.DBus.Properties"),
      QStringLiteral("PropertiesChanged"));
  signal << QStringLiteral("org.mpris.MediaPlayer2.Player") << changed << QStringList();
  QDBusConnection::sessionBus().send(signal);
}

MprisRootAdaptor::MprisRootAdaptor(MprisPlayer* player)
    : QDBusAbstractAdaptor(player), player_(player) {}

QString MprisRootAdaptor::Identity() const {
  return QString::fromUtf8(kIdentity);
}

QString MprisRootAdaptor::DesktopEntry() const {
  return QGuiApplication::desktopFileName();
}

// Calls reach the window queued: the reply goes back at once, whatever the call starts.
void MprisRootAdaptor::Raise() {
  TfQuillonReaderMain* window = &player_->Window();
  QMetaObject::invokeMethod(
      window,
      [window] {
        window->showNormal();
        window->raise();
        window->activateWindow();
      },
      Qt::QueuedConnection);
}

void MprisRootAdaptor::Quit() {
  QMetaObject::invokeMethod(&player_->Window(), &QWidget::close, Qt::QueuedConnection);
}

MprisPlayerAdaptor::MprisPlayerAdaptor(MprisPlayer* player)
    : QDBusAbstractAdaptor(player), player_(player) {}

void MprisPlayerAdaptor::Play() {
  QMetaObject::invokeMethod(&player_->Window(), &TfQuillonReaderMain::Play, Qt::QueuedConnection);
}

void MprisPlayerAdaptor::Pause() {
  QMetaObject::invokeMethod(&player_->Window(), &TfQuillonReaderMain::Pause, Qt::QueuedConnection);
}

void MprisPlayerAdaptor::PlayPause() {
  QMetaObject::invokeMethod(&player_->Window(), &TfQuillonReaderMain::PlayPause,
                            Qt::QueuedConnection);
}

void MprisPlayerAdaptor::Stop() {
  TfQuillonReaderMain* window = &player_->Window();
  QMetaObject::invokeMethod(
      window, [window] { window->RunHandler([window] { window->btnStopClick(); }); },
      Qt::QueuedConnection);
}

}  // namespace quillon
