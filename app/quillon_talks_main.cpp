#include "app/quillon_talks_main.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QFile>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QScreen>
#include <QStyle>
#include <QTextCursor>
#include <QUrl>
#include <QWindow>
#include <algorithm>
#include <chrono>
#include <exception>
#include <string_view>
#include <utility>

#include "app/bookmarks.h"
#include "app/button_icons.h"
#include "app/document_view.h"
#include "app/error_message.h"
#include "app/file_locations.h"
#include "app/player_controls.h"
#include "app/print_document.h"
#include "app/reading_speed.h"
#include "app/settings_file.h"
#include "document/document.h"
#include "reading/reading_loop.h"
#include "speech/espeak_input.h"

namespace quillon {
namespace {

constexpr const char* kWindowFont = "MS Sans Serif";
constexpr const char* kLargeFont = "Georgia";
// "&Font Size +" goes 16, 24, 36, 48 points.
constexpr int kLargestViewPoints = 48;
constexpr const char* kErrorCaption = "Quillon Reader";

QString Caption() {
  return QStringLiteral(" Vocalizer for \"%1\"").arg(QString::fromUtf8(kPrintTitle));
}

QFont WindowFont(int points, bool bold = false) {
  QFont font(QString::fromUtf8(kWindowFont));
  font.setPointSize(points);
  font.setBold(bold);
  return font;
}

// Fonts the desktop may not have stand in for those of the design.
void AddFontSubstitutes() {
  QFont::insertSubstitutions(
      QString::fromUtf8(kWindowFont),
      {QStringLiteral("Microsoft Sans Serif"), QStringLiteral("Arial"),
       QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans Condensed"),
       QStringLiteral("DejaVu Sans")});
  QFont::insertSubstitutions(QString::fromUtf8(kLargeFont),
                             {QStringLiteral("Gelasio"), QStringLiteral("Liberation Serif"),
                              QStringLiteral("DejaVu Serif")});
}

// Leaves the cursor as it was, whichever way the handler ends.
struct WaitCursor {
  WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~WaitCursor() { QApplication::restoreOverrideCursor(); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;
};

// The program's own path, symbolic links resolved.
std::string ProgramPath() {
  return QFile::encodeName(QCoreApplication::applicationFilePath()).toStdString();
}

// Thrown at a pump point to end a reading whose nested reading ended it (see the header).
struct ReadingUnwinds {};

}  // namespace

FormColour DrawFormColour(std::mt19937& generator) {
  std::uniform_int_distribution<int> component(0, 254);
  FormColour colour{};
  colour.blue = component(generator);
  colour.green = component(generator);
  colour.red = component(generator);
  return colour;
}

TfQuillonReaderMain::TfQuillonReaderMain(SpeechVoice& voice, ReaderWindowOptions options)
    : input_hold_(std::make_unique<InputHold>()),
      threaded_voice_(std::make_unique<ThreadedVoice>(voice, *input_hold_)),
      options_(std::move(options)),
      settings_path_(options_.settings_path.empty()
                         ? ChooseSettingsLocation(DescribeProgramPlace(ProgramPath()))
                         : SettingsLocation(options_.settings_path)) {
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    scale_ = screen->logicalDotsPerInch() / 96.0;
  }
  AddFontSubstitutes();  // before any font of the window is resolved
  BuildControls();
  // Words are heard on the window's thread while a sentence is spoken; the reading that spoke it
  // marks them.
  threaded_voice_->SetWordListener([this](const HeardWord& word) {
    if (follow_along_ != nullptr) {
      follow_along_->WordHeard(word);
    }
  });
  player_keys_ =
      AddPlayerKeys(*this, {[this] { PlayPause(); }, [this] { Play(); }, [this] { Pause(); }});
  riched->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(riched, &QWidget::customContextMenuRequested, this,
          [this](QPoint pos) { ShowViewMenu(pos); });
  input_hold_->SetUrgent(
      [this](QObject* receiver, const QEvent& event) { return IsUrgentInput(receiver, event); });
  RunHandler([this] { FormCreate(); });
  RunHandler([this] {
    speed_ = LoadReadingSpeed(settings_path_);
    threaded_voice_->SetSpeed(speed_);
  });
}

TfQuillonReaderMain::~TfQuillonReaderMain() {
  RunHandler([this] { FormDestroy(); });
}

int TfQuillonReaderMain::Scaled(int pixels) const {
  return static_cast<int>(pixels * scale_ + 0.5);
}

QColor TfQuillonReaderMain::Colour() const {
  return palette().color(QPalette::Window);
}

void TfQuillonReaderMain::BuildControls() {
  setObjectName(QStringLiteral("fQuillonReaderMain"));
  setWindowTitle(Caption());
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  setAutoFillBackground(true);
  resize(Scaled(kClientWidth), Scaled(kClientHeight));

  const auto place = [this](QWidget* widget, const char* name, int left, int top, int width,
                            int height) {
    widget->setObjectName(QString::fromUtf8(name));
    widget->setGeometry(Scaled(left), Scaled(top), Scaled(width), Scaled(height));
  };

  riched = new ReaderTextEdit(this);
  place(riched, "riched", 2, 2, 600, 571);
  riched->setReadOnly(true);
  riched->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  riched->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  riched->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  riched->setLineWrapMode(QTextEdit::WidgetWidth);
  riched->setTabChangesFocus(false);       // accepts tab characters
  riched->setFocusPolicy(Qt::ClickFocus);  // not a tab stop
  riched->setUndoRedoEnabled(false);
  {
    // The selection shows only while the view has the focus.
    QPalette palette = riched->palette();
    palette.setColor(QPalette::Inactive, QPalette::Highlight,
                     palette.color(QPalette::Inactive, QPalette::Base));
    palette.setColor(QPalette::Inactive, QPalette::HighlightedText,
                     palette.color(QPalette::Inactive, QPalette::Text));
    riched->setPalette(palette);
  }
  view_ = std::make_unique<QtRichTextView>(riched);

  const auto button = [&](const char* name, const char* caption, int top, ButtonImage image) {
    auto* b = new QPushButton(QString::fromUtf8(caption), this);
    place(b, name, 608, top, 159, 48);
    b->setFont(WindowFont(12, true));
    b->setIcon(ButtonIcon(image));
    b->setIconSize(QSize(Scaled(16), Scaled(16)));
    b->setFocusPolicy(Qt::StrongFocus);
    return b;
  };
  btnRead = button("btnRead", "&Read", 6, ButtonImage::Read);
  btnStop = button("btnStop", "&Stop", 75, ButtonImage::Stop);
  btnSetBookmark = button("btnSetBookmark", "Set &Bookmark", 144, ButtonImage::SetBookmark);
  btnGoToBookmark = button("btnGoToBookmark", "&Go To Bookmark", 214, ButtonImage::GoToBookmark);

  pnlSpeaking = new QFrame(this);
  place(pnlSpeaking, "pnlSpeaking", 608, 276, 160, 93);
  pnlSpeaking->setFrameShape(QFrame::Panel);
  pnlSpeaking->setFrameShadow(QFrame::Raised);
  pnlSpeaking->setAutoFillBackground(true);
  {
    QPalette palette = pnlSpeaking->palette();
    palette.setColor(QPalette::Window, QColor(0, 128, 128));
    pnlSpeaking->setPalette(palette);
  }
  const QString hint = QString::fromUtf8(kLinksHint);
  pnlSpeaking->setToolTip(hint);

  const auto label = [&](const char* name, const char* caption, int left, int top, int width,
                         int height, const QFont& font, QColor colour) {
    auto* l = new QLabel(QString::fromUtf8(caption), pnlSpeaking);
    place(l, name, left, top, width, height);
    l->setFont(font);
    QPalette palette = l->palette();
    palette.setColor(QPalette::WindowText, colour);
    l->setPalette(palette);
    l->setAutoFillBackground(false);  // transparent over the panel
    l->setToolTip(hint);
    // A caption wider than its design width (the substituted font runs wider) is not cut off.
    l->resize(std::max(l->width(), l->sizeHint().width()),
              std::max(l->height(), l->sizeHint().height()));
    return l;
  };
  Label1 = label("Label1", "Links...", 8, 8, 111, 37, WindowFont(24, true), QColor(192, 220, 192));
  QFont link_font = WindowFont(8);
  link_font.setUnderline(true);
  lblemail = label("lblemail", "Send me e-mail", 9, 46, 72, 13, link_font, QColor(255, 251, 240));
  lbl4Novels = label("lbl4Novels", "Download all of my novels", 10, 68, 123, 13, link_font,
                     QColor(255, 251, 240));
  for (QLabel* link : {lblemail, lbl4Novels}) {
    link->setCursor(Qt::PointingHandCursor);
    link->installEventFilter(this);
  }

  btnPrint = button("btnPrint", "&Print Document", 385, ButtonImage::Print);
  btnIncreaseFont = button("btnIncreaseFont", "&Font Size +", 453, ButtonImage::IncreaseFont);
  btnClose = new QPushButton(style()->standardIcon(QStyle::SP_DialogCloseButton),
                             QStringLiteral("&Close"), this);
  place(btnClose, "btnClose", 608, 521, 159, 48);
  btnClose->setFont(WindowFont(12, true));
  btnClose->setIconSize(QSize(Scaled(16), Scaled(16)));

  pnlSpeaking->setFocusPolicy(Qt::NoFocus);
  QWidget::setTabOrder(btnRead, btnStop);
  QWidget::setTabOrder(btnStop, btnSetBookmark);
  QWidget::setTabOrder(btnSetBookmark, btnGoToBookmark);
  QWidget::setTabOrder(btnGoToBookmark, btnPrint);
  QWidget::setTabOrder(btnPrint, btnIncreaseFont);
  QWidget::setTabOrder(btnIncreaseFont, btnClose);

  const auto on_click = [this](QPushButton* b, void (TfQuillonReaderMain::*handler)()) {
    connect(b, &QPushButton::clicked, this,
            [this, handler] { RunHandler([this, handler] { (this->*handler)(); }); });
  };
  on_click(btnRead, &TfQuillonReaderMain::btnReadClick);
  on_click(btnStop, &TfQuillonReaderMain::btnStopClick);
  on_click(btnSetBookmark, &TfQuillonReaderMain::btnSetBookmarkClick);
  on_click(btnGoToBookmark, &TfQuillonReaderMain::btnGoToBookmarkClick);
  on_click(btnPrint, &TfQuillonReaderMain::btnPrintClick);
  on_click(btnIncreaseFont, &TfQuillonReaderMain::btnIncreaseFontClick);
  // "&Close" closes the window; its destruction stores the position and the reading state.
  connect(btnClose, &QPushButton::clicked, this, [this] { close(); });

  btnRead->setFocus(Qt::OtherFocusReason);
}

void TfQuillonReaderMain::RunHandler(const std::function<void()>& handler) {
  try {
    handler();
  } catch (const std::exception& error) {
    ShowError(error.what());
  } catch (...) {
    ShowError("Unknown error");
  }
  // A close asked for during a reading happens when the last reading has ended.
  if (close_requested_ && reading_depth_ == 0) {
    close_requested_ = false;
    QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
  }
}

void TfQuillonReaderMain::ShowError(const std::string& message) {
  const QString text = QString::fromStdString(ErrorMessageText(message));
  // Input kept during the sentence that failed (a "&Stop", say) is handled once the box has gone,
  // not dropped as input for a window the box blocks.
  const InputHold::Deferring deferring(*input_hold_);
  if (options_.show_error) {
    options_.show_error(text);
    return;
  }
  QMessageBox box(QMessageBox::Critical, QString::fromUtf8(kErrorCaption), text, QMessageBox::Ok,
                  isVisible() ? this : nullptr);
  box.exec();
}

void TfQuillonReaderMain::FormCreate() {
  // 1, 2: a colour of its own at every start; no component reaches 255.
  std::mt19937 generator(static_cast<std::mt19937::result_type>(
      std::chrono::system_clock::now().time_since_epoch().count()));
  const FormColour colour = DrawFormColour(generator);
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, QColor(colour.red, colour.green, colour.blue));
  setPalette(palette);

