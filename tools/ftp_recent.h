// The FTP test's list of recent remote files: ten slots, slot 1 the most recent, an empty
// text a free slot. Stored in the settings file as section "FTP", keys File1 to File10.
#pragma once

#include <QString>
#include <QStringList>
#include <array>

namespace quorvel {

class RemoteFileList {
 public:
  static constexpr int kSlots = 10;

  // Reads File1..File10. When none holds a value, slots 1 to 3 get the built-in entries.
  void load(const QString& settingsPath);

  // Writes every slot to File1..File10; empty slots are written as empty values.
  void save(const QString& settingsPath) const;

  // Puts `current` in slot 1. An entry equal to it ignoring case is moved up (and takes the
  // case of `current`); otherwise every slot moves down one and slot 10 is dropped.
  void moveToTop(const QString& current);

  // Removes the first slot equal to `entry` ignoring case; the slots after it move up and
  // slot 10 becomes free. Returns false when no slot matched.
  bool remove(const QString& entry);

  // Slot n (1 to 10); empty outside that range.
  QString slot(int n) const;

  // The non-empty slots, in slot order.
  QStringList entries() const;

  static QStringList defaults();

 private:
  int find(const QString& entry) const;  // 1 to 10, 0 when none matches

  std::array<QString, kSlots + 1> slots_;  // index 0 unused
};

}  // namespace quorvel
