#include "bench/result_logs.h"

#include <QFileInfo>
#include <QSaveFile>

#include "app/tick.h"

#include "bench/log_lines.h"

namespace quorvel {

namespace {

// Copies `path` to `target` through a temporary file that replaces `target` only when the
// whole copy has been written.
bool copyThroughTemporary(const QString& path, const QString& target) {
  QFile in(path);
  if (!in.open(QIODevice::ReadOnly)) return false;
  QSaveFile out(target);
  if (!out.open(QIODevice::WriteOnly)) return false;
  QByteArray chunk;
  while (!(chunk = in.read(64 * 1024)).isEmpty()) {
    if (out.write(chunk) != chunk.size()) {
      out.cancelWriting();
      return false;
    }
  }
  // flush() before commit(): commit() does not notice when writing the last buffered piece
  // fails (a full disk), and would put a cut-off copy in place and let the log be emptied.
  if (in.error() != QFileDevice::NoError || !out.flush()) {
    out.cancelWriting();
    return false;
  }
  return out.commit();
}

}  // namespace

ResultLogs::ResultLogs(QString folder, std::function<QDateTime()> now)
    : folder_(std::move(folder)), now_(std::move(now)) {}

ResultLogs::~ResultLogs() {
  close();
}

QString ResultLogs::openOne(QFile& file, const QString& name) {
  const QString path = folder_ + QLatin1Char('/') + name;
  file.setFileName(path);
  const QFileInfo info(path);
  QIODevice::OpenMode mode = QIODevice::WriteOnly | QIODevice::Append;
  QString problem;
  if (info.exists() && info.size() > kRotateAbove) {
    const QString bak = ReplaceExtension(name, QStringLiteral("bak"));
    if (copyThroughTemporary(path, folder_ + QLatin1Char('/') + bak))
      mode = QIODevice::WriteOnly | QIODevice::Truncate;
    else
      problem = QStringLiteral("%1 could not be copied to %2; new results are added to %1.")
                    .arg(name, bak);
  }
  if (!file.open(mode)) {
    if (!problem.isEmpty()) problem += QLatin1Char(' ');
    problem += QStringLiteral("%1 could not be opened for writing.").arg(name);
  }
  return problem;
}

QStringList ResultLogs::open(bool autoMode) {
  close();
  autoMode_ = autoMode;
  failedWrites_.clear();
  QStringList problems;
  for (QString p : {openOne(main_.file, QStringLiteral("QuorvelLog.txt")),
                    openOne(summary_.file, QStringLiteral("QVSum.log")),
                    autoMode ? openOne(urls_.file, QStringLiteral("QVURL.log")) : QString()})
    if (!p.isEmpty()) problems << p;
  return problems;
}

void ResultLogs::write(Log& log, const QStringList& lines) {
  if (!log.file.isOpen()) return;
  for (const QString& line : lines) {
    log.waiting += LogLineText(line).toUtf8();
    log.waiting += "\r\n";
  }
  if (log.waiting.size() >= kWriteAtBytes) flush(log);
  if (monotonicMicros() - lastFlush_ >= kWriteIntervalMicros) flushAll();
}

void ResultLogs::flush(Log& log) {
  if (log.waiting.isEmpty()) return;
  const bool written = log.file.write(log.waiting) == log.waiting.size() && log.file.flush();
  log.waiting.clear();
  const QString name = QFileInfo(log.file.fileName()).fileName();
  if (!written && !failedWrites_.contains(name)) failedWrites_ << name;
}

void ResultLogs::flushAll() {
  flush(main_);
  flush(summary_);
  flush(urls_);
  lastFlush_ = monotonicMicros();
}

QStringList ResultLogs::writeProblems() {
  flushAll();
  QStringList problems;
  for (const QString& name : failedWrites_)
    problems
        << QStringLiteral("Some lines could not be written to %1 (is the disk full?).").arg(name);
  return problems;
}

void ResultLogs::fileLine(const QString& url, std::int64_t bytes, std::int64_t micros, int error) {
  write(main_, FileLogLines(ReportDate(now_()), url, bytes, micros, error));
}

void ResultLogs::urlSummary(const QString& host, const QString& url, const UrlTotals& totals,
                            bool isFrame) {
  const QString date = ReportDate(now_());
  if (autoMode_) write(urls_, {UrlLogLine(date, totals, host)});
  write(main_, UrlSummaryLines(date, isFrame ? url : host, totals, isFrame));
}

void ResultLogs::runSummary(const RunTotals& totals) {
  const QString date = ReportDate(now_());
  write(summary_, {SummaryLine(date, totals)});
  if (autoMode_) write(main_, RunSummaryLines(date, totals));
}

void ResultLogs::close() {
  flushAll();
  main_.file.close();
  summary_.file.close();
  urls_.file.close();
}

}  // namespace quorvel
