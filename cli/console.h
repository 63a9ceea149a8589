// Where a subcommand writes: its results to standard output, one plain sentence per error to
// standard error, and, when standard error is a terminal, a progress line that rewrites itself
// (at most ten times a second) and is wiped before anything else is written.
#pragma once

#include <QString>
#include <cstdint>
#include <cstdio>

namespace quorvel::cli {

class Console {
 public:
  // progress: show progress lines; by default when `err` is a terminal.
  Console(std::FILE* out = stdout, std::FILE* err = stderr);
  void setProgress(bool on) { progress_ = on; }
  bool progressShown() const { return progress_; }

  void print(const QString& text);        // as it stands, then a line end
  void printRaw(const QByteArray& data);  // as it stands
  void error(const QString& sentence);    // "quorvel: " + sentence
  void progress(const QString& line);
  void endProgress();

 private:
  std::FILE* out_;
  std::FILE* err_;
  bool progress_ = false;
  bool progressOnScreen_ = false;
  std::int64_t lastProgress_ = 0;
};

}  // namespace quorvel::cli
