#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QMessageBox>
#include <QScreen>
#include <QTest>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>
#include <QUrl>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>

#include "app/bookmarks.h"
#include "app/error_message.h"
#include "app/quillon_talks_main.h"
#include "app/settings_file.h"
#include "document/document.h"
#include "window_test_support.h"

namespace quillon {
namespace {

using testing_support::LongNovel;
using testing_support::ScriptedVoice;
using testing_support::TempDir;

// Receives the addresses the desktop is asked to open.
class UrlCatcher : public QObject {
  Q_OBJECT

 public:
  QList<QUrl> urls;

 public slots:
  void open(const QUrl& url) { urls.push_back(url); }
};

double Scale() {
  return QGuiApplication::primaryScreen()->logicalDotsPerInch() / 96.0;
}

QRect Scaled(int left, int top, int width, int height) {
  const auto s = [](int v) { return static_cast<int>(v * Scale() + 0.5); };
  return {s(left), s(top), s(width), s(height)};
}

class WindowTest : public testing::Test {
 protected:
  std::unique_ptr<TfQuillonReaderMain> Open(const std::string& novel = LongNovel(),
                                            bool show = true) {
    dir_.Write("novel.txt", novel);
    ReaderWindowOptions options;
    options.document_path = dir_.File("novel.txt");
    options.settings_path = settings_path_;
    options.show_error = [this](const QString& text) { errors_.push_back(text); };
    options.open_link = open_link_;
    auto window = std::make_unique<TfQuillonReaderMain>(voice_, options);
    if (show) {
      window->show();
      QApplication::setActiveWindow(window.get());
      EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }
    return window;
  }

