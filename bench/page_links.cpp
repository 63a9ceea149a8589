#include "bench/page_links.h"

#include <QSet>
#include <algorithm>

#include "bench/html_tokenizer.h"

namespace quorvel {

WebUrl DocumentBase(const QByteArray& html, const WebUrl& page) {
  HtmlTagReader reader(html, {QByteArrayLiteral("base")}, {QByteArrayLiteral("href")});
  for (HtmlStartTag tag; reader.next(tag);) {
    if (const std::optional<QByteArray> href = tag.value(0))
      return ResolveWebUrl(*href, page).value_or(page);
  }
  return page;
}

PageLinks ReadPageLinks(const QByteArray& html, const QString& pageUrl, LinkKinds kinds) {
  PageLinks links;
  const std::optional<WebUrl> page = ParsePageUrl(pageUrl);
  if (!page || (!kinds.images && !kinds.sounds && !kinds.frames)) return links;
  const WebUrl base = DocumentBase(html, *page);
  enum Kind { Image, Embed, Sound, Frame };
  HtmlTagReader reader(html,
                       {QByteArrayLiteral("img"), QByteArrayLiteral("embed"),
                        QByteArrayLiteral("bgsound"), QByteArrayLiteral("frame")},
                       {QByteArrayLiteral("src")});
  QSet<QString> seen;
  for (HtmlStartTag tag; reader.next(tag);) {
    const bool wanted = tag.kind == Image   ? kinds.images
                        : tag.kind == Frame ? kinds.frames
                                            : kinds.sounds;
    if (!wanted) continue;
    const std::optional<QByteArray> src = tag.value(0);
    if (!src) continue;
    const std::optional<WebUrl> url = ResolveWebUrl(*src, base);
    if (!url) continue;
    const QString text = LinkText(*url);
    if (tag.kind == Frame) {
      links.frames << text;
    } else if (!seen.contains(text)) {
      seen.insert(text);
      links.resources << text;
    }
  }
  std::sort(links.resources.begin(), links.resources.end());  // by UTF-16 code units
  return links;
}

QString LinkHost(const QString& link) {
  QString rest = link;
  for (const QLatin1String scheme : {QLatin1String("https://"), QLatin1String("http://")})
    if (link.startsWith(scheme)) rest = link.mid(scheme.size());
  return rest.left(rest.indexOf(QLatin1Char('/')));
}

}  // namespace quorvel
