// What the commands write cannot be turned against their user: the files named on the command
// line, standard output, the terminal and the spreadsheet that open them, all met as a user
// meets them (the real program, a hostile server of the test's own on loopback).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <chrono>
#include <functional>
#include <thread>

#include "cli/cli_fixture.h"
#include "cli/har_validator.h"
#include "core/exit_codes.h"
#include "loopback_servers.h"

namespace quorvel {
namespace {

using testing::Ended;
using testing::get;
using testing::put;

class Outputs : public testing::CommandLineTest {
 protected:
  void SetUp() override {
    CommandLineTest::SetUp();
    http_.page("/page.htm", "<html>a page</html>");
    http_.start();
  }
  QString url(const char* p) const { return http_.url(p); }
  testing::HttpTestServer http_;
};

// What stands at a path, for "left as it was".
QString kindOf(const QString& path) {
  struct stat st;
  if (::lstat(QFile::encodeName(path).constData(), &st) != 0) return "nothing";
  if (S_ISLNK(st.st_mode)) return "link";
  if (S_ISCHR(st.st_mode))
    return QString("device %1,%2").arg(major(st.st_rdev)).arg(minor(st.st_rdev));
  if (S_ISFIFO(st.st_mode)) return "fifo";
  if (S_ISDIR(st.st_mode)) return "folder";
  return "file";
}

TEST_F(Outputs, AFileOutputGoesOnlyToARegularFileOrANewNameAndIsCheckedBeforeTheRun) {
  const bool root = ::geteuid() == 0;
  const auto device = [](int minorNumber) {
    return [minorNumber](const QString& p) {
      return ::mknod(QFile::encodeName(p).constData(), S_IFCHR | 0666,
                     makedev(1, unsigned(minorNumber))) == 0;
    };
  };
  const auto fifo = [](const QString& p) { return ::mkfifo(QFile::encodeName(p), 0600) == 0; };
  const auto folder = [](const QString& p) { return QDir().mkdir(p); };
  const auto link = [this](const QString& p) {
    put(path("target"), "kept");
    return QFile::link(path("target"), p);
  };
  const auto none = [](const QString&) { return true; };
  const auto regular = [](const QString& p) {
    put(p, "old");
    return true;
  };
  struct Case {
    const char* what;
    bool needsRoot;
    std::function<bool(const QString&)> make;
    const char* option;
    int code;
    const char* said;  // the reason given, "" when it is written
  };
  const Case cases[] = {
      {"a copy of /dev/null", true, device(3), "--metrics", 3, "it is not a regular file"},
      {"a copy of /dev/full", true, device(7), "--har", 3, "it is not a regular file"},
      {"a FIFO", false, fifo, "--metrics", 3, "it is not a regular file"},
      {"a folder", false, folder, "--har", 3, "it is not a regular file"},
      {"a link to a file", false, link, "--metrics", 3, "it is a symbolic link"},
      {"a new name", false, none, "--har", 0, ""},
      {"a regular file", false, regular, "--metrics", 0, ""},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.needsRoot && !root) {
      std::printf("  (skipped \"%s\": mknod needs root)\n", c.what);
      continue;
    }
    const QString out = path(QString("out%1").arg(++n));
    ASSERT_TRUE(c.make(out));
    const QString before = kindOf(out);
    const qsizetype requests = http_.targets().size();
    const Ended r = runProgram({"bench", "--no-log", c.option, out, url("/page.htm")});
    EXPECT_EQ(r.code, c.code) << r.err.toStdString();
    if (*c.said) {
      EXPECT_EQ(r.err, QString("quorvel: The %1 file %2 cannot be written: %3.\n")
                           .arg(c.option, out, c.said)
                           .toUtf8());
      EXPECT_EQ(kindOf(out), before) << "left as it was";
      EXPECT_EQ(http_.targets().size(), requests) << "refused before the run";
      EXPECT_TRUE(r.out.isEmpty());
    } else {
      EXPECT_EQ(kindOf(out), "file");
      EXPECT_TRUE(get(out).startsWith(QString(c.option) == "--har" ? "{" : "# HELP"));
      if (QString(c.option) == "--har" && testing::harValidatorMissing().isEmpty()) {
        EXPECT_EQ(testing::harVerdict(out), "valid");
      }
    }
  }
  EXPECT_EQ(get(path("target")), "kept");

