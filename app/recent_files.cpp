#include "app/recent_files.h"

#include <QSettings>

#include "app/command_table.h"

namespace lv::app {

namespace {
constexpr const char* kKey = "recentFiles";
}

QStringList withRecentFile(QStringList list, const QString& path) {
    list.removeAll(path);
    list.prepend(path);
    while (list.size() > kRecentFileCount) list.removeLast();
    return list;
}

QStringList loadRecentFiles() {
    QStringList stored = QSettings().value(kKey).toStringList();
    QStringList list;
    for (const QString& path : stored)
        if (!path.isEmpty() && !list.contains(path) && list.size() < kRecentFileCount)
            list.append(path);
    return list;
}

void saveRecentFiles(const QStringList& list) { QSettings().setValue(kKey, list); }

} // namespace lv::app
