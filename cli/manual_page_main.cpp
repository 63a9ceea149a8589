// Writes the manual page quorvel(1) to standard output; the build runs it to make quorvel.1.
#include <cstdio>

#include "cli/manual_page.h"

int main() {
  const QByteArray page = quorvel::cli::ManualPage().toUtf8();
  return std::fwrite(page.constData(), 1, size_t(page.size()), stdout) == size_t(page.size()) ? 0 : 1;
}
