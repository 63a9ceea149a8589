// chart.dat: the runs of the last statistics pass, read back by the graph window.
//
//   line 1      first and last date of the log's period, one blank between
//   line 2      " n", the number of run lines that follow
//   lines 3...  date, blank, hour text, blank, throughput in its shortest single-precision form
//
// Lines end with CR LF. The file is replaced as a whole: a failed write leaves the previous one.
#pragma once

#include <QByteArrayView>
#include <QString>
#include <cstdint>
#include <vector>

namespace quorvel {

struct ChartRunLine {
  QByteArrayView date;  // eight characters
  QByteArrayView hour;  // two characters
  float kbps = 0.0f;
};

// The shortest decimal (at most 7 significant digits, never an exponent) that reads back as
// the same single-precision number: 100 -> "100", 25.5 -> "25.5", 0.1f -> "0.1".
QString shortestSingle(float value);

// Writes the file; on failure returns false with the reason in *error and keeps the old file.
bool writeChartFile(const QString& path, const QString& firstDate, const QString& lastDate,
                    const std::vector<ChartRunLine>& runs, QString* error);

// The most run lines the graph reads; the rest of a longer file is left out.
inline constexpr std::int32_t kChartRunCap = 1'000'000;

struct ChartPoint {
  std::int32_t row = 0;  // 1-based position among the run lines
  double value = 0.0;
};

struct ChartData {
  bool opened = false;  // the file could be read at all
  QString firstDate;    // first and second pieces of line 1 ("" when missing)
  QString lastDate;
  std::int64_t declaredCount = 0;  // the count of line 2, as written (0 when not a number)
  std::int32_t rows = 0;  // run lines taken: at most the count, the lines there and the cap
  std::vector<ChartPoint> points;  // the rows whose third piece is a number
  bool capped = false;             // more run lines than kChartRunCap were declared and present
};

// Reads the file as far as it makes sense; never fails, never allocates by the declared count.
ChartData readChartFile(const QString& path, std::int32_t cap = kChartRunCap);

// The label of chart row r: "x " and r with a blank for its sign ("x  1", "x  12").
QString chartRowLabel(std::int32_t row);

// Title of the graph window for a period.
QString chartTitle(const QString& firstDate, const QString& lastDate);

}  // namespace quorvel