  TempDir dir_;
  std::string settings_path_ = dir_.File("reader.INI");
  ScriptedVoice voice_;
  QStringList errors_;
  std::function<void(const QUrl&, std::function<void()>)> open_link_;
};

TEST_F(WindowTest, LayoutCaptionsAndGeometry) {
  const auto window = Open();
  EXPECT_EQ(window->windowTitle(),
            QStringLiteral(" Vocalizer for \"the Blithe Wanderings of Quillon Fenwright\""));
  struct Row {
    const char* name;
    QRect geometry;
    const char* caption;
  };
  // clang-format off
  const Row rows[] = {
    {"riched",          Scaled(2,   2,   600, 571), nullptr},
    {"btnRead",         Scaled(608, 6,   159, 48),  "&Read"},
    {"btnStop",         Scaled(608, 75,  159, 48),  "&Stop"},
    {"btnSetBookmark",  Scaled(608, 144, 159, 48),  "Set &Bookmark"},
    {"btnGoToBookmark", Scaled(608, 214, 159, 48),  "&Go To Bookmark"},
    {"pnlSpeaking",     Scaled(608, 276, 160, 93),  nullptr},
    {"btnPrint",        Scaled(608, 385, 159, 48),  "&Print Document"},
    {"btnIncreaseFont", Scaled(608, 453, 159, 48),  "&Font Size +"},
    {"btnClose",        Scaled(608, 521, 159, 48),  "&Close"},
  };
  // clang-format on
  for (const Row& row : rows) {
    auto* widget = window->findChild<QWidget*>(QString::fromUtf8(row.name));
    ASSERT_NE(widget, nullptr) << row.name;
    EXPECT_EQ(widget->geometry(), row.geometry) << row.name;
    if (row.caption != nullptr) {
      auto* button = qobject_cast<QPushButton*>(widget);
      ASSERT_NE(button, nullptr) << row.name;
      EXPECT_EQ(button->text(), QString::fromUtf8(row.caption));
      EXPECT_TRUE(button->font().bold());
      EXPECT_EQ(button->font().pointSize(), 12);
      EXPECT_EQ(button->font().family(), QStringLiteral("MS Sans Serif"));
      // Two states: the disabled picture is not the normal one.
      const QIcon icon = button->icon();
      ASSERT_FALSE(icon.isNull()) << row.name;
      EXPECT_NE(icon.pixmap(16, QIcon::Normal).toImage(),
                icon.pixmap(16, QIcon::Disabled).toImage())
          << row.name;
    }
  }
  // clang-format off
  const struct { QLabel* label; QPoint at; QSize design; const char* caption; QColor colour; } labels[] = {
    {window->Label1,     {8, 8},  {111, 37}, "Links...",                  QColor(192, 220, 192)},
    {window->lblemail,   {9, 46}, {72, 13},  "Send me e-mail",            QColor(255, 251, 240)},
    {window->lbl4Novels, {10, 68}, {123, 13}, "Download all of my novels", QColor(255, 251, 240)},
  };
  // clang-format on
  for (const auto& l : labels) {
    EXPECT_EQ(l.label->parentWidget(), window->pnlSpeaking);
    EXPECT_EQ(l.label->pos(), Scaled(l.at.x(), l.at.y(), 0, 0).topLeft());
    EXPECT_GE(l.label->width(), Scaled(0, 0, l.design.width(), 0).width());
    EXPECT_EQ(l.label->text(), QString::fromUtf8(l.caption));
    EXPECT_EQ(l.label->palette().color(QPalette::WindowText), l.colour);
    EXPECT_EQ(l.label->toolTip(), QStringLiteral("You must be online for these links to work"));
  }
  EXPECT_TRUE(window->Label1->font().bold());
  EXPECT_EQ(window->Label1->font().pointSize(), 24);
  EXPECT_TRUE(window->lblemail->font().underline());
  EXPECT_TRUE(window->lbl4Novels->font().underline());
  EXPECT_EQ(window->pnlSpeaking->toolTip(),
            QStringLiteral("You must be online for these links to work"));
  EXPECT_EQ(window->pnlSpeaking->palette().color(QPalette::Window), QColor(0, 128, 128));
  EXPECT_EQ(window->font().family(), QStringLiteral("MS Sans Serif"));
  EXPECT_EQ(window->riched->font().pointSize(), 8);

  // The view: read-only, wraps at its width, no horizontal scroll bar, reached with Tab.
  EXPECT_TRUE(window->riched->isReadOnly());
  EXPECT_EQ(window->riched->lineWrapMode(), QTextEdit::WidgetWidth);
  EXPECT_EQ(window->riched->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
  EXPECT_TRUE(window->riched->focusPolicy() & Qt::TabFocus);
  EXPECT_FALSE(window->riched->tabChangesFocus());
}

TEST_F(WindowTest, FocusStartsOnReadAndTabFollowsTheTabOrder) {
  const auto window = Open();
  EXPECT_EQ(QApplication::focusWidget(), window->btnRead);
  QList<QWidget*> order;
  for (int i = 0; i < 10; ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    order.push_back(QApplication::focusWidget());
  }
  // The buttons in their written order; the view and the links where they stand in it.
  const QList<QWidget*> expected = {
      window->btnStop,         window->btnSetBookmark, window->btnGoToBookmark, window->btnPrint,
      window->btnIncreaseFont, window->riched,         window->lblemail,        window->lbl4Novels,
      window->btnClose,        window->btnRead};
  EXPECT_EQ(order, expected);
}

TEST_F(WindowTest, TheWindowCannotBeResized) {
  const auto window = Open();
  const QSize size = Scaled(0, 0, kClientWidth, kClientHeight).size();
  EXPECT_EQ(window->size(), size);
  EXPECT_EQ(window->minimumSize(), size);
  EXPECT_EQ(window->maximumSize(), size);
  EXPECT_FALSE(window->windowFlags() & Qt::WindowMaximizeButtonHint);
  window->resize(1000, 900);
  window->showMaximized();
  QApplication::processEvents();
  EXPECT_EQ(window->size(), size);
}

TEST(FormColour, ThreeDrawsBlueGreenRedNeverReach255) {
  std::mt19937 generator(12345);
  std::mt19937 same(12345);
  std::uniform_int_distribution<int> component(0, 254);
  const FormColour first = DrawFormColour(generator);
  EXPECT_EQ(first.blue, component(same));
  EXPECT_EQ(first.green, component(same));
  EXPECT_EQ(first.red, component(same));
  int low = 255;
  int high = -1;
  for (int i = 0; i < 20000; ++i) {
    const FormColour c = DrawFormColour(generator);
    for (const int v : {c.red, c.green, c.blue}) {
      low = std::min(low, v);
      high = std::max(high, v);
    }
  }
  EXPECT_EQ(low, 0);
  EXPECT_EQ(high, 254);
}

TEST_F(WindowTest, TheWindowTakesADrawnColour) {
  const auto window = Open();
  const QColor colour = window->Colour();
  EXPECT_LT(colour.red(), 255);
  EXPECT_LT(colour.green(), 255);
  EXPECT_LT(colour.blue(), 255);
  EXPECT_TRUE(window->autoFillBackground());
}

TEST_F(WindowTest, FontSizeStepsToFortyEightInGeorgiaThenDisables) {
  const auto window = Open("Plain {bold} text\n~~~\n");
  const std::int64_t lines_before = window->View().DisplayLineCount();
  for (const int expected : {16, 24, 36, 48}) {
    ASSERT_TRUE(window->btnIncreaseFont->isEnabled());
    QTest::mouseClick(window->btnIncreaseFont, Qt::LeftButton);
    EXPECT_EQ(window->riched->font().family(), QStringLiteral("Georgia"));
    EXPECT_EQ(window->riched->font().pointSize(), expected);
    QTextCursor cursor(window->riched->document());
    cursor.setPosition(3);
    EXPECT_EQ(cursor.charFormat().fontFamilies().toStringList(), QStringList{"Georgia"});
    EXPECT_DOUBLE_EQ(cursor.charFormat().fontPointSize(), expected);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);  // the wait cursor is gone again
  }
  EXPECT_FALSE(window->btnIncreaseFont->isEnabled());
  EXPECT_GE(window->View().DisplayLineCount(), lines_before);
  EXPECT_TRUE(errors_.isEmpty());
}

TEST_F(WindowTest, AMissingDocumentIsReportedAndTheViewIsEmpty) {
  char previous[4096];
  ASSERT_NE(::getcwd(previous, sizeof previous), nullptr);
  ASSERT_EQ(::chdir(dir_.path().c_str()), 0);
  ReaderWindowOptions options;
  options.settings_path = settings_path_;
  options.show_error = [this](const QString& text) { errors_.push_back(text); };
  {
    TfQuillonReaderMain window(voice_, options);
    EXPECT_EQ(errors_, QStringList{"Cannot open file TheBlitheWanderingsOfQuillonFenwright.rtf."});
    EXPECT_EQ(window.View().TextLength(), 0);
  }
  ASSERT_EQ(::chdir(previous), 0);
}

// A document that would never end, block or fill memory is refused at once; the window opens.
TEST_F(WindowTest, ADocumentThatIsNoRegularFileOrTooLargeIsRefused) {
  const std::string fifo = dir_.File("fifo.rtf");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::string link = dir_.File("link.rtf");
  std::filesystem::create_symlink("/dev/zero", link);
  const std::string large = dir_.File("large.txt");
  dir_.Write("large.txt", "x");
  std::filesystem::resize_file(large, kMaxDocumentBytes + 1);
  const struct {
    std::string path;
    std::string_view why;
  } cases[] = {{fifo, kNotRegularFile}, {link, kNotRegularFile}, {large, kDocumentTooLarge}};
  for (const auto& c : cases) {
    errors_.clear();
    ReaderWindowOptions options;
    options.document_path = c.path;
    options.settings_path = settings_path_;
    options.show_error = [this](const QString& text) { errors_.push_back(text); };
    TfQuillonReaderMain window(voice_, options);
    EXPECT_EQ(errors_, QStringList{QString::fromStdString("Cannot open file " + c.path + ": " +
                                                          std::string(c.why) + ".")});
    EXPECT_EQ(window.View().TextLength(), 0);
  }
}

// A document taller than the view can be laid out is cut where it surely fits at the largest font:
// the window says so once it shows, and the view lays out at 48 points without end, below the
// height where Qt's layout stops.
TEST_F(WindowTest, ADocumentTooTallForTheViewIsCutAndSaysSo) {
  const struct {
    const char* name;
    std::string text;
  } cases[] = {
      {"empty lines", std::string(200000, '\n')},
      {"wide letters",
       [] {
         std::string text;
         for (int i = 0; i < 40000; ++i) {
           text += std::string(60, 'W') + "\n";
         }
         return text;
       }()},
  };
  for (const auto& c : cases) {
    errors_.clear();
    const auto window = Open(c.text);
    QApplication::processEvents();
    ASSERT_EQ(errors_.size(), 1) << c.name;
    EXPECT_TRUE(errors_[0].startsWith("The document is too long to show whole")) << c.name;
    const auto full_length = static_cast<std::int64_t>(ParseDocument(c.text).ViewText().size());
    EXPECT_LT(window->View().TextLength(), full_length) << c.name;
    for (int click = 0; click < 4; ++click) {
      QTest::mouseClick(window->btnIncreaseFont, Qt::LeftButton);
    }
    ASSERT_EQ(window->riched->font().pointSize(), 48);
    const double height = window->riched->document()->documentLayout()->documentSize().height();
    EXPECT_LT(height, 8388607.0) << c.name;
    EXPECT_GT(height, 8388607.0 / 3) << c.name;  // and not cut needlessly short
  }
}

TEST(ErrorMessageText, APeriodFollowsALastCharacterThatSortsAfterIt) {
  // clang-format off
  const struct { const char* message; const char* shown; } cases[] = {
    {"Cannot open file a.rtf", "Cannot open file a.rtf."},
    {"Unable to write to /x/y.INI", "Unable to write to /x/y.INI."},
    {"Already ends.", "Already ends."},
    {"Why?", "Why?."},
    {"Stop!", "Stop!"},
    {"(aside)", "(aside)"},
    {"path/", "path/."},
    {"count 7", "count 7."},
    {"trailing ", "trailing "},
    {"", ""},
  };
  // clang-format on
  for (const auto& c : cases) {
    EXPECT_EQ(ErrorMessageText(c.message), c.shown) << c.message;
  }
}

TEST_F(WindowTest, AnErrorInAHandlerShowsAnErrorBoxAndTheProgramGoesOn) {
  dir_.Write("novel.txt", "Short.\n~~~\n");
  ReaderWindowOptions options;
  options.document_path = dir_.File("novel.txt");
  options.settings_path = settings_path_;
  options.make_printer = []() -> std::unique_ptr<QPrinter> {
    throw std::runtime_error("There is no default printer currently selected");
  };
  TfQuillonReaderMain window(voice_, options);
  window.show();
  QString text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    text = box->text();
    icon = box->icon();
    box->accept();
  });
  QTest::mouseClick(window.btnPrint, Qt::LeftButton);
  EXPECT_EQ(text, QStringLiteral("There is no default printer currently selected."));
  EXPECT_EQ(icon, QMessageBox::Critical);
  // The program goes on: the next handler runs.
  QTest::mouseClick(window.btnIncreaseFont, Qt::LeftButton);
  EXPECT_EQ(window.riched->font().pointSize(), 16);
}

