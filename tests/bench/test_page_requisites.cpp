// What a browser fetches with a page: each kind of requisite, the choices among candidates,
// what it defers or ignores, and each file once.
#include <gtest/gtest.h>

#include "bench/page_requisites.h"

namespace quorvel {
namespace {

const WebUrl kPage = *ParsePageUrl("https://site.example/dir/page.html");

// "kind:destination path" per file (the page's server left out), "|"-separated; the
// favicon a page without icons gets is left out unless asked for.
QByteArray files(const QByteArray& html, const Viewport& viewport = {}, bool favicon = false) {
  QByteArrayList out;
  for (const Requisite& r : ReadPageRequisites(html, kPage, viewport).files) {
    if (!favicon && r.kind == RequisiteKind::Icon && r.url.endsWith("/favicon.ico")) continue;
    QByteArray url = r.url;
    if (url.startsWith("https://site.example")) url = url.mid(20);
    out << RequisiteKindName(r.kind) + QByteArray(":") + r.destination + " " + url;
  }
  return out.join('|');
}

TEST(PageRequisites, EachKindAsABrowserFetchesIt) {
  const std::pair<QByteArray, QByteArray> cases[] = {
      {"<link rel=stylesheet href=a.css><link rel='Alternate StyleSheet' href=/b.css media=print>"
       "<link rel=stylesheet href=c.css disabled><link rel=stylesheet href=d.less type=text/less>",
       "stylesheet:style /dir/a.css|stylesheet:style /b.css"},
      {"<script src=a.js></script><script type=module src=m.js></script><script nomodule "
       "src=old.js></script><script type=text/template src=t.html></script><script>x()</script>"
       "<script src='' type='text/javascript; charset=utf-8'></script>",
       "script:script /dir/a.js|script:script /dir/m.js"},
      {"<img src=a.png><img srcset='b1.png 1x, b2.png 2x'><img src=data:image/gif;base64,R0>"
       "<input type=image src=go.png><input src=no.png><table background=t.gif><td "
       "background=c.gif>",
       "image:image /dir/a.png|image:image /dir/b1.png|image:image /dir/go.png|image:image "
       "/dir/t.gif|image:image /dir/c.gif"},
      {"<picture><source type=image/jxl srcset=x.jxl><source media='(max-width:600px)' "
       "srcset=s.webp><source srcset='l.avif 1x, l2.avif 2x' type=image/avif><img src=f.jpg>"
       "</picture><img src=after.jpg>",
       "image:image /dir/l.avif|image:image /dir/after.jpg"},
      {"<style>@import 'i.css';@font-face{src:url(/f.woff2)}body{background:url(bg.png)}</style>"
       "<div style=\"background-image:url('d.png')\"><span style=color:red>",
       "stylesheet:style /dir/i.css|font:font /f.woff2|image:image /dir/bg.png|image:image "
       "/dir/d.png"},
      {"<link rel=preload as=font href=f.woff2 type=font/woff2 crossorigin><link rel=preload "
       "href=noas.js><link rel=preload as=style href=s.css><link rel=stylesheet href=s.css>"
       "<link rel=preload as=image imagesrcset='p1.jpg 1x, p2.jpg 2x' href=p.jpg><link "
       "rel=preload as=image href=print.jpg media=print><link rel=modulepreload href=mod.js>"
       "<link rel=preload as=fetch href=/api><link rel=prefetch href=next.html>",
       "preload:font /dir/f.woff2|preload:style /dir/s.css|preload:image /dir/p1.jpg|"
       "preload:script /dir/mod.js|preload: /api|preload: /dir/next.html"},
      {"<link rel=apple-touch-icon href=t.png><link rel='shortcut icon' href=/i.ico><link "
       "rel=icon href=i2.png><link rel=manifest href=/m.json><link rel=manifest href=/m2.json>",
       "icon:image /i.ico|manifest:manifest /m.json"},
      {"<iframe src=f.html></iframe><iframe srcdoc='<p>' src=no.html></iframe><iframe></iframe>"
       "<frameset><frame src=/top.html></frameset><embed src=e.swf><object data=o.svg>"
       "<bgsound src=s.mid>",
       "frame:iframe /dir/f.html|frame:frame /top.html|embedded:embed /dir/e.swf|"
       "embedded:object /dir/o.svg"},
      {"<video poster=v.jpg preload=none src=v.mp4></video><video autoplay preload=none "
       "src=auto.mp4></video><audio><source src=a.xyz type=audio/x-unknown><source src=a.ogg "
       "type=audio/ogg><source src=a.mp3></audio><video preload=metadata><source "
       "src=m.webm></video>",
       "image:image /dir/v.jpg|media:video /dir/auto.mp4|media:audio /dir/a.ogg|media:video "
       "/dir/m.webm"},
      {"<base href=https://cdn.example/base/><img src=a.png><link rel=stylesheet href=//x.example"
       "/s.css><script src=http://site.example/up.js></script>",
       "image:image https://cdn.example/base/a.png|stylesheet:style https://x.example/s.css|"
       "script:script /up.js"},
      {"<noscript><img src=n.png></noscript><template><img src=t.png></template><!-- <img "
       "src=c.png> --><textarea><img src=x.png></textarea><img src=ok.png>",
       "image:image /dir/ok.png"},
  };
  for (const auto& [html, want] : cases) EXPECT_EQ(files(html), want) << html.data();
}

TEST(PageRequisites, EachFileOnceAndTheFaviconWhenNoIconIsDeclared) {
  const PageRequisites r = ReadPageRequisites(
      "<img src=a.png><img src=/dir/a.png#x><img src=./a.png><link rel=stylesheet "
      "href=a.png><img src=b.png>",
      kPage);
  ASSERT_EQ(r.files.size(), 3);
  EXPECT_EQ(r.duplicates, 3);
  EXPECT_EQ(r.files[2].url, "https://site.example/favicon.ico");
  EXPECT_EQ(r.files[2].kind, RequisiteKind::Icon);
  const WebUrl port = *ParsePageUrl("http://user:pw@h.example:8080/a/b?q=1");
  EXPECT_EQ(ReadPageRequisites("", port).files.value(0).url, "http://h.example:8080/favicon.ico");
  EXPECT_EQ(files("<link rel=icon href=''><link rel=icon href=/real.ico>", {}, true),
            "icon:image /real.ico");
}

TEST(PageRequisites, LazyImagesBelowTheFirstViewportWait) {
  QByteArray page;
  for (int i = 0; i < 20; ++i)  // 20 images of 100 pixels: 0..1900
    page += "<img loading=lazy height=100 src=" + QByteArray::number(i) + ".png>";
  page += "<iframe loading=lazy src=late.html></iframe><img src=eager.png data-src=real.png>";
  page += "<div data-bg=bg.jpg></div><img data-srcset='a.jpg 1x'>";
  const PageRequisites r = ReadPageRequisites(page, kPage, {1366, 768, 1});
  // Tops above 768 + 1250 = 2018 load now: the images (tops 0 to 1900) and the frame (2000).
  EXPECT_EQ(r.lazyBelow, 0);
  const PageRequisites small = ReadPageRequisites(page, kPage, {800, 400, 1});
  EXPECT_EQ(small.lazyBelow, 4);  // 400 + 1250 = 1650: tops 1700, 1800, 1900 and the frame
  EXPECT_EQ(r.scriptOnly, 3);
  EXPECT_TRUE(files(page).contains("image:image /dir/eager.png"));
}

// SVG's <image> is an element of its own inside <svg>, and HTML's <img> everywhere else.
TEST(PageRequisites, ImagesOfInlineSvg) {
  const std::pair<QByteArray, QByteArray> cases[] = {
      {"<svg><image href=a.png /><image xlink:href=b.png></image><IMAGE XLink:Href=c.png />"
       "</svg>",
       "image:image /dir/a.png|image:image /dir/b.png|image:image /dir/c.png"},
      {"<svg><g><image xlink:href=old.png href=new.png /></g><image href='' /><image /></svg>",
       "image:image /dir/new.png"},
      {"<svg><foreignObject><img src=island.png><image src=img.png></foreignObject>"
       "<image href=svg.png /></svg><image src=html.png href=no.png>",
       "image:image /dir/island.png|image:image /dir/img.png|image:image /dir/svg.png|"
       "image:image /dir/html.png"},
      {"<math><image href=m.png /><mtext><svg><image href=deep.png /></svg></mtext></math>",
       "image:image /dir/deep.png"},
      {"<template><svg><image href=t.png /></svg></template><svg><!-- <image href=c.png/> -->"
       "<![CDATA[<image href=d.png/>]]></svg>",
       ""},
      {"<svg><p><image src=after.png href=no.png></svg>", "image:image /dir/after.png"},
  };
  for (const auto& [html, want] : cases) EXPECT_EQ(files(html), want) << html.data();
}

TEST(PageRequisites, StylesheetFilesResolveAgainstTheStylesheet) {
  const WebUrl sheet = *ParsePageUrl("https://cdn.example/css/site.css");
  const QList<Requisite> r = ReadStylesheetRequisites(
      "@import url(base.css);@font-face{src:url(../fonts/f.woff2)}a{background:url(/i.png)}"
      "b{background:url(data:image/png;base64,AA)}",
      sheet);
  ASSERT_EQ(r.size(), 3);
  EXPECT_EQ(r[0].url, "https://cdn.example/css/base.css");
  EXPECT_EQ(r[0].kind, RequisiteKind::Stylesheet);
  EXPECT_EQ(r[1].url, "https://cdn.example/fonts/f.woff2");
  EXPECT_EQ(r[1].kind, RequisiteKind::Font);
  EXPECT_EQ(r[2].url, "https://cdn.example/i.png");
}

// A hostile page costs one reading: a million style blocks never closed, a page of tags.
TEST(PageRequisites, HostilePagesAreReadOnce) {
  const QByteArray unclosed = QByteArray("<style>").repeated(300000);
  EXPECT_EQ(ReadPageRequisites(unclosed, kPage).files.size(), 1);  // the favicon
  QByteArray many;
  for (int i = 0; i < 100000; ++i)
    many += "<img src=" + QByteArray::number(i) + " style='background:url(x" +
            QByteArray::number(i) + ")'>";
  EXPECT_EQ(ReadPageRequisites(many, kPage).files.size(), 200001);
}

}  // namespace
}  // namespace quorvel
