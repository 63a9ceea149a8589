#include "bench/debug_log.h"

#include <QFileInfo>
#include <QTime>

#include "core/app_files.h"
#include "bench/log_lines.h"

namespace quorvel {

QString DebugLog::open(const QString& path) {
  file_.close();
  const FileStatus s = openForWriting(file_, path, WriteOpen::Truncate);
  lost_ = !s.ok();
  if (lost_) {
    const QString name = QFileInfo(path).fileName();
    return QStringLiteral("%1 could not be opened for writing (%2).").arg(name, s.reason());
  }
  return {};
}

void DebugLog::timed(const QString& text) {
  line(DebugTimedLine(QTime::currentTime().toString(QStringLiteral("HH:mm:ss")), text));
}

void DebugLog::line(const QString& text) {
  raw(LogLineText(text).toUtf8());
}

void DebugLog::raw(const QByteArray& data) {
  if (!file_.isOpen()) return;
  const bool written =
      file_.write(data) == data.size() && file_.write("\r\n", 2) == 2 && file_.flush();
  if (!written) lost_ = true;
}

}  // namespace quorvel
