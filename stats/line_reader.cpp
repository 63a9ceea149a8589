#include "stats/line_reader.h"

#include <QIODevice>
#include <cstring>

namespace quorvel {

namespace {
constexpr qsizetype kBlock = 1 << 20;

QByteArrayView withoutCr(QByteArrayView v) {
  if (!v.isEmpty() && v.back() == '\r') v.chop(1);
  return v;
}
}  // namespace

LineReader::LineReader(QIODevice& device, qsizetype maxLine)
    : dev_(device), maxLine_(maxLine), buf_(kBlock, Qt::Uninitialized) {}

bool LineReader::fill() {
  if (eof_) return false;
  const qint64 n = dev_.read(buf_.data(), kBlock);
  if (n <= 0) {
    eof_ = true;
    return false;
  }
  pos_ = 0;
  end_ = n;
  return true;
}

bool LineReader::next(QByteArrayView* line) {
  long_.clear();
  bool spanning = false;  // part of this line came from an earlier block
  for (;;) {
    if (pos_ >= end_ && !fill()) {
      if (!spanning) return false;
      *line = withoutCr(long_);
      return true;
    }
    const char* start = buf_.constData() + pos_;
    const void* lf = std::memchr(start, '\n', size_t(end_ - pos_));
    if (lf) {
      const qsizetype len = static_cast<const char*>(lf) - start;
      pos_ += len + 1;
      if (!spanning) {
        *line = withoutCr(QByteArrayView(start, std::min(len, maxLine_ + 1)));
        if (line->size() > maxLine_) line->truncate(maxLine_);
        return true;
      }
      if (long_.size() < maxLine_ + 1)
        long_.append(start, std::min(len, maxLine_ + 1 - long_.size()));
      *line = withoutCr(long_);
      if (line->size() > maxLine_) line->truncate(maxLine_);
      return true;
    }
    // No line end in the rest of this block: keep what fits and read on.
    spanning = true;
    const qsizetype rest = end_ - pos_;
    if (long_.size() < maxLine_ + 1)
      long_.append(start, std::min(rest, maxLine_ + 1 - long_.size()));
    pos_ = end_;
  }
}

}  // namespace quorvel
