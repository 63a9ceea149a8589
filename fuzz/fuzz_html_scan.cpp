// Fuzz target: the page scans (comments, frames, embedded resources, source references) and
// the joining of a page's base with what it references.
//
// Properties, for any page:
// - the fast scans give exactly what a direct, slow transcription of the rules gives
//   (html_scan_oracle.h): the text without comments, every hit of a run's
//   finder loop with the scanner and with the free functions, and every source reference;
// - every hit lies inside the text, at or after its start, and is a tag that begins with "<",
//   ends with ">" and stands at that position in the text;
// - a source reference is empty or has no query, no apostrophe and no "//";
// - a page base is what its URL holds after "//", up to its last "/"; a reference that begins
//   with "/" is joined to the base, any other is taken as it stands.
#include <fuzzer/FuzzedDataProvider.h>

#include "bench/html_scan.h"
#include "fuzz_check.h"
#include "html_scan_oracle.h"

namespace {

using namespace quorvel;
namespace ref = oracle;

QString showBytes(const QByteArray& b) {
  return fuzz::show(QString::fromLatin1(b));
}

std::string str(const QByteArray& b) {
  return std::string(b.constData(), size_t(b.size()));
}

void checkHit(const QByteArray& text, qsizetype start, const TagHit& hit, const ref::Hit& want,
              const char* what) {
  const QString d = QStringLiteral("%1 from %2 in %3: got %4 at %5, rules say %6 at %7")
                        .arg(QLatin1String(what))
                        .arg(start)
                        .arg(showBytes(text.left(300)))
                        .arg(showBytes(hit.tag))
                        .arg(hit.position)
                        .arg(fuzz::show(QString::fromStdString(want.tag)))
                        .arg(want.position);
  FUZZ_CHECK(hit.position == want.position && str(hit.tag) == want.tag, d);
  if (hit.position == 0) {
    FUZZ_CHECK(hit.tag.isEmpty(), d);
    return;
  }
  FUZZ_CHECK(hit.position >= std::max<qsizetype>(start, 1) && hit.position <= text.size(), d);
  FUZZ_CHECK(hit.tag.startsWith('<') && hit.tag.endsWith('>'), d);
  FUZZ_CHECK(text.mid(hit.position - 1, hit.tag.size()) == hit.tag, d);
}

void checkSource(const QByteArray& tag) {
  const QByteArray source = ExtractSource(tag);
  const QString d = QStringLiteral("%1 gave %2").arg(showBytes(tag), showBytes(source));
  FUZZ_CHECK(str(source) == ref::ExtractSource(str(tag)), d);
  if (source.isEmpty()) return;
  FUZZ_CHECK(!source.contains('?') && !source.contains('\'') && !source.contains("//"), d);
}

// The run's loop: each finder from position 1, then just after each tag it returned.
template <typename Fast, typename Slow>
void finderLoop(const QByteArray& text, Fast fast, Slow slow, const char* what) {
  qsizetype start = 1;
  for (int guard = 0; guard <= text.size() + 1; ++guard) {
    const TagHit hit = fast(start);
    checkHit(text, start, hit, slow(start), what);
    if (hit.tag.isEmpty()) return;
    checkSource(hit.tag);
    const qsizetype next = hit.position + hit.tag.size();
    FUZZ_CHECK(next > start, QStringLiteral("the loop does not advance"));
    start = next;
  }
  FUZZ_CHECK(false, QStringLiteral("more hits than characters"));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider fdp(data, size);
  const bool getImages = fdp.ConsumeBool();
  const bool getSounds = fdp.ConsumeBool();
  const qsizetype oddStart = fdp.ConsumeIntegralInRange<qsizetype>(-2, 300);
  const std::string url = fdp.ConsumeRandomLengthString(120);
  const std::string page = fdp.ConsumeRemainingBytesAsString();
  const QByteArray raw(page.data(), qsizetype(page.size()));

  const QByteArray text = StripComments(raw);
  FUZZ_CHECK(str(text) == ref::StripComments(page),
             QStringLiteral("comments of %1: got %2")
                 .arg(showBytes(raw.left(300)), showBytes(text.left(300))));

  const TagScanner scanner(text);
  finderLoop(
      text, [&](qsizetype s) { return scanner.findFrame(s); },
      [&](qsizetype s) { return ref::FindFrame(long(s), str(text)); }, "frame (scanner)");
  finderLoop(
      text, [&](qsizetype s) { return scanner.findEmbeddedResource(s, getImages, getSounds); },
      [&](qsizetype s) {
        return ref::FindEmbeddedResource(long(s), str(text), getImages, getSounds);
      },
      "embedded (scanner)");
  // The free functions, and the scanner asked out of order, from any start.
  checkHit(text, oddStart, FindFrame(oddStart, text), ref::FindFrame(long(oddStart), str(text)),
           "frame");
  checkHit(text, oddStart, FindEmbeddedResource(oddStart, text, getImages, getSounds),
           ref::FindEmbeddedResource(long(oddStart), str(text), getImages, getSounds), "embedded");
  checkHit(text, oddStart, scanner.findEmbeddedResource(oddStart, getImages, getSounds),
           ref::FindEmbeddedResource(long(oddStart), str(text), getImages, getSounds),
           "embedded (scanner, out of order)");
  // Any text as a tag.
  checkSource(raw.left(400));

  // Base and references.
  const QString pageUrl = QString::fromLatin1(url.data(), qsizetype(url.size()));
  const QString base = PageBase(pageUrl);
  const qsizetype slashes = pageUrl.indexOf(QLatin1String("//"));
  const QString rest = slashes >= 0 ? pageUrl.mid(slashes + 2) : pageUrl;
  const QString bd = QStringLiteral("%1 has base %2").arg(fuzz::show(pageUrl), fuzz::show(base));
  FUZZ_CHECK(rest.startsWith(base), bd);
  if (base.size() < rest.size())
    FUZZ_CHECK(rest[base.size()] == u'/' && !rest.mid(base.size() + 1).contains(u'/'), bd);
  else
    FUZZ_CHECK(!rest.contains(u'/'), bd);
  const QString reference = QString::fromLatin1(ExtractSource(raw.left(400)));
  const QString joined = ResolveReference(base, reference);
  FUZZ_CHECK(joined == (reference.startsWith(u'/') ? base + reference : reference),
             bd + QStringLiteral(", joined with %1 gives %2")
                      .arg(fuzz::show(reference), fuzz::show(joined)));
  return 0;
}
