#pragma once

#include <QFile>
#include <QString>
#include <QtEndian>

#include <bit>
#include <cstdint>

namespace pelagon::test {

// Overwrites one coordinate of a polygon or line record of a shapefile on disk, found through
// its index: vertex k of record i (both 0-based), its x or its y. Returns false when the files
// cannot be read or written.
inline bool setShapefileCoordinate(const QString& shpPath, int record, int vertex, bool y,
                                   double value) {
    QString shxPath = shpPath;
    shxPath.replace(shxPath.size() - 3, 3, QStringLiteral("shx"));
    QFile shx(shxPath);
    QFile shp(shpPath);
    if (!shx.open(QIODevice::ReadOnly) || !shp.open(QIODevice::ReadWrite)) {
        return false;
    }
    const QByteArray index = shx.readAll();
    if (index.size() < 100 + 8 * (record + 1)) {
        return false;
    }
    const qint64 offset = 2 * qint64{qFromBigEndian<qint32>(index.constData() + 100 + 8 * record)};
    if (!shp.seek(offset + 8 + 36)) {
        return false;
    }
    const QByteArray counts = shp.read(4);
    if (counts.size() != 4) {
        return false;
    }
    const qint64 parts = qFromLittleEndian<qint32>(counts.constData());
    char bytes[8];
    qToLittleEndian<quint64>(std::bit_cast<quint64>(value), bytes);
    return shp.seek(offset + 8 + 44 + 4 * parts + 16 * vertex + (y ? 8 : 0)) &&
           shp.write(bytes, 8) == 8;
}

}  // namespace pelagon::test
