// Reads a file line by line in large blocks, without a limit on the file's size and with a
// bound on the memory a line may take: of an overlong line only its first `maxLine` bytes are
// returned (and lastLineCut() says so). A line ends at CR LF, LF or CR alone, so files from
// any system read alike. The last line need not end.
#pragma once

#include <QByteArray>
#include <QByteArrayView>

class QIODevice;

namespace quorvel {

class LineReader {
 public:
  explicit LineReader(QIODevice& device, qsizetype maxLine = 4096);

  // The next line (valid until the next call); false at the end of the file or on a read error.
  bool next(QByteArrayView* line);
  // Whether the line last returned was longer than maxLine and was cut.
  bool lastLineCut() const { return cut_; }

 private:
  bool fill();
  qsizetype nextOf(char c, qsizetype* cached);
  // Takes the line [start, start + len) (plus what earlier blocks gave) and cuts it to maxLine.
  QByteArrayView finish(const char* start, qsizetype len, bool spanning);

  QIODevice& dev_;
  qsizetype maxLine_;
  QByteArray buf_;
  qsizetype pos_ = 0;
  qsizetype end_ = 0;
  qsizetype nextCr_ = -1;  // where the next CR / LF at or after pos_ is (end_ when none);
  qsizetype nextLf_ = -1;  // -1 when not looked for in this block yet
  bool eof_ = false;
  bool skipLf_ = false;  // the last line ended at a CR that closed a block: a LF may follow
  bool cut_ = false;
  QByteArray long_;  // the kept head of a line that spans blocks
};

}  // namespace quorvel
