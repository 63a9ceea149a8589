// A page's links read as a browser reads them: which tags count, what their "src" says, and
// where it leads.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "bench/html_tokenizer.h"
#include "bench/page_links.h"
#include "bench/web_url.h"
#include "page_corpus.h"

namespace quorvel {
namespace {

// The "src" of every <img> of a page as the reader gives it, "|"-separated.
QByteArray imageSources(const QByteArray& page) {
  HtmlTagReader reader(page, {"img"}, {"src"});
  QByteArrayList found;
  for (HtmlStartTag tag; reader.next(tag);) found << tag.value(0).value_or("(none)");
  return found.join('|');
}

// Pages and the "src" of their images, "|"-separated: also read by parse5 below.
const std::pair<QByteArray, QByteArray> kImagePages[] = {
    {"<IMG\nSRC=a.gif><img\tsrc='b c.gif'><img src=\"d\"/><img/src=e>", "a.gif|b c.gif|d|e"},
    {"<img data-src=x srcset=y src=z><img src=a src=b><img src>", "z|a|"},
    {"<img alt='>' src=a><img src=\"x'y\"><img src=p>q>", "a|x'y|p"},
    {"<img src=\"a?x=1&amp;y=2&copy=3&lt\"><img src='&#x41;&#66;&#0;&#x80;&notit;'>",
     "a?x=1&y=2&copy=3<|AB\xEF\xBF\xBD\xE2\x82\xAC&notit;"},
    {"<!-- <img src=c1> --><!--><img src=a><!---><img src=b><!-- x --!><img src=c>", "a|b|c"},
    {"<!DOCTYPE html><?php <img src=x> ?><img src=a></x <img src=y>><img src=b>", "a|b"},
    {"<script>var s='<img src=x>';</script><img src=a>", "a"},
    {"<script><!--<script>x</script><img src=x></script>--></script><img src=b>", "b"},
    {"<style>img{}</style x='>'><title><img src=x></title><textarea><img src=y></TEXTAREA>"
     "<noscript><img src=z></noscript><img src=a>",
     "a"},
    {"<template><img src=x><template><img src=y></template></template><image src=a>", "a"},
    {"<svg><image src=x/><style><img src=a></style></svg><img src=b>", "a|b"},
    {"<math><![CDATA[<img src=x>]]></math><img src=a><img src='unclosed", "a"},
    {"<xmp><img src=x></xmp><iframe><img src=y></iframe><plaintext></plaintext><img src=z>", ""},
};

TEST(HtmlTagReader, ReadsTagsAsAParserDoes) {
  for (const auto& [page, want] : kImagePages) EXPECT_EQ(imageSources(page), want) << page.data();
}

// A hostile page costs one reading of it: a million tags, and one tag as large as a page.
TEST(HtmlTagReader, HostilePagesAreReadOnce) {
  QByteArray many;
  for (int i = 0; i < 1000000; ++i) many += "<a x>";
  HtmlTagReader reader(many, {"a"}, {"x"});
  int tags = 0;
  for (HtmlStartTag tag; reader.next(tag);) ++tags;
  EXPECT_EQ(tags, 1000000);
  QByteArray one = "<img " + QByteArray(20 << 20, 'a') + " src=ok>";
  EXPECT_EQ(imageSources(one), "ok");
}

TEST(WebUrl, ReferencesResolveAsABrowserResolvesThem) {
  const WebUrl base = *ParsePageUrl("https://www.Example.com:443/news/today.htm?x=1#top");
  EXPECT_EQ(base.text(), "https://www.example.com/news/today.htm?x=1");
  const std::pair<QByteArray, QByteArray> cases[] = {
      {"img/a.png", "https://www.example.com/news/img/a.png"},
      {"/img/a.png", "https://www.example.com/img/a.png"},
      {"//cdn.example.net/a.jpg?w=640&h=480#f", "https://cdn.example.net/a.jpg?w=640&h=480"},
      {"http://cdn.example.net/a.jpg", "https://cdn.example.net/a.jpg"},
      {"http://cdn.example.net:8080/a.jpg", "https://cdn.example.net:8080/a.jpg"},
      {"https://proxy.example/?u=http://x.example/a.png",
       "https://proxy.example/?u=http://x.example/a.png"},
      {"../a//b/./c/../d.gif", "https://www.example.com/a//b/d.gif"},
      {" \n/a\tb.gif ", "https://www.example.com/ab.gif"},
      {"\\\\cdn.example\\x.png", "https://cdn.example/x.png"},
      {"caf\xC3\xA9 1.png?q=\xE2\x82\xAC'",
       "https://www.example.com/news/caf%C3%A9%201.png?q=%E2%82%AC%27"},
      {"caf\xE9.png", "https://www.example.com/news/caf%E9.png"},
      {"?page=2", "https://www.example.com/news/today.htm?page=2"},
      {"#top", "https://www.example.com/news/today.htm?x=1"},
      {"HTTPS://M\xC3\xBCnchen.example/", "https://xn--mnchen-3ya.example/"},
      {"http://0x7f.1/x", "https://127.0.0.1/x"},
  };
  for (const auto& [ref, want] : cases) {
    const std::optional<WebUrl> url = ResolveWebUrl(ref, base);
    EXPECT_EQ(url ? url->text() : "(none)", want) << ref.data();
  }
  for (const char* notFetched :
       {"", "   ", "data:image/png;base64,AAAA", "javascript:x()", "about:blank",
        "blob:https://a/b", "mailto:a@b", "ftp://h/x", "http://a b/", "http://h:99999/"})
    EXPECT_FALSE(ResolveWebUrl(notFetched, base)) << notFetched;
}

TEST(PageLinks, ResolvedDeduplicatedAndSortedInTheRunsForm) {
  const QByteArray page =
      "<base href='/static/'><frameset><frame src=left.htm><frame src=left.htm></frameset>"
      "<img src=b.gif><img src='//CDN.example/b.gif'><img src=b.gif#x><img src=data:,x>"
      "<embed src=s.mid><bgsound src=https://h.example/t.wav><img src=ftp.gif>";
  const PageLinks all = ReadPageLinks(page, "h.example/dir/p.htm", {true, true, true});
  EXPECT_EQ(all.resources,
            QStringList({"cdn.example/b.gif", "h.example/static/b.gif", "h.example/static/ftp.gif",
                         "h.example/static/s.mid", "https://h.example/t.wav"}));
  EXPECT_EQ(all.frames, QStringList({"h.example/static/left.htm", "h.example/static/left.htm"}));
  const PageLinks images = ReadPageLinks(page, "http://h.example/", {true, false, false});
  EXPECT_EQ(images.resources.size(), 3);
  EXPECT_TRUE(images.frames.isEmpty());
  EXPECT_EQ(LinkHost("https://h.example:8443/x"), "h.example:8443");
}

// What Quorvel reads on a page, in the form page_references.js prints what parse5 and Node's
// URL read: the tags, their "src", and where each leads.
QJsonObject quorvelReading(const QByteArray& page, const WebUrl& pageUrl) {
  const QList<QByteArray> names{"img", "embed", "bgsound", "frame"};
  const WebUrl base = DocumentBase(page, pageUrl);
  HtmlTagReader reader(page, names, {"src"});
  QJsonArray tags, urls;
  for (HtmlStartTag tag; reader.next(tag);) {
    const std::optional<QByteArray> src = tag.value(0);
    tags.append(QJsonArray{QString::fromLatin1(names[tag.kind]),
                           src ? QJsonValue(QString::fromUtf8(*src)) : QJsonValue()});
    const std::optional<WebUrl> url = src ? ResolveWebUrl(*src, base) : std::nullopt;
    urls.append(url ? QJsonValue(QString::fromLatin1(url->text())) : QJsonValue());
  }
  return {{"tags", tags}, {"urls", urls}};
}

QJsonObject withoutFrames(const QJsonObject& reading) {
  QJsonArray tags, urls;
  for (qsizetype i = 0; i < reading["tags"].toArray().size(); ++i) {
    if (reading["tags"][i][0] == "frame") continue;
    tags.append(reading["tags"][i]);
    urls.append(reading["urls"][i]);
  }
  return {{"tags", tags}, {"urls", urls}};
}

// Our pages (with the names of three servers), the pages above and the fuzz target's corpus,
// read by Quorvel and by parse5 and Node's URL, from an http and an https address: the same
// tags, values and addresses.
TEST(PageLinks, ReadAsParse5AndNodesUrlReadThem) {
  const QString node = QStandardPaths::findExecutable("node");
  if (node.isEmpty()) GTEST_SKIP() << "node is not installed (scripts/install-deps.sh)";
  if (!QFile::exists(QUORVEL_NPM_DIR "/node_modules/parse5/package.json"))
    GTEST_SKIP() << "parse5 is not in " QUORVEL_NPM_DIR " (scripts/install-npm.sh)";
  QTemporaryDir dir;
  QStringList files;
  const auto add = [&](const QString& name, const QByteArray& body) {
    QFile f(dir.filePath(name));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(body) == body.size());
    files << f.fileName();
  };
  int n = 0;
  for (const testing::CorpusPage& p :
       testing::CorpusPages("www.news.test", "cdn.news.test:8080", "img.example.test"))
    add(QStringLiteral("page%1.htm").arg(++n), p.body);
  for (const auto& [page, sources] : kImagePages) add(QStringLiteral("page%1.htm").arg(++n), page);
  const QDir corpus(QUORVEL_FUZZ_CORPUS);
  for (const QString& f : corpus.entryList(QDir::Files)) {
    QFile in(corpus.filePath(f));
    ASSERT_TRUE(in.open(QIODevice::ReadOnly));
    add(f, in.readAll());
  }
  ASSERT_GE(files.size(), 20);
  for (const char* pageUrl : {"http://www.news.test/a/b/page.htm?q=1", "https://WWW.News.test/"}) {
    SCOPED_TRACE(pageUrl);
    QProcess p;
    p.start(node,
            QStringList{QUORVEL_TEST_SOURCE_DIR "/page_references.js", QUORVEL_NPM_DIR, pageUrl} +
                files);
    ASSERT_TRUE(p.waitForFinished(60000));
    ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    const QList<QByteArray> lines = p.readAllStandardOutput().trimmed().split('\n');
    ASSERT_EQ(lines.size(), files.size());
    for (const QByteArray& line : lines) {
      QJsonObject theirs = QJsonDocument::fromJson(line).object();
      const QString file = theirs.take("file").toString();
      QFile f(file);
      ASSERT_TRUE(f.open(QIODevice::ReadOnly));
      QJsonObject ours = quorvelReading(f.readAll(), *ParsePageUrl(pageUrl));
      // A run takes a <frame> wherever it stands, as it always has; a browser only inside a
      // <frameset> it accepted (our pages' frames are). The rest must agree everywhere.
      if (!QFileInfo(file).fileName().startsWith("page")) {
        ours = withoutFrames(ours);
        theirs = withoutFrames(theirs);
      }
      EXPECT_EQ(ours, theirs) << file.toStdString() << "\nQuorvel: "
                              << QJsonDocument(ours).toJson(QJsonDocument::Compact).toStdString()
                              << "\nparse5:  " << line.toStdString();
    }
  }
}

}  // namespace
}  // namespace quorvel
