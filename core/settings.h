// The settings file: a sectioned key=value text file read and written one key at a time.
//
// Sections and keys are matched case-insensitively and with blanks around them ignored;
// lines without '=' and anything that is not a key of the section asked for are left alone.
// The file may begin with a UTF-8 byte-order mark and end its lines with CR LF, LF or CR; a
// write keeps the mark and the file's own line end.
//
// A write rewrites the whole file atomically (temporary file, then rename), so a crash or a
// full disk leaves either the old file or the new one, never half of one. Where the folder
// takes no new file but the file itself can be written, the file is rewritten in place (see
// rewriteInPlace). A link or anything but a regular file is neither read as settings nor
// written. A failed write sets AppState::settingsLost and is told once (tellFileTrouble).
#pragma once

#include <QByteArray>
#include <QString>

namespace quorvel {

// A value is at most this many characters long, as with a fixed 260-character buffer.
inline constexpr int kSettingBufferSize = 260;

struct SettingValue {
  QString value;   // empty when the key is missing or empty
  int length = 0;  // characters in value
};

SettingValue ReadSetting(const QString& path, const QString& section, const QString& key);

// Returns false when the file could not be written; the old file then stays as it was.
bool WriteSetting(const QString& path, const QString& section, const QString& key,
                  const QString& value);

// Writes the whole file (its first contents, when start-up creates it), as a write above.
bool WriteSettingsFile(const QString& path, const QByteArray& contents);

}  // namespace quorvel
