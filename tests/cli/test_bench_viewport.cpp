// The screen a page is loaded for (quorvel bench --viewport and --dpr, the settings
// URLInfo/ViewportWidth, ViewportHeight and DevicePixelRatio): the real program picks other
// image candidates, and defers other lazy images, as they say.
#include <gtest/gtest.h>

#include <algorithm>

#include "cli/cli_fixture.h"
#include "core/exit_codes.h"
#include "loopback_servers.h"

namespace quorvel {
namespace {

using testing::Ended;

// Widths for a 100vw image, a <picture> source for narrow screens, densities, and a lazy image
// whose estimated top (2,450 pixels) is loaded ahead only on a screen taller than 1,200.
const std::string kIndex =
    "<html><body><img srcset=\"w400.png 400w, w800.png 800w, w1600.png 1600w, w3000.png 3000w\">"
    "<picture><source media=\"(max-width: 600px)\" srcset=narrow.png><img src=wide.png>"
    "</picture><img src=d1.png srcset=\"d2.png 2x, d3.png 3x\">"
    "<img loading=lazy height=2000 src=spacer.png><img loading=lazy src=late.png></body></html>";

class BenchViewport : public testing::CommandLineTest {
 protected:
  void SetUp() override {
    CommandLineTest::SetUp();
    http_.page("/index.htm", kIndex);
    http_.page("/favicon.ico", "icon", "image/x-icon");
    http_.page("/.*\\.png", "png", "image/png");
    http_.start();
  }
  // The images one run fetched, in alphabetical order.
  QString imagesOf(const QStringList& args) {
    const qsizetype before = http_.targets().size();
    const Ended r = runProgram(QStringList{"bench", "--browser", "--no-log"} + args +
                               QStringList{http_.url("/index.htm")});
    EXPECT_EQ(r.code, kExitOk) << r.err.toStdString();
    QStringList images;
    for (const QString& t : http_.targets().mid(before))
      if (t.endsWith(".png")) images << t.mid(1).chopped(4);
    images.sort();
    return images.join(' ');
  }
  testing::HttpTestServer http_;
};

TEST_F(BenchViewport, OptionsAndSettingsChooseTheCandidates) {
  const struct {
    const char* settings;
    QStringList args;
    const char* images;
  } cases[] = {
      {"", {}, "d1 spacer w1600 wide"},  // 1366x768 at 1
      {"", {"--viewport", "500x1300"}, "d1 late narrow spacer w800"},
      {"", {"--dpr", "2"}, "d2 spacer w3000 wide"},
      {"", {"--viewport= 1366X768 ", "--dpr=1.0"}, "d1 spacer w1600 wide"},
      {"ViewportWidth=500\nDevicePixelRatio=3\n", {}, "d3 narrow spacer w1600"},
      // An option replaces the setting it names; the others still hold.
      {"ViewportWidth=500\nDevicePixelRatio=3\n",
       {"--viewport", "1366x768"},
       "d3 spacer w3000 wide"},
      {"ViewportWidth=500\nDevicePixelRatio=3\n", {"--dpr", "1"}, "d1 narrow spacer w800"},
      {"ViewportHeight= 1300 \n", {}, "d1 late spacer w1600 wide"},
      // Hand-edited values that are no number, or out of bounds, give the defaults.
      {"ViewportWidth=abc\nViewportHeight=-5\nDevicePixelRatio=nan\n", {}, "d1 spacer w1600 wide"},
      {"ViewportWidth=50\nViewportHeight=1300.5\nDevicePixelRatio=9\n", {}, "d1 spacer w1600 wide"},
      {"ViewportWidth=99999999999\nDevicePixelRatio=inf\n", {}, "d1 spacer w1600 wide"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args.join(' ').toStdString() + " with " + c.settings);
    writeFile("Quorvel.ini", QByteArray("[URLInfo]\n") + c.settings);
    EXPECT_EQ(imagesOf(c.args), c.images);
  }
}

TEST_F(BenchViewport, BadValuesAreUsageErrors) {
  const QStringList bad[] = {
      {"--viewport", "1366"},
      {"--viewport", "0x768"},
      {"--viewport", "99x768"},
      {"--viewport", "axb"},
      {"--viewport", "1366x"},
      {"--viewport", "1366x16385"},
      {"--viewport", "1e3x1e3"},
      {"--viewport", "1366x768x2"},
      {"--dpr", "0"},
      {"--dpr", "0.4"},
      {"--dpr", "8.5"},
      {"--dpr", "two"},
      {"--dpr", "nan"},
      {"--dpr", "inf"},
      {"--dpr", "-1"},
      {"--dpr", ""},
  };
  for (const QStringList& args : bad) {
    SCOPED_TRACE(args.join(' ').toStdString());
    const Ended r = run(QStringList{"bench", "--browser"} + args + QStringList{http_.url("/")});
    EXPECT_EQ(r.code, kExitCannotStart);
    EXPECT_TRUE(r.err.contains(args[0].toUtf8() + " takes")) << r.err.toStdString();
  }
  EXPECT_TRUE(http_.targets().isEmpty());
}

}  // namespace
}  // namespace quorvel
