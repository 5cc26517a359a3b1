#include "app/SampleMapLocation.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#ifndef PELAGON_DATADIR_FROM_BINDIR
#define PELAGON_DATADIR_FROM_BINDIR "../share"
#endif

namespace pelagon {

QString sampleMapInDataFolder() {
    return QStringLiteral("pelagon/samples/alaska/Alaska.mv");
}

QStringList sampleMapCandidates(const QString& programFolder) {
    QStringList candidates;
    const QString beside = QDir::cleanPath(programFolder + QLatin1Char('/') +
                                           QStringLiteral(PELAGON_DATADIR_FROM_BINDIR) +
                                           QLatin1Char('/') + sampleMapInDataFolder());
    candidates.append(beside);
    for (const QString& dataFolder :
         QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation)) {
        const QString path =
            QDir::cleanPath(dataFolder + QLatin1Char('/') + sampleMapInDataFolder());
        if (!candidates.contains(path)) {
            candidates.append(path);
        }
    }
    return candidates;
}

QString findSampleMap(const QString& programFolder) {
    for (const QString& path : sampleMapCandidates(programFolder)) {
        const QFileInfo info(path);
        if (info.isFile()) {
            // The build folder's sample is a link into the source tree: name the real place.
            return info.canonicalFilePath();
        }
    }
    return {};
}

}  // namespace pelagon
