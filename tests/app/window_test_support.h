// Shared pieces of the window's tests: a temporary directory, a scripted voice, queued clicks.
#pragma once

#include <QApplication>
#include <QEvent>
#include <QObject>
#include <QStringList>
#include <QWidget>
#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/quillon_talks_main.h"
#include "speech/speech_voice.h"

namespace quillon::testing_support {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  std::string File(const std::string& name) const { return path_ + "/" + name; }
  const std::string& path() const { return path_; }
  void Write(const std::string& name, const std::string& content) const;
  std::string Read(const std::string& name) const;

 private:
  std::string path_;
};

// A voice that records every sentence (as UTF-8) and, while sentence n is being spoken, runs the
// action given for n on the window's thread, as a timer or a repaint would run there. Actions that
// click queue the click as real input, so the window sees it at its next pump point.
class ScriptedVoice final : public SpeechVoice {
 public:
  void Speak(std::u16string_view text, unsigned flags) override;
  void Interrupt() override { ++interrupts_; }
  int Interrupts() const { return interrupts_; }
  void SetPaused(bool paused) override { paused_ = paused; }
  bool Paused() const { return paused_; }

  void During(std::size_t sentence, std::function<void()> action) {
    actions_[sentence] = std::move(action);
  }
  // Runs at the end of sentence n, before Speak returns: still inside the wait.
  void After(std::size_t sentence, std::function<void()> action) {
    after_[sentence] = std::move(action);
  }
  void FailAt(std::size_t sentence, std::string message) {
    failures_[sentence] = std::move(message);
  }
  // Forgets what was spoken and every action and failure.
  void Reset() {
    const std::lock_guard lock(mutex_);
    spoken_.clear();
    flags_.clear();
    calls_ = 0;
    actions_.clear();
    after_.clear();
    failures_.clear();
    interrupts_ = 0;
    paused_ = false;
  }
  std::vector<std::string> Spoken() const {
    const std::lock_guard lock(mutex_);
    return spoken_;
  }
  std::vector<unsigned> Flags() const {
    const std::lock_guard lock(mutex_);
    return flags_;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> spoken_;
  std::vector<unsigned> flags_;
  std::size_t calls_ = 0;
  std::map<std::size_t, std::function<void()>> actions_;
  std::map<std::size_t, std::function<void()>> after_;
  std::map<std::size_t, std::string> failures_;
  std::atomic<int> interrupts_ = 0;
  std::atomic<bool> paused_ = false;
};

// The reader window on novel (written to dir as novel.txt), with its settings file in dir and its
// errors collected instead of shown (unless options shows them), once it is shown and active.
// options gives the rest.
std::unique_ptr<TfQuillonReaderMain> OpenReader(SpeechVoice& voice, const TempDir& dir,
                                                const std::string& novel, QStringList& errors,
                                                ReaderWindowOptions options = {});

// Counts the paint events of the objects it is installed on.
struct PaintCounter : QObject {
  int paints = 0;
  bool eventFilter(QObject*, QEvent* event) override {
    paints += event->type() == QEvent::Paint;
    return false;
  }
};

// A left click on the widget, queued as input from the window system: the window handles it only
// when it next processes its pending events with user input allowed.
void QueueClick(QWidget* widget);

// A novel of one chapter and 150 lines, each long enough to wrap once the font has grown.
std::string LongNovel();

// The plain text of one markup sentence: tags removed.
std::string WithoutTags(const std::string& markup);

}  // namespace quillon::testing_support
