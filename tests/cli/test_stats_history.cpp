// quorvel stats beside its table: the percentiles of every row, the runs by weekday and hour,
// and every counted run, checked against a small reference of the tests' own over logs whose
// answers are known: hand-worked edges, and a generated log compared from outside the program.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <random>

#include "cli/cli_fixture.h"
#include "core/exit_codes.h"
#include "stats/summary_log_writer.h"

namespace quorvel {
namespace {

using testing::Ended;
using testing::summaryLine;

// ---- The reference: what the figures are, worked out without the program's code. ----

struct RefRun {
  QDate date;
  int hour = 0, minute = 0;
  double kbps = 0, page = 0;  // one decimal, as the log writes them
};

// The figures as the log holds them: one decimal, read back in single precision.
double asLogged(double v) {
  return double(float(std::round(v * 10) / 10));
}

bool refCounts(const RefRun& r) {
  return asLogged(r.kbps) >= 1.0 && asLogged(r.page) <= 60.0;
}

// 1 Weekday morning .. 5 Weekend: Saturday, Sunday, and Friday from 23:00.
int refPart(const RefRun& r) {
  const int day = r.date.dayOfWeek();
  if (day >= 6 || (day == 5 && r.hour >= 23)) return 5;
  if (r.hour >= 7 && r.hour <= 12) return 1;
  if (r.hour >= 13 && r.hour <= 18) return 2;
  if (r.hour >= 19 && r.hour <= 22) return 3;
  return 4;
}

// numpy.percentile's default: the value at (n - 1) * q between the ranks below and above.
double refPercentile(std::vector<double> v, int q) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  const double h = double(v.size() - 1) * q / 100.0;
  const double lo = v[size_t(std::floor(h))], hi = v[size_t(std::ceil(h))];
  return lo + (hi - lo) * (h - std::floor(h));
}

// The table's median: the value at (n + 1) / 2 rounded half to even, counting from 1.
double refMedian(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[size_t(std::nearbyint((v.size() + 1) / 2.0)) - 1];
}

const int kKbpsRanks[] = {5, 10, 25, 50, 75, 90, 95};
const int kPageRanks[] = {50, 75, 90, 95, 99};

void expectClose(double shown, double expected, const std::string& what) {
  EXPECT_NEAR(shown, expected, 1e-5 * std::max(1.0, std::fabs(expected))) << what;
}

class StatsHistory : public testing::CommandLineTest {
 protected:
  void writeRuns(const std::vector<RefRun>& runs, const QString& name = "QVSum.log") {
    QByteArray data;
    for (const RefRun& r : runs)
      data += summaryLine(r.date, r.hour, r.minute, r.kbps, r.page) + "\r\n";
    writeFile(name, data);
  }
  QJsonObject json(const QStringList& args) {
    const Ended r = run(args);
    EXPECT_EQ(r.code, kExitOk) << r.err.toStdString();
    return testing::jsonOf(r.out);
  }
  // The percentiles of a JSON row beside the reference's over the values given.
  static void expectPercentiles(const QJsonObject& row, const std::vector<double>& kbps,
                                const std::vector<double>& page, const std::string& what) {
    const QJsonObject k = row["kbps_percentiles"].toObject(),
                      p = row["page_load_percentiles"].toObject();
    EXPECT_EQ(k.size(), 7) << what;
    EXPECT_EQ(p.size(), 5) << what;
    for (int q : kKbpsRanks)
      expectClose(k["p" + QString::number(q)].toDouble(-1), refPercentile(kbps, q),
                  what + " kbps p" + std::to_string(q));
    for (int q : kPageRanks)
      expectClose(p["p" + QString::number(q)].toDouble(-1), refPercentile(page, q),
                  what + " page p" + std::to_string(q));
  }
};

// Hand-worked answers at the edges: one, two and three runs, ties, all equal. Two runs that do
// not count (0.9 Kbps; 60.1 s) stand beside every case and change nothing.
TEST_F(StatsHistory, PercentilesAtTheEdges) {
  struct Case {
    const char* name;
    std::vector<double> kbps, page;
    std::array<double, 7> kbpsWant;
    std::array<double, 5> pageWant;
    double median;  // the table's own
  };
  const Case cases[] = {
      {"one run",
       {120.5},
       {3.5},
       {120.5, 120.5, 120.5, 120.5, 120.5, 120.5, 120.5},
       {3.5, 3.5, 3.5, 3.5, 3.5},
       120.5},
      {"two runs",
       {20, 10},
       {3, 1},
       {10.5, 11, 12.5, 15, 17.5, 19, 19.5},
       {2, 2.5, 2.8, 2.9, 2.98},
       20},
      {"three runs",
       {40, 10, 20},
       {6, 2, 4},
       {11, 12, 15, 20, 30, 36, 38},
       {4, 5, 5.6, 5.8, 5.96},
       20},
      {"ties",
       {10, 20, 10, 10},
       {5, 5, 5, 5},
       {10, 10, 10, 10, 12.5, 17, 18.5},
       {5, 5, 5, 5, 5},
       10},
      {"all equal",
       std::vector<double>(7, 55.5),
       std::vector<double>(7, 2.5),
       {55.5, 55.5, 55.5, 55.5, 55.5, 55.5, 55.5},
       {2.5, 2.5, 2.5, 2.5, 2.5},
       55.5},
  };
  const QDate tuesday(2026, 12, 1);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<RefRun> runs{{tuesday, 8, 0, 0.9, 2}};
    for (size_t i = 0; i < c.kbps.size(); ++i)
      runs.push_back({tuesday, 9, 0, c.kbps[i], c.page[i]});
    runs.push_back({tuesday, 10, 0, 500, 60.1});
    writeRuns(runs);
    const QJsonObject doc = json({"stats", "--json"});
    const QJsonArray rows = doc["rows"].toArray();
    ASSERT_EQ(rows.size(), 6);
    for (int part : {0, 5}) {  // the morning's row and the Total hold the same runs
      const QJsonObject row = rows[part].toObject();
      EXPECT_EQ(row["count"].toInt(), int(c.kbps.size()));
      EXPECT_EQ(row["med_kbps"].toDouble(), c.median) << "the table's median keeps its rule";
      for (int i = 0; i < 7; ++i)
        expectClose(
            row["kbps_percentiles"].toObject()["p" + QString::number(kKbpsRanks[i])].toDouble(-1),
            c.kbpsWant[i], "kbps p" + std::to_string(kKbpsRanks[i]));
      for (int i = 0; i < 5; ++i)
        expectClose(
            row["page_load_percentiles"].toObject()["p" + QString::number(kPageRanks[i])].toDouble(
                -1),
            c.pageWant[i], "page p" + std::to_string(kPageRanks[i]));
      expectPercentiles(row, c.kbps, c.page, c.name);  // the reference agrees by hand
    }
    // A part of the day without runs has 0 everywhere.
    const QJsonObject evening = rows[2].toObject();
    EXPECT_EQ(evening["kbps_percentiles"].toObject()["p95"].toDouble(-1), 0);
    EXPECT_EQ(evening["page_load_percentiles"].toObject()["p99"].toDouble(-1), 0);
  }
  // The text and CSV gain twelve columns only when asked; the note says how p50 differs.
  const Ended plain = run({"stats", "--csv"}), wide = run({"stats", "--csv", "--percentiles"});
  EXPECT_EQ(plain.out.split('\n').value(0).count(','), 5);
  EXPECT_EQ(wide.out.split('\n').value(0).trimmed(),
            "Day Part,N,Avg Kbps,Med Kbps,Avg Pg Load,Med Pg Load,Kbps p5,Kbps p10,Kbps p25,"
            "Kbps p50,Kbps p75,Kbps p90,Kbps p95,Pg Load p50,Pg Load p75,Pg Load p90,Pg Load p95,"
            "Pg Load p99");
  EXPECT_TRUE(
      wide.out.contains("\r\nTotal,7,55.5,55.5,2.5,2.5,55.5,55.5,55.5,55.5,55.5,55.5,"
                        "55.5,2.5,2.5,2.5,2.5,2.5\r\n"))
      << wide.out.toStdString();
  const Ended text = run({"stats", "--percentiles"});
  EXPECT_TRUE(text.out.contains("Pg Load p99\n")) << text.out.toStdString();
  EXPECT_TRUE(text.out.contains("linear interpolation between closest ranks (type 7)"));
}

