#include "app/quillon_talks_main.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QScreen>
#include <QScrollBar>
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
#include "app/link_opener.h"
#include "app/player_controls.h"
#include "app/print_document.h"
#include "app/reading_speed.h"
#include "app/settings_file.h"
#include "app/window_placement.h"
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

QString LinkNotOpenedMessage(const QString& address) {
  const QString what = address.startsWith(QLatin1String("mailto:"))
                           ? QStringLiteral("No mail program opened the address")
                           : QStringLiteral("No browser opened the page");
  return what + QStringLiteral(". You can copy it from here:\n\n") +
         (address.startsWith(QLatin1String("mailto:")) ? address.mid(7) : address);
}

QString Caption() {
  return QStringLiteral(" Vocalizer for \"%1\"").arg(QString::fromUtf8(kPrintTitle));
}

QFont WindowFont(double points, bool bold = false) {
  QFont font(QString::fromUtf8(kWindowFont));
  font.setPointSizeF(points);
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
  ChooseScale();
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

QList<QRect> TfQuillonReaderMain::AvailableAreas() {
  QList<QRect> areas;
  for (const QScreen* screen : QGuiApplication::screens()) {
    areas.push_back(screen->availableGeometry());
  }
  return areas;
}

WindowPosition TfQuillonReaderMain::CentredPosition() const {
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) {
    return {};
  }
  const QRect area = screen->geometry();
  return CentredWindowPosition(area.width(), area.height(), Scaled(kOuterWidth),
                               Scaled(kOuterHeight));
}

void TfQuillonReaderMain::ChooseScale() {
  const QScreen* primary = QGuiApplication::primaryScreen();
  if (primary == nullptr) {
    return;
  }
  // The designed layout at the screen's text size, on the screen the window opens on: the one
  // nearest the stored position, or the primary one.
  const double text_size = primary->logicalDotsPerInch() / 96.0;
  scale_ = text_size;
  QRect area = primary->availableGeometry();
  const QList<QRect> areas = AvailableAreas();
  if (PlatformPlacesWindows() && !areas.isEmpty()) {
    const WindowPosition stored = LoadWindowPosition(settings_path_, CentredPosition());
    area = NearestArea({stored.left, stored.top}, QSize(Scaled(kOuterWidth), Scaled(kOuterHeight)),
                       Scaled(kOuterHeight - kClientHeight), areas);
  }
  // Never larger than that screen's available area: the layout and its fonts shrink together.
  scale_ = FittingScale(text_size, QSize(kOuterWidth, kOuterHeight), area);
  font_scale_ = scale_ / text_size;
}

