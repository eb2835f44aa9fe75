// Readings in the window: the reading loop over the Qt view, the voice on its own thread, clicks
// queued as real input and handled at the loop's pump points.
#include <gtest/gtest.h>
#include <qpa/qwindowsysteminterface.h>

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QPrinter>
#include <QTest>
#include <QWindow>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/quillon_talks_main.h"
#include "app/reading_speed.h"
#include "app/settings_file.h"
#include "document/document.h"
#include "reading/memory_view.h"
#include "reading/reading_loop.h"
#include "speech/recording_voice.h"
#include "text/encoding.h"
#include "window_test_support.h"

namespace quillon {
namespace {

using testing_support::OpenReader;
using testing_support::PaintCounter;
using testing_support::QueueClick;
using testing_support::ScriptedVoice;
using testing_support::TempDir;
using testing_support::WithoutTags;

std::vector<std::string> Plain(const std::vector<std::string>& spoken) {
  std::vector<std::string> plain;
  for (const std::string& s : spoken) {
    plain.push_back(WithoutTags(s));
  }
  return plain;
}

// What the engine speaks, and the line selected at each sentence, over an in-memory view of the
// same text: the window must speak exactly this.
struct Expected {
  std::vector<std::string> spoken;
  std::vector<std::string> selected;
};
Expected ReadInMemory(const std::string& view_text) {
  MemoryView view(view_text);
  Expected expected;
  RecordingVoice voice([&](std::u16string_view text, unsigned) {
    expected.spoken.push_back(
        QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size())).toStdString());
    expected.selected.push_back(view.SelectedText());
  });
  ReaderState state;
  RunReadingLoop(view, voice, state, [] {});
  return expected;
}

std::string Shell(const std::string& command) {
  std::string output;
  if (FILE* pipe = ::popen(command.c_str(), "r")) {
    char buffer[4096];
    while (const std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) {
      output.append(buffer, n);
    }
    ::pclose(pipe);
  }
  return output;
}

class ReadingWindowTest : public testing::Test {
 protected:
  std::unique_ptr<TfQuillonReaderMain> Open(const std::string& novel) {
    ReaderWindowOptions options;
    options.settings_path = settings_path_;
    options.make_printer = [this] {
      auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
      printer->setOutputFormat(QPrinter::PdfFormat);
      printer->setOutputFileName(QString::fromStdString(dir_.File("printed.pdf")));
      return printer;
    };
    return OpenReader(voice_, dir_, novel, errors_, options);
  }

  // Clicks are queued as input from the window system, as the program gets them; the reading runs
  // inside the event processing that delivers the click and has ended when it returns.
  static void Click(QPushButton* button) {
    QueueClick(button);
    QApplication::processEvents();
  }
  void Read(TfQuillonReaderMain& window) {
    Click(window.btnRead);
    EXPECT_EQ(window.ReadingDepth(), 0);
  }

  // The popup menu once it shows (null if none does).
  static QMenu* ShownMenu() {
    return QTest::qWaitFor([] { return QApplication::activePopupWidget() != nullptr; }, 2000)
               ? qobject_cast<QMenu*>(QApplication::activePopupWidget())
               : nullptr;
  }
  static QMenu* ContextMenu(TfQuillonReaderMain& window, QContextMenuEvent::Reason reason) {
    QWidget* viewport = window.riched->viewport();
    const QPoint at = viewport->rect().center();
    QContextMenuEvent event(reason, at, viewport->mapToGlobal(at));
    QApplication::sendEvent(viewport, &event);
    return ShownMenu();
  }
  // The menu's pause entry as shown ("disabled" when it is), triggered if asked; the menu closes.
  static QString PauseEntry(QMenu* menu, bool trigger) {
    if (menu == nullptr) {
      return QStringLiteral("no menu");
    }
    auto* entry = menu->findChild<QAction*>(QStringLiteral("pauseOrResume"));
    const QString text = entry->isEnabled() ? entry->text() : QStringLiteral("disabled");
    if (trigger) {
      entry->trigger();
    }
    menu->close();
    return text;
  }

