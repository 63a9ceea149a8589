// Page scanning: the stated examples, and agreement of the fast scanner with the slow
// transcription of the rules on many generated pages.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "bench/html_scan.h"
#include "html_scan_reference.h"

namespace quorvel {
namespace {

namespace ref = testing::reference;

QByteArray bytes(const std::string& s) {
  return QByteArray(s.data(), qsizetype(s.size()));
}
std::string str(const QByteArray& b) {
  return std::string(b.constData(), size_t(b.size()));
}

// Every hit of a finder from position 1 on, as the run walks a page.
template <typename Find>
std::vector<std::pair<long, std::string>> walk(Find find) {
  std::vector<std::pair<long, std::string>> hits;
  long start = 1;
  for (;;) {
    const auto [position, tag] = find(start);
    if (tag.empty()) break;
    hits.emplace_back(position, tag);
    start = position + long(tag.size());
  }
  return hits;
}

TEST(HtmlScan, ExamplesOfTheRules) {
  // Upper-case image tag; the switches; "<img" + CR only with images on.
  const QByteArray page = "<p><IMG SRC=pic.gif></p>";
  const TagHit img = FindEmbeddedResource(1, page, true, false);
  EXPECT_EQ(img.position, 4);
  EXPECT_EQ(img.tag, "<IMG SRC=pic.gif>");
  EXPECT_EQ(ExtractSource(img.tag), "/pic.gif");
  EXPECT_TRUE(FindEmbeddedResource(1, page, false, true).tag.isEmpty());
  EXPECT_EQ(FindEmbeddedResource(1, "<img\rsrc=a.gif>", true, false).tag, "<img\rsrc=a.gif>");
  EXPECT_TRUE(FindEmbeddedResource(1, "<img\rsrc=a.gif>", false, true).tag.isEmpty());
  EXPECT_TRUE(FindEmbeddedResource(1, "<img\nsrc=a.gif>", true, true).tag.isEmpty());
  EXPECT_TRUE(FindEmbeddedResource(1, "<img\tsrc=a.gif>", true, true).tag.isEmpty());
  EXPECT_EQ(FindEmbeddedResource(1, "<EMBED src=s.mid>", false, true).tag, "<EMBED src=s.mid>");
  EXPECT_EQ(FindEmbeddedResource(1, "<bgsound\rsrc=s.wav>", false, true).position, 1);

  // A tag without its own source is still returned when "src" comes later in the page.
  const QByteArray later = "<img alt=x><p>the src of it</p>";
  const TagHit bare = FindEmbeddedResource(1, later, true, true);
  EXPECT_EQ(bare.tag, "<img alt=x>");
  EXPECT_EQ(ExtractSource(bare.tag), "");
  EXPECT_TRUE(FindEmbeddedResource(1, "<img alt=x><p>nothing</p>", true, true).tag.isEmpty());

  // Normalising the value.
  EXPECT_EQ(ExtractSource("<img src=\"http://Host//a//b.gif\">"), "Host/a/b.gif");
  EXPECT_EQ(ExtractSource("<img src=\"http://Host/a/b.gif?x=1\">"), "Host/a/b.gif");
  // Script text: a value holding an apostrophe gives nothing to fetch. (A single-quoted value
  // ends at its second apostrophe, so only the part before it is taken.)
  EXPECT_EQ(ExtractSource("<img src=\"javascript:go('x')\">"), "");
  EXPECT_EQ(ExtractSource("<img src=javascript:go('x')>"), "");
  EXPECT_EQ(ExtractSource("<img src='javascript:go('x')'>"), "/javascript:go(");
  EXPECT_EQ(ExtractSource("<img src=a.gif?v=2>"), "/a.gif");
  EXPECT_EQ(ExtractSource("<img src=\"a.gif>"), "/");
  EXPECT_EQ(ExtractSource("<img src =   'dir/x.png' alt=1>"), "/dir/x.png");
  EXPECT_EQ(ExtractSource("<img src=>"), "/");
  EXPECT_EQ(ExtractSource("<img src>"), "");
  EXPECT_EQ(ExtractSource("<img src=\"http://\">"), "");

  // Comments.
  EXPECT_EQ(StripComments("abc<!-- never closed <img src=x>"), "abc");
  EXPECT_EQ(StripComments("<!-- one --> b <!-- two -->"), " b ");
  EXPECT_EQ(StripComments("<!--><img src=a>"), "<img src=a>");
  EXPECT_EQ(StripComments("x<!<!-- a -->-- b -->y"), "xy");  // marks that meet after removal
  EXPECT_EQ(StripComments("no comments"), "no comments");

  // Frames.
  EXPECT_TRUE(FindFrame(1, "<frameset rows=\"50%,50%\" src>").tag.isEmpty());
  EXPECT_TRUE(FindFrame(1, "<frame\r\nsrc=left.htm>").tag.isEmpty());
  const TagHit frame = FindFrame(1, "<frameset><frame src=left.htm></frameset>");
  EXPECT_EQ(frame.position, 11);
  EXPECT_EQ(ExtractSource(frame.tag), "/left.htm");
  EXPECT_TRUE(
      FindFrame(frame.position + frame.tag.size(), "<frameset><frame src=left.htm></frameset>")
          .tag.isEmpty());
  // A name at the very end of the page, and positions before the start.
  EXPECT_TRUE(FindEmbeddedResource(1, "src <img", true, true).tag.isEmpty());
  EXPECT_EQ(FindEmbeddedResource(-5, "<img src=a>", true, true).position, 1);
}

TEST(HtmlScan, PageBaseAndReferences) {
  EXPECT_EQ(PageBase("http://h/d/p.htm"), "h/d");
  EXPECT_EQ(PageBase("h"), "h");
  EXPECT_EQ(PageBase("http://h"), "h");
  EXPECT_EQ(PageBase("h/d/p.htm"), "h/d");
  EXPECT_EQ(ResolveReference("Host/dir", "/img/b.gif"), "Host/dir/img/b.gif");
  EXPECT_EQ(ResolveReference("Host/dir", "Other/b.gif"), "Other/b.gif");
  // Relative and root-relative references both land in the page's folder.
  EXPECT_EQ(ResolveReference(PageBase("http://Host/dir/p.htm"),
                             QString::fromLatin1(ExtractSource("<img src=img/b.gif>"))),
            "Host/dir/img/b.gif");
  EXPECT_EQ(ResolveReference(PageBase("http://Host/dir/p.htm"),
                             QString::fromLatin1(ExtractSource("<img src=/img/b.gif>"))),
            "Host/dir/img/b.gif");
}

// Pages made of the pieces the rules care about, in every mix.
std::string randomPage(std::mt19937& rng, int pieces) {
  static const std::vector<std::string> kPieces = {
      "<img ",    "<IMG ",  "<iMg\r",     "<img\n",  "<img\t",   "<img",      "<frame ",
      "<FRAME ",  "<frame", "<frameset ", "<embed ", "<EMBED\r", "<bgsound ", "<BGSOUND\r",
      "<bgsound", "src",    "SRC",        "sRc",     "sr",       "=",         " ",
      "  ",       "\"",     "'",          ">",       "<",        "<!--",      "-->",
      "<!-",      "--",     "-",          "!",       "a.gif",    "?q=1",      "://",
      "//",       "/",      "http",       "\r\n",    "\t",       "x",         "<p>",
      "Host"};
  std::uniform_int_distribution<size_t> pick(0, kPieces.size() - 1);
  std::string page;
  for (int i = 0; i < pieces; ++i) page += kPieces[pick(rng)];
  return page;
}

TEST(HtmlScan, FastScannerAgreesWithTheRulesOnGeneratedPages) {
  std::mt19937 rng(20261206);
  std::uniform_int_distribution<int> length(0, 60);
  for (int round = 0; round < 4000; ++round) {
    const std::string page = randomPage(rng, length(rng));
    const QByteArray qpage = bytes(page);
    SCOPED_TRACE(::testing::Message() << "page: " << ::testing::PrintToString(page));

    ASSERT_EQ(str(StripComments(qpage)), ref::StripComments(page));

    const bool images = round % 4 != 1, sounds = round % 4 != 2;
    const TagScanner scanner(qpage);
    const auto fastEmbedded = walk([&](long s) {
      const TagHit h = scanner.findEmbeddedResource(s, images, sounds);
      return std::make_pair(long(h.position), str(h.tag));
    });
    const auto slowEmbedded = walk([&](long s) {
      const ref::Hit h = ref::FindEmbeddedResource(s, page, images, sounds);
      return std::make_pair(h.position, h.tag);
    });
    ASSERT_EQ(fastEmbedded, slowEmbedded);
    const auto fastFrames = walk([&](long s) {
      const TagHit h = scanner.findFrame(s);
      return std::make_pair(long(h.position), str(h.tag));
    });
    const auto slowFrames = walk([&](long s) {
      const ref::Hit h = ref::FindFrame(s, page);
      return std::make_pair(h.position, h.tag);
    });
    ASSERT_EQ(fastFrames, slowFrames);

    // Start positions in any order, on one scanner and on the free functions.
    std::uniform_int_distribution<long> start(1, long(page.size()) + 2);
    for (int k = 0; k < 6; ++k) {
      const long s = start(rng);
      const TagHit a = scanner.findEmbeddedResource(s, images, sounds);
      const ref::Hit b = ref::FindEmbeddedResource(s, page, images, sounds);
      ASSERT_EQ(a.position, b.position) << "start " << s;
      ASSERT_EQ(str(a.tag), b.tag);
      const TagHit f = FindFrame(s, qpage);
      const ref::Hit g = ref::FindFrame(s, page);
      ASSERT_EQ(f.position, g.position) << "start " << s;
      ASSERT_EQ(str(f.tag), g.tag);
    }

    // Sources of every tag found, and of tags made up of the same pieces.
    for (const auto& [position, tag] : slowEmbedded) {
      ASSERT_EQ(str(ExtractSource(bytes(tag))), ref::ExtractSource(tag)) << tag;
    }
    const std::string tag = "<img " + randomPage(rng, length(rng) / 4) + ">";
    ASSERT_EQ(str(ExtractSource(bytes(tag))), ref::ExtractSource(tag))
        << ::testing::PrintToString(tag);
  }
}

}  // namespace
}  // namespace quorvel
