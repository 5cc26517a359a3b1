#pragma once

#include <QByteArray>
#include <QString>

namespace pelagon {

// Where the query page went.
struct SavedPage {
    QString path;                   // the file written; empty when none could be written
    bool inFallbackFolder = false;  // true when the map folder could not take it
    QString mapFolderProblem;       // why the map folder could not take it (plain words)
    QString error;                  // why nothing could be written; empty on success

    bool saved() const { return !path.isEmpty(); }
    // One sentence for the user: where the page went and why, or why it could not be written.
    QString message() const;
};

// The per-user temporary folder that takes the query page when the map folder cannot (read-only
// media, no permission). Created on demand, readable only by the user.
QString drillIdFallbackFolder();

// Writes page as drillID_results.htm into folder, replacing an earlier one. When that fails, writes
// it into fallbackFolder (created when missing) and says so.
SavedPage saveDrillIdResultsPage(const QByteArray& page, const QString& folder,
                                 const QString& fallbackFolder = drillIdFallbackFolder());

}  // namespace pelagon