TEST_F(WindowTest, TheLinksOpenTheMailAddressAndTheDownloadPage) {
  UrlCatcher catcher;
  open_link_ = [&catcher](const QUrl& url, const std::function<void()>&) { catcher.open(url); };
  const auto window = Open();
  QTest::mouseClick(window->lblemail, Qt::LeftButton);
  QTest::mouseClick(window->lbl4Novels, Qt::LeftButton);
  EXPECT_EQ(catcher.urls, (QList<QUrl>{QUrl(QString::fromUtf8(kEmailLink)),
                                       QUrl(QString::fromUtf8(kDownloadLink))}));
  EXPECT_TRUE(QString::fromUtf8(kEmailLink).startsWith(QStringLiteral("mailto:")));
}

TEST_F(WindowTest, FirstStartIsCentredAndClosingStoresPositionAndReadingState) {
  {
    const auto window = Open();
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const QSize outer = Scaled(0, 0, kOuterWidth, kOuterHeight).size();
    const WindowPosition centred =
        CentredWindowPosition(screen.width(), screen.height(), outer.width(), outer.height());
    EXPECT_EQ(window->pos(), QPoint(centred.left, centred.top));
    window->State().CurrentVoice = 4;
    window->State().CurrentChapter = 6;
    window->move(31, 47);
    QTest::mouseClick(window->btnClose, Qt::LeftButton);
    EXPECT_FALSE(window->isVisible());
  }
  const SettingsFile file(settings_path_);
  EXPECT_EQ(file.ReadInteger("Metrics", "Left", -1), 31);
  EXPECT_EQ(file.ReadInteger("Metrics", "Top", -1), 47);
  EXPECT_EQ(file.ReadInteger("Bookmarks", "LastVoice", -1), 4);
  EXPECT_EQ(file.ReadInteger("Bookmarks", "LastChapter", -1), 6);
  EXPECT_EQ(file.ReadString("Bookmarks", "FirstOccurrenceOfHRInK12HasBeenRead"), "0");
  EXPECT_FALSE(file.ReadString("Bookmarks", "Line"));
  EXPECT_FALSE(file.ReadString("Bookmarks", "Cursor"));

  // The next start opens where the window was left.
  const auto again = Open();
  EXPECT_EQ(again->pos(), QPoint(31, 47));
}

