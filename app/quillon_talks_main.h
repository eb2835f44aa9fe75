// The reader's one window: the novel in a read-only rich-text view on the left, a column of buttons
// on the right, the speech voice and the reader state.
//
// Every handler runs through RunHandler: an error that leaves a handler is shown in a message box
// with an error icon and the program goes on. "&Read" runs the reading loop inside its handler and
// lets the other handlers run nested at the loop's pump points. Input that arrives while a
// sentence is spoken is kept (app/input_hold.h) and handled at the next pump point.
//
// Readings nest: a "&Read" pressed during a reading starts one inside it, up to
// kMostReadingsAtOnce; presses beyond that are dropped. When a nested reading ends because the
// stop flag is set, or with an error, or the window is closing, the readings it ran in end too at
// the pump point it returned to, without speaking another sentence; the error is shown once, when
// the outermost reading has ended. Closing the window during a reading is not kept for later: the
// window disappears at once, the sentence being spoken is cut short, every reading ends, and the
// window closes.
//
// A reading can be paused (the keyboard's Pause and play/pause keys, the view's context menu): the
// voice holds still mid-word and the marks with it; for the reading loop the sentence is still
// being spoken. While paused, "&Read" resumes (it starts no nested reading) and "&Stop" and a close
// take effect at once: the held sentence is dropped and the reading ends without another.
#pragma once

#include <QFrame>
#include <QLabel>
#include <QPrinter>
#include <QPushButton>
#include <QShortcut>
#include <QTextEdit>
#include <QUrl>
#include <QWidget>
#include <exception>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "app/bookmarks.h"
#include "app/follow_along.h"
#include "app/input_hold.h"
#include "app/link_label.h"
#include "app/qt_rich_text_view.h"
#include "app/reader_text_edit.h"
#include "app/settings_file.h"
#include "app/threaded_voice.h"
#include "speech/speech_voice.h"
#include "text/reader_state.h"

namespace quillon {

inline constexpr const char* kDocumentFileName = "TheBlitheWanderingsOfQuillonFenwright.rtf";
inline constexpr const char* kPrintTitle = "the Blithe Wanderings of Quillon Fenwright";
inline constexpr const char* kEmailLink = "mailto:author@quillonfenwright.net";
inline constexpr const char* kDownloadLink = "https://quillonfenwright.net/novels";
inline constexpr const char* kLinksHint = "You must be online for these links to work";
// The reading and the readings nested in it, at most.
inline constexpr int kMostReadingsAtOnce = 8;

// The client area in design pixels (96 dots per inch); the window's outer size is 780 x 600.
inline constexpr int kClientWidth = 772;
inline constexpr int kClientHeight = 573;
inline constexpr int kOuterWidth = 780;
inline constexpr int kOuterHeight = 600;

// The three components of the window's colour, drawn in the order blue, green, red, each from 0 to
// 254.
struct FormColour {
  int red;
  int green;
  int blue;
};
FormColour DrawFormColour(std::mt19937& generator);

struct ReaderWindowOptions {
  // The novel, resolved against the current directory; a name without a folder that is not there
  // is looked for in the installed data folder (app/file_locations.h).
  std::string document_path = kDocumentFileName;
  // Empty: beside the program or under $XDG_CONFIG_HOME (app/file_locations.h).
  std::string settings_path;
  // Shows an error's text (period already added); empty: a message box with an error icon.
  std::function<void(const QString&)> show_error;
  // The printer "&Print Document" prints on; empty: the system's default printer.
  std::function<std::unique_ptr<QPrinter>()> make_printer;
  // Opens a link and calls failed when no program took it; empty: the desktop's programs
  // (app/link_opener.h).
  std::function<void(const QUrl& url, std::function<void()> failed)> open_link;
};

class TfQuillonReaderMain : public QWidget {
  Q_OBJECT

 public:
  explicit TfQuillonReaderMain(SpeechVoice& voice, ReaderWindowOptions options = {});
  ~TfQuillonReaderMain() override;

