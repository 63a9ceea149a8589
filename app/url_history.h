// The main window's URL history: entries 1 to 10 of appState().urlHistory, 1 most recent.
#pragma once

#include <QString>
#include <QStringList>
#include <array>

namespace quorvel {

using UrlHistory = std::array<QString, 11>;

// The non-empty entries 1 to 10, in order: the URL box's list.
QStringList HistoryListEntries(const UrlHistory& history);

// Removes the first entry equal to `url` (case-insensitively): the later entries move up one
// place and entry 10 becomes empty. Returns false, changing nothing, when there is none.
bool RemoveFromHistory(UrlHistory& history, const QString& url);

// Stores entries 1 to 10 (empty ones too) as URLInfo/"URL1" ... "URL10" in the settings file.
void SaveHistory(const UrlHistory& history);

}  // namespace quorvel
