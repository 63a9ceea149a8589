#include "core/line_reader.h"

#include <QIODevice>
#include <cstring>

namespace quorvel {

namespace {
constexpr qsizetype kBlock = 1 << 20;
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
  nextCr_ = nextLf_ = -1;
  return true;
}

// Each byte of a block is searched at most once for each of the two characters, also in a
// file that has only the other one.
qsizetype LineReader::nextOf(char c, qsizetype* cached) {
  if (*cached < pos_) {
    const void* hit = std::memchr(buf_.constData() + pos_, c, size_t(end_ - pos_));
    *cached = hit ? static_cast<const char*>(hit) - buf_.constData() : end_;
  }
  return *cached;
}

QByteArrayView LineReader::finish(const char* start, qsizetype len, bool spanning) {
  QByteArrayView line;
  if (!spanning) {
    cut_ = len > maxLine_;
    line = QByteArrayView(start, std::min(len, maxLine_));
  } else {
    if (long_.size() < maxLine_ + 1)
      long_.append(start, std::min(len, maxLine_ + 1 - long_.size()));
    cut_ = long_.size() > maxLine_;
    line = QByteArrayView(long_).first(std::min(long_.size(), maxLine_));
  }
  return line;
}

bool LineReader::next(QByteArrayView* line) {
  long_.clear();
  cut_ = false;
  bool spanning = false;  // part of this line came from an earlier block
  for (;;) {
    if (pos_ >= end_ && !fill()) {
      if (!spanning) return false;
      *line = finish(nullptr, 0, true);
      return true;
    }
    if (skipLf_) {
      skipLf_ = false;
      if (buf_[pos_] == '\n') {
        ++pos_;
        continue;
      }
    }
    const char* start = buf_.constData() + pos_;
    const qsizetype stop = std::min(nextOf('\n', &nextLf_), nextOf('\r', &nextCr_));
    if (stop < end_) {
      const qsizetype len = stop - pos_;
      pos_ = stop + 1;
      if (buf_[stop] == '\r') {
        if (pos_ < end_ && buf_[pos_] == '\n')
          ++pos_;
        else if (pos_ >= end_)
          skipLf_ = true;
      }
      *line = finish(start, len, spanning);
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
