#include "page_corpus.h"

#include <QDir>
#include <QFile>
#include <algorithm>

namespace quorvel::testing {

namespace {

// How the run names a file: an http address without its "http://" when that is unambiguous.
QString runForm(const QString& url) {
  const QString rest = url.mid(7);
  return url.startsWith(QLatin1String("http://")) && !rest.contains(QLatin1String("//")) &&
                 !rest.startsWith(QLatin1String("ftp."), Qt::CaseInsensitive)
             ? rest
             : url;
}

QString withoutScheme(const QString& url) {
  return url.mid(url.indexOf(QLatin1String("://")) + 3);
}

// The files of one page in the run's order, as requested.
QStringList sortedFiles(QStringList urls) {
  for (QString& u : urls) u = runForm(u);
  std::sort(urls.begin(), urls.end());
  for (QString& u : urls) u = withoutScheme(u.contains(QLatin1String("://")) ? u : "http://" + u);
  return urls;
}

}  // namespace

QList<CorpusPage> CorpusPages(const QString& site, const QString& cdn, const QString& img) {
  const QDir folder(QStringLiteral(QUORVEL_PAGES_DIR));
  const auto fill = [&](QByteArray text) {
    return text.replace("{{site}}", site.toUtf8())
        .replace("{{cdn}}", cdn.toUtf8())
        .replace("{{img}}", img.toUtf8());
  };
  QList<CorpusPage> pages;
  for (const QString& sub : {QString(), QStringLiteral("extra/")}) {
    for (const QString& file : QDir(folder.filePath(sub)).entryList({"*.htm"}, QDir::Files)) {
      QFile f(folder.filePath(sub + file));
      if (!f.open(QIODevice::ReadOnly)) continue;
      CorpusPage page;
      const QByteArray first = fill(f.readLine()).trimmed();  // "<!-- at host/path -->"
      page.at = QString::fromUtf8(first.mid(8, first.size() - 8 - 4));
      page.body = fill(f.readAll());
      if (sub.isEmpty()) {
        page.name = file.chopped(4);
        QFile e(folder.filePath(page.name + ".expect"));
        if (e.open(QIODevice::ReadOnly))
          page.expected = QString::fromUtf8(fill(e.readAll())).split('\n', Qt::SkipEmptyParts);
      }
      pages << page;
    }
  }
  return pages;
}

QStringList ExpectedRequests(const CorpusPage& page) {
  QStringList order{page.at}, files;
  QList<QPair<QString, QStringList>> frames;
  for (const QString& line : page.expected) {
    if (line.startsWith(QLatin1String("frame ")))
      frames.append({line.mid(6), {}});
    else if (frames.isEmpty())
      files << line;
    else
      frames.last().second << line;
  }
  order << sortedFiles(files);
  for (const auto& [frame, its] : frames) order << withoutScheme(frame) << sortedFiles(its);
  return order;
}

}  // namespace quorvel::testing
