#include "bench/run_waterfall.h"

#include <algorithm>
#include <array>

#include "bench/log_lines.h"
#include "bench/run_requests.h"
#include "core/number_format.h"

namespace quorvel {

namespace {

QString millis(std::int64_t micros) {
  return formatMask(static_cast<double>(micros) / 1000.0, "#,##0.0");
}

// The measured phases of a request in the order they happen; -1 for one that did not take
// place (the redirects' share counts only when there was one).
std::array<std::int64_t, kPhaseCount - 1> phaseMicros(const RequestDetails& d) {
  return {d.blockedMicros, d.redirectMicros > 0 ? d.redirectMicros : -1,
          d.dnsMicros,     d.connectMicros,
          d.tlsMicros,     d.sendMicros,
          d.waitMicros,    d.receiveMicros};
}

bool samePage(const RequestRecord& a, const RequestRecord& b) {
  return a.iteration == b.iteration && a.entry == b.entry;
}

// Lays the phases one after the other from the request's start, each cut at the end of its
// measured interval; what the interval holds beyond them is Other.
QList<WaterfallSegment> segmentsOf(const RequestRecord& r, std::int64_t offset) {
  QList<WaterfallSegment> segments;
  if (!r.details.known) return segments;
  const auto phases = phaseMicros(r.details);
  if (std::all_of(phases.begin(), phases.end(), [](std::int64_t m) { return m < 0; }))
    return segments;
  const std::int64_t end = offset + std::max<std::int64_t>(0, r.micros);
  std::int64_t at = offset;
  for (int p = 0; p < kPhaseCount - 1 && at < end; ++p) {
    const std::int64_t length = std::min(phases[p], end - at);
    if (length <= 0) continue;
    segments.append({static_cast<Phase>(p), at, length});
    at += length;
  }
  if (at < end) segments.append({Phase::Other, at, end - at});
  return segments;
}

// The first byte of a page loaded one file at a time: its own request's phases up to the
// answer's first byte.
std::int64_t firstByteOf(const RequestRecord& page, std::int64_t offset) {
  const auto phases = phaseMicros(page.details);
  if (!page.details.known || page.error != 0 || phases[int(Phase::Wait)] < 0) return -1;
  std::int64_t at = offset;
  for (int p = 0; p <= int(Phase::Wait); ++p) at += std::max<std::int64_t>(0, phases[p]);
  return std::min(at, offset + page.micros);
}

}  // namespace

QList<WaterfallPage> WaterfallPages(const RunRequests& run) {
  const QList<RequestRecord>& requests = run.requests();
  QList<WaterfallPage> pages;
  for (qsizetype i = 0; i < requests.size(); ++i) {
    const RequestRecord& r = requests[i];
    if (!pages.isEmpty() && samePage(requests[pages.last().first], r)) {
      ++pages.last().count;
      continue;
    }
    pages.append({r.iteration, r.entry, r.pageUrl, i, 1, false});
  }
  if (!pages.isEmpty() && requests.size() < run.total()) pages.last().cut = true;
  return pages;
}

QString WaterfallPageCaption(const WaterfallPage& page) {
  QString caption = QStringLiteral("Iteration %1, page %2: %3")
                        .arg(page.iteration)
                        .arg(page.entry)
                        .arg(page.pageUrl);
  if (page.cut) caption += QStringLiteral(" (only its first requests kept)");
  return caption;
}

QString PhaseName(Phase phase) {
  switch (phase) {
    case Phase::Queued:
      return QStringLiteral("Queued");
    case Phase::Redirect:
      return QStringLiteral("Redirects");
    case Phase::Dns:
      return QStringLiteral("DNS");
    case Phase::Connect:
      return QStringLiteral("Connect");
    case Phase::Tls:
      return QStringLiteral("TLS");
    case Phase::Send:
      return QStringLiteral("Sending");
    case Phase::Wait:
      return QStringLiteral("Waiting");
    case Phase::Receive:
      return QStringLiteral("Receiving");
    case Phase::Other:
      break;
  }
  return QStringLiteral("Other");
}

Waterfall PageWaterfall(const RunRequests& run, const WaterfallPage& page) {
  Waterfall w;
  const QList<RequestRecord>& requests = run.requests();
  const qsizetype end = std::min(page.first + page.count, requests.size());
  if (page.first < 0 || page.first >= end) return w;
  std::int64_t origin = requests[page.first].startMicros;
  for (qsizetype i = page.first; i < end; ++i) origin = std::min(origin, requests[i].startMicros);
  w.bars.reserve(end - page.first);
  for (qsizetype i = page.first; i < end; ++i) {
    const RequestRecord& r = requests[i];
    WaterfallBar bar;
    bar.record = &r;
    bar.offset = r.startMicros - origin;
    bar.segments = segmentsOf(r, bar.offset);
    w.span = std::max(w.span, bar.offset + std::max<std::int64_t>(0, r.micros));
    if (r.kind == RequestRecord::Kind::Page && w.marks.load < 0 && w.marks.firstByte < 0) {
      const std::int64_t at = bar.offset;
      const auto mark = [at](std::int64_t m) { return m < 0 ? m : at + m; };
      w.marks.load = mark(r.pageLoadMicros);
      w.marks.contentLoad = mark(r.pageContentLoadMicros);
      w.marks.firstByte =
          r.pageFirstByteMicros >= 0 ? at + r.pageFirstByteMicros : firstByteOf(r, at);
    }
    w.bars.append(bar);
  }
  for (std::int64_t m : {w.marks.firstByte, w.marks.contentLoad, w.marks.load})
    w.span = std::max(w.span, m);
  w.span = std::max<std::int64_t>(w.span, 1);
  return w;
}

std::int64_t WaterfallTick(std::int64_t span, int pixels, int minPixels) {
  constexpr std::int64_t kMaxTick = 1'000'000'000'000;
  std::int64_t tick = 1000;
  if (span <= 0 || pixels <= 0) return tick;
  for (int step = 0; tick < kMaxTick; ++step) {
    if (static_cast<double>(tick) * pixels / static_cast<double>(span) >= minPixels) break;
    tick = tick / (step % 3 == 1 ? 2 : 1) * (step % 3 == 1 ? 5 : 2);
  }
  return tick;
}

QStringList WaterfallColumns() {
  return {QStringLiteral("URL"), QStringLiteral("Status"),   QStringLiteral("Bytes"),
          QStringLiteral("ms"),  QStringLiteral("Timeline"), QStringLiteral("Error")};
}

QStringList WaterfallRow(const WaterfallBar& bar) {
  const RequestRecord& r = *bar.record;
  return {
      r.url,
      r.details.status > 0 ? QString::number(r.details.status) : QString(),
      formatMask(static_cast<double>(r.bytes), "#,##0"),
      millis(r.micros),
      WaterfallPhasesText(bar),
      r.error != 0 ? QStringLiteral("%1: %2").arg(r.error).arg(FileErrorText(r.error)) : QString()};
}

QString WaterfallPhasesText(const WaterfallBar& bar) {
  const RequestRecord& r = *bar.record;
  QStringList parts{QStringLiteral("at %1 ms").arg(millis(bar.offset))};
  if (r.details.known) {
    const auto phases = phaseMicros(r.details);
    for (int p = 0; p < kPhaseCount - 1; ++p)
      if (phases[p] >= 0)
        parts
            << QStringLiteral("%1 %2 ms").arg(PhaseName(static_cast<Phase>(p)), millis(phases[p]));
  }
  return parts.join(QStringLiteral(", "));
}

QString WaterfallTooltip(const WaterfallBar& bar) {
  const RequestRecord& r = *bar.record;
  const RequestDetails& d = r.details;
  QStringList lines{r.url};
  QString answer = d.status > 0 ? QStringLiteral("Status %1").arg(d.status) : QString();
  if (!d.httpVersion.isEmpty()) answer += QStringLiteral(" (%1)").arg(d.httpVersion);
  if (!answer.isEmpty()) answer += QStringLiteral(", ");
  lines << answer +
               QStringLiteral("%1 bytes").arg(formatMask(static_cast<double>(r.bytes), "#,##0"));
  lines << QStringLiteral("Starts at %1 ms, takes %2 ms").arg(millis(bar.offset), millis(r.micros));
  if (d.known) {
    const auto phases = phaseMicros(d);
    for (int p = 0; p < kPhaseCount - 1; ++p)
      if (phases[p] >= 0)
        lines
            << QStringLiteral("%1: %2 ms").arg(PhaseName(static_cast<Phase>(p)), millis(phases[p]));
  }
  if (r.error != 0)
    lines << QStringLiteral("Error %1: %2").arg(r.error).arg(FileErrorText(r.error));
  return lines.join('\n');
}

QString WaterfallDetailLine(const WaterfallBar& bar) {
  const RequestRecord& r = *bar.record;
  QString line =
      QStringLiteral("%1: %2 ms in all, %3").arg(r.url, millis(r.micros), WaterfallPhasesText(bar));
  if (r.error != 0)
    line += QStringLiteral("; error %1: %2").arg(r.error).arg(FileErrorText(r.error));
  return line;
}

}  // namespace quorvel
