// Where a subcommand writes: its results to standard output, one plain sentence per error to
// standard error, and, when standard error is a terminal, a progress line that rewrites itself
// (at most ten times a second) and is wiped before anything else is written.
//
// What goes to a terminal never controls it: control characters in the text (which may come
// from a server or a page: a URL, a host name, a status line) are shown escaped ("\x1B").
// A write to standard output that fails is said once on standard error and remembered, so that
// the command does not end as a success; a closed pipe (the reader had all it wanted, as with
// "| head -1") is not said, and asks the work under way to stop.
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

  // The errno of the first write to standard output that failed; 0 when all went out.
  int outputError() const { return outputError_; }

 private:
  void write(const QByteArray& data);

  std::FILE* out_;
  std::FILE* err_;
  bool outTerminal_ = false, errTerminal_ = false;
  bool progress_ = false;
  bool progressOnScreen_ = false;
  std::int64_t lastProgress_ = 0;
  int outputError_ = 0;
};

// The text with every control character (C0 but tab and line feed, a carriage return that does
// not end a line, DEL, C1) written out as "\xHH" or "\uHHHH", for a terminal.
QString EscapeControls(const QString& text);

// Before anything is opened: a standard stream that was closed (">&-") gets a place holder, so
// that no file the program opens takes its number and receives what was meant for it. A closed
// standard output then fails every write, as it would have.
void HoldStandardStreams();

}  // namespace quorvel::cli