  TempDir dir_;
  std::string settings_path_ = dir_.File("reader.INI");
  ScriptedVoice voice_;
  QStringList errors_;
};

TEST_F(ReadingWindowTest, ReadSpeaksWhatTheEngineSpeaksAndSelectsEachLineInTurn) {
  const std::string novel =
      "CHAPTER 2\n"
      "The sun rose over the hills. The birds sang.\n"
      "   \n"
      "\"Good morning,\" said the farmer. He waved.\n"
      "It was 7 a.m. on a Tuesday.\n"
      "~~~\n\n"
      "Never read.\n";
  const auto window = Open(novel);
  const Expected expected = ReadInMemory(window->View().Text());
  ASSERT_GE(expected.spoken.size(), 5u);

  std::vector<std::string> selected;
  for (std::size_t i = 0; i < expected.spoken.size(); ++i) {
    voice_.During(i, [&] { selected.push_back(window->View().SelectedText()); });
  }
  Read(*window);

  EXPECT_EQ(voice_.Spoken(), expected.spoken);
  EXPECT_EQ(selected, expected.selected);
  EXPECT_EQ(voice_.Flags(), std::vector<unsigned>(expected.spoken.size(), kSpeakIsXml));
  std::string heard;
  for (const std::string& sentence : Plain(voice_.Spoken())) {
    heard += sentence + "|";
  }
  EXPECT_NE(heard.find("The sun rose over the hills."), std::string::npos) << heard;
  EXPECT_NE(heard.find("Tuesday"), std::string::npos) << heard;
  EXPECT_EQ(window->State().CurrentChapter, 2);
  // The end marker's line is selected, not spoken.
  EXPECT_EQ(window->View().SelectedText().substr(0, 3), "~~~");
  EXPECT_TRUE(errors_.isEmpty());
}

// How the user asks for something while a sentence is spoken: both reach the window through the
// platform's input path, at that moment, on the window's thread.
enum class Input { MouseClick, Mnemonic };
std::string Name(Input input) {
  return input == Input::MouseClick ? "mouse click" : "mnemonic";
}

// A press of the button as the user makes it: a mouse click at its centre, or Alt and its key.
void Press(QPushButton* button, Input input) {
  QWidget* top = button->window();
  QWindow* window = top->windowHandle();
  if (input == Input::MouseClick) {
    QTest::mouseClick(window, Qt::LeftButton, Qt::NoModifier,
                      button->mapTo(top, button->rect().center()));
    return;
  }
  const QString caption = button->text();
  const auto key = static_cast<Qt::Key>(caption.at(caption.indexOf('&') + 1).toUpper().unicode());
  QTest::keyClick(window, key, Qt::AltModifier);
}

TEST_F(ReadingWindowTest, StopDuringASentenceIsHandledAtTheNextPumpPoint) {
  for (const Input input : {Input::MouseClick, Input::Mnemonic}) {
    SCOPED_TRACE(Name(input));
    // During a sentence with more after it in its line: one more sentence is spoken.
    {
      voice_.Reset();
      const auto window =
          Open("First one. Second one. Third one. Fourth one.\nNext line.\n~~~\n\n");
      bool stopped_while_speaking = true;
      voice_.During(0, [&] { Press(window->btnStop, input); });
      voice_.After(0, [&] { stopped_while_speaking = window->State().StopRequested; });
      Read(*window);
      EXPECT_FALSE(stopped_while_speaking);  // kept, not handled, while the sentence was spoken
      const std::vector<std::string> plain = Plain(voice_.Spoken());
      ASSERT_EQ(plain.size(), 2u);
      EXPECT_NE(plain[1].find("Second one."), std::string::npos);
      EXPECT_TRUE(window->State().StopRequested);
    }
    // During the last sentence of a line: the next line is fetched and selected, nothing spoken.
    voice_.Reset();
    const auto window = Open("Alpha here. Beta here.\nGamma here.\n~~~\n\n");
    voice_.During(1, [&] { Press(window->btnStop, input); });
    Read(*window);
    ASSERT_EQ(voice_.Spoken().size(), 2u);
    EXPECT_NE(WithoutTags(voice_.Spoken()[1]).find("Beta here."), std::string::npos);
    EXPECT_EQ(window->View().SelectedText(), "Gamma here.\r\n");

    // The next "&Read" clears the flag and goes on after the selected line.
    voice_.Reset();
    Read(*window);
    EXPECT_TRUE(voice_.Spoken().empty());  // the line after "Gamma here." is the end marker
    EXPECT_FALSE(window->State().StopRequested);
  }
}

