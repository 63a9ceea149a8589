#include "cli/console.h"

#include <fcntl.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

#include "core/app_state.h"
#include "core/tick.h"

namespace quorvel::cli {

namespace {

bool isControl(char16_t c) {
  return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

}  // namespace

QString EscapeControls(const QString& text) {
  QString out;
  out.reserve(text.size());
  for (qsizetype i = 0; i < text.size(); ++i) {
    const char16_t c = text[i].unicode();
    const bool lineEnd = c == u'\n' || (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n');
    if (!isControl(c) || c == u'\t' || lineEnd)
      out += QChar(c);
    else
      out += (c < 0x80 ? QStringLiteral("\\x") : QStringLiteral("\\u")) +
             QString::number(unsigned(c), 16)
                 .toUpper()
                 .rightJustified(c < 0x80 ? 2 : 4, QLatin1Char('0'));
  }
  return out;
}

void HoldStandardStreams() {
  for (int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    // Read-only: writes to it fail (EBADF), as they did to the closed stream.
    const int held = ::open("/dev/null", O_RDONLY);
    if (held >= 0 && held != fd) {
      ::dup2(held, fd);
      ::close(held);
    }
  }
}

Console::Console(std::FILE* out, std::FILE* err) : out_(out), err_(err) {
  outTerminal_ = isatty(fileno(out)) == 1;
  errTerminal_ = isatty(fileno(err)) == 1;
  progress_ = errTerminal_;
}

void Console::write(const QByteArray& data) {
  if (outputError_ != 0) return;  // said once; the rest is lost with it
  errno = 0;
  std::fwrite(data.constData(), 1, size_t(data.size()), out_);
  if (std::fflush(out_) == 0 && !std::ferror(out_)) return;
  outputError_ = errno != 0 ? errno : EIO;
  if (outputError_ == EPIPE) {
    appState().CancelRequested = true;  // nobody reads any more: the work may stop
    return;
  }
  error(QStringLiteral("Could not write to standard output: %1.")
            .arg(QString::fromLocal8Bit(std::strerror(outputError_))));
}

void Console::print(const QString& text) {
  endProgress();
  write((outTerminal_ ? EscapeControls(text) : text).toUtf8() + '\n');
}

void Console::printRaw(const QByteArray& data) {
  endProgress();
  write(outTerminal_ ? EscapeControls(QString::fromUtf8(data)).toUtf8() : data);
}

void Console::error(const QString& sentence) {
  endProgress();
  const QString text = QStringLiteral("quorvel: ") + sentence;
  const QByteArray bytes = (errTerminal_ ? EscapeControls(text) : text).toUtf8();
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
  QString shown = EscapeControls(line);
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
