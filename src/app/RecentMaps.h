#pragma once

#include <QString>
#include <QStringList>

class QSettings;

namespace pelagon {

// The maps opened last, most recent first, kept in the user's settings so they outlive the run.
// Entries are absolute paths of map definitions; a map that no longer exists keeps its place until
// newer ones push it out, so a drive that is not mounted today does not lose its entry.
class RecentMaps {
public:
    static constexpr int kMaximum = 8;

    explicit RecentMaps(QSettings& settings);

    // The entries as stored, most recent first. Entries that are not absolute paths (a settings
    // file edited by hand) are left out, and duplicates count once.
    QStringList paths() const;

    // Puts path first, removing an older entry of the same file, and keeps the newest kMaximum.
    void add(const QString& path);

    void clear();

private:
    void store(const QStringList& paths);

    QSettings& settings_;
};

}  // namespace pelagon
