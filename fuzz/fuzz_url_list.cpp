// Fuzz target: the URL list file (URLS.DAT) and the date limits typed into the statistics
// window, the two small texts a user writes by hand.
//
// Properties:
// - the URLs read are what a direct reading of the rules gives: every line (ended by CR LF, LF
//   or CR) that does not start with ";" and holds more than blanks, without its leading and
//   trailing blanks, in file order, its bytes that are no UTF-8 kept as they are (decoded as
//   FromUtf8KeepingBytes decodes them);
// - a date limit that is accepted is a real date from year 1 on, and reads back the same when
//   written as MM/DD/YYYY, M-D-YYYY or YYYY-MM-DD; typed dates of any real day are accepted.
#include <fuzzer/FuzzedDataProvider.h>

#include <QByteArray>
#include <QDate>
#include <QFile>
#include <QStringList>
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/text_util.h"
#include "core/url_list_file.h"
#include "fuzz_check.h"
#include "stats/log_date.h"

namespace {

using namespace quorvel;

QStringList slowUrlList(QByteArray data) {
  QStringList urls;
  data.replace("\r\n", "\n").replace('\r', '\n');
  QList<QByteArray> lines = data.split('\n');
  if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
  for (const QByteArray& line : lines) {
    if (line.startsWith(';')) continue;
    QString text = FromUtf8KeepingBytes(line);
    while (text.startsWith(u' ')) text.remove(0, 1);
    while (text.endsWith(u' ')) text.chop(1);
    if (!text.isEmpty()) urls << text;
  }
  return urls;
}

void checkDate(const QString& typed) {
  const std::optional<QDate> d = parseUserDate(typed);
  if (!d) return;
  const QString what = fuzz::show(typed) + QStringLiteral(" gave ") + d->toString(Qt::ISODate);
  FUZZ_CHECK(d->isValid() && d->year() >= 1, what);
  for (const QString& form :
       {QStringLiteral("MM/dd/yyyy"), QStringLiteral("M-d-yyyy"), QStringLiteral("yyyy-MM-dd")}) {
    if (d->year() > 9999) continue;
    const QString again = d->toString(form);
    FUZZ_CHECK(parseUserDate(again) == d, what + QStringLiteral(", not ") + again);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider fdp(data, size);
  const int year = fdp.ConsumeIntegralInRange(1000, 9999);
  const int month = fdp.ConsumeIntegralInRange(1, 12);
  const int day = fdp.ConsumeIntegralInRange(1, 31);
  const std::string typed = fdp.ConsumeRandomLengthString(40);
  const std::string file = fdp.ConsumeRemainingBytesAsString();

  checkDate(QString::fromUtf8(typed.data(), qsizetype(typed.size())));
  const QDate real(year, month, day);
  if (real.isValid()) {
    const QString text = QStringLiteral(" %1/%2/%3 ").arg(month).arg(day).arg(year);
    FUZZ_CHECK(parseUserDate(text) == real, text);
    checkDate(text);
  }

  const QByteArray bytes(file.data(), qsizetype(file.size()));
  static const QString path = fuzz::scratchFolder() + QStringLiteral("/URLS.DAT");
  {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
      return 0;
  }
  const UrlListFile list = ReadUrlListFile(path, 1'000'000);
  const QStringList& urls = list.urls;
  const QStringList want = slowUrlList(bytes);
  FUZZ_CHECK(list.problem.isEmpty(), QStringLiteral("the file was refused: ") + list.problem);
  FUZZ_CHECK(urls == want, QStringLiteral("read %1 URLs %2, the rules give %3 %4")
                               .arg(urls.size())
                               .arg(fuzz::show(urls.join(u'|')))
                               .arg(want.size())
                               .arg(fuzz::show(want.join(u'|'))));
  return 0;
}