  // The same for ping and trace, and for a place where nothing can be created: found before
  // the first request.
  for (const QStringList& args :
       {QStringList{"ping", "-c", "1", "--metrics", path("out3"), "127.0.0.1"},
        QStringList{"trace", "--metrics", path("no/such/folder/t.prom"), "127.0.0.1"}}) {
    const Ended r = runProgram(args);
    EXPECT_EQ(r.code, kExitNotWritten) << r.err.toStdString();
    EXPECT_TRUE(r.err.startsWith("quorvel: The --metrics file ")) << r.err.toStdString();
    EXPECT_TRUE(r.out.isEmpty()) << r.out.toStdString();
  }
  EXPECT_EQ(kindOf(path("out3")), "fifo");
}

TEST_F(Outputs, TwoOutputsOnOneFileAreRefusedBeforeTheRun) {
  put(path("same.prom"), "old");
  ASSERT_TRUE(QFile::link(path("same.prom"), path("alias.prom")));
  const std::tuple<QStringList, const char*> cases[] = {
      {{"--har", path("f"), "--metrics", path("f")}, "--har and --metrics name the same file"},
      {{"--har", path("f"), "--metrics", dir_.path() + "/./f"}, "name the same file"},
      {{"--har", path("alias.prom"), "--metrics", path("same.prom")}, "name the same file"},
      {{"--metrics", path("QVSum.log")}, "--metrics names QVSum.log, one of the program's own"},
      {{"--har", dir_.path() + "/./Quorvel.ini"}, "names Quorvel.ini, one of the program's own"},
  };
  for (const auto& [options, said] : cases) {
    SCOPED_TRACE(options.join(' ').toStdString());
    const Ended r =
        runProgram(QStringList{"bench", "--no-log"} + options + QStringList{url("/page.htm")});
    EXPECT_EQ(r.code, kExitCannotStart);
    EXPECT_TRUE(r.err.contains(said)) << r.err.toStdString();
  }
  // Standard output redirected to the file that --har would replace.
  QProcess p;
  p.setStandardOutputFile(path("same.prom"));
  testing::startQuorvel(
      p, dir_.path(),
      {"bench", "--json", "--no-log", "--har", path("alias.prom"), url("/page.htm")}, false);
  ASSERT_TRUE(p.waitForFinished(60000));
  EXPECT_EQ(p.exitCode(), kExitCannotStart);
  EXPECT_TRUE(p.readAllStandardError().contains("names the file that standard output goes to"));
  EXPECT_TRUE(http_.targets().isEmpty());
}

TEST_F(Outputs, NoCsvCellOfAServerIsAFormula) {
  // What a page links, and what a list of pages names, stand at the start of their cells.
  // (A link's user name is percent-encoded where a browser encodes it: "=" and "@" come out as
  // %3D and %40, "+" and "-" stay, so the list's own lines carry those two.)
  const QString host = QString("127.0.0.1:%1").arg(http_.port());
  const QStringList linked{"+1+2", "-1+2"}, listed{"=1+2", "@SUM(1)"};
  QString page = "<html>";
  for (const QString& s : linked) page += QString("<img src=\"http://%1@%2/f.gif\">").arg(s, host);
  http_.page("/f.gif", "GIF");
  http_.page("/formulas.htm", page.toStdString());
  QByteArray list = url("/formulas.htm").toUtf8() + "\n";
  for (const QString& s : listed) list += (s + "@" + host + "/f.gif\n").toUtf8();
  writeFile("URLS.DAT", list);
  const Ended r = runProgram({"bench", "--no-log", "--csv"});
  // ("@SUM(1)@host" is no URL libcurl takes: that page fails, and is listed all the same.)
  ASSERT_EQ(r.code, kExitMeasureFailed) << r.err.toStdString() << r.out.toStdString();
  const QList<QByteArray> rows = r.out.split('\n');
  for (const QString& s : linked + listed) {
    SCOPED_TRACE(s.toStdString());
    // As OWASP says: a single quote in front, the cell quoted.
    const QByteArray cell = ",\"'" + (s + "@" + host + "/f.gif").toUtf8() + "\",";
    EXPECT_GE(std::count_if(rows.begin(), rows.end(),
                            [&](const QByteArray& row) { return row.contains(cell); }),
              1)
        << r.out.toStdString();
    EXPECT_FALSE(r.out.contains("," + (s + "@").toUtf8())) << r.out.toStdString();
  }
  // Numbers stay numbers: the bytes, seconds and error number of each row are bare.
  EXPECT_FALSE(r.out.contains(",'") || r.out.contains("\"'0")) << r.out.toStdString();
}

// The real program on a terminal of its own (a pty), as a user at a terminal runs it; what it
// wrote there.
QByteArray onTerminal(const QString& folder, const QStringList& args, int* code) {
  const QStringList python{
      "python3", "-c",
      "import os, pty, sys\nsys.exit(os.waitstatus_to_exitcode(pty.spawn(sys.argv[1:])))"};
  const Ended r = testing::runQuorvel(folder, args, 60000, false, python);
  *code = r.code;
  return r.out + r.err;
}

TEST_F(Outputs, ControlCharactersOfAServerAreShownEscapedOnATerminal) {
  // The resource answers late, so that the progress line shows the run retrieving it.
  http_.server().Get(R"(/x.*)", [](const httplib::Request&, httplib::Response& res) {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    res.set_content("GIF", "image/gif");
  });
  // A list of pages from elsewhere names one with control characters in it. (A page's links
  // reach no terminal so: they are percent-encoded as a browser resolves them.)
  const QByteArray hostile = url("/x").toUtf8() +
                             "\x1b]0;PWNED\x07\x1b[2J\xc2\x9b"
                             "31m.htm";
  writeFile("URLS.DAT", hostile + "\n");
  int code = 0;
  const QByteArray shown = onTerminal(dir_.path(), {"bench", "--no-log"}, &code);
  EXPECT_EQ(code, kExitOk) << shown.toStdString();
  EXPECT_TRUE(shown.contains("/x\\x1B]0;PWNED\\x07\\x1B[")) << shown.toStdString();
  for (const char* raw : {"\x1b]0;", "\x1b[2J", "\x07", "\xc2\x9b"})
    EXPECT_FALSE(shown.contains(raw)) << "raw " << QByteArray(raw).toHex().constData();

  // Away from a terminal the data stay as they came (JSON escapes them its own way).
  const Ended r = runProgram({"bench", "--no-log", "--json"});
  EXPECT_TRUE(r.out.contains("\\u001b]0;PWNED\\u0007")) << r.out.toStdString();
}

TEST_F(Outputs, LostStandardOutputIsNoSuccessAndAClosedPipeEndsQuietly) {
  writeFile("QVSum.log", "");
  writeFile("URLS.DAT", (url("/page.htm") + "\n").toUtf8());
  const QString log = path("QVSum.log");
  const QStringList toFull{"sh", "-c", "exec \"$0\" \"$@\" >/dev/full"};
  const QStringList closed{"sh", "-c", "exec \"$0\" \"$@\" >&-"};
  const std::tuple<QStringList, QStringList, const char*> cases[] = {
      {toFull, {"bench", "--json", url("/page.htm")}, "No space left on device"},
      {toFull, {"bench", url("/page.htm")}, "No space left on device"},
      {toFull, {"--help"}, "No space left on device"},
      {toFull, {"auto"}, "No space left on device"},
      {toFull, {"stats", "--csv", log}, "No space left on device"},
      {closed, {"bench", url("/page.htm")}, "Bad file descriptor"},
      {closed, {"ping", "-c", "1", "127.0.0.1"}, "Bad file descriptor"},
  };
  for (const auto& [how, args, said] : cases) {
    SCOPED_TRACE((how.last() + " " + args.join(' ')).toStdString());
    const Ended r = testing::runQuorvel(dir_.path(), args, 60000, false, how);
    if (args[0] == "ping" && r.err.contains("ICMP")) {
      std::printf("  (ping left out: %s)\n", r.err.trimmed().constData());
      continue;
    }
    EXPECT_EQ(r.code, kExitNotWritten);
    EXPECT_EQ(r.err,
              QString("quorvel: Could not write to standard output: %1.\n").arg(said).toUtf8());
  }
  // What was meant for a closed standard output never lands in a file the run opened.
  EXPECT_FALSE(readFile("QuorvelLog.txt").contains("Valid URLs"));
  EXPECT_EQ(logLines("QVSum.log").size(), 4);  // the four runs that logged

  // The reader of a pipe goes away after one line: the series ends at once, quietly, as a
  // closed pipe ends other tools (status 141: SIGPIPE), with its files written.
  const QStringList head{"bash", "-c",
                         "\"$0\" \"$@\" | head -n 1; echo \"status ${PIPESTATUS[0]}\""};
  const Ended r = testing::runQuorvel(
      dir_.path(), {"ping", "-c", "30000", "--metrics", path("m.prom"), "127.0.0.1"}, 60000, false,
      head);
  if (r.err.contains("ICMP")) GTEST_SKIP() << "no ICMP here: " << r.err.toStdString();
  EXPECT_TRUE(r.err.isEmpty()) << r.err.toStdString();
  EXPECT_TRUE(r.out.startsWith("1\t127.0.0.1\t") && r.out.endsWith("\nstatus 141\n"))
      << r.out.toStdString();
  const QByteArray metrics = get(path("m.prom"));
  EXPECT_TRUE(metrics.startsWith("# HELP"));
  EXPECT_FALSE(metrics.contains("quorvel_ping_packets_sent{host=\"127.0.0.1\"} 30000"));
}

}  // namespace
}  // namespace quorvel
