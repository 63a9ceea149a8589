#include "bench/page_links.h"

#include <QSet>
#include <algorithm>

#include "bench/html_scan.h"

namespace quorvel {

namespace {

// Calls `find(start)` from position 1, each time just after the previous tag, and hands the
// URL of every tag with a source to `take`.
template <typename Find, typename Take>
void forEachReference(const QString& base, Find find, Take take) {
  qsizetype start = 1;
  for (TagHit hit = find(start); !hit.tag.isEmpty(); hit = find(start)) {
    const QByteArray ref = ExtractSource(hit.tag);
    if (!ref.isEmpty()) take(ResolveReference(base, QString::fromLatin1(ref)));
    start = hit.position + hit.tag.size();
  }
}

}  // namespace

QByteArray ScanText(const QByteArray& body) {
  return StripComments(body);
}

QStringList EmbeddedResourceUrls(const QByteArray& html, const QString& base, bool getImages,
                                 bool getSounds) {
  QStringList urls;
  if (!getImages && !getSounds) return urls;
  QSet<QString> seen;
  const TagScanner scanner(html);
  forEachReference(
      base,
      [&](qsizetype start) { return scanner.findEmbeddedResource(start, getImages, getSounds); },
      [&](const QString& url) {
        if (!seen.contains(url)) {
          seen.insert(url);
          urls << url;
        }
      });
  std::sort(urls.begin(), urls.end());  // by UTF-16 code units: the character codes
  return urls;
}

QStringList FrameUrls(const QByteArray& html, const QString& base) {
  QStringList urls;
  const TagScanner scanner(html);
  forEachReference(
      base, [&](qsizetype start) { return scanner.findFrame(start); },
      [&](const QString& url) { urls << url; });
  return urls;
}

}  // namespace quorvel
