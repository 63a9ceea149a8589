// The file a browser fetches for an image that offers several: srcset and its descriptors,
// sizes, media queries, and the <source> elements of a <picture>.
#include <gtest/gtest.h>

#include "bench/image_source.h"
#include "bench/media_query.h"

namespace quorvel {
namespace {

// "url:descriptor" per candidate, "|"-separated.
QByteArray candidates(QByteArrayView srcset) {
  QByteArrayList out;
  for (const SrcsetCandidate& c : ParseSrcset(srcset)) {
    QByteArray d = c.width     ? QByteArray::number(*c.width) + 'w'
                   : c.density ? QByteArray::number(*c.density) + 'x'
                               : QByteArray("-");
    out << c.url + ':' + d;
  }
  return out.join('|');
}

TEST(ImageSource, SrcsetParsedAsTheStandardParsesIt) {
  const std::pair<QByteArray, QByteArray> cases[] = {
      {"a.jpg 1x, b.jpg 2x", "a.jpg:1x|b.jpg:2x"},
      {"a.jpg 480w,b.jpg 800w ,  c.jpg", "a.jpg:480w|b.jpg:800w|c.jpg:-"},
      {"a.jpg, b.jpg 1.5x,,c.jpg 3x", "a.jpg:-|b.jpg:1.5x|c.jpg:3x"},
      {"data:image/png;base64,AAA= 1x, d.jpg 2x", "data:image/png;base64,AAA=:1x|d.jpg:2x"},
      {"a.jpg 100w 100h, b.jpg 100h, c.jpg 2x 2x, d.jpg 0w, e.jpg 1.x, f.jpg -1x, g.jpg 10W",
       "a.jpg:100w"},
      {"a.jpg 2x 100w, b.jpg foo, c.jpg 50w (x, y), d.jpg .5x, e.jpg 1e1x", "d.jpg:0.5x|e.jpg:10x"},
      {"  \n\t, ", ""},
      {"img,x.png 2x", "img,x.png:2x"},
  };
  for (const auto& [srcset, want] : cases) EXPECT_EQ(candidates(srcset), want) << srcset.data();
}

TEST(ImageSource, MediaQueriesForTheDeclaredScreen) {
  const Viewport desktop;  // 1366x768 at 1
  const Viewport phone{390, 844, 3};
  const std::tuple<QByteArray, bool, bool> cases[] = {
      {"", true, true},
      {"all", true, true},
      {"screen and (min-width: 1024px)", true, false},
      {"(max-width: 600px)", false, true},
      {"print", false, false},
      {"not print", true, true},
      {"only screen and (orientation: portrait)", false, true},
      {"print, (min-width: 1200px)", true, false},
      {"(width >= 1366px)", true, false},
      {"(300px < width <= 500px)", false, true},
      {"(min-resolution: 2dppx), (-webkit-min-device-pixel-ratio: 2)", false, true},
      {"(min-resolution: 192dpi)", false, true},
      {"(min-width: 40em) and (max-width: 90em)", true, false},
      {"(max-width: calc(1000px + 20em))", false, true},
      {"not (min-width: 800px)", false, true},
      {"(min-width: 800px) or (orientation: portrait)", true, true},
      {"(prefers-color-scheme: dark)", false, false},
      {"(hover) and (pointer: fine)", true, true},
      {"(min-aspect-ratio: 16/9)", true, false},
      {"(unknown-feature: 1)", false, false},
      {"screen and", false, false},
      {"(min-width: 800px) and (max-width: 2000px) or (color)", false, false},
      {"(min-width: 50%)", false, false},
  };
  for (const auto& [media, onDesktop, onPhone] : cases) {
    EXPECT_EQ(MediaMatches(media, desktop), onDesktop) << media.data();
    EXPECT_EQ(MediaMatches(media, phone), onPhone) << media.data();
  }
}

TEST(ImageSource, SizesGiveTheImageItsWidth) {
  const Viewport desktop;
  const std::pair<QByteArray, double> cases[] = {
      {"", 1366},
      {"100vw", 1366},
      {"(max-width: 600px) 480px, 800px", 800},
      {"(min-width: 1000px) 50vw, 100vw", 683},
      {"(min-width: 1000px) calc(50vw - 20px), 100vw", 663},
      {"(min-width: 2000px) 1000px, (min-width: 1200px) 33.3vw, 90vw", 1366 * 0.333},
      {"min(1000px, 100vw)", 1000},
      {"clamp(200px, 30vw, 300px)", 300},
      {"50%, 20em", 320},
      {"(max-width: 100px) 10px", 1366},
      {"auto, 200px", 200},
      {"-10px, bogus, 300px", 300},
      {"0", 0},
  };
  for (const auto& [sizes, want] : cases)
    EXPECT_NEAR(SourceSize(sizes, desktop), want, 0.01) << sizes.data();
}

TEST(ImageSource, CandidateChosenAsChromiumChooses) {
  const Viewport desktop;
  const Viewport retina{1366, 768, 2};
  const Viewport phone{390, 844, 3};
  struct Case {
    ImageAttributes img;
    QList<PictureSource> sources;
    QByteArray onDesktop, onRetina, onPhone;
  };
  const QByteArray widths = "s.jpg 400w, m.jpg 800w, l.jpg 1600w, xl.jpg 3000w";
  const Case cases[] = {
      {{"a.jpg", {}, {}}, {}, "a.jpg", "a.jpg", "a.jpg"},
      {{"a.jpg", "a2.jpg 2x, a3.jpg 3x", {}}, {}, "a.jpg", "a2.jpg", "a3.jpg"},
      {{"a.jpg", "a1.jpg 1x, a2.jpg 2x", {}}, {}, "a1.jpg", "a2.jpg", "a2.jpg"},
      {{{}, "h.jpg 1.5x", {}}, {}, "h.jpg", "h.jpg", "h.jpg"},
      {{"fallback.jpg", widths, {}}, {}, "l.jpg", "xl.jpg", "l.jpg"},
      {{{}, widths, "(max-width: 600px) 100vw, 400px"}, {}, "s.jpg", "m.jpg", "l.jpg"},
      {{{}, widths, "33vw"}, {}, "m.jpg", "l.jpg", "s.jpg"},
      {{"", "", {}}, {}, "", "", ""},
      {{"img.jpg", {}, {}},
       {{"wide.avif 1x, wide2.avif 2x", {}, "(min-width: 1000px)", "image/avif"},
        {"narrow.webp", {}, "(max-width: 999px)", "image/webp"},
        {"never.jxl", {}, {}, "image/jxl"}},
       "wide.avif",
       "wide2.avif",
       "narrow.webp"},
      {{"img.jpg", {}, {}},
       {{{}, {}, {}, {}}, {"", {}, {}, {}}, {"print.jpg", {}, "print", {}}},
       "img.jpg",
       "img.jpg",
       "img.jpg"},
      {{"img.jpg", {}, {}},
       {{widths, "(max-width: 500px) 90vw, 50vw", {}, "image/jpeg; q=1"}},
       "m.jpg",
       "l.jpg",
       "l.jpg"},
  };
  for (const Case& c : cases) {
    const QByteArray what = c.img.src.value_or("-") + " " + c.img.srcset.value_or("-");
    EXPECT_EQ(ChooseImageSource(c.img, c.sources, desktop).value_or(""), c.onDesktop)
        << what.data();
    EXPECT_EQ(ChooseImageSource(c.img, c.sources, retina).value_or(""), c.onRetina) << what.data();
    EXPECT_EQ(ChooseImageSource(c.img, c.sources, phone).value_or(""), c.onPhone) << what.data();
  }
}

// Hostile attributes cost one reading: nesting without end, a million candidates.
TEST(ImageSource, HostileAttributesAreBounded) {
  const Viewport desktop;
  const QByteArray deep =
      QByteArray("(").repeated(200000) + "min-width: 1px" + QByteArray(")").repeated(200000);
  EXPECT_FALSE(MediaMatches(deep, desktop));
  EXPECT_EQ(SourceSize(deep + " 10px, " + QByteArray("calc(").repeated(100000) + "1px", desktop),
            1366);
  const QByteArray many = QByteArray("a.jpg 2x, ").repeated(200000) + "b.jpg 1x";
  EXPECT_EQ(ChooseImageSource({{}, many, {}}, {}, desktop), "b.jpg");
  EXPECT_TRUE(ParseSrcset(QByteArray("x (").repeated(100000)).isEmpty());
}

}  // namespace
}  // namespace quorvel
