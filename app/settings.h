// The settings file: a sectioned key=value text file read and written one key at a time.
//
// Sections and keys are matched case-insensitively and with blanks around them ignored;
// lines without '=' and anything that is not a key of the section asked for are left alone.
// A write rewrites the whole file atomically (temporary file, then rename), so a crash or a
// full disk leaves either the old file or the new one, never half of one.
#pragma once

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

}  // namespace quorvel
