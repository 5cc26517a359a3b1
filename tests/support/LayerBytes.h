#pragma once

// A shapefile layer's files as bytes, read from the sample map, edited in memory and written to
// a folder: for tests that damage layers byte by byte.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <QtEndian>

#include <bit>
#include <cstdint>

namespace pelagon::test {

// The three files of a layer as bytes, edited in memory and written to a folder.
struct LayerBytes {
    QByteArray shp, shx, dbf;
    QByteArray cpg;      // written when not empty
    QByteArray prj;      // written when not empty
    bool noShx = false;  // no .shx written
    bool noDbf = false;  // no .dbf written

    std::int64_t records() const { return (shx.size() - 100) / 8; }
    // Entry i of the index (0-based): the record's offset and content length, in bytes.
    std::int64_t offset(int i) const { return 2 * std::int64_t{be32(shx, 100 + 8 * i)}; }
    std::int64_t length(int i) const { return 2 * std::int64_t{be32(shx, 104 + 8 * i)}; }
    // Where the content of record i (0-based) begins in the .shp.
    std::int64_t content(int i) const { return offset(i) + 8; }
    // The byte of point k of poly record i.
    std::int64_t point(int i, int k) const {
        const std::int64_t parts = le32(shp, content(i) + 36);
        return content(i) + 44 + 4 * parts + 16 * k;
    }

    static std::int32_t be32(const QByteArray& b, std::int64_t at) {
        return qFromBigEndian<qint32>(b.constData() + at);
    }
    static std::int32_t le32(const QByteArray& b, std::int64_t at) {
        return qFromLittleEndian<qint32>(b.constData() + at);
    }
    static void setBe32(QByteArray& b, std::int64_t at, std::int32_t v) {
        qToBigEndian<qint32>(v, b.data() + at);
    }
    static void setLe32(QByteArray& b, std::int64_t at, std::int32_t v) {
        qToLittleEndian<qint32>(v, b.data() + at);
    }
    static void setDouble(QByteArray& b, std::int64_t at, double v) {
        qToLittleEndian<quint64>(std::bit_cast<quint64>(v), b.data() + at);
    }
};

inline QByteArray readAll(const QString& path) {
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
    return f.readAll();
}

inline void writeAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    ASSERT_EQ(f.write(bytes), bytes.size());
}

inline LayerBytes sampleLayer(const QString& name) {
    const QString base = QStringLiteral(PELAGON_SAMPLE_DIR "/Shapefiles/") + name;
    LayerBytes b;
    b.shp = readAll(base + ".shp");
    b.shx = readAll(base + ".shx");
    b.dbf = readAll(base + ".dbf");
    return b;
}

inline QString writeLayer(const QTemporaryDir& dir, const QString& name, const LayerBytes& b) {
    const QString base = dir.filePath(name);
    writeAll(base + ".shp", b.shp);
    if (!b.noShx) {
        writeAll(base + ".shx", b.shx);
    }
    if (!b.noDbf) {
        writeAll(base + ".dbf", b.dbf);
    }
    if (!b.cpg.isEmpty()) {
        writeAll(base + ".cpg", b.cpg);
    }
    if (!b.prj.isEmpty()) {
        writeAll(base + ".prj", b.prj);
    }
    return base + ".shp";
}

// Bytes of a .dbf: its header's numbers and where row r (0-based) begins.
inline std::int64_t dbfHeaderLength(const QByteArray& dbf) {
    return qFromLittleEndian<quint16>(dbf.constData() + 8);
}
inline std::int64_t dbfRowLength(const QByteArray& dbf) {
    return qFromLittleEndian<quint16>(dbf.constData() + 10);
}
inline std::int64_t dbfRow(const QByteArray& dbf, int r) {
    return dbfHeaderLength(dbf) + r * dbfRowLength(dbf);
}
inline void setLe16(QByteArray& b, std::int64_t at, int v) {
    qToLittleEndian<quint16>(static_cast<quint16>(v), b.data() + at);
}

}  // namespace pelagon::test
