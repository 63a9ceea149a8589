// Opening a document in the program the desktop associates with it.
//
// Results follow the old shell convention: a value above 32 is success, 32 or less an error
// number (2 file not found, 5 access denied, 31 no program associated with the file type).
#pragma once

#include <QString>

namespace quorvel {

inline constexpr int kShellOk = 42;
inline constexpr int kShellFileNotFound = 2;
inline constexpr int kShellAccessDenied = 5;
inline constexpr int kShellNoAssociation = 31;

class Shell {
 public:
  virtual ~Shell() = default;
  // The command of the program associated with `document` (its program and any fixed
  // arguments, without the document) into `program`.
  virtual int findExecutable(const QString& document, QString* program) = 0;
  // Starts `program` (as given by findExecutable) on `document`, without waiting for it.
  virtual int execute(const QString& program, const QString& document) = 0;
};

// The desktop's own association: the file's MIME type from the shared MIME database, the
// default application from the mimeapps.list files and the desktop entries of the XDG
// folders, started detached.
class DesktopShell : public Shell {
 public:
  int findExecutable(const QString& document, QString* program) override;
  int execute(const QString& program, const QString& document) override;
};

Shell& desktopShell();

// The program part of a desktop entry's Exec line: field codes (%f, %U, ...) removed, "%%"
// kept as "%". Empty when the entry has no usable Exec line.
QString ExecCommandOf(const QString& desktopFileText);

}  // namespace quorvel
