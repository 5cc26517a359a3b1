// OGR reads a shapefile through WatchedShapefile as it reads the files themselves, and each
// record of the .shp and row of the .dbf it reads is shown to the watcher, until stop().
#include <gtest/gtest.h>

#include <QFile>
#include <QtEndian>

#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <cstdint>
#include <vector>

#include "store/WatchedShapefile.h"

namespace pelagon {
namespace {

struct Block {
    WatchedShapefile::File file;
    std::int64_t at;
    QByteArray bytes;
};

// The features OGR reads from path, all fields read.
std::int64_t featuresRead(const QString& path) {
    GDALAllRegister();
    GDALDatasetUniquePtr ds(
        GDALDataset::Open(path.toUtf8().constData(), GDAL_OF_VECTOR | GDAL_OF_READONLY));
    if (!ds) {
        return -1;
    }
    std::int64_t n = 0;
    OGRLayer& layer = *ds->GetLayer(0);
    while (OGRFeatureUniquePtr f{layer.GetNextFeature()}) {
        n += f->GetGeometryRef() != nullptr && f->IsFieldSetAndNotNull(0);
    }
    return n;
}

TEST(WatchedShapefile, ShowsEachRecordAndRowOgrReadsUntilStopped) {
    const QString base = QStringLiteral(PELAGON_SAMPLE_DIR "/Shapefiles/sites");
    QFile dbfFile(base + QStringLiteral(".dbf"));
    ASSERT_TRUE(dbfFile.open(QIODevice::ReadOnly));
    const QByteArray dbf = dbfFile.readAll();
    const std::int64_t rows = qFromLittleEndian<quint32>(dbf.constData() + 4);
    const std::int64_t headerLength = qFromLittleEndian<quint16>(dbf.constData() + 8);
    const std::int64_t rowLength = qFromLittleEndian<quint16>(dbf.constData() + 10);

    std::vector<Block> blocks;
    WatchedShapefile watched(base + QStringLiteral(".shp"),
                             [&](WatchedShapefile::File file, std::int64_t at,
                                 std::span<const std::byte> b) {
                                 blocks.push_back({file, at,
                                                   QByteArray(reinterpret_cast<const char*>(b.data()),
                                                              static_cast<qsizetype>(b.size()))});
                             });
    ASSERT_EQ(featuresRead(watched.path()), featuresRead(base + QStringLiteral(".shp")));
    ASSERT_EQ(featuresRead(watched.path()), rows);

    // Every row in order, each in a block of its own with its bytes as the file holds them,
    // and every record, its block beginning with its header.
    std::int64_t row = 0, record = 0;
    for (const Block& b : blocks) {
        if (b.file == WatchedShapefile::File::Dbf && b.at >= headerLength && row < rows) {
            EXPECT_EQ(b.at, headerLength + row * rowLength);
            EXPECT_EQ(b.bytes, dbf.mid(b.at, rowLength));
            ++row;
        } else if (b.file == WatchedShapefile::File::Shp && b.at >= 100 && record < rows) {
            ASSERT_GE(b.bytes.size(), 8);
            EXPECT_EQ(qFromBigEndian<qint32>(b.bytes.constData()), record + 1);
            ++record;
        }
    }
    EXPECT_EQ(row, rows);
    EXPECT_EQ(record, rows);

    watched.stop();
    blocks.clear();
    EXPECT_EQ(featuresRead(watched.path()), rows);
    EXPECT_TRUE(blocks.empty());
}

}  // namespace
}  // namespace pelagon
