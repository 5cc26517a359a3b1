// OGR reads a shapefile through WatchedShapefile as it reads the files themselves, and each
// record of the .shp and row of the .dbf it reads is shown to the watcher, until stop().
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>

#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <cstdint>
#include <cstdio>
#include <random>
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
    WatchedShapefile watched(
        base + QStringLiteral(".shp"),
        [&](WatchedShapefile::File file, std::int64_t at, std::span<const std::byte> b) {
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

// A .shp is read by the watched file system from blocks of its own: each read through it gives
// what GDAL's handler gives of the file itself (the elements read, their bytes, the place after
// it, the end), however it lies against the blocks, and shows the watcher what it read.
TEST(WatchedShapefile, ReadsAsTheFileItself) {
    constexpr std::int64_t kBlock = WatchedShapefile::kReadBlock;
    constexpr std::int64_t kSize = 3 * kBlock + 123;
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString real = dir.filePath(QStringLiteral("blocks.shp"));
    {
        QByteArray bytes(kSize, Qt::Uninitialized);
        std::mt19937 random(7);
        for (char& c : bytes) {
            c = static_cast<char>(random());
        }
        QFile f(real);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_EQ(f.write(bytes), kSize);
    }
    std::int64_t shownAt = -1;
    QByteArray shown;
    WatchedShapefile watched(
        real, [&](WatchedShapefile::File, std::int64_t at, std::span<const std::byte> b) {
            shownAt = at;
            shown = QByteArray(reinterpret_cast<const char*>(b.data()),
                               static_cast<qsizetype>(b.size()));
        });
    struct Step {
        int whence;  // SEEK_SET, SEEK_CUR or SEEK_END; -1: read on from where the last ended
        std::int64_t offset;
        std::size_t size, count;
    };
    const Step steps[] = {
        {SEEK_SET, 0, 1, 100},             // fills the first block
        {-1, 0, 1, kBlock - 100},          // ends exactly at its end
        {-1, 0, 1, 1},                     // one past it
        {SEEK_SET, kBlock - 10, 1, 20},    // across the end of a block
        {SEEK_SET, 5, 1, kBlock / 2 - 1},  // the largest read from a block
        {-1, 0, 1, kBlock / 2},            // the smallest read on its own
        {SEEK_CUR, 7, 4, 8},               // elements of several bytes
        {SEEK_SET, kSize - 10, 1, 10},     // up to the end of the file
        {-1, 0, 1, 1},                     // past it
        {SEEK_SET, kSize - 10, 1, 11},     // one byte past the end
        {SEEK_SET, kSize - 50, 100, 1},    // an element cut off at the end
        {SEEK_END, -30, 1, 30},
        {SEEK_SET, kSize + 10, 1, 1},     // from past the end
        {SEEK_SET, kBlock + 3, 1000, 3},  // elements of a thousand bytes
        {SEEK_SET, 2 * kBlock, 1, 10},    // a read elsewhere: a page
        {-1, 0, 1, 4096},                 // on past that page
    };
    VSILFILE* direct = VSIFOpenL(real.toUtf8().constData(), "rb");
    VSILFILE* through = VSIFOpenL(watched.path().toUtf8().constData(), "rb");
    ASSERT_NE(direct, nullptr);
    ASSERT_NE(through, nullptr);
    for (std::size_t k = 0; k < std::size(steps); ++k) {
        SCOPED_TRACE(k);
        const Step& s = steps[k];
        if (s.whence >= 0) {
            const auto offset = static_cast<vsi_l_offset>(s.offset);
            ASSERT_EQ(VSIFSeekL(through, offset, s.whence), VSIFSeekL(direct, offset, s.whence));
        }
        const std::int64_t before = static_cast<std::int64_t>(VSIFTellL(through));
        QByteArray a(static_cast<qsizetype>(s.size * s.count), '\0');
        QByteArray b(a.size(), '\0');
        const std::size_t n = VSIFReadL(b.data(), s.size, s.count, through);
        ASSERT_EQ(n, VSIFReadL(a.data(), s.size, s.count, direct));
        EXPECT_EQ(b.left(static_cast<qsizetype>(n * s.size)),
                  a.left(static_cast<qsizetype>(n * s.size)));
        EXPECT_EQ(VSIFTellL(through), VSIFTellL(direct));
        EXPECT_EQ(VSIFEofL(through) != 0, VSIFEofL(direct) != 0);
        if (n > 0) {
            EXPECT_EQ(shownAt, before);
            EXPECT_EQ(shown, b.left(static_cast<qsizetype>(n * s.size)));
        }
        shownAt = -1;
    }
    VSIFCloseL(through);
    VSIFCloseL(direct);
}

}  // namespace
}  // namespace pelagon