  // The controls, by the names of the layout.
  ReaderTextEdit* riched = nullptr;
  QPushButton* btnRead = nullptr;
  QPushButton* btnStop = nullptr;
  QPushButton* btnSetBookmark = nullptr;
  QPushButton* btnGoToBookmark = nullptr;
  QFrame* pnlSpeaking = nullptr;
  QLabel* Label1 = nullptr;
  LinkLabel* lblemail = nullptr;
  LinkLabel* lbl4Novels = nullptr;
  QPushButton* btnPrint = nullptr;
  QPushButton* btnIncreaseFont = nullptr;
  QPushButton* btnClose = nullptr;

  ReaderState& State() { return state_; }
  QtRichTextView& View() { return *view_; }
  const std::string& SettingsPath() const { return settings_path_.path; }
  QColor Colour() const;
  int ReadingDepth() const { return reading_depth_; }
  bool CloseRequested() const { return close_requested_; }
  bool Paused() const { return paused_; }

  // Playing from outside the buttons: pause or resume a reading; with none, Play and PlayPause
  // start one as "&Read" does.
  void Pause() { SetPaused(true); }
  void Resume() { SetPaused(false); }
  void Play();
  void PlayPause();

  // The reading speed, 0.5 to 3 times every profile's own rate; a new one is stored in the
  // settings file and takes effect from the next sentence.
  double ReadingSpeed() const { return speed_; }
  void SetReadingSpeed(double speed);

  // Handlers, each run through RunHandler by the control it serves.
  void FormCreate();
  void FormDestroy();
  void btnReadClick();
  void btnStopClick();
  void btnSetBookmarkClick();
  void btnGoToBookmarkClick();
  void btnPrintClick();
  void btnIncreaseFontClick();
  void lblemailClick();
  void lbl4NovelsClick();
  void btnCloseClick();

  // Runs a handler; an error that leaves it is shown and the handler is abandoned.
  void RunHandler(const std::function<void()>& handler);

 signals:
  // A reading started or ended, was paused or resumed, reached another chapter, or the reading
  // speed changed.
  void PlaybackChanged();
  // The window has closed. One closed during a reading was hidden at once, and the application
  // does not end by itself when a hidden window closes: whoever runs it ends it here.
  void Closed();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void BuildControls();
  void ShowError(const std::string& message);
  void OpenLink(const char* address);
  void SetViewFont(const QString& family, int points);
  int Scaled(int pixels) const;
  // The layout's scale: the screen's text size, made smaller where the window would not fit.
  void ChooseScale();
  QFont ScaledFont(int points, bool bold = false) const;
  WindowPosition CentredPosition() const;
  static QList<QRect> AvailableAreas();

  void HandlePendingEvents(bool wait);
  bool IsUrgentInput(QObject* receiver, const QEvent& event) const;
  void SetPaused(bool paused);
  void ShowViewMenu(QPoint pos);

  std::unique_ptr<InputHold> input_hold_;          // before the voice that holds it
  std::unique_ptr<ThreadedVoice> threaded_voice_;  // speaks through the voice given at creation
  ReaderWindowOptions options_;
  SettingsLocation settings_path_;
  std::unique_ptr<QtRichTextView> view_;
  ReaderState state_;
  double scale_ = 1.0;       // design pixels to the screen's
  double font_scale_ = 1.0;  // below 1 where the window was made smaller to fit the screen
  int view_font_points_ = 8;
  int reading_depth_ = 0;
  FollowAlong* follow_along_ = nullptr;  // the innermost reading's, while one runs
  bool close_requested_ = false;
  // The readings still running end at their next pump point; the error that began it, if any.
  bool paused_ = false;
  double speed_ = 1.0;
  std::vector<QShortcut*> player_keys_;
  bool unwinding_ = false;
  std::exception_ptr unwind_error_;
};

}  // namespace quillon
