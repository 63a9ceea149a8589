// Fuzz target: reading stylesheets (css_tokenizer.h) and the files they make a browser fetch,
// the media queries, sizes and srcset of images (media_query.h, image_source.h), and a page's
// requisites (page_requisites.h); the same bytes as a JavaScript module (module_imports.h).
//
// Properties, for any stylesheet or style attribute:
// - the tokens come in order, each starting after the one before it and inside the
//   preprocessed text (at most 3 bytes per input byte), at most one per byte, then End for ever;
// - names, strings and addresses are never longer than the text they come from;
// - every reference is non-empty, at most one per url token, url( function or string;
// - a source size is not negative; srcset candidates are non-empty addresses without blanks,
//   the chosen one among them;
// - a page's requisites are printable http(s) addresses, each once;
// - a module's imports are each named once, none longer than the module.
#include <fuzzer/FuzzedDataProvider.h>

#include <QSet>

#include "bench/css_tokenizer.h"
#include "bench/image_source.h"
#include "bench/module_imports.h"
#include "bench/page_requisites.h"
#include "fuzz_check.h"

namespace {

using namespace quorvel;

QString showBytes(const QByteArray& b) {
  return fuzz::show(QString::fromLatin1(b.left(300)));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider fdp(data, size);
  const CssSource source = fdp.ConsumeBool() ? CssSource::StyleAttribute : CssSource::Stylesheet;
  const std::string rest = fdp.ConsumeRemainingBytesAsString();
  const QByteArray css(rest.data(), qsizetype(rest.size()));
  const qsizetype limit = 3 * css.size();

  CssTokenizer tokenizer(css);
  qsizetype last = -1, count = 0, candidates = 0;
  for (CssToken t = tokenizer.next(); t.type != CssTokenType::End; t = tokenizer.next()) {
    const QString d =
        QStringLiteral("token %1 at %2 of %3").arg(int(t.type)).arg(t.position).arg(showBytes(css));
    FUZZ_CHECK(t.position > last && t.position < limit, d);
    FUZZ_CHECK(++count <= css.size(), d);
    FUZZ_CHECK(t.value.size() <= limit, d);
    if (t.type == CssTokenType::Url || t.type == CssTokenType::String ||
        t.type == CssTokenType::Function)
      ++candidates;
    last = t.position;
  }
  FUZZ_CHECK(tokenizer.next().type == CssTokenType::End, showBytes(css));

  const QList<CssReference> refs = ReadCssReferences(css, source);
  FUZZ_CHECK(refs.size() <= candidates, showBytes(css));
  for (const CssReference& r : refs) FUZZ_CHECK(!r.url.isEmpty(), showBytes(css));

  const Viewport viewport{1366, 768, 2};
  MediaMatches(css, viewport);
  FUZZ_CHECK(SourceSize(css, viewport) >= 0, showBytes(css));
  const QList<SrcsetCandidate> set = ParseSrcset(css);
  QSet<QByteArray> urls;
  for (const SrcsetCandidate& c : set) {
    FUZZ_CHECK(!c.url.isEmpty() && !c.url.contains(' ') && !c.url.contains('\n'), showBytes(css));
    urls.insert(c.url);
  }
  const std::optional<QByteArray> chosen = ChooseImageSource({{}, css, css}, {}, viewport);
  FUZZ_CHECK(chosen.has_value() == !set.isEmpty() && (!chosen || urls.contains(*chosen)),
             showBytes(css));

  static const WebUrl page = *ParsePageUrl(QStringLiteral("https://fuzz.example/a/b.html"));
  QSet<QByteArray> files;
  for (const Requisite& r : ReadPageRequisites(css, page, viewport).files) {
    FUZZ_CHECK(r.url.startsWith("http") && !files.contains(r.url), showBytes(css));
    for (const char c : r.url) FUZZ_CHECK(c > 0x20 && c < 0x7F, showBytes(css));
    files.insert(r.url);
  }
  const QList<QByteArray> imports = ReadModuleImports(css);
  const QSet<QByteArray> distinct(imports.begin(), imports.end());
  FUZZ_CHECK(distinct.size() == imports.size(),
             QStringLiteral("imports twice in ") + showBytes(css));
  for (const QByteArray& specifier : imports)
    FUZZ_CHECK(specifier.size() <= css.size(),
               QStringLiteral("import %1 of %2").arg(showBytes(specifier), showBytes(css)));
  return 0;
}
