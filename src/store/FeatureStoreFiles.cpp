// The files of a layer: the data file a name in the map definition stands for, the files beside
// a shapefile, and the size its attribute table must have.
#include "store/FeatureStoreBuilder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace pelagon {

QString FeatureStoreBuilder::resolveDataFile(const QString& path) {
    if (path.isEmpty()) {
        return {};
    }
    if (path.startsWith(QLatin1String("/vsi"))) {
        return path;  // GDAL's virtual file systems: let OGR decide
    }
    const QFileInfo given(path);
    if (given.isFile() || (given.isDir() && !given.suffix().isEmpty())) {
        return given.absoluteFilePath();
    }
    const QFileInfo withShp(path + QStringLiteral(".shp"));
    if (withShp.isFile()) {
        return withShp.absoluteFilePath();
    }
    // Map folders made on other systems may spell file names in another letter case.
    const QString name = given.fileName();
    const QDir dir = given.absoluteDir();
    if (name.isEmpty() || !dir.exists()) {
        return {};
    }
    QString viaShp;
    const QStringList entries = dir.entryList(QDir::Files);
    for (const QString& e : entries) {
        if (e.compare(name, Qt::CaseInsensitive) == 0) {
            return dir.absoluteFilePath(e);
        }
        if (e.compare(name + QStringLiteral(".shp"), Qt::CaseInsensitive) == 0) {
            viaShp = dir.absoluteFilePath(e);
        }
    }
    return viaShp;
}

QString FeatureStoreBuilder::siblingFile(const QFileInfo& file, const QString& extension) {
    const QDir dir = file.absoluteDir();
    const QString wanted = file.completeBaseName() + QLatin1Char('.') + extension;
    if (QFileInfo(dir.filePath(wanted)).isFile()) {
        return dir.filePath(wanted);
    }
    const QStringList entries = dir.entryList(QDir::Files);
    for (const QString& e : entries) {
        if (e.compare(wanted, Qt::CaseInsensitive) == 0) {
            return dir.filePath(e);
        }
    }
    return {};
}

std::optional<QString> FeatureStoreBuilder::checkDbf(const QString& dbfPath) {
    QFile file(dbfPath);
    if (!file.open(QIODevice::ReadOnly)) {
        return QStringLiteral("its attribute table %1 cannot be opened").arg(dbfPath);
    }
    const QByteArray header = file.read(12);
    if (header.size() < 12) {
        return QStringLiteral("its attribute table %1 is truncated").arg(dbfPath);
    }
    const auto u8 = [&](int i) { return static_cast<quint64>(static_cast<quint8>(header[i])); };
    const quint64 records = u8(4) | u8(5) << 8 | u8(6) << 16 | u8(7) << 24;
    const quint64 headerLength = u8(8) | u8(9) << 8;
    const quint64 recordLength = u8(10) | u8(11) << 8;
    if (headerLength < 32 ||
        static_cast<quint64>(file.size()) < headerLength + records * recordLength) {
        return QStringLiteral("its attribute table %1 is truncated").arg(dbfPath);
    }
    return std::nullopt;
}

}  // namespace pelagon
