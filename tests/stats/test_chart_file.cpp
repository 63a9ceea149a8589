#include <QDir>
#include <cstdlib>
#include <random>

#include "common/test_support.h"
#include "stats/chart_file.h"

namespace quorvel {
namespace {

TEST(ChartFile, ShortestSinglePrecisionForm) {
  EXPECT_EQ(shortestSingle(100.0f), QStringLiteral("100"));
  EXPECT_EQ(shortestSingle(25.5f), QStringLiteral("25.5"));
  EXPECT_EQ(shortestSingle(0.1f), QStringLiteral("0.1"));
  EXPECT_EQ(shortestSingle(1.0f), QStringLiteral("1"));
  EXPECT_EQ(shortestSingle(12345.6f), QStringLiteral("12345.6"));
  EXPECT_EQ(shortestSingle(1234567.0f), QStringLiteral("1234567"));
  EXPECT_EQ(shortestSingle(9999999.0f), QStringLiteral("9999999"));
  EXPECT_EQ(shortestSingle(1.0e7f), QStringLiteral("10000000"));
  EXPECT_EQ(shortestSingle(1.5e-5f), QStringLiteral("0.000015"));
  EXPECT_EQ(shortestSingle(0.0f), QStringLiteral("0"));
  // Every throughput the log can hold (7 characters) reads back as the same number.
  std::mt19937 rng(11);
  for (int i = 0; i < 20000; ++i) {
    const float v = i % 2 ? float((rng() % 1000000) / 10.0) : float(rng() % 10000000);
    const QString s = shortestSingle(v);
    EXPECT_EQ(std::strtof(s.toLatin1().constData(), nullptr), v) << s.toStdString();
    EXPECT_FALSE(s.contains(QLatin1Char('e')));
  }
  // Beyond what single precision holds: seven significant digits at most.
  EXPECT_EQ(shortestSingle(123456789.0f), QStringLiteral("123456800"));
}

TEST(ChartFile, RowLabelsAndTitle) {
  EXPECT_EQ(chartRowLabel(1), QStringLiteral("x  1"));
  EXPECT_EQ(chartRowLabel(12), QStringLiteral("x  12"));
  EXPECT_EQ(chartTitle(QStringLiteral("01-05-03"), QStringLiteral("02-10-03")),
            QStringLiteral("Average Download Speed for Period 01-05-03 to 02-10-03"));
}

class ChartFileTest : public testing::AppFolderTest {
 protected:
  ChartData read(const QByteArray& content, std::int32_t cap = kChartRunCap) {
    writeFile(QStringLiteral("chart.dat"), content);
    return readChartFile(path(QStringLiteral("chart.dat")), cap);
  }
};

TEST_F(ChartFileTest, WritesAndReadsBack) {
  const std::vector<ChartRunLine> runs{{"01-05-03", "09", 100.0f}, {"02-10-03", "21", 25.5f}};
  QString error;
  ASSERT_TRUE(writeChartFile(path(QStringLiteral("chart.dat")), QStringLiteral("01-05-03"),
                             QStringLiteral("02-10-03"), runs, &error));
  const ChartData d = readChartFile(path(QStringLiteral("chart.dat")));
  EXPECT_TRUE(d.opened);
  EXPECT_EQ(d.firstDate, QStringLiteral("01-05-03"));
  EXPECT_EQ(d.lastDate, QStringLiteral("02-10-03"));
  EXPECT_EQ(d.declaredCount, 2);
  EXPECT_EQ(d.rows, 2);
  ASSERT_EQ(d.points.size(), 2u);
  EXPECT_EQ(d.points[1].row, 2);
  EXPECT_DOUBLE_EQ(d.points[1].value, 25.5);

  // A write that cannot happen says why; an earlier file stays as it was.
  EXPECT_FALSE(writeChartFile(path(QStringLiteral("no/such/dir/chart.dat")), {}, {}, runs, &error));
  EXPECT_FALSE(error.isEmpty());
  ASSERT_TRUE(QDir(dir_.path()).mkdir(QStringLiteral("busy.dat")));
  EXPECT_FALSE(writeChartFile(path(QStringLiteral("busy.dat")), {}, {}, runs, &error));
  EXPECT_TRUE(QFileInfo(path(QStringLiteral("busy.dat"))).isDir());
}

TEST_F(ChartFileTest, MalformedFilesShowWhatTheyCan) {
  // Missing and empty.
  ChartData d = readChartFile(path(QStringLiteral("none.dat")));
  EXPECT_FALSE(d.opened);
  EXPECT_EQ(d.rows, 0);
  d = read({});
  EXPECT_TRUE(d.opened);
  EXPECT_EQ(d.rows, 0);
  EXPECT_TRUE(d.firstDate.isEmpty());

  const QByteArray three = "a 09 10\r\nb 10 20\r\nc 11 30\r\n";
  // A count of 0: title only.
  d = read("01-05-03 02-10-03\r\n 0\r\n" + three);
  EXPECT_EQ(d.firstDate, QStringLiteral("01-05-03"));
  EXPECT_EQ(d.rows, 0);
  EXPECT_TRUE(d.points.empty());
  // Fewer lines than the count, and a count of two billion.
  d = read("01-05-03 02-10-03\r\n 5\r\n" + three);
  EXPECT_EQ(d.rows, 3);
  d = read("01-05-03 02-10-03\r\n 2000000000\r\n" + three);
  EXPECT_EQ(d.declaredCount, 2000000000);
  EXPECT_EQ(d.rows, 3);
  EXPECT_EQ(d.points.size(), 3u);
  d = read("x y\n 99999999999999999999999999\n" + three);
  EXPECT_EQ(d.rows, 3);
  // More lines than the count: the surplus is left out.
  d = read("01-05-03 02-10-03\r\n 2\r\n" + three);
  EXPECT_EQ(d.rows, 2);
  EXPECT_EQ(d.points.size(), 2u);
  // A count or values that are not numbers.
  d = read("01-05-03 02-10-03\r\n many\r\n" + three);
  EXPECT_EQ(d.declaredCount, 0);
  EXPECT_EQ(d.rows, 0);
  d = read("01-05-03 02-10-03\r\n -4\r\n" + three);
  EXPECT_EQ(d.rows, 0);
  d = read("01-05-03\r\n 4\r\na 09 fast\r\nb 10\r\n\r\nc 11 30.5kbps\r\n");
  EXPECT_EQ(d.lastDate, QString());
  EXPECT_EQ(d.rows, 4);
  ASSERT_EQ(d.points.size(), 1u);
  EXPECT_EQ(d.points[0].row, 4);
  EXPECT_DOUBLE_EQ(d.points[0].value, 30.5);
  // Binary and overlong lines.
  QByteArray junk(300000, '\xff');
  junk[100] = '\0';
  d = read(junk);
  EXPECT_EQ(d.rows, 0);
  d = read("a b\r\n 3\r\n" + QByteArray(200000, '7') + "\r\nb 10 20\r\n");
  EXPECT_EQ(d.rows, 2);
  // The cap holds however many lines there are.
  QByteArray many = "a b\r\n 100\r\n";
  for (int i = 0; i < 100; ++i) many += "d 01 5\r\n";
  d = read(many, 10);
  EXPECT_EQ(d.rows, 10);
  EXPECT_TRUE(d.capped);
}

// A CR LF split between two blocks of the reader ends one line, not two.
TEST_F(ChartFileTest, LineEndAcrossTheReadersBlocks) {
  constexpr qsizetype kBlock = 1 << 20;
  QByteArray data = "a b\r\n 999999\r\n";
  while (data.size() + 8 + 20 < kBlock) data += "d 01 5\r\n";
  data += "d 01 6" + QByteArray(kBlock - 1 - data.size() - 6, ' ');
  ASSERT_EQ(data.size(), kBlock - 1);
  data += "\r\nd 01 7\rd 01 8\n";
  const qsizetype lines = data.count('\n') + 1 - 2;  // "\r" alone ends one line too
  const ChartData d = read(data);
  EXPECT_EQ(d.rows, lines);
  ASSERT_FALSE(d.points.empty());
  EXPECT_EQ(d.points.back().row, lines);
  EXPECT_DOUBLE_EQ(d.points.back().value, 8.0);
}

}  // namespace
}  // namespace quorvel