  // 3: the window cannot be resized, neither by dragging nor by maximising.
  setFixedSize(size());

  // 4: the window's font (the view uses it too); sizes follow the screen's text size.
  setFont(WindowFont(8));
  riched->setFont(WindowFont(8));
  view_font_points_ = 8;

  // 5: the stored position, or centred on the primary screen.
  WindowPosition centred{};
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->geometry();
    centred = CentredWindowPosition(area.width(), area.height(), Scaled(kOuterWidth),
                                    Scaled(kOuterHeight));
  }
  // A stored position the window system cannot hold (X11 keeps 16-bit coordinates) is brought
  // into its range; the window would otherwise land elsewhere and take no clicks.
  const CoordinateRange range =
      QGuiApplication::platformName() == QLatin1String("xcb") ? kX11Coordinates : kInt32Coordinates;
  const WindowPosition position =
      BringIntoCoordinateRange(LoadWindowPosition(settings_path_, centred), Scaled(kOuterWidth),
                               Scaled(kOuterHeight), range);
  move(position.left, position.top);

  // 6: the novel from the current directory, else the installed one. The view has no text limit
  // to raise.
  riched->clear();
  const Document document = LoadDocument(FindDocument(options_.document_path, ProgramPath()));
  riched->setUpdatesEnabled(false);
  const ShownPart part = ShowDocument(*riched, document, kLargestViewPoints);
  riched->setUpdatesEnabled(true);
  if (!part.Whole()) {
    // Said over the window once it shows; the window goes on with the part it holds.
    QMetaObject::invokeMethod(
        this, [this, part] { ShowError(PartShownMessage(part)); }, Qt::QueuedConnection);
  }
}

