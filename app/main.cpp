// quillon-reader: the reader window on the novel, from the current directory or the installed data
// folder (app/file_locations.h).
//
// The voice comes first: without it the program reports why and ends with exit code 1 before any
// window is shown. Exit code 0 after a normal end. With QUILLON_SPEECH_LOG set, the time each
// sentence starts and ends is noted in that file (app/speech_log.h). --help and --version answer
// on standard output before anything needs a display.
#include <QApplication>
#include <QIcon>
#include <QMessageBox>
#include <cstdio>
#include <exception>
#include <memory>
#include <string_view>

#include "app/error_message.h"
#include "app/mpris_player.h"
#include "app/quillon_talks_main.h"
#include "app/speech_log.h"
#include "speech/pulse_voice.h"
#include "speech/speech_voice.h"

namespace {

constexpr const char* kHelp =
    "Usage: quillon-reader [--help | --version]\n"
    "Reads the novel TheBlitheWanderingsOfQuillonFenwright.rtf aloud in a window, from the "
    "current\n"
    "directory or else the installed data folder. Settings and the bookmark are kept in\n"
    "quillon-reader.INI (see quillon-reader(1)).\n"
    "\n"
    "  --help      show this help and exit\n"
    "  --version   show the version and exit\n";

// Answers --help or --version (before "--", where Qt's own options end) and returns true, else
// returns false.
bool AnsweredHelpOrVersion(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (argument == "--") {
      break;
    }
    if (argument == "--help" || argument == "-h") {
      std::fputs(kHelp, stdout);
      return true;
    }
    if (argument == "--version") {
      std::fputs("quillon-reader " QUILLON_VERSION "\n", stdout);
      return true;
    }
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (AnsweredHelpOrVersion(argc, argv)) {
    return std::fflush(stdout) == 0 ? 0 : 1;
  }
  QApplication application(argc, argv);
  // The desktop matches the window to its menu entry and takes the installed icon.
  QGuiApplication::setDesktopFileName(QStringLiteral("net.quillonfenwright.QuillonReader"));
  QApplication::setWindowIcon(
      QIcon::fromTheme(QStringLiteral("net.quillonfenwright.QuillonReader")));
  std::unique_ptr<quillon::SpeechVoice> voice;
  std::unique_ptr<quillon::SpeechVoice> logged;
  try {
    voice = std::make_unique<quillon::PulseSpeechVoice>();
    if (const QByteArray log = qgetenv("QUILLON_SPEECH_LOG"); !log.isEmpty()) {
      logged = std::make_unique<quillon::LoggedVoice>(*voice, log.toStdString());
    }
  } catch (const std::exception& error) {
    QMessageBox::critical(nullptr, QStringLiteral("Quillon Reader"),
                          QString::fromStdString(quillon::ErrorMessageText(error.what())));
    return 1;
  }
  int code = 0;
  {
    quillon::TfQuillonReaderMain window(logged ? *logged : *voice);
    QObject::connect(&window, &quillon::TfQuillonReaderMain::Closed, &application,
                     &QApplication::quit, Qt::QueuedConnection);
    // The desktop's media controls; nothing without a session bus.
    quillon::MprisPlayer mpris(window);
    window.show();
    code = QApplication::exec();
  }
  return code;
}
