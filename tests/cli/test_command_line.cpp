// The program's command line as a user meets it: help, version, mistakes, no display, and the
// old words that must keep working and must not leak out of a command's own arguments.
#include <gtest/gtest.h>

#include <QFile>

#include "cli/cli_fixture.h"
#include "app/exit_codes.h"
#include "loopback_servers.h"

namespace quorvel {
namespace {

using testing::CommandLineTest;
using testing::HttpTestServer;

TEST_F(CommandLineTest, HelpVersionAndMistakesWithoutADisplay) {
  struct Case {
    QStringList args;
    int exitCode;
    const char* outStarts;  // what standard output begins with ("" for nothing)
    const char* errHas;     // what standard error says ("" for nothing at all)
  };
  const Case cases[] = {
      {{"--help"}, 0, "Usage: quorvel [auto]", ""},
      {{"help", "bench"}, 0, "Usage: quorvel bench", ""},
      {{"bench", "--help"}, 0, "Usage: quorvel bench", ""},
      {{"--version"}, 0, "Quorvel 1.", ""},
      {{"--bogus"}, 2, "", "Unknown option --bogus"},
      {{"bench", "--iterations", "many"}, 2, "", "Option --iterations takes a whole number"},
      {{"bench", "--iterations"}, 2, "", "needs a value"},
      {{"bench", "--json", "--csv"}, 2, "", "Choose one of --json and --csv."},
      {{}, 2, "", "There is no display for the windows. Run \"quorvel auto\""},
      {{"debug1"}, 2, "", "no display"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.join(' ').toStdString());
    const testing::CommandResult r = runProgram(c.args, 20000);
    EXPECT_EQ(r.exitCode, c.exitCode);
    EXPECT_TRUE(r.out.startsWith(c.outStarts)) << r.out.left(200).toStdString();
    if (*c.errHas == '\0') {
      EXPECT_TRUE(r.err.isEmpty()) << r.err.toStdString();  // no Qt chatter either
    } else {
      EXPECT_TRUE(r.err.contains(c.errHas)) << r.err.toStdString();
    }
    // An error is one plain sentence on one line.
    if (c.exitCode != 0) {
      EXPECT_EQ(r.err.count('\n'), 1) << r.err.toStdString();
    }
  }
}

TEST_F(CommandLineTest, WordsOfACommandsOwnArgumentsSwitchNoMode) {
  HttpTestServer http;
  http.server().Get("/debug1/autodesk.htm", [](const httplib::Request&, httplib::Response& res) {
    res.set_content("<html>debug2</html>", "text/html");
  });
  http.start();
  const testing::CommandResult r =
      runProgram({"bench", QString::fromStdString(http.url("/debug1/autodesk.htm"))});
  EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
  EXPECT_TRUE(r.out.contains("Valid URLs:      1")) << r.out.toStdString();
  EXPECT_FALSE(QFile::exists(path("Debug.log")));  // no debug mode
  EXPECT_FALSE(QFile::exists(path("QVURL.log")));  // no unattended mode
  EXPECT_TRUE(QFile::exists(path("QVSum.log")));   // the logs of a run from the window

  // The old command line still finds its words anywhere, in any case.
  writeFile("URLS.DAT", QByteArray::fromStdString(http.url("/debug1/autodesk.htm")) + "\n");
  const testing::CommandResult old = runProgram({"x-DEBUG1-x", "AUTOrun"});
  EXPECT_EQ(old.exitCode, 0) << old.err.toStdString();
  EXPECT_TRUE(QFile::exists(path("Debug.log")));
  EXPECT_TRUE(QFile::exists(path("QVURL.log")));
}

}  // namespace
}  // namespace quorvel
