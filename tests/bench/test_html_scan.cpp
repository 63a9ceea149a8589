// The decisions of the page-scanning rules, one example each. That the fast scanner follows
// the rules on any page is the fuzz target's job (fuzz_html_scan against the slow oracle).
#include <gtest/gtest.h>

#include "bench/html_scan.h"

namespace quorvel {
namespace {

TEST(HtmlScan, ExamplesOfTheRules) {
  struct Find {
    QByteArray page;
    bool images, sounds;
    qsizetype position;  // 0: nothing found
    QByteArray tag;
  };
  const Find finds[] = {
      {"<p><IMG SRC=pic.gif></p>", true, false, 4, "<IMG SRC=pic.gif>"},
      {"<p><IMG SRC=pic.gif></p>", false, true, 0, ""},
      {"<img\rsrc=a.gif>", true, false, 1, "<img\rsrc=a.gif>"},  // CR ends a name, LF and tab not
      {"<img\nsrc=a.gif>", true, true, 0, ""},
      {"<img\tsrc=a.gif>", true, true, 0, ""},
      {"<EMBED src=s.mid>", false, true, 1, "<EMBED src=s.mid>"},
      {"<bgsound\rsrc=s.wav>", false, true, 1, "<bgsound\rsrc=s.wav>"},
      // A tag counts when "src" comes anywhere after its name, even beyond its ">".
      {"<img alt=x><p>the src of it</p>", true, true, 1, "<img alt=x>"},
      {"<img alt=x><p>nothing</p>", true, true, 0, ""},
      {"src <img", true, true, 0, ""},
  };
  for (const Find& f : finds) {
    const TagHit hit = FindEmbeddedResource(1, f.page, f.images, f.sounds);
    EXPECT_EQ(hit.position, f.position) << f.page.constData();
    EXPECT_EQ(hit.tag, f.tag) << f.page.constData();
  }
  EXPECT_EQ(FindEmbeddedResource(-5, "<img src=a>", true, true).position, 1);
  const QByteArray frames = "<frameset><frame src=left.htm></frameset>";
  EXPECT_EQ(FindFrame(1, frames).position, 11);
  EXPECT_TRUE(FindFrame(12, frames).tag.isEmpty());
  EXPECT_TRUE(FindFrame(1, "<frameset rows=\"50%,50%\" src>").tag.isEmpty());
  EXPECT_TRUE(FindFrame(1, "<frame\r\nsrc=left.htm>").tag.isEmpty());

  const std::pair<QByteArray, QByteArray> sources[] = {
      {"<IMG SRC=pic.gif>", "/pic.gif"},
      {"<img src=\"http://Host//a//b.gif?x=1\">", "Host/a/b.gif"},
      {"<img src=\"javascript:go('x')\">", ""},               // script text: nothing to fetch
      {"<img src='javascript:go('x')'>", "/javascript:go("},  // ends at its second apostrophe
      {"<img src=a.gif?v=2>", "/a.gif"},
      {"<img src=\"a.gif>", "/"},
      {"<img src =   'dir/x.png' alt=1>", "/dir/x.png"},
      {"<img src=>", "/"},
      {"<img src>", ""},
      {"<img src=\"http://\">", ""},
  };
  for (const auto& [tag, source] : sources) EXPECT_EQ(ExtractSource(tag), source) << tag.data();

  const std::pair<QByteArray, QByteArray> comments[] = {
      {"abc<!-- never closed <img src=x>", "abc"},
      {"<!-- one --> b <!-- two -->", " b "},
      {"<!--><img src=a>", "<img src=a>"},
      {"x<!<!-- a -->-- b -->y", "xy"},  // marks that meet once a comment is gone
  };
  for (const auto& [page, left] : comments) EXPECT_EQ(StripComments(page), left) << page.data();

  // Relative and root-relative references both land in the page's folder.
  const QString base = PageBase("http://Host/dir/p.htm");
  EXPECT_EQ(base, "Host/dir");
  EXPECT_EQ(PageBase("h"), "h");
  EXPECT_EQ(ResolveReference(base, QString::fromLatin1(ExtractSource("<img src=img/b.gif>"))),
            "Host/dir/img/b.gif");
  EXPECT_EQ(ResolveReference(base, "/img/b.gif"), "Host/dir/img/b.gif");
  EXPECT_EQ(ResolveReference(base, "Other/b.gif"), "Other/b.gif");
}

}  // namespace
}  // namespace quorvel
