// The program's command line as a user meets it: help, version, mistakes, no display, and the
// old words that must keep working and must not leak out of a command's own arguments.
#include <gtest/gtest.h>

#include <QFile>

#include "cli/cli_fixture.h"
#include "loopback_servers.h"

namespace quorvel {
namespace {

using testing::CommandLineTest;

TEST_F(CommandLineTest, HelpVersionAndMistakesWithoutADisplay) {
  const std::tuple<QStringList, int, const char*, const char*> cases[] = {
      // arguments, exit code, what standard output begins with, what standard error says
      {{"--help"}, 0, "Usage: quorvel [auto]", ""},
      {{"help", "bench"}, 0, "Usage: quorvel bench", ""},
      {{"bench", "--help"}, 0, "Usage: quorvel bench", ""},
      {{"--version"}, 0, "Quorvel 1.", ""},
      {{"--bogus"}, 2, "", "Unknown option --bogus"},
      {{"bench", "--iterations", "many"}, 2, "", "Option --iterations takes a whole number"},
      {{"bench", "--iterations"}, 2, "", "needs a value"},
      {{"bench", "--json", "--csv"}, 2, "", "Choose one of --json and --csv."},
      {{"bench", "-n", "0"}, 2, "", "Option --iterations takes a whole number from 1 to 32767"},
      {{"ping", "-c", "99999999999", "127.0.0.1"},
       2,
       "",
       "Option --count takes at most 32767 requests, not \"99999999999\"."},
      {{}, 2, "", "There is no display for the windows. Run \"quorvel auto\""},
      {{"debug1"}, 2, "", "no display"},
  };
  for (const auto& [args, code, out, err] : cases) {
    SCOPED_TRACE(args.join(' ').toStdString());
    const testing::Ended r = runProgram(args, 20000);
    EXPECT_EQ(r.code, code);
    EXPECT_TRUE(r.out.startsWith(out)) << r.out.left(200).toStdString();
    EXPECT_TRUE(*err ? r.err.contains(err) : r.err.isEmpty())
        << r.err.toStdString();  // no Qt chatter
    EXPECT_TRUE(code == 0 || r.err.count('\n') == 1) << "one plain sentence on one line";
  }
}

TEST_F(CommandLineTest, WordsOfACommandsOwnArgumentsSwitchNoMode) {
  testing::HttpTestServer http;
  http.page("/debug1/autodesk.htm", "<html>debug2</html>");
  http.start();
  const QString url = http.url("/debug1/autodesk.htm");
  const testing::Ended r = runProgram({"bench", url});
  EXPECT_EQ(r.code, 0) << r.err.toStdString();
  EXPECT_TRUE(r.out.contains("Valid URLs:      1")) << r.out.toStdString();
  EXPECT_FALSE(QFile::exists(path("Debug.log")));  // no debug mode
  EXPECT_FALSE(QFile::exists(path("QVURL.log")));  // no unattended mode
  EXPECT_TRUE(QFile::exists(path("QVSum.log")));   // the logs of a run from the window

  // The old command line still finds its words anywhere, in any case, also in what looks
  // like an option (old cron lines).
  writeFile("URLS.DAT", url.toUtf8() + "\n");
  const std::tuple<QStringList, bool> old[] = {
      {{"x-DEBUG1-x", "AUTOrun"}, true},
      {{"-auto"}, false},
      {{"--auto", "DeBuG1"}, true},
      {{"-xauto"}, false},
  };
  for (const auto& [args, debug] : old) {
    SCOPED_TRACE(args.join(' ').toStdString());
    QFile::remove(path("QVURL.log"));
    QFile::remove(path("Debug.log"));
    const testing::Ended ran = runProgram(args);
    EXPECT_EQ(ran.code, 0) << ran.err.toStdString();
    EXPECT_TRUE(QFile::exists(path("QVURL.log")));
    EXPECT_EQ(QFile::exists(path("Debug.log")), debug);
  }
}

// A settings file far beyond what one holds is left whole, and the run says why its settings
// are not kept.
TEST_F(CommandLineTest, AnOversizedSettingsFileIsSaid) {
  testing::HttpTestServer http;
  http.page("/a.htm", "<html>a</html>");
  http.start();
  writeFile("URLS.DAT", http.url("/a.htm").toUtf8() + "\n");
  const QByteArray ini = "[URLInfo]\nURLFile=URLS.DAT\n; " + QByteArray(17 << 20, 'x') + "\n";
  writeFile("Quorvel.ini", ini);
  const testing::Ended r = runProgram({"auto"});
  EXPECT_EQ(r.code, 3);
  EXPECT_TRUE(r.err.contains("Quorvel.ini is larger than 16 MiB")) << r.err.toStdString();
  EXPECT_EQ(readFile("Quorvel.ini"), ini);
}

TEST_F(CommandLineTest, AMistypedCommandIsSaidToBeOneWithTheNearest) {
  const std::tuple<QStringList, const char*> cases[] = {
      {{"pign", "127.0.0.1"}, "ping"},
      {{"PING", "127.0.0.1"}, "ping"},
      {{"benhc"}, "bench"},
      {{"stat", "--csv"}, "stats"},
      {{"tracert", "127.0.0.1"}, "trace"},
      {{"atuo"}, "auto"},
      {{"hepl"}, "help"},
  };
  for (const auto& [args, nearest] : cases) {
    SCOPED_TRACE(args.join(' ').toStdString());
    // With a display as well: no window opens for it.
    for (bool display : {false, true}) {
      const testing::Ended r = testing::runQuorvel(dir_.path(), args, 20000, display);
      EXPECT_EQ(r.code, 2);
      EXPECT_EQ(r.err, QString("quorvel: Unknown command \"%1\"; the nearest command is \"%2\" "
                               "(try \"quorvel --help\").\n")
                           .arg(args[0], nearest)
                           .toUtf8());
    }
  }
}

}  // namespace
}  // namespace quorvel