TEST_F(ReadingWindowTest, InputDuringASentenceIsHandledInTheOrderItCame) {
  // Font size, then a bookmark, then Stop, all during the first sentence: each handler runs at the
  // next pump point, in that order, so the bookmark is set after the font grew and before Stop.
  const auto window = Open("Uno here. Dos here. Tres here. Cuatro here.\n~~~\n\n");
  std::vector<std::string> order;
  QObject::connect(window->btnIncreaseFont, &QPushButton::clicked,
                   [&] { order.push_back("font"); });
  QObject::connect(window->btnSetBookmark, &QPushButton::clicked, [&] {
    order.push_back("bookmark at " + std::to_string(window->riched->font().pointSize()));
  });
  QObject::connect(window->btnStop, &QPushButton::clicked, [&] { order.push_back("stop"); });
  voice_.During(0, [&] {
    Press(window->btnIncreaseFont, Input::MouseClick);
    Press(window->btnSetBookmark, Input::Mnemonic);
    Press(window->btnStop, Input::MouseClick);
  });
  Read(*window);
  EXPECT_EQ(order, (std::vector<std::string>{"font", "bookmark at 16", "stop"}));
  EXPECT_EQ(voice_.Spoken().size(), 2u);
  EXPECT_TRUE(errors_.isEmpty());
}

TEST_F(ReadingWindowTest, ASecondReadRunsNestedAndTheFirstResumesAfterIt) {
  const auto window = Open(
      "Outer first. Outer second.\n"
      "Nested line.\n"
      "~~~\n\n"
      "Outer again.\n"
      "~~~\n\n");
  int depth_seen = 0;
  voice_.During(0, [&] { QueueClick(window->btnRead); });
  voice_.During(1, [&] { depth_seen = window->ReadingDepth(); });
  Read(*window);
  const std::vector<std::string> plain = Plain(voice_.Spoken());
  ASSERT_EQ(plain.size(), 4u);
  EXPECT_NE(plain[0].find("Outer first."), std::string::npos);
  EXPECT_NE(plain[1].find("Nested line."), std::string::npos);
  EXPECT_NE(plain[2].find("Outer second."), std::string::npos);
  EXPECT_NE(plain[3].find("Outer again."), std::string::npos);
  EXPECT_EQ(depth_seen, 2);
}

TEST_F(ReadingWindowTest, PrintingDuringAReadingPrintsEveryPageAndTheReadingGoesOn) {
  std::string novel = "The opening line of the book.\n";
  for (int i = 0; i < 200; ++i) {
    novel += "Filler paragraph number " + std::to_string(i) + " keeps the printer busy.\n";
  }
  novel += "The last words of the book.\n~~~\n\n";
  const auto window = Open(novel);
  voice_.During(0, [&] { QueueClick(window->btnPrint); });
  // Stop after a few sentences; the print happened at the first pump point after sentence 0.
  voice_.During(3, [&] { QueueClick(window->btnStop); });
  Read(*window);
  EXPECT_EQ(voice_.Spoken().size(), 4u);  // the reading went on after printing
  EXPECT_TRUE(errors_.isEmpty());

  const std::string pdf = dir_.File("printed.pdf");
  const std::string info = Shell("pdfinfo '" + pdf + "' 2>&1");
  ASSERT_NE(info.find("Pages:"), std::string::npos) << info;
  const int pages = std::stoi(info.substr(info.find("Pages:") + 6));
  EXPECT_GE(pages, 2);
  EXPECT_NE(info.find("the Blithe Wanderings of Quillon Fenwright"), std::string::npos) << info;
  const std::string first = Shell("pdftotext -f 1 -l 1 '" + pdf + "' - 2>&1");
  const std::string last = Shell("pdftotext -f " + std::to_string(pages) + " -l " +
                                 std::to_string(pages) + " '" + pdf + "' - 2>&1");
  EXPECT_NE(first.find("The opening line of the book."), std::string::npos);
  EXPECT_NE(last.find("The last words of the book."), std::string::npos);
  const std::string all = Shell("pdftotext '" + pdf + "' - 2>&1");
  for (int i = 0; i < 200; ++i) {
    EXPECT_NE(all.find("Filler paragraph number " + std::to_string(i) + " "), std::string::npos)
        << i;
  }
}

