#include "common/FileWrite.h"

#include <QDir>
#include <QSaveFile>

namespace pelagon {

QString writeFileAtomically(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        return QStringLiteral("Cannot write %1: %2")
            .arg(QDir::toNativeSeparators(path), file.errorString());
    }
    return {};
}

}  // namespace pelagon