void TfQuillonReaderMain::FormDestroy() {
  SaveWindowPosition(settings_path_, {pos().x(), pos().y()});
  btnCloseClick();
}

void TfQuillonReaderMain::HandlePendingEvents(bool wait) {
  // What arrived during the last sentence comes first, in its order; then what is pending now.
  // Input just handed over may be all there was: then there is nothing to wait for.
  const bool kept = input_hold_->KeptCount() > 0;
  input_hold_->Deliver();
  QCoreApplication::processEvents(wait && !kept
                                      ? QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents
                                      : QEventLoop::AllEvents);
  if (close_requested_ || unwinding_) {
    throw ReadingUnwinds{};
  }
}

bool TfQuillonReaderMain::IsUrgentInput(QObject* receiver, const QEvent& event) const {
  // A request to close this window, from the window system or the program.
  if (event.type() == QEvent::Close) {
    return receiver == this || receiver == windowHandle();
  }
  // A menu that is open (the view's, with Pause) takes its input at once.
  if (QApplication::activePopupWidget() != nullptr) {
    return true;
  }
  // The buttons that do not wait: "&Close"; while paused "&Read" (resumes) and "&Stop" too.
  const auto urgent_widget = [this](const QWidget* widget) {
    if (widget == nullptr) {
      return false;
    }
    if (widget == btnClose || (paused_ && (widget == btnRead || widget == btnStop))) {
      return true;
    }
    return false;
  };
  switch (event.type()) {
    case QEvent::Shortcut:
      // A mnemonic, or the Pause and play/pause keys.
      return urgent_widget(qobject_cast<const QWidget*>(receiver)) ||
             std::find(player_keys_.begin(), player_keys_.end(), receiver) != player_keys_.end();
    case QEvent::ContextMenu:
      return receiver == riched || receiver == riched->viewport();
    case QEvent::KeyPress:
      return static_cast<const QKeyEvent&>(event).key() == Qt::Key_Menu && riched->hasFocus();
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick: {
      const auto& mouse = static_cast<const QMouseEvent&>(event);
      const QWidget* target = qobject_cast<const QWidget*>(receiver);
      if (receiver == windowHandle()) {
        target = childAt(mouse.position().toPoint());
      }
      // The right button on the view opens its menu.
      const bool on_view = target != nullptr && (target == riched || riched->isAncestorOf(target));
      return urgent_widget(target) || (on_view && mouse.button() == Qt::RightButton);
    }
    default:
      return false;
  }
}

