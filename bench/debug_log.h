// The diagnostic log "Debug.log" of a run with a debug flag: created anew for every such run.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

namespace quorvel {

class DebugLog {
 public:
  // Creates (or empties) the file. Returns the sentence that says why it cannot be written
  // (a link, not a regular file, a read-only folder...), and the log stays closed; empty
  // when it is open.
  QString open(const QString& path);
  bool isOpen() const { return file_.isOpen(); }
  // A line could not be written since the log was opened (or it could not be opened).
  bool linesLost() const { return lost_; }

  // A line stamped with the time of day.
  void timed(const QString& text);
  // A line of text alone (control characters in it percent-encoded, as in every log line).
  void line(const QString& text);
  // Data as received (a page's HTML, line ends and all), followed by a line ending.
  void raw(const QByteArray& data);

  void close() { file_.close(); }

 private:
  QFile file_;
  bool lost_ = false;
};

}  // namespace quorvel
