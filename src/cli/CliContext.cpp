#include "cli/CliContext.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#include "cli/CliErrors.h"

namespace pelagon::cli {

QString CliContext::resolvePath(const QString& path) const {
    if (path.isEmpty() || path == QStringLiteral("-")) {
        return path;
    }
    return QDir::cleanPath(QDir(startFolder).absoluteFilePath(path));
}

void writeOutputFile(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        throw InputError(QStringLiteral("Cannot write %1: %2")
                             .arg(QDir::toNativeSeparators(path), file.errorString()));
    }
}

}  // namespace pelagon::cli