// The weekday and hour of each run as its line gives them: 23:59 is still its day's last hour,
// 00:00 the next day's first; Friday 23:00 is the weekend in the table but Friday in the map.
TEST_F(StatsHistory, WeekdaysAndHoursAtTheEdges) {
  const QDate thursday(2026, 12, 3), friday(2026, 12, 4), sunday(2026, 12, 6), monday(2026, 12, 7);
  writeRuns({{thursday, 23, 59, 100, 4},
             {friday, 0, 0, 200, 5},
             {friday, 23, 0, 10, 8},
             {friday, 23, 30, 30, 6},
             {sunday, 23, 59, 400, 2},
             {monday, 0, 0, 300, 3},
             {monday, 0, 5, 0.5, 3}});
  const QJsonObject doc = json({"stats", "--by-hour", "--json"});
  EXPECT_EQ(doc["period"].toObject()["shown"].toString(), "12-03-26 to 12-07-26");
  QStringList cells;
  for (const QJsonValue& v : doc["hours"].toArray()) {
    const QJsonObject c = v.toObject();
    cells << QStringLiteral("%1 %2 %3 %4 %5")
                 .arg(c["weekday"].toInt())
                 .arg(c["hour"].toInt())
                 .arg(c["count"].toInt())
                 .arg(c["median_kbps"].toDouble())
                 .arg(c["median_page_load_seconds"].toDouble());
  }
  // Two runs on Friday 23: the median is the second of them, as in the table (never 20).
  EXPECT_EQ(cells, QStringList({"1 0 1 300 3", "4 23 1 100 4", "5 0 1 200 5", "5 23 2 30 8",
                                "7 23 1 400 2"}));
  const QJsonArray rows = json({"stats", "--json"})["rows"].toArray();
  EXPECT_EQ(rows[4].toObject()["count"].toInt(), 3) << "Friday 23:00 twice and Sunday";

  const Ended text = run({"stats", "--by-hour"});
  ASSERT_EQ(text.code, kExitOk);
  const QStringList lines = QString::fromUtf8(text.out).split('\n');
  const qsizetype at = lines.indexOf(QString()) + 1;
  ASSERT_GT(at, 0);
  EXPECT_EQ(lines.mid(at).join('|').simplified(),
            "Weekday Hour N Med Kbps Med Pg Load|Monday 00 1 300.0 3.0|Thursday 23 1 100.0 "
            "4.0|Friday 00 1 200.0 5.0|Friday 23 2 30.0 8.0|Sunday 23 1 400.0 2.0|");
  const Ended csv = run({"stats", "--by-hour", "--csv"});
  EXPECT_TRUE(csv.out.startsWith(
      "weekday,hour,count,median_kbps,median_page_load_seconds\r\n1,0,1,300,3\r\n"))
      << csv.out.toStdString();

  // Every counted run, with what places it.
  const Ended all = run({"stats", "--runs", "--csv"});
  EXPECT_EQ(QString::fromUtf8(all.out).split("\r\n"),
            QStringList({"date,day_part,weekday,hour,kbps,page_load_seconds",
                         "2026-12-03,Weekday late night,4,23,100,4",
                         "2026-12-04,Weekday late night,5,0,200,5", "2026-12-04,Weekend,5,23,10,8",
                         "2026-12-04,Weekend,5,23,30,6", "2026-12-06,Weekend,7,23,400,2",
                         "2026-12-07,Weekday late night,1,0,300,3", ""}));
  const QJsonArray runs = json({"stats", "--runs", "--json"})["runs"].toArray();
  ASSERT_EQ(runs.size(), 6);
  EXPECT_EQ(QJsonDocument(runs[2].toObject()).toJson(QJsonDocument::Compact),
            R"({"date":"2026-12-04","day_part":"Weekend","hour":23,"kbps":10,)"
            R"("page_load_seconds":8,"weekday":5})");
}

