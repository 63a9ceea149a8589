#include "tools/ftp_recent.h"

#include "core/settings.h"

namespace quorvel {

namespace {
const QString kSection = QStringLiteral("FTP");

QString keyOf(int n) {
  return QStringLiteral("File") + QString::number(n);
}
}  // namespace

QStringList RemoteFileList::defaults() {
  return {QStringLiteral("speedtest.tele2.net/1MB.zip"),
          QStringLiteral("ftp.gnu.org/gnu/hello/hello-2.12.tar.gz"),
          QStringLiteral("ftp.debian.org/debian/README")};
}

void RemoteFileList::load(const QString& settingsPath) {
  bool any = false;
  for (int n = 1; n <= kSlots; ++n) {
    slots_[n] = ReadSetting(settingsPath, kSection, keyOf(n)).value;
    if (!slots_[n].isEmpty()) any = true;
  }
  if (!any) {
    const QStringList builtIn = defaults();
    for (int i = 0; i < builtIn.size(); ++i) slots_[i + 1] = builtIn[i];
  }
}

void RemoteFileList::save(const QString& settingsPath) const {
  for (int n = 1; n <= kSlots; ++n) WriteSetting(settingsPath, kSection, keyOf(n), slots_[n]);
}

int RemoteFileList::find(const QString& entry) const {
  if (entry.isEmpty()) return 0;
  for (int n = 1; n <= kSlots; ++n)
    if (slots_[n].compare(entry, Qt::CaseInsensitive) == 0) return n;
  return 0;
}

void RemoteFileList::moveToTop(const QString& current) {
  int from = find(current);
  if (from == 0) from = kSlots;  // not in the list: the last slot drops out
  for (int n = from; n > 1; --n) slots_[n] = slots_[n - 1];
  slots_[1] = current;
}

bool RemoteFileList::remove(const QString& entry) {
  const int at = find(entry);
  if (at == 0) return false;
  for (int n = at; n < kSlots; ++n) slots_[n] = slots_[n + 1];
  slots_[kSlots].clear();
  return true;
}

QString RemoteFileList::slot(int n) const {
  return n >= 1 && n <= kSlots ? slots_[n] : QString();
}

QStringList RemoteFileList::entries() const {
  QStringList list;
  for (int n = 1; n <= kSlots; ++n)
    if (!slots_[n].isEmpty()) list << slots_[n];
  return list;
}

}  // namespace quorvel
