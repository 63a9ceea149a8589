// The decisions of the page-scanning rules that the run tests (test_run_fake.cpp) do not meet
// on their pages, one example each. That the fast scanner follows the rules on any page is the
// fuzz target's job (fuzz_html_scan against the slow oracle).
#include <gtest/gtest.h>

#include "bench/html_scan.h"

namespace quorvel {
namespace {

TEST(HtmlScan, ExamplesOfTheRules) {
  const std::tuple<QByteArray, qsizetype, QByteArray> finds[] = {
      {"<img\rsrc=a.gif>", 1, "<img\rsrc=a.gif>"},  // a CR ends a name, a LF or a tab does not
      {"<img\nsrc=a.gif>", 0, ""},
      {"<img\tsrc=a.gif>", 0, ""},
      {"<bgsound\rsrc=s.wav>", 1, "<bgsound\rsrc=s.wav>"},
      // A tag counts when "src" comes anywhere after its name, even beyond its ">".
      {"<img alt=x><p>the src of it</p>", 1, "<img alt=x>"},
      {"<img alt=x><p>nothing</p>", 0, ""},
      {"src <img", 0, ""},
  };
  for (const auto& [page, position, tag] : finds) {
    const TagHit hit = FindEmbeddedResource(1, page, true, true);
    EXPECT_EQ(hit.position, position) << page.constData();
    EXPECT_EQ(hit.tag, tag) << page.constData();
  }
  EXPECT_EQ(FindEmbeddedResource(-5, "<img src=a>", true, true).position, 1);
  EXPECT_TRUE(FindFrame(1, "<frameset rows=\"50%,50%\" src>").tag.isEmpty());

  const std::pair<QByteArray, QByteArray> sources[] = {
      {"<img src='javascript:go('x')'>", "/javascript:go("},  // ends at its second apostrophe
      {"<img src=javascript:go('x')>", ""},
      {"<img src=\"a.gif>", "/"},
      {"<img src =   'dir/x.png' alt=1>", "/dir/x.png"},
      {"<img src=>", "/"},
      {"<img src>", ""},
      {"<img src=\"http://\">", ""},
  };
  for (const auto& [tag, source] : sources) EXPECT_EQ(ExtractSource(tag), source) << tag.data();

  const std::pair<QByteArray, QByteArray> comments[] = {
      {"abc<!-- never closed <img src=x>", "abc"},
      {"<!--><img src=a>", "<img src=a>"},
      {"x<!<!-- a -->-- b -->y", "xy"},  // marks that meet once a comment is gone
  };
  for (const auto& [page, left] : comments) EXPECT_EQ(StripComments(page), left) << page.data();
  EXPECT_EQ(PageBase("h"), "h");
}

}  // namespace
}  // namespace quorvel
