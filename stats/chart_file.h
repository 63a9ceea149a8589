// chart.dat: the runs of the last statistics pass, read back by the graph window.
//
//   line 1      first and last date of the log's period, one blank between
//   line 2      " n", the number of run lines that follow
//   lines 3...  date, blank, hour text, blank, throughput in its shortest single-precision form
//
// Lines end with CR LF. The file is replaced as a whole: a failed write leaves the previous one.
// A link or anything but a regular file named chart.dat is neither written nor read.
#pragma once

#include <QByteArrayView>
#include <QString>
#include <cstdint>
#include <limits>
#include <vector>

#include "core/app_files.h"

namespace quorvel {

struct ChartRunLine {
  QByteArrayView date;  // eight characters
  QByteArrayView hour;  // two characters
  float kbps = 0.0f;
};

// The shortest decimal (at most 7 significant digits, never an exponent) that reads back as
// the same single-precision number: 100 -> "100", 25.5 -> "25.5", 0.1f -> "0.1".
QString shortestSingle(float value);

// chart.dat in the application folder, where the statistics write it and the graph reads it.
QString chartFilePath();

// Writes the file; on failure returns false with the reason in *error and keeps the old file.
bool writeChartFile(const QString& path, const QString& firstDate, const QString& lastDate,
                    const std::vector<ChartRunLine>& runs, QString* error);

// The most run lines the graph reads (only a file of many gigabytes has more); the rest of a
// longer file is left out, and the graph says so.
inline constexpr std::int32_t kChartRunCap = std::numeric_limits<std::int32_t>::max();

// The most points kept for drawing, however many runs there are.
inline constexpr std::int32_t kChartMaxPoints = 4000;

// A run's local date and hour as one number, hours since the start of the Julian day count
// (julianDay * 24 + hour); kNoHour when its line gives no date and hour.
inline constexpr std::int64_t kNoHour = -1;

struct ChartPoint {
  std::int32_t row = 0;  // 1-based position among the run lines
  double value = 0.0;
  std::int64_t hour = kNoHour;
};

// Keeps a series of any length for drawing in bounded memory: every point while there are no
// more than maxPoints, else the lowest and the highest point of each group of consecutive
// rows, at most maxPoints / 2 groups of equal width (the width doubles as rows come in).
class ChartThinner {
 public:
  explicit ChartThinner(std::int32_t maxPoints);
  // Rows come in ascending order.
  void add(std::int32_t row, double value) { add(ChartPoint{row, value}); }
  void add(const ChartPoint& p);
  bool thinned() const { return width_ > 0; }
  // In row order.
  std::vector<ChartPoint> points() const;

 private:
  struct Group {
    bool used = false;
    ChartPoint low, high;
  };
  void place(const ChartPoint& p);
  void include(Group& g, const ChartPoint& p) const;

  std::int32_t maxPoints_;
  std::vector<ChartPoint> exact_;  // while not thinned
  std::int64_t width_ = 0;         // rows per group once thinned
  std::vector<Group> groups_;
};

struct ChartData {
  bool opened = false;  // the file could be read at all
  FileStatus status;    // why not, when it could not (a missing file is no trouble to report)
  QString firstDate;    // first and second pieces of line 1 ("" when missing)
  QString lastDate;
  std::int64_t declaredCount = 0;  // the count of line 2, as written (0 when not a number)
  std::int32_t rows = 0;  // run lines taken: at most the count, the lines there and the cap
  // The rows whose third piece is a number, thinned to maxPoints as ChartThinner does.
  std::vector<ChartPoint> points;
  bool thinned = false;  // points holds the low and high of groups of rows, not every row
  bool capped = false;   // more run lines than the cap were declared and present
  // Over every row with a number (not only the points kept): how many, their mean, and their
  // median by the statistics table's rule (medianOf), which is then the Total row's.
  std::int64_t valued = 0;
  double mean = 0.0;
  float median = 0.0f;
  bool medianKnown = false;  // false when there were none, or more than kChartMedianCap
};

// The most values kept for the median: as many runs as the statistics read from a log.
inline constexpr std::int64_t kChartMedianCap = 10'000'000;

// Reads the file as far as it makes sense; never fails, never allocates by the declared count,
// and keeps at most about maxPoints points whatever the file holds.
ChartData readChartFile(const QString& path, std::int32_t cap = kChartRunCap,
                        std::int32_t maxPoints = kChartMaxPoints);

// The date and hour of a run line's first two pieces ("MM-DD-YY", "HH"), or kNoHour.
std::int64_t chartLineHour(QByteArrayView date, QByteArrayView hour);

// The label of chart row r: "x " and r with a blank for its sign ("x  1", "x  12").
QString chartRowLabel(std::int32_t row);

// Title of the graph window for a period.
QString chartTitle(const QString& firstDate, const QString& lastDate);

}  // namespace quorvel