TEST_F(ReadingWindowTest, ClosingDuringAReadingHidesTheWindowAtOnceAndCutsTheSentenceShort) {
  enum class Close { CloseBox, Button, Mnemonic };
  for (const Close how : {Close::CloseBox, Close::Button, Close::Mnemonic}) {
    SCOPED_TRACE(static_cast<int>(how));
    voice_.Reset();
    {
      const auto window = Open("One sentence. Two sentences. Three.\nFour.\n~~~\n\n");
      window->State().CurrentChapter = 6;
      bool visible_after_close = true;
      int interrupts_after_close = 0;
      voice_.During(0, [&] {
        switch (how) {
          case Close::CloseBox:  // the window manager's close request
            QWindowSystemInterface::handleCloseEvent<QWindowSystemInterface::SynchronousDelivery>(
                window->windowHandle());
            break;
          case Close::Button:
            Press(window->btnClose, Input::MouseClick);
            break;
          case Close::Mnemonic:
            Press(window->btnClose, Input::Mnemonic);
            break;
        }
        visible_after_close = window->isVisible();
        interrupts_after_close = voice_.Interrupts();
      });
      Read(*window);
      // Handled while the sentence was spoken, not kept for the next pump point.
      EXPECT_FALSE(visible_after_close);
      EXPECT_EQ(interrupts_after_close, 1);
      EXPECT_EQ(voice_.Spoken().size(), 1u);  // nothing after the sentence it cut short
      EXPECT_TRUE(window->State().StopRequested);
      EXPECT_TRUE(
          QTest::qWaitFor([&] { return window->isHidden() && !window->CloseRequested(); }, 5000));
    }
    // The window's end stored the reading state.
    const SettingsFile file(settings_path_);
    EXPECT_EQ(file.ReadInteger("Bookmarks", "LastChapter", -1), 6);
    std::remove(settings_path_.c_str());
  }
}

TEST_F(ReadingWindowTest, ClosingDuringNestedReadingsEndsThemAllWithoutAnotherSentence) {
  // Closed while the nested reading speaks, and at its pump point between sentences.
  for (const std::size_t close_during : {1u, 2u}) {
    SCOPED_TRACE(close_during);
    voice_.Reset();
    const auto window = Open(
        "Outer first. Outer second. Outer third.\n"
        "Nested one. Nested two. Nested three.\n"
        "~~~\n\n");
    voice_.During(0, [&] { Press(window->btnRead, Input::MouseClick); });
    voice_.During(close_during, [&] {
      if (close_during == 1) {
        Press(window->btnClose, Input::MouseClick);
      } else {
        QueueClick(window->btnClose);  // arrives with the next pump point
      }
      // A "&Read" that comes after the close starts no reading of its own.
      Press(window->btnRead, Input::Mnemonic);
    });
    Read(*window);
    const std::vector<std::string> plain = Plain(voice_.Spoken());
    // Outer first, then the nested reading from the caret until the close; no more of the outer.
    ASSERT_EQ(plain.size(), close_during + 1);
    EXPECT_NE(plain[0].find("Outer first."), std::string::npos);
    EXPECT_NE(plain[1].find("Nested one."), std::string::npos);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !window->isVisible(); }, 5000));
    EXPECT_TRUE(errors_.isEmpty());
  }
}

