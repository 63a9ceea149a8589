// Fuzz target: reading the summary log (QVSum.log) back by character position.
//
// Input: the bytes of a log file and a cap on the runs read. Properties:
// - a run line has a real date whose text is columns 1-8, an hour 0-23 from columns 10-11,
//   the day part of that date and hour, and finite, non-negative figures;
// - the figure of a field is the number its text begins with, read directly (strtod), the
//   fields after a throughput wider than its seven columns moved right as far as it is wider;
// - reading with the date cache of consecutive lines gives what reading without it gives;
// - the file reader finds exactly the run lines that parsing each line (ended by CR LF, LF or
//   CR) finds, keeps at most the cap (and says so), and its period is the dates of its first
//   and last run.
#include <fuzzer/FuzzedDataProvider.h>

#include <QFile>
#include <cmath>
#include <cstring>

#include "fuzz_check.h"
#include "stats/summary_log.h"

namespace {

using namespace quorvel;

QString showBytes(QByteArrayView b) {
  return fuzz::show(QString::fromLatin1(b.data(), b.size()));
}

// The figure of a field, read the plain way: blanks, then digits with at most one point.
float slowFieldValue(QByteArrayView f) {
  std::string text;
  qsizetype i = 0;
  while (i < f.size() && f[i] == ' ') ++i;
  for (bool point = false;
       i < f.size() && ((f[i] >= '0' && f[i] <= '9') || (f[i] == '.' && !point)); ++i) {
    point = point || f[i] == '.';
    text += f[i];
  }
  return text.find_first_of("0123456789") == std::string::npos
             ? 0.0f
             : float(std::strtod(text.c_str(), nullptr));
}

// A throughput of 100,000 Kbps or more is written with all its digits (up to 16 more), which
// moves " Kbps" and everything after it to the right.
qsizetype kbpsShift(QByteArrayView line) {
  for (qsizetype shift = 0; shift <= 16; ++shift) {
    if (line.size() < 26 + shift) return 0;
    if (line.sliced(21 + shift, 5) == " Kbps") return shift;
    const char c = line[21 + shift];
    if (!(c >= '0' && c <= '9') && c != '.') return 0;
  }
  return 0;
}

QByteArrayView field(QByteArrayView line, qsizetype from, qsizetype to) {
  if (line.size() < from) return {};
  return line.sliced(from - 1, std::min(to, line.size()) - from + 1);
}

bool sameRun(const SummaryRun& a, const SummaryRun& b) {
  return a.date == b.date && std::memcmp(a.dateText, b.dateText, 8) == 0 &&
         std::memcmp(a.hourText, b.hourText, 2) == 0 && a.hour == b.hour &&
         a.dayPart == b.dayPart && std::memcmp(&a.kbps, &b.kbps, sizeof a.kbps) == 0 &&
         std::memcmp(&a.pageAvg, &b.pageAvg, sizeof a.pageAvg) == 0;
}

void checkRun(QByteArrayView line, const SummaryRun& run) {
  const qsizetype s = kbpsShift(line);
  FUZZ_CHECK(line.size() >= 32 && std::memcmp(run.dateText, line.data(), 8) == 0 &&
                 std::memcmp(run.hourText, line.data() + 9, 2) == 0 && run.date.isValid() &&
                 run.date.toString(QStringLiteral("MM-dd-yy")) == run.dateString() &&
                 run.hour >= 0 && run.hour <= 23 && run.hour == run.hourString().toInt() &&
                 run.dayPart >= kWeekdayMorning && run.dayPart <= kWeekend &&
                 run.dayPart == dayPartOf(run.date, run.hour) && std::isfinite(run.kbps) &&
                 run.kbps >= 0 && std::isfinite(run.pageAvg) && run.pageAvg >= 0 &&
                 run.kbps == slowFieldValue(field(line, 15, 21 + s)) &&
                 run.pageAvg == slowFieldValue(field(line, 27 + s, 32 + s)),
             showBytes(line));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider fdp(data, size);
  const size_t cap = fdp.ConsumeBool() ? fdp.ConsumeIntegralInRange<size_t>(0, 8) : kSummaryRunCap;
  const std::vector<char> bytes = fdp.ConsumeRemainingBytes<char>();
  const QByteArray text(bytes.data(), qsizetype(bytes.size()));

  // Every line on its own, with and without the date cache.
  std::vector<SummaryRun> expected;
  LogDateCache cache;
  // Lines end at CR LF, LF or CR alone.
  for (const QByteArray& line :
       QByteArray(text).replace("\r\n", "\n").replace('\r', '\n').split('\n')) {
    // An exact-length copy, so that a read past the line's end is caught.
    std::vector<char> exact(line.begin(), line.end());
    const QByteArrayView view(exact.data(), qsizetype(exact.size()));
    SummaryRun plain, cached;
    const bool isRun = parseSummaryLine(view, &plain);
    FUZZ_CHECK(isRun == parseSummaryLine(view, &cached, &cache), showBytes(view));
    if (!isRun) continue;
    FUZZ_CHECK(sameRun(plain, cached), showBytes(view));
    checkRun(view, plain);
    expected.push_back(plain);
    const qsizetype shift = kbpsShift(view);
    FUZZ_CHECK(isSummaryLogFirstLine(view) ==
                   (view.size() >= 40 + shift && view.sliced(22 + shift, 4) == "Kbps" &&
                    view.sliced(33 + shift, 7) == "PageAvg"),
               showBytes(view));
  }

  static const QString path = fuzz::scratchFolder() + QStringLiteral("/QVSum.log");
  {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(text) != text.size())
      return 0;
  }
  const SummaryLog log = readSummaryLog(path, cap);
  const size_t want = std::min(expected.size(), cap);
  FUZZ_CHECK(log.runs.size() == want && log.truncated == (expected.size() > cap),
             QStringLiteral("%1 runs read, %2 lines are runs, cap %3")
                 .arg(log.runs.size())
                 .arg(expected.size())
                 .arg(cap));
  for (size_t i = 0; i < want; ++i)
    FUZZ_CHECK(sameRun(log.runs[i], expected[i]), QStringLiteral("run %1 differs").arg(i));
  FUZZ_CHECK(log.firstDate == (want ? expected.front().dateString() : QString()), log.firstDate);
  FUZZ_CHECK(log.lastDate == (want ? expected[want - 1].dateString() : QString()), log.lastDate);
  return 0;
}
