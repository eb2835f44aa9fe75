// quillon-reader: the reader window on the novel, from the current directory or the installed data
// folder (app/file_locations.h).
//
// The voice comes first: without it the program reports why and ends with exit code 1 before any
// window is shown. Exit code 0 after a normal end.
#include <QApplication>
#include <QIcon>
#include <QMessageBox>
#include <exception>
#include <memory>

#include "app/error_message.h"
#include "app/quillon_talks_main.h"
#include "speech/pulse_voice.h"
#include "speech/speech_voice.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  // The desktop matches the window to its menu entry and takes the installed icon.
  QGuiApplication::setDesktopFileName(QStringLiteral("net.quillonfenwright.QuillonReader"));
  QApplication::setWindowIcon(
      QIcon::fromTheme(QStringLiteral("net.quillonfenwright.QuillonReader")));
  std::unique_ptr<quillon::SpeechVoice> voice;
  try {
    voice = std::make_unique<quillon::PulseSpeechVoice>();
  } catch (const std::exception& error) {
    QMessageBox::critical(nullptr, QStringLiteral("Quillon Reader"),
                          QString::fromStdString(quillon::ErrorMessageText(error.what())));
    return 1;
  }
  int code = 0;
  {
    quillon::TfQuillonReaderMain window(*voice);
    window.show();
    code = QApplication::exec();
  }
  return code;
}