void TfQuillonReaderMain::SetPaused(bool paused) {
  if (paused == paused_ || (paused && reading_depth_ == 0)) {
    return;
  }
  paused_ = paused;
  threaded_voice_->SetPaused(paused);
  emit PlaybackChanged();
}

void TfQuillonReaderMain::Play() {
  if (paused_) {
    Resume();
  } else if (reading_depth_ == 0) {
    RunHandler([this] { btnReadClick(); });
  }
}

void TfQuillonReaderMain::PlayPause() {
  if (reading_depth_ > 0 && !paused_) {
    Pause();
  } else {
    Play();
  }
}

void TfQuillonReaderMain::SetReadingSpeed(double speed) {
  speed = std::clamp(speed, kSlowestSpeed, kFastestSpeed);
  if (speed == speed_) {
    return;
  }
  speed_ = speed;
  threaded_voice_->SetSpeed(speed);
  emit PlaybackChanged();
  StoreReadingSpeed(settings_path_, speed);
}

void TfQuillonReaderMain::ShowViewMenu(QPoint pos) {
  ViewMenuEntries entries;
  entries.reading = reading_depth_ > 0;
  entries.paused = paused_;
  entries.pause_or_resume = [this] { PlayPause(); };
  entries.speed = speed_;
  entries.choose_speed = [this](double speed) {
    RunHandler([this, speed] { SetReadingSpeed(speed); });
  };
  // Shown without a loop of its own: a reading goes on while it is open.
  MakeViewMenu(*riched, pos, entries)->popup(riched->viewport()->mapToGlobal(pos));
}