TEST_F(ReadingWindowTest, ReadPressesNestBoundedlyAndOneStopOrErrorEndsEveryReading) {
  std::string novel;
  for (int i = 0; i < 40; ++i) {
    novel += "Line " + std::to_string(i) + " first. Line " + std::to_string(i) + " second.\n";
  }
  novel += "~~~\n\n";
  for (const bool stop : {true, false}) {  // ended by Stop, or by the voice failing
    SCOPED_TRACE(stop ? "stop" : "error");
    voice_.Reset();
    errors_.clear();
    const auto window = Open(novel);
    int deepest = 0;
    // Held Alt+R: a hundred presses during the first sentence.
    voice_.During(0, [&] {
      for (int i = 0; i < 100; ++i) {
        Press(window->btnRead, i % 2 == 0 ? Input::Mnemonic : Input::MouseClick);
      }
    });
    voice_.During(1, [&] {
      deepest = window->ReadingDepth();
      if (stop) {
        Press(window->btnStop, Input::MouseClick);
      }
    });
    if (!stop) {
      voice_.FailAt(2, "No audio output: the sound server went away");
    }
    Read(*window);
    EXPECT_EQ(deepest, kMostReadingsAtOnce);
    // The sentence being spoken at the Stop and one more; or only what came before the failure.
    EXPECT_EQ(voice_.Spoken().size(), stop ? 3u : 2u);
    EXPECT_EQ(errors_.size(), stop ? 0 : 1) << errors_.join("|").toStdString();
    // The window goes on: the next "&Read" reads again.
    voice_.Reset();
    voice_.During(0, [&] { Press(window->btnStop, Input::MouseClick); });
    Read(*window);
    EXPECT_EQ(voice_.Spoken().size(), 2u);
  }
}

TEST_F(ReadingWindowTest, InputKeptDuringAFailedSentenceIsHandledAfterTheErrorIsShown) {
  ReaderWindowOptions options;
  options.settings_path = settings_path_;
  bool stopped_while_shown = true;
  TfQuillonReaderMain* shown_over = nullptr;
  options.show_error = [&](const QString& text) {
    errors_.push_back(text);
    // A message box runs an event loop of its own meanwhile.
    QApplication::processEvents();
    stopped_while_shown = shown_over->State().StopRequested;
  };
  const auto window = OpenReader(voice_, dir_, "One. Two. Three.\n~~~\n\n", errors_, options);
  shown_over = window.get();
  voice_.During(0, [&] { Press(window->btnStop, Input::MouseClick); });
  voice_.FailAt(0, "No audio output: the sound server stopped answering");
  Read(*window);
  ASSERT_EQ(errors_.size(), 1);
  EXPECT_FALSE(stopped_while_shown);
  EXPECT_TRUE(QTest::qWaitFor([&] { return window->State().StopRequested; }, 5000));
}

TEST_F(ReadingWindowTest, AFailingVoiceEndsTheReadingWithItsMessage) {
  const auto window = Open("One. Two. Three.\n~~~\n\n");
  window->State().CurrentVoice = 5;
  voice_.FailAt(1, "No audio output: the sound server went away");
  Read(*window);
  EXPECT_EQ(voice_.Spoken().size(), 1u);
  EXPECT_EQ(errors_, QStringList{"No audio output: the sound server went away."});
  EXPECT_FALSE(window->State().StopRequested);
  // The window stays usable: the next reading goes on after the selected line.
  Click(window->btnIncreaseFont);
  EXPECT_EQ(window->riched->font().pointSize(), 16);
}

TEST_F(ReadingWindowTest, TheWindowRepaintsButHandlesNoInputWhileASentenceIsSpoken) {
  const auto window = Open("A long sentence that takes its time to be spoken.\n~~~\n\n");
  PaintCounter counter;
  window->installEventFilter(&counter);
  int paints_at_start = 0;
  int paints_at_end = 0;
  int points_at_end = 0;
  voice_.During(0, [&] {
    paints_at_start = counter.paints;
    QueueClick(window->btnIncreaseFont);
    window->update();
  });
  voice_.After(0, [&] {
    paints_at_end = counter.paints;
    points_at_end = window->riched->font().pointSize();
  });
  Read(*window);
  EXPECT_GT(paints_at_end, paints_at_start);          // repainted while speaking
  EXPECT_EQ(points_at_end, 8);                        // the click waited...
  EXPECT_EQ(window->riched->font().pointSize(), 16);  // ...for the next pump point
}

