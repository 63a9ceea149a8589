// quorvel ftp: the FTP window's download test, without the window.
#include <QDateTime>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>

#include "core/app_state.h"
#include "core/exit_codes.h"
#include "core/instance_lock.h"
#include "core/limit_setting.h"
#include "core/number_format.h"
#include "core/tick.h"
#include "bench/internet.h"
#include "cli/bench_report.h"
#include "cli/commands.h"
#include "cli/interrupt.h"
#include "cli/report_forms.h"
#include "tools/ftp_curl.h"
#include "tools/ftp_download.h"
#include "tools/ftp_parms.h"

namespace quorvel::cli {

namespace {

// Where the window downloads to, and so the command too.
const QString kTempFile = QStringLiteral("Quorvel.tmp");

// The error of a failed test in one sentence, for standard error.
QString failureSentence(const FtpTestResult& r) {
  QString why = FtpErrorText(r.error).trimmed();
  if (why.endsWith(QLatin1Char('.'))) why.chop(1);
  return QStringLiteral("%1 failed: FTP error %2 (%3).")
      .arg(r.connected ? QStringLiteral("The transfer") : QStringLiteral("The connection"))
      .arg(r.error)
      .arg(why);
}

double kbps(const FtpTestResult& r) {
  return r.bytes > 0 && r.micros > 0
             ? dec1(static_cast<double>(r.bytes) * 8.0 / microsToMs(r.micros))
             : 0.0;
}

QJsonObject ftpJson(const QString& entry, const FtpTestResult& r, qint64 startedMs,
                    qint64 finishedMs) {
  QJsonObject doc = JsonHead(QStringLiteral("ftp"));
  const QStringList lines = r.text.split(QLatin1Char('\n'));
  doc.insert("entry", entry);
  doc.insert("server", r.server);
  doc.insert("file", r.remoteFile);
  doc.insert("started", IsoTime(startedMs));
  doc.insert("finished", IsoTime(finishedMs));
  doc.insert("success", r.success);
  doc.insert("connected", r.connected);
  doc.insert("bytes", static_cast<double>(r.bytes));
  doc.insert("microseconds", static_cast<double>(r.micros));
  doc.insert("seconds", static_cast<double>(r.micros) / 1e6);
  doc.insert("kbps", kbps(r));
  doc.insert("error", r.error);
  doc.insert("error_text",
             r.error == 0 ? QJsonValue() : QJsonValue(FtpErrorText(r.error).trimmed()));
  if (r.success)
    doc.insert("shown", QJsonObject{{"bytes_line", FtpBytesLine(r.bytes, r.micros)},
                                    {"throughput", FtpThroughputText(r.bytes, r.micros)}});
  doc.insert("lines", QJsonArray::fromStringList(lines));
  return doc;
}

}  // namespace

int RunFtp(const ParsedArgs& args, Console& console) {
  if (args.positional.size() != 1) {
    console.error(QStringLiteral("Give one remote file, as HOST[:PORT]/PATH."));
    return kExitCannotStart;
  }
  const QString entry = args.positional.front();
  QString server, remoteFile;
  GetFTPParms(entry, server, remoteFile);
  if (server.isEmpty()) {
    console.error(
        QStringLiteral("Give the remote file as HOST[:PORT]/PATH, not \"%1\".").arg(entry));
    return kExitCannotStart;
  }

  AppState& state = appState();
  InstanceLock lock;
  if (!lock.acquire(state.appFolder)) {
    console.error(QStringLiteral("Quorvel is already running!"));
    return kExitAlreadyRunning;
  }

  FtpTimeouts limits;
  limits.transferLimit = TransferLimitSetting(state.settingsPath);
  CurlFtpClient client(limits);
  // The window's transfer cannot be cancelled; on a terminal Ctrl-C abandons it.
  client.setEventPump([] { return !InterruptCancels::poll(); });
  const QString localFile = state.filePath(kTempFile);
  const qint64 startedMs = QDateTime::currentMSecsSinceEpoch();
  const FtpTestResult result = RunFTPTest(client, entry, localFile, [&](const QString& text) {
    console.progress(text.section(QLatin1Char('\n'), -1));
  });
  const qint64 finishedMs = QDateTime::currentMSecsSinceEpoch();
  client.Close();
  // As the window does when it closes.
  QFile::remove(localFile);
  console.endProgress();

  if (args.has(QStringLiteral("json")))
    console.printRaw(QJsonDocument(ftpJson(entry, result, startedMs, finishedMs))
                         .toJson(QJsonDocument::Indented));
  else
    console.print(result.text);

  if (InterruptCancels::poll()) return kExitCancelled;
  if (!result.success) {
    console.error(failureSentence(result));
    return kExitMeasureFailed;
  }
  return kExitOk;
}

}  // namespace quorvel::cli
