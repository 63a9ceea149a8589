// Fuzz target: reading stylesheets (css_tokenizer.h) and the files they make a browser fetch.
//
// Properties, for any stylesheet or style attribute:
// - the tokens come in order, each starting after the one before it and inside the
//   preprocessed text (at most 3 bytes per input byte), at most one per byte, then End for ever;
// - names, strings and addresses are never longer than the text they come from;
// - every reference is non-empty, at most one per url token, url( function or string.
#include <fuzzer/FuzzedDataProvider.h>

#include "bench/css_tokenizer.h"
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
  return 0;
}
