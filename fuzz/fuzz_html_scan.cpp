// Fuzz target: reading a page's tags (html_tokenizer.h) and resolving what they reference
// (web_url.h, page_links.h). parse5, a conformant HTML parser, checks the same reading on the
// corpus of this target (tests/bench/test_page_links_differential.cpp).
//
// Properties, for any page and any reference:
// - every tag found (SVG's <image> too) is at a "<" of the page that its name follows, found in
//   page order, once;
//   every value is a part of the page; the reading ends;
// - a resolved address is printable ASCII, http or https, without fragment, its path without
//   "." or ".." segments;
//   resolving it again gives itself;
// - the run's links are resolved addresses, each resource once, in sorted order.
#include <fuzzer/FuzzedDataProvider.h>

#include <QSet>

#include "bench/html_tokenizer.h"
#include "bench/page_links.h"
#include "bench/web_url.h"
#include "fuzz_check.h"

namespace {

using namespace quorvel;

QString showBytes(QByteArrayView b) {
  return fuzz::show(QString::fromLatin1(b.first(std::min<qsizetype>(300, b.size()))));
}

void checkTags(const QByteArray& page) {
  const QList<QByteArray> names{"img", "frame", "base", "a"};
  HtmlTagReader reader(page, names, {"src", "href"}, {"image"});
  qsizetype last = -1;
  int guard = 0;
  for (HtmlStartTag tag; reader.next(tag);) {
    const QString d =
        QStringLiteral("tag %1 at %2 of %3").arg(tag.kind).arg(tag.position).arg(showBytes(page));
    FUZZ_CHECK(++guard <= page.size(), d);
    FUZZ_CHECK(tag.position > last && tag.position < page.size() && page[tag.position] == '<', d);
    // An <image> inside <svg> is reported after the reader's own names.
    const QByteArray name = tag.kind == names.size() ? QByteArray("image") : names.value(tag.kind);
    const QByteArray written = page.mid(tag.position + 1, name.size()).toLower();
    FUZZ_CHECK(
        written == name || (name == "img" && page.mid(tag.position + 1, 5).toLower() == "image"),
        d);
    for (const std::optional<QByteArrayView>& v : tag.raw) {
      if (!v) continue;
      FUZZ_CHECK(v->data() >= page.constData() + tag.position &&
                     v->data() + v->size() <= page.constData() + page.size(),
                 d);
    }
    last = tag.position;
  }
}

void checkUrl(const WebUrl& url, const WebUrl& base, const QString& d) {
  const QByteArray text = url.text();
  for (const char c : text)
    FUZZ_CHECK(c > 0x20 && c < 0x7F, d + QStringLiteral(" gave ") + showBytes(text));
  FUZZ_CHECK(url.scheme == "http" || url.scheme == "https", d);
  const QByteArray path = url.path + '/';
  FUZZ_CHECK(!text.contains('#') && url.path.startsWith('/') && !path.contains("/./") &&
                 !path.contains("/../"),
             d + QStringLiteral(" gave ") + showBytes(text));
  const std::optional<WebUrl> again = ResolveWebUrl(text, base);
  FUZZ_CHECK(again && again->text() == text,
             d + QStringLiteral(": %1 again gave %2")
                     .arg(showBytes(text), again ? showBytes(again->text()) : QString("none")));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider fdp(data, size);
  const LinkKinds kinds{fdp.ConsumeBool(), fdp.ConsumeBool(), fdp.ConsumeBool()};
  const std::string pageUrl = fdp.ConsumeRandomLengthString(120);
  const std::string reference = fdp.ConsumeRandomLengthString(200);
  const std::string rest = fdp.ConsumeRemainingBytesAsString();
  const QByteArray page(rest.data(), qsizetype(rest.size()));

  checkTags(page);
  DecodeAttributeValue(page.left(400));

  const QString url = QString::fromUtf8(pageUrl.data(), qsizetype(pageUrl.size()));
  const std::optional<WebUrl> base = ParsePageUrl(url);
  if (!base) return 0;
  const QString d =
      QStringLiteral("%1 on %2")
          .arg(showBytes(QByteArrayView(reference.data(), qsizetype(reference.size()))),
               fuzz::show(url));
  checkUrl(*base, *base, fuzz::show(url));
  if (const std::optional<WebUrl> r =
          ResolveWebUrl(QByteArrayView(reference.data(), qsizetype(reference.size())), *base))
    checkUrl(*r, *base, d);

  const PageLinks links = ReadPageLinks(page, url, kinds);
  QStringList sorted = links.resources;
  std::sort(sorted.begin(), sorted.end());
  FUZZ_CHECK(sorted == links.resources &&
                 QSet<QString>(sorted.begin(), sorted.end()).size() == sorted.size(),
             showBytes(page));
  for (const QString& l : links.resources + links.frames) {
    const QString full = l.contains(QLatin1String("://")) ? l : QStringLiteral("http://") + l;
    FUZZ_CHECK(ParsePageUrl(full) && QString::fromLatin1(ParsePageUrl(full)->text()) == full,
               fuzz::show(l));
  }
  return 0;
}
