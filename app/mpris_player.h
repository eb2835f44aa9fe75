// The reader as a media player on the session bus (MPRIS 2), so the desktop's media controls, the
// play/pause keys of keyboards and headsets and `playerctl` reach it, focused or not.
//
// Registers /org/mpris/MediaPlayer2 with the interfaces org.mpris.MediaPlayer2 and
// org.mpris.MediaPlayer2.Player under "org.mpris.MediaPlayer2.quillon_reader", or, when another
// copy of the program holds that name, under ".instance<pid>" after it. Without a session bus it
// does nothing and the program runs as before. Calls reach the window as queued calls, so a call
// that starts a reading is answered at once; PlaybackStatus, Metadata and Rate changes are sent
// as PropertiesChanged, which QtDBus does not do by itself.
#pragma once

#include <QDBusAbstractAdaptor>
#include <QDBusObjectPath>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>

namespace quillon {

class TfQuillonReaderMain;

inline constexpr const char* kMprisPath = "/org/mpris/MediaPlayer2";
inline constexpr const char* kMprisServiceBase = "org.mpris.MediaPlayer2.quillon_reader";

class MprisPlayer final : public QObject {
  Q_OBJECT

 public:
  explicit MprisPlayer(TfQuillonReaderMain& window);
  ~MprisPlayer() override;

  // The bus name taken; empty without a session bus.
  const QString& ServiceName() const { return service_; }

  QString PlaybackStatus() const;
  QVariantMap Metadata() const;
  double Rate() const;
  void SetRate(double rate);
  double MinimumRate() const;
  double MaximumRate() const;
  TfQuillonReaderMain& Window() const { return window_; }

 private:
  // Tells the bus what changed since the last call.
  void Notify();

  TfQuillonReaderMain& window_;
  QString service_;
  QString status_;
  QVariantMap metadata_;
  double rate_ = 1.0;
};

// org.mpris.MediaPlayer2
class MprisRootAdaptor final : public QDBusAbstractAdaptor {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
  Q_PROPERTY(bool CanQuit READ CanQuit)
  Q_PROPERTY(bool CanRaise READ CanRaise)
  Q_PROPERTY(bool HasTrackList READ HasTrackList)
  Q_PROPERTY(bool CanSetFullscreen READ CanSetFullscreen)
  Q_PROPERTY(bool Fullscreen READ Fullscreen)
  Q_PROPERTY(QString Identity READ Identity)
  Q_PROPERTY(QString DesktopEntry READ DesktopEntry)
  Q_PROPERTY(QStringList SupportedUriSchemes READ SupportedUriSchemes)
  Q_PROPERTY(QStringList SupportedMimeTypes READ SupportedMimeTypes)

 public:
  explicit MprisRootAdaptor(MprisPlayer* player);
  bool CanQuit() const { return true; }
  bool CanRaise() const { return true; }
  bool HasTrackList() const { return false; }
  bool CanSetFullscreen() const { return false; }
  bool Fullscreen() const { return false; }
  QString Identity() const;
  QString DesktopEntry() const;
  QStringList SupportedUriSchemes() const { return {}; }
  QStringList SupportedMimeTypes() const { return {}; }

 public slots:
  void Raise();
  void Quit();

 private:
  MprisPlayer* player_;
};

// org.mpris.MediaPlayer2.Player
class MprisPlayerAdaptor final : public QDBusAbstractAdaptor {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
  Q_PROPERTY(QString PlaybackStatus READ PlaybackStatus)
  Q_PROPERTY(QVariantMap Metadata READ Metadata)
  Q_PROPERTY(double Rate READ Rate WRITE SetRate)
  Q_PROPERTY(double MinimumRate READ MinimumRate)
  Q_PROPERTY(double MaximumRate READ MaximumRate)
  Q_PROPERTY(double Volume READ Volume WRITE SetVolume)
  Q_PROPERTY(qlonglong Position READ Position)
  Q_PROPERTY(bool CanGoNext READ CanGoNext)
  Q_PROPERTY(bool CanGoPrevious READ CanGoPrevious)
  Q_PROPERTY(bool CanPlay READ CanPlay)
  Q_PROPERTY(bool CanPause READ CanPause)
  Q_PROPERTY(bool CanSeek READ CanSeek)
  Q_PROPERTY(bool CanControl READ CanControl)

 public:
  explicit MprisPlayerAdaptor(MprisPlayer* player);
  QString PlaybackStatus() const { return player_->PlaybackStatus(); }
  QVariantMap Metadata() const { return player_->Metadata(); }
  double Rate() const { return player_->Rate(); }
  void SetRate(double rate) { player_->SetRate(rate); }
  double MinimumRate() const { return player_->MinimumRate(); }
  double MaximumRate() const { return player_->MaximumRate(); }
  double Volume() const { return 1.0; }
  void SetVolume(double) {}
  qlonglong Position() const { return 0; }
  bool CanGoNext() const { return false; }
  bool CanGoPrevious() const { return false; }
  bool CanPlay() const { return true; }
  bool CanPause() const { return true; }
  bool CanSeek() const { return false; }
  bool CanControl() const { return true; }

 public slots:
  void Play();
  void Pause();
  void PlayPause();
  void Stop();
  void Next() {}
  void Previous() {}
  void Seek(qlonglong) {}
  void SetPosition(const QDBusObjectPath&, qlonglong) {}
  void OpenUri(const QString&) {}

 signals:
  void Seeked(qlonglong position);

 private:
  MprisPlayer* player_;
};

}  // namespace quillon