TEST_F(ReadingWindowTest, ABookmarkSetDuringAReadingRestoresItsLineVoiceAndChapter) {
  const std::string novel =
      "CHAPTER 4\n"
      "Narration comes first. Then more.\n"
      "The bookmarked line. It has two sentences.\n"
      "After the bookmark.\n"
      "~~~\n\n";
  const auto bookmarked =
      static_cast<std::int64_t>(ParseDocument(novel).ViewText().find("The bookmarked line."));
  {
    const auto window = Open(novel);
    // Sentence 3 is "The bookmarked line." ("CHAPTER 4" is spoken too).
    voice_.During(3, [&] { QueueClick(window->btnSetBookmark); });
    Read(*window);
    const SettingsFile file(settings_path_);
    EXPECT_EQ(file.ReadInteger("Bookmarks", "Cursor", -1), bookmarked);
    EXPECT_EQ(file.ReadInteger("Bookmarks", "LastChapter", -1), 4);

    // Same run: elsewhere, another state; "&Go To Bookmark" brings the place and state back.
    window->View().SetSelection(0, 0);
    window->State().CurrentChapter = 9;
    window->State().CurrentVoice = 3;
    Click(window->btnGoToBookmark);
    EXPECT_EQ(window->View().SelectionStart(), bookmarked);
    EXPECT_EQ(window->State().CurrentChapter, 4);
    EXPECT_EQ(window->State().CurrentVoice, 0);
    voice_.Reset();
    Read(*window);  // resumes with the whole bookmarked line
    ASSERT_FALSE(voice_.Spoken().empty());
    EXPECT_NE(WithoutTags(voice_.Spoken()[0]).find("The bookmarked line."), std::string::npos);
    window->State().CurrentChapter = 7;  // the state at the end of the program
  }
  // After a restart: the place of the bookmark, the state of the moment the program ended.
  const auto window = Open(novel);
  Click(window->btnGoToBookmark);
  EXPECT_EQ(window->View().SelectionStart(), bookmarked);
  EXPECT_EQ(window->State().CurrentChapter, 7);
  EXPECT_TRUE(errors_.isEmpty());
}

TEST_F(ReadingWindowTest, PauseHoldsTheSentenceAndReadStopAndCloseNeverWaitForIt) {
  // Paused by the Pause key, then a button pressed; or paused and resumed through the view's
  // context menu: the right button, then the menu key.
  using Main = TfQuillonReaderMain;
  const struct {
    const char* what;
    QPushButton* Main::*button;
    Input input;
  } cases[] = {{"read", &Main::btnRead, Input::Mnemonic},  // resumes; nests no reading
               {"stop", &Main::btnStop, Input::MouseClick},
               {"close", &Main::btnClose, Input::MouseClick},
               {"menu", nullptr, Input::MouseClick}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const bool menu = c.button == nullptr;
    voice_.Reset();
    const auto window = Open("One here. Two here. Three here.\nFour here.\n~~~\n\n");
    int changes = 0;
    QObject::connect(window.get(), &TfQuillonReaderMain::PlaybackChanged, [&] { ++changes; });
    bool paused = false;
    bool after_then = true;
    QStringList entries;
    voice_.During(0, [&] {
      if (menu) {
        QWidget* viewport = window->riched->viewport();
        QTest::mouseClick(window->windowHandle(), Qt::RightButton, Qt::NoModifier,
                          viewport->mapTo(window.get(), viewport->rect().center()));
        entries << PauseEntry(ShownMenu(), true);
      } else {
        QTest::keyClick(window->windowHandle(), Qt::Key_Pause);
      }
      paused = window->Paused() && voice_.Paused();
      if (menu) {
        entries << PauseEntry(ContextMenu(*window, QContextMenuEvent::Keyboard), true);
      } else {
        Press(window.get()->*c.button, c.input);
      }
      after_then = window->Paused() || voice_.Paused();
    });
    Read(*window);
    EXPECT_TRUE(paused);
    EXPECT_FALSE(after_then);
    // Resumed, the whole text is spoken once; otherwise the held sentence is dropped, no other
    // spoken.
    const bool resumed = menu || c.button == &Main::btnRead;
    EXPECT_EQ(voice_.Interrupts(), resumed ? 0 : 1);
    EXPECT_EQ(voice_.Spoken().size(), resumed ? 4u : 1u);
    EXPECT_EQ(window->State().StopRequested, !resumed);
    if (resumed) {
      EXPECT_EQ(changes, 4);  // started, paused, resumed, ended
    }
    if (c.button == &Main::btnClose) {
      EXPECT_TRUE(QTest::qWaitFor([&] { return !window->isVisible(); }, 5000));
    }
    if (menu) {
      EXPECT_EQ(entries, QStringList({"&Pause", "&Resume"}));
      // Without a reading the entry is there but disabled, and Pause does nothing.
      EXPECT_EQ(PauseEntry(ContextMenu(*window, QContextMenuEvent::Mouse), false), "disabled");
    }
    window->Pause();
    EXPECT_FALSE(window->Paused());
  }
}

