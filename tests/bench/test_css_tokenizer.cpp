// Stylesheets read as a browser's CSS parser reads them: the tokens of CSS Syntax Level 3, and
// the files a stylesheet or a style attribute makes a browser fetch.
#include <gtest/gtest.h>

#include "bench/css_tokenizer.h"
#include "bench/media_query.h"

namespace quorvel {
namespace {

// The tokens of a text, one word each: "kind" or "kind:value", space-separated; numbers
// with their value.
QByteArray tokens(QByteArrayView css) {
  static const char* const kNames[] = {"ident",  "fn",    "at",  "hash", "str", "badstr", "url",
                                       "badurl", "delim", "num", "pct",  "dim", "ws",     "cdo",
                                       "cdc",    ":",     ";",   ",",    "[",   "]",      "(",
                                       ")",      "{",     "}",   "end"};
  CssTokenizer tokenizer(css);
  QByteArrayList out;
  for (CssToken t = tokenizer.next(); t.type != CssTokenType::End; t = tokenizer.next()) {
    QByteArray word = kNames[int(t.type)];
    if (t.type == CssTokenType::Number || t.type == CssTokenType::Percentage ||
        t.type == CssTokenType::Dimension)
      word += ':' + QByteArray::number(t.number);
    if (!t.value.isEmpty()) word += ':' + t.value;
    out << word;
  }
  return out.join(' ');
}

TEST(CssTokenizer, TokensAsTheSyntaxDefinesThem) {
  const std::pair<QByteArray, QByteArray> cases[] = {
      {"a{color:red}", "ident:a { ident:color : ident:red }"},
      {"/* x */a/**/b/* open", "ident:a ident:b"},
      {"\"a\\\"b\" 'c\\\nd' \"e\\", "str:a\"b ws str:cd ws str:e"},
      {"\"broken\nx\"", "badstr ws ident:x str"},
      {"url(a.png) URL( \"b.png\" ) url( c d ) url(e\"f) url(g\\)h) url(  i  )",
       "url:a.png ws fn:URL ws str:b.png ws ) ws badurl ws badurl ws url:g)h ws url:i"},
      {"url(a(b) x) url('y') url(\\\n) u\\72l(z) url(",
       "badurl ws ident:x ) ws fn:url str:y ) ws badurl ws url:z ws url"},
      {"\\41 B \\000041x \\0 \\D800 \\110000 \\E9 t \\\xC3\xA9",
       "ident:AB ws ident:Ax ws ident:\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xC3\xA9t ws "
       "ident:\xC3\xA9"},
      {"12 +.5 -3e2 1e 4% 10px -1.5E+1em 5\\ x",
       "num:12 ws num:0.5 ws num:-300 ws dim:1:e ws "
       "pct:4 ws dim:10:px ws dim:-15:em ws dim:5: x"},
      {"#id #1a #-x # @media @-x @1 @",
       "hash:id ws hash:1a ws hash:-x ws delim:# ws at:media ws "
       "at:-x ws delim:@ num:1 ws delim:@"},
      {"<!-- --> -- -x --y - a.b +",
       "cdo ws cdc ws ident:-- ws ident:-x ws ident:--y ws "
       "delim:- ws ident:a delim:. ident:b ws delim:+"},
      {QByteArrayLiteral("a\r\nb\rc\fd\0e"),
       "ident:a ws ident:b ws ident:c ws ident:d\xEF\xBF\xBD"
       "e"},
      {"calc(100vw - 2em),[x]", "fn:calc dim:100:vw ws delim:- ws dim:2:em ) , [ ident:x ]"},
      {"\\\n \xC3\xA9t\xC3\xA9 \xE2\x80\x94",
       "delim:\\ ws ident:\xC3\xA9t\xC3\xA9 ws "
       "ident:\xE2\x80\x94"},
  };
  for (const auto& [css, want] : cases) EXPECT_EQ(tokens(css), want) << css.data();
}

// "kind url" per reference, "|"-separated.
QByteArray references(QByteArrayView css, CssSource source = CssSource::Stylesheet) {
  QByteArrayList out;
  for (const CssReference& r : ReadCssReferences(css, source)) {
    const char* kind = r.kind == CssReferenceKind::Stylesheet ? "css"
                       : r.kind == CssReferenceKind::Font     ? "font"
                                                              : "img";
    out << kind + QByteArray(" ") + r.url;
  }
  return out.join('|');
}

TEST(CssReferences, WhatABrowserFetchesForAStylesheet) {
  const std::pair<QByteArray, QByteArray> cases[] = {
      {"@charset \"utf-8\";@import \"a.css\";@IMPORT url(b.css) screen;@import url('c.css') "
       "layer(x);@layer base;@import 'd.css' supports(display:grid);",
       "css a.css|css b.css|css c.css|css d.css"},
      {"@import \"a.css\"; p{} @import \"late.css\";", "css a.css"},
      {"@media print{} @import \"late.css\";", ""},
      {"@import foo \"x.css\"; @import; @import url(); @import \"y.css\"", "css y.css"},
      {"body{background:url(bg.png) no-repeat, url( \"g.svg\" );cursor:url(c.cur),auto}",
       "img bg.png|img g.svg|img c.cur"},
      {"a:hover{background-image:image-set(url(a1.png) 1x, url(a2.png) 2x)}", "img a1.png"},
      {"a{b:-webkit-image-set('h.png' 2x,'l.png' 1x, url(\"m.png\") 192dpi);c:image-set(url(s.png)"
       " 0.5x)} d{e:url(x.png),image-set()}",
       "img l.png|img s.png|img x.png"},
      {"@font-face{font-family:F;src:local(F),url(f.woff2) format('woff2'),url(\"f.woff\")}",
       "font f.woff2|font f.woff"},
      {"@font-face{font-family:url(x.png);S\\72 c:url(f.ttf)}", "font f.ttf"},
      {"@media (min-width:1px){@font-face{src:url(m.woff)}.a{background:url(m.png)}}",
       "font m.woff|img m.png"},
      // A custom property's url() is fetched when a declaration takes it.
      {":root{--bg:url(used.png);--Other:url(unused.png);--no:red} a{background:var( --bg , "
       "url(fallback.png))} b{--bg2:var(--Other)} c{color:var(--no)}",
       "img fallback.png|img used.png"},
      {":root{--a:url(a.png)} @media print{b{background:var(--a)}} i{--b:url(b.png)}"
       "@media print{:root{--c:url(c.png)}} u{background:var(--c),var(--B)}",
       ""},
      // The rules of an @media the screen (1366x768, ratio 1) does not match fetch nothing.
      {"@media (max-width:640px){.h{background:url(small.png)}}"
       "@media screen and (min-width:1024px){.h{background:url(wide.png)}}",
       "img wide.png"},
      {"@media print{@font-face{src:url(p.woff)}a{b:url(p.png)}}a{b:url(after.png)}",
       "img after.png"},
      {"@media screen{@media (prefers-color-scheme:dark){a{b:url(dark.png)}}a{b:url(light.png)}}"
       "@media (min-resolution:2dppx){a{b:url(hi.png)}}@media{a{b:url(any.png)}}"
       "@media not print{a{b:url(np.png)}}@media (unknown-feature){a{b:url(u.png)}}",
       "img light.png|img any.png|img np.png"},
      {".a{@media (max-width:600px){background:url(n1.png)}"
       "@media (min-width:600px){background:url(n2.png)}}",
       "img n2.png"},
      {"url(top.png){} a[href=url(sel.png)]{} @namespace url(ns);", ""},
      {".a{color:red;.b{background:url(nested.png)}}", "img nested.png"},
      {".a{background:url(x.png) .b{color:red}}", ""},
      {"a{background:url(bad.png\"x) ;b:url()}c{d:url(\"\")}", ""},
      {"a{b:url(x.png)", "img x.png"},
      {"a{b:(;url(p.png));c:url(q.png)}", "img p.png|img q.png"},
      {"a;@import \"x.css\";{}", ""},
  };
  for (const auto& [css, want] : cases) EXPECT_EQ(references(css), want) << css.data();
}

// The same stylesheet on a phone's screen: its own @media rules and image-set() options.
TEST(CssReferences, TheScreenChoosesAmongMediaRules) {
  const QByteArray css =
      "@media (max-width:640px){.h{background:url(phone.png)}}"
      "@media (min-width:641px){.h{background:image-set(url(d1.png) 1x,url(d2.png) 2x)}}"
      "@media (min-resolution:2dppx){.l{background:url(logo@2x.png)}}";
  const std::pair<Viewport, QByteArray> cases[] = {
      {{1366, 768, 1}, "d1.png"},
      {{1366, 768, 2}, "d2.png logo@2x.png"},
      {{375, 667, 3}, "phone.png logo@2x.png"},
  };
  for (const auto& [viewport, want] : cases) {
    QByteArrayList urls;
    for (const CssReference& r : ReadCssReferences(css, CssSource::Stylesheet, viewport))
      urls << r.url;
    EXPECT_EQ(urls.join(' '), want) << viewport.width << "x" << viewport.height;
  }
}

TEST(CssReferences, StyleAttributesAreDeclarations) {
  const std::pair<QByteArray, QByteArray> cases[] = {
      {"background:url(a.png);border-image:url('b.png') 30", "img a.png|img b.png"},
      {"@import \"x.css\"; --v:url(c.png); color:red", ""},
      {"background-image:url(d.png)", "img d.png"},
  };
  for (const auto& [css, want] : cases)
    EXPECT_EQ(references(css, CssSource::StyleAttribute), want) << css.data();
}

// Hostile stylesheets cost one reading: unclosed comments, strings, url()s and brackets, and
// escapes by the million.
TEST(CssReferences, HostileStylesheetsAreReadOnce) {
  const QByteArray repeated[] = {"/*", "url(",         "url(x", "((([[", "\\",   "'", "\"\\\n",
                                 "a{", "@import url(", "}",     "--",    "<!--", "#", "1e"};
  for (const QByteArray& unit : repeated) {
    const QByteArray css = unit.repeated(400000);
    EXPECT_TRUE(ReadCssReferences(css).size() <= 400000) << unit.data();
    CssTokenizer tokenizer(css);
    qsizetype count = 0;
    while (tokenizer.next().type != CssTokenType::End) ++count;
    EXPECT_LE(count, css.size()) << unit.data();
  }
  const QByteArray many = QByteArray("a{b:url(x.png)}").repeated(100000);
  EXPECT_EQ(ReadCssReferences(many).size(), 100000);
}

}  // namespace
}  // namespace quorvel
