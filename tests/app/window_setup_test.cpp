// The window's set-up on the desktop: where it opens, how large it is drawn, and that the reader
// keeps their place when the text grows.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QScrollBar>
#include <QTest>
#include <QTextCursor>
#include <climits>
#include <memory>
#include <string>

#include "app/quillon_talks_main.h"
#include "app/window_placement.h"
#include "window_test_support.h"

namespace quillon {
namespace {

using testing_support::LongNovel;
using testing_support::OpenReader;
using testing_support::ScriptedVoice;
using testing_support::TempDir;

TEST(WindowPlacement, AStoredPositionWhoseCaptionCannotBeReachedComesOntoTheNearestScreen) {
  const QSize outer(780, 600);
  const int caption = 27;
  const QRect left_screen(0, 0, 1366, 768);
  const QRect right_screen(1366, 0, 1920, 1080);  // taller, to the right of the first
  const QRect panel_below(0, 0, 1366, 728);       // a panel takes the bottom 40 pixels
  struct Case {
    const char* what;
    QList<QRect> areas;
    QPoint stored;
    QPoint placed;
  };
  // clang-format off
  const Case cases[] = {
    {"on the screen",                {left_screen},               {100, 50},     {100, 50}},
    {"caption half off the left",    {left_screen},               {-300, 12},    {-300, 12}},
    {"caption mostly off the left",  {left_screen},               {-600, 12},    {0, 12}},
    {"caption above the screen",     {left_screen},               {-3, -30},     {0, 0}},
    {"beyond the far corner",        {left_screen},               {5000, 4000},  {586, 168}},
    {"caption under the panel",      {panel_below},               {200, 710},    {200, 128}},
    {"on the second screen",         {left_screen, right_screen}, {2000, 300},   {2000, 300}},
    {"below the shorter screen",     {left_screen, right_screen}, {400, 900},    {400, 168}},
    {"beyond the second screen",     {left_screen, right_screen}, {4000, 2000},  {2506, 480}},
    {"the largest int stored",       {left_screen},               {INT_MAX, 0},  {586, 0}},
    {"the smallest int stored",      {left_screen},               {INT_MIN, INT_MIN}, {0, 0}},
    {"no screens known",             {},                          {-999, -999},  {-999, -999}},
  };
  // clang-format on
  for (const Case& c : cases) {
    EXPECT_EQ(PlaceOnScreens(c.stored, outer, caption, c.areas), c.placed) << c.what;
  }
  // A window larger than its screen shows its top-left corner, where the caption is.
  EXPECT_EQ(PlaceOnScreens({-50, -50}, QSize(2000, 900), caption, {left_screen}), QPoint(0, 0));
}

TEST(WindowPlacement, TheScaledWindowNeverOutgrowsTheAvailableArea) {
  const QSize designed(780, 600);
  struct Case {
    double text_size;
    QRect available;  // in the window system's own pixels, which a scale factor divides
  };
  // clang-format off
  const Case cases[] = {
    {1.0,  {0, 0, 1366, 768}},  {1.5, {0, 0, 1366, 768}},  {2.0, {0, 0, 1366, 768}},
    {1.0,  {0, 0, 911, 512}},   {1.0, {0, 0, 683, 384}},   {1.0, {0, 0, 960, 540}},
    {1.25, {0, 27, 1920, 1053}}, {2.0, {0, 0, 1920, 1080}}, {1.0, {0, 0, 800, 600}},
  };
  // clang-format on
  for (const Case& c : cases) {
    const auto fits = [&](double scale, int spare) {
      return static_cast<int>(designed.width() * scale + 0.5) + spare <= c.available.width() &&
             static_cast<int>(designed.height() * scale + 0.5) + spare <= c.available.height();
    };
    const double scale = FittingScale(c.text_size, designed, c.available);
    EXPECT_LE(scale, c.text_size);
    EXPECT_TRUE(fits(scale, 0)) << c.text_size << " on " << c.available.width();
    // Only as small as it must be: at the text size, or two pixels more would not fit.
    EXPECT_TRUE(scale == c.text_size || !fits(scale, 2))
        << c.text_size << " on " << c.available.width();
  }
}

// Whether the display line that holds the character at position is wholly in the view.
bool InView(const ReaderTextEdit& view, int position) {
  QTextCursor at(view.document());
  at.setPosition(position);
  return view.viewport()->rect().contains(view.cursorRect(at));
}

TEST(FontSize, TheReadersPlaceStaysInViewAtEveryPress) {
  QApplication::processEvents();
  for (const bool reading : {false, true}) {
    TempDir dir;
    ScriptedVoice voice;
    QStringList errors;
    const auto window = OpenReader(voice, dir, LongNovel(), errors);
    ReaderTextEdit& view = *window->riched;
    const int line_90 = static_cast<int>(view.toPlainText().indexOf(QStringLiteral("Line 90 ")));
    QTextCursor caret(view.document());
    caret.setPosition(line_90);
    view.setTextCursor(caret);
    // Idle, line 90 is the first in view; reading, it is the line being read.
    QScrollBar* bar = view.verticalScrollBar();
    bar->setValue(bar->value() + view.cursorRect(caret).top());
    ASSERT_TRUE(InView(view, line_90));
    int presses_in_view = 0;
    const auto press = [&] {
      const int place = reading ? view.textCursor().selectionStart()
                                : view.cursorForPosition(QPoint(0, 0)).position();
      window->btnIncreaseFont->click();
      presses_in_view += InView(view, place);
      if (reading) {
        EXPECT_EQ(view.textCursor().selectionStart(), place);
      }
    };
    if (reading) {
      for (std::size_t sentence = 0; sentence < 4; ++sentence) {
        voice.During(sentence, press);
      }
      voice.During(4, [&] { window->btnStop->click(); });
      window->btnRead->click();
      ASSERT_GE(voice.Spoken().size(), 5U);
      EXPECT_NE(voice.Spoken()[0].find("Line 90 "), std::string::npos);
    } else {
      for (int i = 0; i < 4; ++i) {
        press();
      }
    }
    EXPECT_EQ(presses_in_view, 4) << (reading ? "reading" : "idle");
    EXPECT_FALSE(window->btnIncreaseFont->isEnabled());
    EXPECT_TRUE(errors.isEmpty()) << errors.join('|').toStdString();
  }
}

// The keyboard and screen readers reach the view and each link (a link with an action, opened with
// Enter or Space); a link no program takes is reported with its address.
TEST(KeyboardAndScreenReader, TheViewAndTheLinksCanBeReachedAndUsed) {
  TempDir dir;
  ScriptedVoice voice;
  QStringList errors;
  QList<QUrl> opened;
  ReaderWindowOptions options;
  options.open_link = [&opened](const QUrl& url, const std::function<void()>& failed) {
    opened.push_back(url);
    failed();  // as on a desktop with no mail program and no browser
  };
  const auto window = OpenReader(voice, dir, LongNovel(), errors, options);

  QAccessibleInterface* view = QAccessible::queryAccessibleInterface(window->riched);
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(view->text(QAccessible::Name), QStringLiteral("The novel"));
  EXPECT_TRUE(view->state().readOnly);
  EXPECT_TRUE(view->state().focusable);

  struct Link {
    LinkLabel* label;
    const char* name;
    const char* address;
    Qt::Key key;        // the key that opens it
    const char* shown;  // the address as the message shows it
  };
  const Link links[] = {
      {window->lblemail, "Send me e-mail", kEmailLink, Qt::Key_Return,
       "author@quillonfenwright.net"},
      {window->lbl4Novels, "Download all of my novels", kDownloadLink, Qt::Key_Space,
       "https://quillonfenwright.net/novels"},
  };
  for (const Link& link : links) {
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(link.label);
    ASSERT_NE(accessible, nullptr) << link.name;
    EXPECT_EQ(accessible->role(), QAccessible::Link) << link.name;
    EXPECT_EQ(accessible->text(QAccessible::Name), QString::fromUtf8(link.name));
    ASSERT_NE(accessible->actionInterface(), nullptr) << link.name;
    const QStringList actions = accessible->actionInterface()->actionNames();
    ASSERT_TRUE(actions.contains(QAccessibleActionInterface::pressAction())) << link.name;

    // Opened from the keyboard, then through the action.
    errors.clear();
    opened.clear();
    link.label->setFocus(Qt::TabFocusReason);
    ASSERT_EQ(QApplication::focusWidget(), link.label);
    QTest::keyClick(link.label, link.key);
    accessible->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    const QUrl address(QString::fromUtf8(link.address));
    EXPECT_EQ(opened, (QList<QUrl>{address, address})) << link.name;
    ASSERT_EQ(errors.size(), 2) << link.name;
    EXPECT_TRUE(errors[0].endsWith(QString::fromUtf8(link.shown))) << errors[0].toStdString();
  }
  // Tab goes on from the view to the links, and Shift+Tab comes back.
  window->riched->setFocus(Qt::TabFocusReason);
  QTest::keyClick(window->riched, Qt::Key_Tab);
  EXPECT_EQ(QApplication::focusWidget(), window->lblemail);
  QTest::keyClick(window->lblemail, Qt::Key_Backtab);
  EXPECT_EQ(QApplication::focusWidget(), window->riched);
}

}  // namespace
}  // namespace quillon
