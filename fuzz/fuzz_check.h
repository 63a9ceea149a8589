// Property checks for the fuzz targets: a broken property is reported with the values that
// broke it and ends the program, so libFuzzer keeps the input as a crash.
#pragma once

#include <QByteArray>
#include <QString>

namespace quorvel::fuzz {

[[noreturn]] void fail(const char* file, int line, const char* condition, const QString& detail);

// A scratch folder of this process (made once, removed at exit), for targets that need files.
QString scratchFolder();

// Printable form of a text, for failure reports.
QString show(const QString& text);

}  // namespace quorvel::fuzz

#define FUZZ_CHECK(condition, detail)                                                  \
  do {                                                                                 \
    if (!(condition)) ::quorvel::fuzz::fail(__FILE__, __LINE__, #condition, (detail)); \
  } while (0)