TEST_F(WindowTest, AnUnwritableSettingsFileIsReportedAndTheProgramGoesOn) {
  settings_path_ = dir_.File("missing-folder/reader.INI");
  {
    const auto window = Open();
    QTest::mouseClick(window->btnSetBookmark, Qt::LeftButton);
    ASSERT_EQ(errors_.size(), 1);
    EXPECT_EQ(errors_[0], QString::fromStdString("Unable to write to " + settings_path_ + "."));
    QTest::mouseClick(window->btnGoToBookmark, Qt::LeftButton);  // reads give the defaults
    EXPECT_EQ(window->State().CurrentChapter, 1);
    EXPECT_EQ(errors_.size(), 1);
  }
  // Closing could not store the position either; the rest of that step was skipped.
  EXPECT_EQ(errors_.size(), 2);
}

TEST_F(WindowTest, ASettingsPathThatCannotBeReadStillGivesTheWholeWindow) {
  // What lies at the settings path; every case opens centred with the novel loaded.
  struct Case {
    const char* name;
    std::string content;  // written as the file; empty: a directory
    bool write_refused;
  };
  // clang-format off
  const Case cases[] = {
    {"a directory",             "",                                                  true},
    {"a byte order mark, CR LF", "\xEF\xBB\xBF[Metrics]\r\nLeft=100\r\nTop=50\r\n",    false},
  };
  // clang-format on
  for (const Case& c : cases) {
    settings_path_ = dir_.File(std::string("settings-") + (c.content.empty() ? "dir" : "bom"));
    if (c.content.empty()) {
      std::filesystem::create_directory(settings_path_);
    } else {
      dir_.Write(std::filesystem::path(settings_path_).filename().string(), c.content);
    }
    errors_.clear();
    {
      const auto window = Open();
      EXPECT_TRUE(errors_.isEmpty()) << c.name << ": " << errors_.join('|').toStdString();
      EXPECT_GT(window->View().TextLength(), 1000) << c.name;
      if (c.content.empty()) {
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        const QSize outer = Scaled(0, 0, kOuterWidth, kOuterHeight).size();
        const WindowPosition centred =
            CentredWindowPosition(screen.width(), screen.height(), outer.width(), outer.height());
        EXPECT_EQ(window->pos(), QPoint(centred.left, centred.top)) << c.name;
      } else {
        EXPECT_EQ(window->pos(), QPoint(100, 50)) << c.name;
      }
      QTest::mouseClick(window->btnSetBookmark, Qt::LeftButton);
      QTest::mouseClick(window->btnGoToBookmark, Qt::LeftButton);
    }
    const QString refused = QString::fromStdString("Unable to write to " + settings_path_ + ".");
    // Refused: Set Bookmark and the close; Go To Bookmark reads the defaults without a word.
    const QStringList expected = c.write_refused ? QStringList{refused, refused} : QStringList();
    EXPECT_EQ(errors_, expected) << c.name;
    if (!c.write_refused) {
      const SettingsFile file(settings_path_);
      EXPECT_EQ(file.ReadInteger("Metrics", "Left", -1), 100);
      EXPECT_EQ(file.ReadString("Bookmarks", "Cursor"), "0");
      std::ifstream in(settings_path_, std::ios::binary);
      const std::string content{std::istreambuf_iterator<char>(in), {}};
      EXPECT_EQ(content.find("[Metrics]"), content.rfind("[Metrics]")) << "one section";
      EXPECT_TRUE(content.starts_with("\xEF\xBB\xBF[Metrics]\r\n")) << content;
    }
  }
}

