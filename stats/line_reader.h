// Reads a file line by line in large blocks, without a limit on the file's size and with a
// bound on the memory a line may take: of an overlong line only its first `maxLine` bytes are
// returned. A line ends at LF; a CR before it is dropped. The last line need not end.
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

 private:
  bool fill();

  QIODevice& dev_;
  qsizetype maxLine_;
  QByteArray buf_;
  qsizetype pos_ = 0;
  qsizetype end_ = 0;
  bool eof_ = false;
  QByteArray long_;  // the kept head of a line that spans blocks
};

}  // namespace quorvel
