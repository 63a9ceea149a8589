#include "bench/result_logs.h"

#include <unistd.h>
#include <cerrno>

#include "core/app_files.h"
#include "core/tick.h"
#include "bench/log_lines.h"

namespace quorvel {

namespace {

// Copies the open log (read through its own descriptor, so that it is the very file that is
// then emptied) to `target` through a temporary file that replaces `target` only when the whole
// copy has been written. A link or anything but a regular file at `target` is not replaced.
FileStatus copyThroughTemporary(QFile& log, const QString& target) {
  ReplacingFile out(target);
  const FileStatus opened = out.open();
  if (!opened.ok()) return opened;
  QByteArray chunk(64 * 1024, Qt::Uninitialized);
  for (off_t at = 0;;) {
    const ssize_t n = ::pread(log.handle(), chunk.data(), size_t(chunk.size()), at);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return FileStatus{FileTrouble::Error, errno};
    if (n == 0) break;
    if (!out.write(chunk.constData(), n)) break;
    at += n;
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
  const FileStatus opened = openForWriting(file, path, WriteOpen::ReadAndAppend);
  if (!opened.ok())
    return QStringLiteral("%1 could not be opened for writing (%2).").arg(name, opened.reason());
  if (file.size() <= kRotateAbove) return {};
  const QString bak = ReplaceExtension(name, QStringLiteral("bak"));
  const FileStatus copied = copyThroughTemporary(file, folder_ + QLatin1Char('/') + bak);
  if (copied.ok() && file.resize(0)) return {};
  return QStringLiteral("%1 could not be copied to %2 (%3); new results are added to %1.")
      .arg(name, bak, copied.ok() ? file.errorString() : copied.reason());
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
  const QString name = &log == &main_      ? QStringLiteral("QuorvelLog.txt")
                       : &log == &summary_ ? QStringLiteral("QVSum.log")
                                           : QStringLiteral("QVURL.log");
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
