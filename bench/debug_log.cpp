#include "bench/debug_log.h"

#include <QTime>

#include "bench/log_lines.h"

namespace quorvel {

bool DebugLog::open(const QString& path) {
  file_.close();
  file_.setFileName(path);
  return file_.open(QIODevice::WriteOnly | QIODevice::Truncate);
}

void DebugLog::timed(const QString& text) {
  line(DebugTimedLine(QTime::currentTime().toString(QStringLiteral("HH:mm:ss")), text));
}

void DebugLog::line(const QString& text) {
  raw(LogLineText(text).toUtf8());
}

void DebugLog::raw(const QByteArray& data) {
  if (!file_.isOpen()) return;
  file_.write(data);
  file_.write("\r\n", 2);
  file_.flush();
}

}  // namespace quorvel