TEST_F(ReadingWindowTest, TheReadingSpeedIsChosenFromTheMenuAndKeptInTheSettings) {
  // What the file holds ("" for no key), read as a factor.
  const std::pair<std::string, double> stored_speeds[] = {
      {"", 1.0}, {"150", 1.5}, {"20", 0.5}, {"999", 3.0}, {"fast", 1.0}};
  for (const auto& [stored, speed] : stored_speeds) {
    dir_.Write("reader.INI", "[Metrics]\r\nLeft=5\r\n" +
                                 (stored.empty() ? "" : "ReadingSpeed=" + stored + "\r\n"));
    EXPECT_DOUBLE_EQ(LoadReadingSpeed(settings_path_), speed) << stored;
  }
  std::remove(settings_path_.c_str());
  {
    const auto window = Open("One here. Two here.\n~~~\n\n");
    EXPECT_DOUBLE_EQ(window->ReadingSpeed(), 1.0);
    EXPECT_FALSE(SettingsFile(settings_path_).ReadString("Metrics", "ReadingSpeed").has_value());
    // "2x" chosen during a sentence is the next sentence's speed.
    double speed_in_second = 0;
    voice_.During(0, [&] {
      QMenu* menu = ContextMenu(*window, QContextMenuEvent::Mouse);
      ASSERT_NE(menu, nullptr);
      auto* speeds = menu->findChild<QMenu*>(QStringLiteral("readingSpeed"));
      ASSERT_NE(speeds, nullptr);
      for (QAction* choice : speeds->actions()) {
        EXPECT_EQ(choice->isChecked(), choice->text() == QStringLiteral("1\u00D7"));
        if (choice->text() == QStringLiteral("2\u00D7")) {
          choice->trigger();
        }
      }
      menu->close();
    });
    voice_.During(1, [&] { speed_in_second = voice_.Speed(); });
    Read(*window);
    EXPECT_DOUBLE_EQ(speed_in_second, 2.0);
    EXPECT_EQ(SettingsFile(settings_path_).ReadInteger("Metrics", "ReadingSpeed", 0), 200);
    window->SetReadingSpeed(7.0);  // brought into the range
    EXPECT_DOUBLE_EQ(window->ReadingSpeed(), 3.0);
  }
  voice_.SetSpeed(1.0);
  const auto window = Open("One here.\n~~~\n\n");
  EXPECT_DOUBLE_EQ(window->ReadingSpeed(), 3.0);
  EXPECT_DOUBLE_EQ(voice_.Speed(), 3.0);
  EXPECT_TRUE(errors_.isEmpty());
}

}  // namespace
}  // namespace quillon
