// Whether a file exists (mode 1) or can be opened for reading now (mode 2). Never fails.
#pragma once

#include <QString>

namespace quorvel {

inline constexpr int kFileExists = 1;
inline constexpr int kFileCanOpen = 2;

bool FileUsable(const QString& path, int mode);

}  // namespace quorvel