TEST_F(WindowTest, AfterFontSizeTheSameLineShowsOtherTextButCursorKeepsItsCharacter) {
  const auto window = Open();
  QtRichTextView& view = window->View();
  const std::string text = view.Text();
  const auto cursor = static_cast<std::int64_t>(text.find("Line 30 "));
  view.SetSelection(cursor, 0);
  view.ScrollLines(25);
  const std::int64_t line = view.FirstVisibleLine();
  ASSERT_EQ(line, 25);
  const std::int64_t lines_before = view.DisplayLineCount();
  const std::int64_t cursor_line_before = view.DisplayLineOf(cursor);
  QTest::mouseClick(window->btnSetBookmark, Qt::LeftButton);

  QTest::mouseClick(window->btnIncreaseFont, Qt::LeftButton);
  QTest::mouseClick(window->btnIncreaseFont, Qt::LeftButton);
  EXPECT_GT(view.DisplayLineCount(), lines_before);
  EXPECT_GT(view.DisplayLineOf(cursor), cursor_line_before);

  view.SetSelection(0, 0);
  view.ScrollLines(-1000);
  QTest::mouseClick(window->btnGoToBookmark, Qt::LeftButton);
  EXPECT_EQ(view.SelectionStart(), cursor);
  EXPECT_EQ(view.SelectionLength(), 0);
  // Line 25 came to the top first; then the caret, further down now, was scrolled into view.
  EXPECT_GE(view.FirstVisibleLine(), 25);
  EXPECT_TRUE(window->riched->viewport()->rect().contains(window->riched->cursorRect().center()));
  EXPECT_EQ(SettingsFile(settings_path_).ReadInteger("Bookmarks", "Line", -1), 25);
  EXPECT_TRUE(errors_.isEmpty());
}

}  // namespace
}  // namespace quillon

#include "window_test.moc"