void TfQuillonReaderMain::btnReadClick() {
  // A window that is closing starts no reading: it would clear the stop flag its close raised.
  if (paused_) {  // goes on with the reading held
    Resume();
    return;
  }
  if (close_requested_ || unwind_error_ || reading_depth_ >= kMostReadingsAtOnce) {
    return;
  }
  // A press after a "&Stop" that ended a nested reading starts a reading again.
  unwinding_ = false;
  ++reading_depth_;
  struct Leave {
    TfQuillonReaderMain& window;
    ~Leave() {
      if (--window.reading_depth_ == 0) {
        window.SetPaused(false);  // an error may end a held reading
        emit window.PlaybackChanged();
      }
    }
  } leave{*this};
  if (reading_depth_ == 1) {
    emit PlaybackChanged();
  }
  // The sentence being spoken and the word being heard are marked in the view while this reading
  // runs, and no longer once it has ended, however it ends.
  FollowAlong follow(*riched, *view_);
  struct Follow {
    FollowAlong*& active;
    FollowAlong* const outer;
    ~Follow() {
      active->Clear();
      active = outer;
    }
  } following{follow_along_, std::exchange(follow_along_, &follow)};
  ReadingOptions options;
  // At the end of a text without the end marker the reading waits for "&Stop" asleep, not spinning.
  options.wait_for_events = [this] { HandlePendingEvents(true); };
  options.on_line = [this, &follow, chapter = state_.CurrentChapter](std::string_view) mutable {
    follow.LineFetched();
    if (state_.CurrentChapter != chapter) {  // the media controls show the chapter
      chapter = state_.CurrentChapter;
      emit PlaybackChanged();
    }
  };
  options.on_sentence_spoken = [&follow](const SpokenSentence& sentence) {
    follow.SentenceSpoken(sentence);
  };
  const bool nested = reading_depth_ > 1;
  try {
    RunReadingLoop(
        *view_, *threaded_voice_, state_, [this] { HandlePendingEvents(false); }, options);
  } catch (const ReadingUnwinds&) {
    if (!nested) {
      unwinding_ = false;
      if (unwind_error_) {
        std::rethrow_exception(std::exchange(unwind_error_, nullptr));
      }
    }
    return;
  } catch (...) {
    if (!nested) {
      throw;
    }
    unwind_error_ = std::current_exception();
    unwinding_ = true;
    return;
  }
  // Stopped, not at the end of the text: the readings this one ran in end as well.
  unwinding_ = nested && state_.StopRequested;
}

