#pragma once
// The recent-file list: most recent first, each path once, at most kRecentFileCount entries,
// kept in the application's settings between runs.
#include <QStringList>

namespace lv::app {

// list with path moved (or added) to the front, without duplicates, cut to the list's size.
QStringList withRecentFile(QStringList list, const QString& path);
// The stored list (missing or extra entries dropped), and storing it.
QStringList loadRecentFiles();
void saveRecentFiles(const QStringList& list);

} // namespace lv::app
