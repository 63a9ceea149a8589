// The URL history of the main window's URL box: entries 1 to 10, entry 1 the most recent.
#pragma once

#include <QString>
#include <QStringList>
#include <array>

namespace quorvel {

// Moves `url` to entry 1. An entry equal to it (case-insensitively, the first one found) is
// taken out of its place; otherwise entry 10 falls out. Entry 1 becomes `url` as typed.
void MoveUrlToTop(std::array<QString, 11>& history, const QString& url);

// Writes entries 1 to 10 to the settings file as URLInfo/URL1..URL10 (empty entries too).
void StoreUrlHistory(const QString& settingsPath, const std::array<QString, 11>& history);

// The non-empty entries in order, as the URL box lists them.
QStringList UrlHistoryList(const std::array<QString, 11>& history);

}  // namespace quorvel
