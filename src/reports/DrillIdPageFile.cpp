#include "reports/DrillIdPageFile.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include "common/FileWrite.h"
#include "reports/DrillIdPage.h"

namespace pelagon {

QString SavedPage::message() const {
    if (!saved()) {
        return QStringLiteral("The query page could not be written. %1").arg(error);
    }
    if (inFallbackFolder) {
        return QStringLiteral(
                   "The map folder cannot take the query page (%1); it was written to %2.")
            .arg(mapFolderProblem, path);
    }
    return QStringLiteral("The query page was written to %1.").arg(path);
}

QString drillIdFallbackFolder() {
    // The runtime folder is the user's own temporary folder (mode 0700); Qt makes one in the
    // system's temporary folder when the session has none.
    QString base = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (base.isEmpty()) {
        base = QDir::tempPath();
    }
    return base + QStringLiteral("/pelagon");
}

SavedPage saveDrillIdResultsPage(const QByteArray& page, const QString& folder,
                                 const QString& fallbackFolder) {
    const QString name = QString::fromLatin1(kDrillIdResultsFile);
    SavedPage result;
    const QString mainPath = QDir(folder).filePath(name);
    result.mapFolderProblem = writeFileAtomically(mainPath, page);
    if (result.mapFolderProblem.isEmpty()) {
        result.path = mainPath;
        return result;
    }

    result.inFallbackFolder = true;
    const bool existed = QFileInfo(fallbackFolder).isDir();
    if (!existed) {
        if (!QDir().mkpath(fallbackFolder)) {
            result.error = QStringLiteral("%1; the folder %2 cannot be created either.")
                               .arg(result.mapFolderProblem, fallbackFolder);
            return result;
        }
        // Only the user may read what the query found.
        QFile::setPermissions(fallbackFolder, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                  QFileDevice::ExeOwner);
    }
    const QString fallbackPath = QDir(fallbackFolder).filePath(name);
    const QString fallbackProblem = writeFileAtomically(fallbackPath, page);
    if (!fallbackProblem.isEmpty()) {
        result.error = QStringLiteral("%1; %2.").arg(result.mapFolderProblem, fallbackProblem);
        return result;
    }
    result.path = fallbackPath;
    return result;
}

}  // namespace pelagon
