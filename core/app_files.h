// Opening the program's own files (the settings file, URLS.DAT, the logs, chart.dat, debug.txt,
// Quorvel.tmp) so that nothing planted in their place can hang or misuse the program:
//
// - only a regular file is ever opened: a FIFO, a device, a socket or a folder in a file's
//   place is refused before it is opened, and the descriptor is checked again after the open
//   (which itself never blocks), so a swap in between is caught as well;
// - nothing is ever written through a symbolic link: opens for writing do not follow one, and
//   a file replaced as a whole is renamed over the name itself, never over a link's target.
//
// A link may still be read through (it is the user's business where a file he reads lives),
// but only to a regular file.
#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

class QFile;

namespace quorvel {

enum class FileTrouble {
  None,
  Missing,       // nothing of that name
  SymbolicLink,  // a link where a file is written
  NotRegular,    // a FIFO, device, socket or folder
  Error,         // the system refused (read-only, no room, no permission, ...): see `error`
};

struct FileStatus {
  FileTrouble trouble = FileTrouble::None;
  int error = 0;  // errno, for FileTrouble::Error

  bool ok() const { return trouble == FileTrouble::None; }
  // Why, as a clause: "it is a symbolic link", "it is not a regular file", "Read-only file
  // system", ...
  QString reason() const;
};

// The QFile of the two opens below holds the descriptor but no file name (as every QFile opened
// on a descriptor).

// Opens an existing regular file for reading; a link to a regular file is followed.
FileStatus openForReading(QFile& file, const QString& path);

enum class WriteOpen {
  Append,         // write-only, every write at the end
  ReadAndAppend,  // read and write, every write at the end (a log that may be rotated)
  Truncate,       // write-only, emptied once it has proved to be a regular file
  CreateNew,      // the file must not exist yet
};

// Opens a regular file for writing, creating it when it is missing; never through a link.
FileStatus openForWriting(QFile& file, const QString& path, WriteOpen how);

// A file's contents replaced as a whole: written to a temporary file beside it, which takes the
// file's name only when it is complete. A failure at any point leaves the old file as it was.
// Only a regular file (or no file) is replaced; a link or anything else is refused.
class ReplacingFile {
 public:
  explicit ReplacingFile(QString path) : path_(std::move(path)) {}
  ~ReplacingFile() { cancel(); }
  ReplacingFile(const ReplacingFile&) = delete;
  ReplacingFile& operator=(const ReplacingFile&) = delete;

  FileStatus open();
  bool write(const char* data, qint64 size);
  bool write(const QByteArray& data) { return write(data.constData(), data.size()); }
  // Puts the new contents in place; afterwards nothing more can be written.
  FileStatus commit();
  // Drops the temporary file; the old file stays.
  void cancel();

 private:
  QString path_;
  QByteArray temp_;  // native name of the temporary file while it exists
  int fd_ = -1;
  int writeError_ = 0;
};

// Writes `data` as the whole contents of `path` through a ReplacingFile.
FileStatus replaceFile(const QString& path, const QByteArray& data);

// Rewrites an existing regular file in place with `data`, for a file that can be written where
// its folder cannot. Room for a longer text is reserved before anything is overwritten, and a
// write that fails half-way puts the old contents back, so a failure leaves the old file
// wherever the system allows.
FileStatus rewriteInPlace(const QString& path, const QByteArray& data);

// Trouble with one of the program's files found where no window is at hand (the settings
// file, debug.txt) is told through this reporter, once per file name (see AppState); main()
// makes it a message box. Without a reporter nothing is told.
void setFileTroubleReporter(std::function<void(const QString&)> reporter);
void tellFileTrouble(const QString& fileName, const QString& sentence);

}  // namespace quorvel
