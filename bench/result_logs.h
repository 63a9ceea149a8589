// The result logs of a run in the application folder: the main log "QuorvelLog.txt", the
// summary log "QVSum.log" and, in unattended runs, the URL log "QVURL.log".
//
// They are opened once per run, stay open for the run and are closed at its end. A log that
// has grown beyond kRotateAbove bytes is copied to its ".bak" name and started empty when a
// run opens it. The copy goes to a temporary file first and is renamed over the ".bak" file
// only when complete, and the log is emptied only after that: when the copy cannot be made
// (disk full, read-only folder) the log keeps its contents and new lines are added to it.
// A log (or ".bak" file) that is a symbolic link, a FIFO or anything but a regular file is
// neither opened nor written through: it is reported and the run goes on without it.
#pragma once

#include <QDateTime>
#include <QFile>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>

#include "bench/run_totals.h"

namespace quorvel {

class ResultLogs {
 public:
  static constexpr qint64 kRotateAbove = 500000;

  // folder: the application folder; now: the clock for the dates of the lines.
  ResultLogs(QString folder, std::function<QDateTime()> now);
  ~ResultLogs();
  ResultLogs(const ResultLogs&) = delete;
  ResultLogs& operator=(const ResultLogs&) = delete;

  // Opens (and rotates) the logs. Returns one sentence for each log that could not be
  // rotated or opened; empty when all went well. A log that cannot be opened is skipped.
  QStringList open(bool autoMode);

  void fileLine(const QString& url, std::int64_t bytes, std::int64_t micros, int error);
  // The block after one URL list entry: the URL log line names the host; the main log's
  // header names the host of a listed entry and the full URL of a frame entry.
  void urlSummary(const QString& host, const QString& url, const UrlTotals& totals, bool isFrame);
  // The summary line; in unattended runs also the run-summary block of the main log.
  void runSummary(const RunTotals& totals);
  // One sentence for each log that lost lines since it was opened (a full disk, an I/O error).
  // Writes what waits first.
  QStringList writeProblems();
  void close();

 private:
  // A log and the lines that wait to be written to it. Lines are written at most every
  // kWriteInterval (and when much is waiting, and at the end), so a run of small pages does not
  // spend its time in writes; a problem is noticed when the lines are written.
  struct Log {
    QFile file;
    QByteArray waiting;
  };
  static constexpr std::int64_t kWriteIntervalMicros = 100'000;
  static constexpr qsizetype kWriteAtBytes = 64 * 1024;

  QString openOne(QFile& file, const QString& name);
  void write(Log& log, const QStringList& lines);
  void flush(Log& log);
  void flushAll();

  QString folder_;
  std::function<QDateTime()> now_;
  bool autoMode_ = false;
  Log main_, summary_, urls_;
  std::int64_t lastFlush_ = 0;
  QStringList failedWrites_;  // names of the logs that lost lines, each once
};

}  // namespace quorvel
