#include "bench/page_links.h"

#include <QSet>
#include <algorithm>

#include "bench/html_scan.h"

namespace quorvel {

namespace {

const QLatin1String kHttps("https://");

// A reference found on a page, joined to the page's link base: relative ones to the base, and
// on an https page absolute ones (which come without their scheme) get the page's scheme too.
QString resolveLink(const QString& base, const QString& reference) {
  if (base.startsWith(kHttps) && !reference.startsWith(QLatin1Char('/'))) return kHttps + reference;
  return ResolveReference(base, reference);
}

// Calls `find(start)` from position 1, each time just after the previous tag, and hands the
// URL of every tag with a source to `take`.
template <typename Find, typename Take>
void forEachReference(const QString& base, Find find, Take take) {
  qsizetype start = 1;
  for (TagHit hit = find(start); !hit.tag.isEmpty(); hit = find(start)) {
    const QByteArray ref = ExtractSource(hit.tag);
    if (!ref.isEmpty()) take(resolveLink(base, QString::fromLatin1(ref)));
    start = hit.position + hit.tag.size();
  }
}

}  // namespace

QByteArray ScanText(QByteArray body) {
  return StripComments(std::move(body));
}

QString LinkBase(const QString& pageUrl) {
  const QString base = PageBase(pageUrl);
  return pageUrl.startsWith(kHttps, Qt::CaseInsensitive) ? kHttps + base : base;
}

QString LinkHost(const QString& link) {
  const QString rest = link.startsWith(kHttps) ? link.mid(kHttps.size()) : link;
  return rest.left(rest.indexOf(QLatin1Char('/')));
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