// A log the program has not seen, checked from outside: the real program's JSON beside the
// reference's figures for every row, every hour of the week and every run.
TEST_F(StatsHistory, AGeneratedLogAgreesWithTheReference) {
  std::mt19937 rng(20261207);
  std::vector<RefRun> runs;
  const QDate start(2026, 9, 28);   // a Monday
  for (int i = 0; i < 9000; ++i) {  // the Total of the four weeks chosen counts over 4,096 runs
    RefRun r{start.addDays(i / 200), int(rng() % 24), int(rng() % 60),
             (rng() % 30000) / 10.0,   // some below 1.0 Kbps
             (rng() % 650) / 10.0};    // some above 60.0 s
    if (i % 97 == 0) r.kbps = r.page;  // ties across runs
    runs.push_back(r);
  }
  writeRuns(runs, "history.log");
  const QDate first(2026, 10, 3), last(2026, 10, 30);
  std::vector<RefRun> counted;
  for (const RefRun& r : runs)
    if (refCounts(r) && r.date >= first && r.date <= last) counted.push_back(r);
  const QStringList limits{"--first-date", "10/03/2026", "--last-date", "2026-10-30",
                           path("history.log")};

  const Ended table = runProgram(QStringList{"stats", "--json"} + limits);
  ASSERT_EQ(table.code, kExitOk) << table.err.toStdString();
  const QJsonArray rows = testing::jsonOf(table.out)["rows"].toArray();
  ASSERT_EQ(rows.size(), 6);
  for (int part = 1; part <= 6; ++part) {
    std::vector<double> kbps, page;
    for (const RefRun& r : counted)
      if (part == 6 || refPart(r) == part)
        kbps.push_back(asLogged(r.kbps)), page.push_back(asLogged(r.page));
    const QJsonObject row = rows[part - 1].toObject();
    EXPECT_EQ(row["count"].toInt(), int(kbps.size())) << part;
    if (part == 6) {
      EXPECT_GT(kbps.size(), 4096u) << "long enough to be sorted by its digits";
    }
    expectClose(row["med_kbps"].toDouble(), refMedian(kbps),
                "median of part " + std::to_string(part));
    expectPercentiles(row, kbps, page, "part " + std::to_string(part));
  }

  const Ended hours = runProgram(QStringList{"stats", "--by-hour", "--json"} + limits);
  ASSERT_EQ(hours.code, kExitOk) << hours.err.toStdString();
  std::map<std::pair<int, int>, std::pair<std::vector<double>, std::vector<double>>> cells;
  for (const RefRun& r : counted) {
    auto& cell = cells[{r.date.dayOfWeek(), r.hour}];
    cell.first.push_back(asLogged(r.kbps));
    cell.second.push_back(asLogged(r.page));
  }
  const QJsonArray shown = testing::jsonOf(hours.out)["hours"].toArray();
  ASSERT_EQ(size_t(shown.size()), cells.size());
  auto expected = cells.begin();
  for (const QJsonValue& v : shown) {
    const QJsonObject c = v.toObject();
    const auto& [key, values] = *expected++;
    const std::string where = std::to_string(key.first) + " " + std::to_string(key.second);
    EXPECT_EQ(std::pair(c["weekday"].toInt(), c["hour"].toInt()), key) << "week order";
    EXPECT_EQ(c["count"].toInt(), int(values.first.size())) << where;
    expectClose(c["median_kbps"].toDouble(), refMedian(values.first), where);
    expectClose(c["median_page_load_seconds"].toDouble(), refMedian(values.second), where);
  }

  const Ended all = runProgram(QStringList{"stats", "--runs", "--csv"} + limits);
  ASSERT_EQ(all.code, kExitOk) << all.err.toStdString();
  QStringList want{"date,day_part,weekday,hour,kbps,page_load_seconds"};
  const char* parts[] = {
      "",       "Weekday morning", "Weekday afternoon", "Weekday evening", "Weekday late night",
      "Weekend"};
  for (const RefRun& r : counted)
    want << QStringLiteral("%1,%2,%3,%4,%5,%6")
                .arg(r.date.toString(Qt::ISODate), parts[refPart(r)])
                .arg(r.date.dayOfWeek())
                .arg(r.hour)
                .arg(std::round(r.kbps * 10) / 10)
                .arg(std::round(r.page * 10) / 10);
  EXPECT_EQ(QString::fromUtf8(all.out).split("\r\n", Qt::SkipEmptyParts), want);
}

// Options that do not go together are refused before the log is read.
TEST_F(StatsHistory, ViewsThatDoNotGoTogether) {
  const std::pair<QStringList, QString> cases[] = {
      {{"stats", "--by-hour", "--runs", "--csv"}, "Choose one of --by-hour and --runs."},
      {{"stats", "--runs"}, "--runs writes CSV or JSON: add --csv or --json."},
      {{"stats", "--by-hour", "--percentiles"},
       "--percentiles goes with the table, not with --by-hour or --runs."},
  };
  for (const auto& [args, err] : cases) {
    const Ended r = run(args);
    EXPECT_EQ(r.code, kExitCannotStart);
    EXPECT_EQ(QString::fromUtf8(r.err), "quorvel: " + err + "\n");
    EXPECT_TRUE(r.out.isEmpty());
  }
}

}  // namespace
}  // namespace quorvel
