#include "app/url_list_file.h"

#include <QFile>

namespace quorvel {

QStringList ReadUrlListFile(const QString& path, bool* ok) {
  QStringList urls;
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) {
    if (ok) *ok = false;
    return urls;
  }
  if (ok) *ok = true;
  while (!f.atEnd()) {
    QByteArray raw = f.readLine(64 * 1024);
    if (raw.startsWith(';')) continue;
    QString line = QString::fromUtf8(raw);
    while (!line.isEmpty() && (line.back() == QLatin1Char('\n') || line.back() == QLatin1Char('\r')))
      line.chop(1);
    // Blanks only: tabs and other white space are part of the line.
    qsizetype b = 0, e = line.size();
    while (b < e && line[b] == QLatin1Char(' ')) ++b;
    while (e > b && line[e - 1] == QLatin1Char(' ')) --e;
    if (b == e) continue;
    urls.append(line.mid(b, e - b));
  }
  return urls;
}

}  // namespace quorvel