QFont TfQuillonReaderMain::ScaledFont(int points, bool bold) const {
  return WindowFont(points * font_scale_, bold);
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
  riched->setTabChangesFocus(false);  // accepts tab characters
  // Reached with Tab too, so the keyboard can move the caret where reading is to start.
  riched->setFocusPolicy(Qt::StrongFocus);
  riched->setAccessibleName(QStringLiteral("The novel"));
  riched->setAccessibleDescription(
      QStringLiteral("Reading starts at the caret; the line being read is selected."));
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
    b->setFont(ScaledFont(12, true));
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

  const auto label = [&](QLabel* l, const char* name, int left, int top, int width, int height,
                         const QFont& font, QColor colour) {
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
  };
  Label1 = new QLabel(QStringLiteral("Links..."), pnlSpeaking);
  label(Label1, "Label1", 8, 8, 111, 37, ScaledFont(24, true), QColor(192, 220, 192));
  QFont link_font = ScaledFont(8);
  link_font.setUnderline(true);
  // The links are links for the keyboard and for screen readers too.
  InstallLinkAccessibility();
  lblemail = new LinkLabel(QStringLiteral("Send me e-mail"), pnlSpeaking);
  label(lblemail, "lblemail", 9, 46, 72, 13, link_font, QColor(255, 251, 240));
  lbl4Novels = new LinkLabel(QStringLiteral("Download all of my novels"), pnlSpeaking);
  label(lbl4Novels, "lbl4Novels", 10, 68, 123, 13, link_font, QColor(255, 251, 240));
  connect(lblemail, &LinkLabel::activated, this,
          [this] { RunHandler([this] { lblemailClick(); }); });
  connect(lbl4Novels, &LinkLabel::activated, this,
          [this] { RunHandler([this] { lbl4NovelsClick(); }); });
  pnlSpeaking->setAccessibleName(QStringLiteral("Links"));

  btnPrint = button("btnPrint", "&Print Document", 385, ButtonImage::Print);
  btnIncreaseFont = button("btnIncreaseFont", "&Font Size +", 453, ButtonImage::IncreaseFont);
  btnClose = new QPushButton(style()->standardIcon(QStyle::SP_DialogCloseButton),
                             QStringLiteral("&Close"), this);
  place(btnClose, "btnClose", 608, 521, 159, 48);
  btnClose->setFont(ScaledFont(12, true));
  btnClose->setIconSize(QSize(Scaled(16), Scaled(16)));

  pnlSpeaking->setFocusPolicy(Qt::NoFocus);
  QWidget::setTabOrder(btnRead, btnStop);
  QWidget::setTabOrder(btnStop, btnSetBookmark);
  QWidget::setTabOrder(btnSetBookmark, btnGoToBookmark);
  QWidget::setTabOrder(btnGoToBookmark, btnPrint);
  QWidget::setTabOrder(btnPrint, btnIncreaseFont);
  QWidget::setTabOrder(btnIncreaseFont, riched);
  QWidget::setTabOrder(riched, lblemail);
  QWidget::setTabOrder(lblemail, lbl4Novels);
  QWidget::setTabOrder(lbl4Novels, btnClose);

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
  setFont(ScaledFont(8));
  riched->setFont(ScaledFont(8));
  view_font_points_ = 8;

  // 5: the stored position, or centred on the primary screen. Where the window system places
  // windows itself (Wayland) the compositor chooses, and the stored position stays as it is.
  if (PlatformPlacesWindows()) {
    // A stored position the window system cannot hold (X11 keeps 16-bit coordinates) is brought
    // into its range; the window would otherwise land elsewhere and take no clicks.
    const CoordinateRange range = QGuiApplication::platformName() == QLatin1String("xcb")
                                      ? kX11Coordinates
                                      : kInt32Coordinates;
    const QSize outer(Scaled(kOuterWidth), Scaled(kOuterHeight));
    const WindowPosition stored =
        BringIntoCoordinateRange(LoadWindowPosition(settings_path_, CentredPosition()),
                                 outer.width(), outer.height(), range);
    // A caption that could not be reached on any screen comes onto the nearest one.
    move(PlaceOnScreens({stored.left, stored.top}, outer, Scaled(kOuterHeight - kClientHeight),
                        AvailableAreas()));
  }

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
  // Where the window system does not tell a window where it is, the stored position is kept.
  if (PlatformPlacesWindows()) {
    SaveWindowPosition(settings_path_, {pos().x(), pos().y()});
  }
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
  const double shown_points = points * font_scale_;
  QFont font = riched->font();
  font.setFamily(family);
  font.setPointSizeF(shown_points);
  riched->setFont(font);
  // Every character takes the new face and size; bold, italic and underline stay.
  QTextCharFormat format;
  format.setFontFamilies({family});
  format.setFontPointSize(shown_points);
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
  // The reader keeps their place: the line being read, or, when idle, the first line in view.
  const bool reading = reading_depth_ > 0;
  const QTextCursor selection = riched->textCursor();
  const int place =
      reading ? selection.selectionStart() : riched->cursorForPosition(QPoint(0, 0)).position();
  SetViewFont(QString::fromUtf8(kLargeFont), next);
  if (reading) {
    riched->ScrollToShow({place, selection.selectionEnd() - place});
  } else {
    QTextCursor at(riched->document());
    at.setPosition(place);
    QScrollBar* bar = riched->verticalScrollBar();
    bar->setValue(bar->value() + riched->cursorRect(at).top());
  }
  if (next >= kLargestViewPoints) {
    btnIncreaseFont->setEnabled(false);
  }
}

void TfQuillonReaderMain::lblemailClick() {
  OpenLink(kEmailLink);
}

void TfQuillonReaderMain::lbl4NovelsClick() {
  OpenLink(kDownloadLink);
}

void TfQuillonReaderMain::OpenLink(const char* address) {
  const QString text = QString::fromUtf8(address);
  // When no program takes the link, the reader is told, with the address to copy; a window that
  // has gone by then tells nothing.
  auto failed = [window = QPointer<TfQuillonReaderMain>(this), text] {
    if (window.isNull()) {
      return;
    }
    const QString message = LinkNotOpenedMessage(text);
    if (window->options_.show_error) {
      window->options_.show_error(message);
      return;
    }
    QMessageBox box(QMessageBox::Information, QString::fromUtf8(kErrorCaption), message,
                    QMessageBox::Ok, window);
    box.setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    box.exec();
  };
  if (options_.open_link) {
    options_.open_link(QUrl(text), failed);
  } else {
    OpenLinkOnDesktop(QUrl(text), failed);
  }
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
