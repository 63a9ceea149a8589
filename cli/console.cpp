#include "cli/console.h"

#include <unistd.h>

#include "core/tick.h"

namespace quorvel::cli {

Console::Console(std::FILE* out, std::FILE* err) : out_(out), err_(err) {
  progress_ = isatty(fileno(err)) == 1;
}

void Console::print(const QString& text) {
  endProgress();
  const QByteArray bytes = text.toUtf8();
  std::fwrite(bytes.constData(), 1, size_t(bytes.size()), out_);
  std::fputc('\n', out_);
  std::fflush(out_);
}

void Console::printRaw(const QByteArray& data) {
  endProgress();
  std::fwrite(data.constData(), 1, size_t(data.size()), out_);
  std::fflush(out_);
}

void Console::error(const QString& sentence) {
  endProgress();
  const QByteArray bytes = (QStringLiteral("quorvel: ") + sentence).toUtf8();
  std::fwrite(bytes.constData(), 1, size_t(bytes.size()), err_);
  std::fputc('\n', err_);
  std::fflush(err_);
}

void Console::progress(const QString& line) {
  if (!progress_) return;
  const std::int64_t now = monotonicMicros();
  if (progressOnScreen_ && now - lastProgress_ < 100'000) return;
  lastProgress_ = now;
  // One line of the terminal at most: the end of a long URL matters least.
  QString shown = line;
  if (shown.size() > 78) shown = shown.left(75) + QStringLiteral("...");
  const QByteArray bytes = (QStringLiteral("\r\033[K") + shown).toUtf8();
  std::fwrite(bytes.constData(), 1, size_t(bytes.size()), err_);
  std::fflush(err_);
  progressOnScreen_ = true;
}

void Console::endProgress() {
  if (!progressOnScreen_) return;
  std::fputs("\r\033[K", err_);
  std::fflush(err_);
  progressOnScreen_ = false;
}

}  // namespace quorvel::cli