void TfQuillonReaderMain::btnStopClick() {
  RequestStop(state_);
  if (paused_) {
    // The held sentence is not heard to its end: the reading ends at its next stop test.
    threaded_voice_->Interrupt();
    SetPaused(false);
  }
}

void TfQuillonReaderMain::btnSetBookmarkClick() {
  SetBookmark(settings_path_, *view_, state_);
}

void TfQuillonReaderMain::btnGoToBookmarkClick() {
  GoToBookmark(settings_path_, *view_, state_);
}

void TfQuillonReaderMain::btnCloseClick() {
  StoreReadingState(settings_path_, state_);
}

void TfQuillonReaderMain::btnPrintClick() {
  std::unique_ptr<QPrinter> printer =
      options_.make_printer ? options_.make_printer() : DefaultPrinter();
  PrintDocument(*riched->document(), *printer, QString::fromUtf8(kPrintTitle));
}

void TfQuillonReaderMain::SetViewFont(const QString& family, int points) {
  QFont font = riched->font();
  font.setFamily(family);
  font.setPointSize(points);
  riched->setFont(font);
  // Every character takes the new face and size; bold, italic and underline stay.
  QTextCharFormat format;
  format.setFontFamilies({family});
  format.setFontPointSize(points);
  QTextCursor all(riched->document());
  all.select(QTextCursor::Document);
  all.mergeCharFormat(format);
  view_font_points_ = points;
}

void TfQuillonReaderMain::btnIncreaseFontClick() {
  const WaitCursor wait;
  const int current = view_font_points_;
  const int next = current >= 36   ? kLargestViewPoints
                   : current >= 24 ? 36
                   : current >= 16 ? 24
                                   : 16;
  SetViewFont(QString::fromUtf8(kLargeFont), next);
  if (next >= kLargestViewPoints) {
    btnIncreaseFont->setEnabled(false);
  }
}

void TfQuillonReaderMain::lblemailClick() {
  QDesktopServices::openUrl(QUrl(QString::fromUtf8(kEmailLink)));
}

void TfQuillonReaderMain::lbl4NovelsClick() {
  QDesktopServices::openUrl(QUrl(QString::fromUtf8(kDownloadLink)));
}

bool TfQuillonReaderMain::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonRelease &&
      static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
    if (watched == lblemail) {
      RunHandler([this] { lblemailClick(); });
      return true;
    }
    if (watched == lbl4Novels) {
      RunHandler([this] { lbl4NovelsClick(); });
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

void TfQuillonReaderMain::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  // A desktop that maximises regardless of the fixed size gets the window back at its size.
  if (event->type() == QEvent::WindowStateChange &&
      (windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen))) {
    setWindowState(windowState() & ~(Qt::WindowMaximized | Qt::WindowFullScreen));
  }
}

void TfQuillonReaderMain::closeEvent(QCloseEvent* event) {
  // During a reading the window goes at once and the sentence being spoken is cut short; every
  // reading ends at its next pump point or stop test, and then the window closes.
  if (reading_depth_ > 0) {
    close_requested_ = true;
    RequestStop(state_);
    threaded_voice_->Interrupt();
    SetPaused(false);
    hide();
    event->ignore();
    return;
  }
  event->accept();
  emit Closed();
}

}  // namespace quillon
