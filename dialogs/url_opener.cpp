#include "dialogs/url_opener.h"

#include <QPointer>
#include <QProcess>
#include <QTimer>
#include <memory>

namespace quorvel {

namespace {

UrlOpener& opener() {
  static UrlOpener o;
  return o;
}

void openWithXdg(const QUrl& url, OpenDone report) {
  // Without a parent: the process object outlives the window that asked, and is not destroyed
  // (which would kill the handler) before the handler ends.
  auto* process = new QProcess;
  process->setProgram(QStringLiteral("xdg-open"));
  process->setArguments({url.toString(QUrl::FullyEncoded)});
  process->setStandardInputFile(QProcess::nullDevice());
  process->setStandardOutputFile(QProcess::nullDevice());
  process->setStandardErrorFile(QProcess::nullDevice());
  QObject::connect(process, &QProcess::finished, process,
                   [process, report](int code, QProcess::ExitStatus status) {
                     report(status == QProcess::NormalExit && code == 0);
                     process->deleteLater();
                   });
  QObject::connect(process, &QProcess::errorOccurred, process,
                   [process, report](QProcess::ProcessError error) {
                     if (error != QProcess::FailedToStart) return;
                     report(false);
                     process->deleteLater();
                   });
  QTimer::singleShot(kStillRunningMs, process, [report] { report(true); });
  process->start();
}

}  // namespace

void openUrlWithDesktop(const QUrl& url, QObject* context, OpenDone done) {
  // Reports once, and only while the one who asked is still there.
  auto reported = std::make_shared<bool>(false);
  const QPointer<QObject> guard(context);
  OpenDone report = [reported, guard, done = std::move(done)](bool opened) {
    if (*reported) return;
    *reported = true;
    if (guard && done) done(opened);
  };
  if (!url.isValid()) {
    report(false);
  } else if (opener()) {
    report(opener()(url));
  } else {
    openWithXdg(url, report);
  }
}

void setUrlOpener(UrlOpener o) {
  opener() = std::move(o);
}

}  // namespace quorvel
