#include "app/link_opener.h"

#include <QDesktopServices>
#include <QProcess>
#include <QStandardPaths>
#include <memory>
#include <utility>

namespace quillon {

void OpenLinkOnDesktop(const QUrl& url, std::function<void()> failed) {
  // xdg-open ends with an exit code that tells whether a program took the link; the toolkit's own
  // opener only tells whether it could start one.
  const QString xdg_open = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
  if (xdg_open.isEmpty()) {
    if (!QDesktopServices::openUrl(url)) {
      failed();
    }
    return;
  }
  // Without a desktop, xdg-open waits for the browser it started. The process object is not owned
  // by the window, so closing the reader never ends the browser with it.
  auto* process = new QProcess();
  process->setProgram(xdg_open);
  process->setArguments({url.toString(QUrl::FullyEncoded)});
  process->setStandardInputFile(QProcess::nullDevice());
  process->setProcessChannelMode(QProcess::ForwardedChannels);
  auto report = std::make_shared<std::function<void()>>(std::move(failed));
  QObject::connect(process, &QProcess::finished, process,
                   [process, report](int code, QProcess::ExitStatus status) {
                     if (status != QProcess::NormalExit || code != 0) {
                       (*report)();
                     }
                     process->deleteLater();
                   });
  QObject::connect(process, &QProcess::errorOccurred, process,
                   [process, report](QProcess::ProcessError error) {
                     if (error == QProcess::FailedToStart) {
                       (*report)();
                       process->deleteLater();
                     }
                   });
  process->start();
}

}  // namespace quillon
