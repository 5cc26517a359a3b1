#include "app/RecentMaps.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace pelagon {

namespace {

const QString kKey = QStringLiteral("recentMaps");

// The form an entry is kept in: absolute, without "." or ".." or doubled separators. Links are
// not resolved, so the path stays the one the user chose.
QString normalized(const QString& path) {
    if (path.isEmpty() || !QDir::isAbsolutePath(path)) {
        return {};
    }
    return QDir::cleanPath(path);
}

}  // namespace

RecentMaps::RecentMaps(QSettings& settings) : settings_(settings) {}

QStringList RecentMaps::paths() const {
    QStringList result;
    for (const QString& entry : settings_.value(kKey).toStringList()) {
        const QString path = normalized(entry);
        if (!path.isEmpty() && !result.contains(path)) {
            result.append(path);
        }
        if (result.size() == kMaximum) {
            break;
        }
    }
    return result;
}

void RecentMaps::add(const QString& path) {
    const QString entry = normalized(QFileInfo(path).absoluteFilePath());
    if (entry.isEmpty()) {
        return;
    }
    QStringList list = paths();
    list.removeAll(entry);
    list.prepend(entry);
    while (list.size() > kMaximum) {
        list.removeLast();
    }
    store(list);
}

void RecentMaps::clear() {
    store({});
}

void RecentMaps::store(const QStringList& paths) {
    settings_.setValue(kKey, paths);
    settings_.sync();
}

}  // namespace pelagon
