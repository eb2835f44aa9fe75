#include "window_test_support.h"

#include <gtest/gtest.h>
#include <qpa/qwindowsysteminterface.h>

#include <QMetaObject>
#include <QTest>
#include <QThread>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace quillon::testing_support {

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "quillon-window-XXXXXX").string();
  path_ = ::mkdtemp(pattern.data());
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

void TempDir::Write(const std::string& name, const std::string& content) const {
  std::ofstream(File(name), std::ios::binary) << content;
}

std::string TempDir::Read(const std::string& name) const {
  std::ifstream in(File(name), std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::unique_ptr<TfQuillonReaderMain> OpenReader(SpeechVoice& voice, const TempDir& dir,
                                                const std::string& novel, QStringList& errors,
                                                ReaderWindowOptions options) {
  dir.Write("novel.txt", novel);
  options.document_path = dir.File("novel.txt");
  if (options.settings_path.empty()) {
    options.settings_path = dir.File("reader.INI");
  }
  if (!options.show_error) {
    options.show_error = [&errors](const QString& text) { errors.push_back(text); };
  }
  auto window = std::make_unique<TfQuillonReaderMain>(voice, options);
  window->show();
  QApplication::setActiveWindow(window.get());
  EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
  return window;
}

void ScriptedVoice::Speak(std::u16string_view text, unsigned flags) {
  std::size_t index = 0;
  std::function<void()> action;
  std::function<void()> after;
  std::string failure;
  {
    const std::lock_guard lock(mutex_);
    index = calls_++;
    if (const auto found = failures_.find(index); found != failures_.end()) {
      failure = found->second;
    } else {
      spoken_.push_back(
          QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size())).toStdString());
      flags_.push_back(flags);
    }
    if (const auto found = actions_.find(index); found != actions_.end()) {
      action = found->second;
    }
    if (const auto found = after_.find(index); found != after_.end()) {
      after = found->second;
    }
  }
  const auto run_in_window_thread = [](const std::function<void()>& f) {
    if (QThread::currentThread() == qApp->thread()) {
      f();
    } else {
      QMetaObject::invokeMethod(qApp, f, Qt::BlockingQueuedConnection);
    }
  };
  if (action) {
    run_in_window_thread(action);
  }
  if (after) {
    // The window's thread goes on waiting meanwhile: time for it to repaint.
    QThread::msleep(50);
    run_in_window_thread(after);
  }
  if (!failure.empty()) {
    throw std::runtime_error(failure);
  }
}

void QueueClick(QWidget* widget) {
  QWidget* top = widget->window();
  QWindow* window = top->windowHandle();
  const QPoint local = widget->mapTo(top, widget->rect().center());
  const QPoint global = widget->mapToGlobal(widget->rect().center());
  // On QTest's clock, far enough from its clicks that no double click is made of them.
  QTest::lastMouseTimestamp += QTest::mouseDoubleClickInterval;
  const auto press_time = static_cast<ulong>(QTest::lastMouseTimestamp);
  QTest::lastMouseTimestamp += QTest::mouseDoubleClickInterval;
  using Async = QWindowSystemInterface::AsynchronousDelivery;
  QWindowSystemInterface::handleMouseEvent<Async>(window, press_time, local, global, Qt::LeftButton,
                                                  Qt::LeftButton, QEvent::MouseButtonPress);
  QWindowSystemInterface::handleMouseEvent<Async>(window, press_time + 1, local, global,
                                                  Qt::NoButton, Qt::LeftButton,
                                                  QEvent::MouseButtonRelease);
}

std::string LongNovel() {
  std::string text = "CHAPTER 1\n";
  for (int i = 0; i < 150; ++i) {
    text += "Line " + std::to_string(i) +
            " of the novel, long enough to wrap once the font has grown a good deal larger.\n";
  }
  return text + "~~~\n";
}

std::string WithoutTags(const std::string& markup) {
  std::string text;
  bool in_tag = false;
  for (const char c : markup) {
    if (c == '<') {
      in_tag = true;
    } else if (c == '>') {
      in_tag = false;
    } else if (!in_tag) {
      text += c;
    }
  }
  return text;
}

}  // namespace quillon::testing_support
