#include "core/url_list_file.h"

#include <QFile>

#include "core/app_files.h"
#include "core/line_reader.h"
#include "core/number_format.h"
#include "core/text_util.h"

namespace quorvel {

namespace {

QString grouped(qsizetype n) {
  return formatMask(static_cast<double>(n), "#,##0");
}

// The line without its leading and trailing blanks; tabs and other white space are part of it.
QByteArrayView withoutBlanks(QByteArrayView line) {
  qsizetype b = 0, e = line.size();
  while (b < e && line[b] == ' ') ++b;
  while (e > b && line[e - 1] == ' ') --e;
  return line.sliced(b, e - b);
}

}  // namespace

UrlListFile ReadUrlListFile(const QString& path, qsizetype maxUrls) {
  UrlListFile list;
  QFile f;
  const FileStatus s = openForReading(f, path);
  if (s.trouble == FileTrouble::Missing) {
    list.problem = QStringLiteral("Could not locate URLS.DAT file!");
    return list;
  }
  if (!s.ok()) {
    list.problem = QStringLiteral("Could not read URLS.DAT file (%1)!").arg(s.reason());
    return list;
  }
  LineReader reader(f, kMaxUrlLine);
  QByteArrayView line;
  qsizetype lineNumber = 0, count = 0, text = 0;
  while (reader.next(&line)) {
    ++lineNumber;
    if (line.startsWith(';')) continue;
    const QByteArrayView url = withoutBlanks(line);
    if (url.isEmpty()) continue;
    if (reader.lastLineCut()) {
      list.problem = QStringLiteral("Line %1 of URLS.DAT is longer than %2 characters!")
                         .arg(grouped(lineNumber), grouped(kMaxUrlLine));
      list.urls.clear();
      return list;
    }
    // Past the limit the URLs are only counted, so that the message can say how many.
    ++count;
    text += url.size();
    if (count <= maxUrls && text <= kMaxUrlListText) list.urls.append(FromUtf8KeepingBytes(url));
  }
  if (f.error() != QFileDevice::NoError) {
    list.problem = QStringLiteral("Could not read URLS.DAT file (%1)!").arg(f.errorString());
  } else if (count > maxUrls) {
    list.problem = QStringLiteral("URLS.DAT lists %1 URLs; a run takes at most %2.")
                       .arg(grouped(count), grouped(maxUrls));
  } else if (text > kMaxUrlListText) {
    list.problem = QStringLiteral("The URLs of URLS.DAT take more than %1 characters!")
                       .arg(grouped(kMaxUrlListText));
  }
  if (!list.problem.isEmpty()) list.urls.clear();
  return list;
}

}  // namespace quorvel
