// Damaged copies of the sample map's layers, made by editing the bytes of copies of their files:
// every record that OGR would read wrongly is left out and counted, with the file at fault and
// the first problem; everything else loads as from the sound file.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>

#include <bit>
#include <cmath>
#include <functional>
#include <limits>
#include <map>

#include "store/FeatureStore.h"
#include "store/ShapefileCheck.h"
#include "support/QStringPrinter.h"

namespace pelagon {
namespace {

// The three files of a layer as bytes, edited in memory and written to a folder.
struct LayerBytes {
    QByteArray shp, shx, dbf;

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

QByteArray readAll(const QString& path) {
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
    return f.readAll();
}

void writeAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    ASSERT_EQ(f.write(bytes), bytes.size());
}

LayerBytes sampleLayer(const QString& name) {
    const QString base = QStringLiteral(PELAGON_SAMPLE_DIR "/Shapefiles/") + name;
    return {readAll(base + ".shp"), readAll(base + ".shx"), readAll(base + ".dbf")};
}

QString writeLayer(const QTemporaryDir& dir, const QString& name, const LayerBytes& b) {
    const QString base = dir.filePath(name);
    writeAll(base + ".shp", b.shp);
    writeAll(base + ".shx", b.shx);
    writeAll(base + ".dbf", b.dbf);
    return base + ".shp";
}

struct DamageCase {
    const char* what;
    const char* layer;
    std::function<void(LayerBytes&)> damage;
    std::int64_t leftOut;
    const char* file;     // the file at fault
    const char* problem;  // part of the first problem
};

// Records are counted from 1 as the format numbers them; the edits index them from 0.
const DamageCase kDamageCases[] = {
    {"30 bytes inserted into a record", "statareas",
     [](LayerBytes& b) { b.shp.insert(b.point(8, 3), QByteArray(30, '\x11')); }, 1467 - 8,
     "statareas.shp", "record 9: 30 bytes past the length its index gives"},
    {"1 byte inserted into a record", "statareas",
     [](LayerBytes& b) { b.shp.insert(b.point(8, 3), QByteArray(1, '\x11')); }, 1467 - 8,
     "statareas.shp", "record 9: 1 byte past the length its index gives"},
    {"4 bytes cut out of a record", "statareas",
     [](LayerBytes& b) { b.shp.remove(b.point(8, 3), 4); }, 1467 - 8, "statareas.shp",
     "record 9: 4 bytes short of the length its index gives"},
    {"a record's point count lowered", "statareas",
     [](LayerBytes& b) {
         const std::int64_t at = b.content(8) + 40;
         LayerBytes::setLe32(b.shp, at, LayerBytes::le32(b.shp, at) - 7);
     },
     1, "statareas.shp",
     "record 9: its 271 points and 9 parts need 4416 bytes, its length is 4528"},
    {"a record's part count raised", "statareas",
     [](LayerBytes& b) { LayerBytes::setLe32(b.shp, b.content(3) + 36, 3); }, 1, "statareas.shp",
     "record 4: its 105 points and 3 parts need"},
    {"a part starting past the points", "statareas",
     [](LayerBytes& b) { LayerBytes::setLe32(b.shp, b.content(3) + 48, 9999); }, 1, "statareas.shp",
     "record 4: part 2 starts at point 9999 (of 105)"},
    {"a record of another shape type", "statareas",
     [](LayerBytes& b) { LayerBytes::setLe32(b.shp, b.content(3), 3); }, 1, "statareas.shp",
     "record 4: it holds a shape of type 3 in a file of type 5"},
    {"an index entry replaced by the next", "statareas",
     [](LayerBytes& b) { b.shx.replace(100 + 8 * 8, 8, b.shx.mid(100 + 8 * 9, 8)); }, 1,
     "statareas.shx", "record 9: its index entry points to record 10"},
    {"an index entry's length shortened", "statareas",
     [](LayerBytes& b) {
         LayerBytes::setBe32(b.shx, 104 + 8 * 8, static_cast<std::int32_t>(b.length(8) / 2 - 16));
     },
     1, "statareas.shx", "record 9: its index gives a length of 4496 bytes, the record 4528"},
    {"an index entry past the end", "statareas",
     [](LayerBytes& b) { LayerBytes::setBe32(b.shx, 100 + 8 * 20, 0x7ffffff0); }, 1,
     "statareas.shx", "record 21: its index entry points to byte 4294967264, past the end"},
    {"an index entry into the header", "statareas",
     [](LayerBytes& b) { LayerBytes::setBe32(b.shx, 100 + 8 * 2, 10); }, 1, "statareas.shx",
     "record 3: its index entry points to byte 20, inside the file header"},
    {"an index entry off by 16 bytes", "statareas",
     [](LayerBytes& b) {
         LayerBytes::setBe32(b.shx, 100 + 8 * 5, static_cast<std::int32_t>(b.offset(5) / 2 + 8));
     },
     1, "statareas.shx",
     "record 6: its index entry points to byte 13696, the record is at byte 13680"},
    {"a .dbf header counting 5 records", "statareas",
     [](LayerBytes& b) { LayerBytes::setLe32(b.dbf, 4, 5); }, 1467 - 5, "statareas.dbf",
     "record 6: the .dbf header counts 5 records, the index 1467"},
    {"a .shx header 10 entries short", "statareas",
     [](LayerBytes& b) {
         LayerBytes::setBe32(b.shx, 24, static_cast<std::int32_t>((b.shx.size() - 80) / 2));
     },
     10, "statareas.shx",
     "record 1458: the .shx header gives a length of 11756 bytes, the file has 11836"},
    {"a .shx without its last 10 entries", "statareas",
     [](LayerBytes& b) {
         b.shx.chop(80);
         LayerBytes::setBe32(b.shx, 24, static_cast<std::int32_t>(b.shx.size() / 2));
     },
     10, "statareas.shx", "record 1458: the index lists 1457 records, the .shp holds 10 more"},
    {"a .shp cut off", "statareas", [](LayerBytes& b) { b.shp.chop(1000); }, 6, "statareas.shp",
     "record 1462: the .shp is cut off 32 bytes before the end of the record"},
    {"a coordinate that is not a number", "statareas",
     [](LayerBytes& b) { LayerBytes::setDouble(b.shp, b.point(3, 2), std::nan("")); }, 1,
     "statareas.shp", "record 4: a coordinate is not a finite number"},
    {"an infinite coordinate", "statareas",
     [](LayerBytes& b) {
         LayerBytes::setDouble(b.shp, b.point(3, 2) + 8, -std::numeric_limits<double>::infinity());
     },
     1, "statareas.shp", "record 4: a coordinate is not a finite number"},
    {"a vertex outside the header's box", "statareas",
     [](LayerBytes& b) { LayerBytes::setDouble(b.shp, b.point(3, 2), 2.0e6); }, 1, "statareas.shp",
     "record 4: a vertex lies outside the box the .shp header gives"},
    {"a vertex at 5e307", "statareas",
     [](LayerBytes& b) { LayerBytes::setDouble(b.shp, b.point(3, 2) + 8, 5e307); }, 1,
     "statareas.shp", "record 4: a vertex lies outside the box the .shp header gives"},
    {"a line vertex that is not a number", "convline",
     [](LayerBytes& b) { LayerBytes::setDouble(b.shp, b.point(1, 7), std::nan("")); }, 1,
     "convline.shp", "record 2: a coordinate is not a finite number"},
    {"a point outside the header's box", "sites",
     [](LayerBytes& b) { LayerBytes::setDouble(b.shp, b.content(6) + 12, -9.0e6); }, 1, "sites.shp",
     "record 7: a vertex lies outside the box the .shp header gives"},
    {"a .dbf with rows past the index", "statareas",
     [](LayerBytes& b) {
         const std::int32_t rowLength = qFromLittleEndian<quint16>(b.dbf.constData() + 10);
         LayerBytes::setLe32(b.dbf, 4, 1470);
         b.dbf.append(QByteArray(3 * rowLength, ' '));
     },
     0, "statareas.dbf",
     "the .dbf header counts 1470 records, the index 1467: 3 attribute rows without a shape"},
    {"a header box of zeros", "statareas",
     [](LayerBytes& b) {
         for (int k = 0; k < 4; ++k) {
             LayerBytes::setDouble(b.shp, 36 + 8 * k, 0.0);
         }
     },
     0, "statareas.shp",
     "the box its header gives (0, 0 to 0, 0) holds none of its records and is ignored"},
};

// A feature's identity for comparing two reads of a layer: its source record and its box.
std::map<std::int64_t, GridBox> boxesByRecord(const FeatureStore& s) {
    std::map<std::int64_t, GridBox> out;
    for (FeatureId f = 0; f < s.featureCount(); ++f) {
        out[s.sourceFid(f)] = s.featureBox(f);
    }
    return out;
}

TEST(ShapefileDamage, EveryCorruptionIsCountedWithItsFileAndFirstProblem) {
    for (const DamageCase& c : kDamageCases) {
        SCOPED_TRACE(c.what);
        const LayerBytes sound = sampleLayer(QString::fromLatin1(c.layer));
        LayerBytes damaged = sound;
        c.damage(damaged);
        QTemporaryDir dir;
        const QString soundPath = writeLayer(dir, QStringLiteral("sound"), sound);
        const QString path = writeLayer(dir, QString::fromLatin1(c.layer), damaged);

        const StoreOpenResult good = FeatureStore::open(soundPath);
        ASSERT_TRUE(good.store);
        const StoreOpenResult r = FeatureStore::open(path);
        ASSERT_TRUE(r.store) << r.error.message.toStdString();
        const StoreDamage& d = r.store->damage();
        EXPECT_TRUE(d.any());
        EXPECT_EQ(d.records, sound.records());
        EXPECT_EQ(d.leftOut, c.leftOut);
        EXPECT_EQ(d.file, QString::fromLatin1(c.file));
        EXPECT_TRUE(d.firstProblem.contains(QString::fromLatin1(c.problem)))
            << d.firstProblem.toStdString();
        EXPECT_TRUE(
            d.summary().startsWith(QStringLiteral("%1 of %2 records left out; the damage is in %3")
                                       .arg(c.leftOut)
                                       .arg(sound.records())
                                       .arg(QString::fromLatin1(c.file))))
            << d.summary().toStdString();

        // What loaded is the sound file's features less those left out, each as it was.
        const auto expected = boxesByRecord(*good.store);
        const auto loaded = boxesByRecord(*r.store);
        EXPECT_EQ(static_cast<std::int64_t>(loaded.size()),
                  static_cast<std::int64_t>(expected.size()) - c.leftOut);
        const GridFrame& gf = good.store->frame();
        const GridFrame& df = r.store->frame();
        for (const auto& [record, box] : loaded) {
            ASSERT_TRUE(expected.count(record)) << record;
            const MapRect want = gf.toMap(expected.at(record));
            const MapRect got = df.toMap(box);
            EXPECT_NEAR(got.left, want.left, 2 * gf.step) << record;
            EXPECT_NEAR(got.top, want.top, 2 * gf.step) << record;
        }
        // Nothing left out widens the layer's extent.
        const MapRect all = good.store->extent();
        const MapRect now = r.store->extent();
        EXPECT_GE(now.left, all.left - gf.step);
        EXPECT_LE(now.right, all.right + gf.step);
        EXPECT_GE(now.bottom, all.bottom - gf.step);
        EXPECT_LE(now.top, all.top + gf.step);
    }
}

TEST(ShapefileDamage, SoundLayersLoadAsWithoutTheCheck) {
    const QDir folder(QStringLiteral(PELAGON_SAMPLE_DIR "/Shapefiles"));
    const QStringList layers = folder.entryList({QStringLiteral("*.shp")});
    ASSERT_GE(layers.size(), 10);
    for (const QString& name : layers) {
        SCOPED_TRACE(name.toStdString());
        const StoreOpenResult checked = FeatureStore::open(folder.filePath(name));
        const StoreOpenResult plain =
            FeatureStore::open(folder.filePath(name), StoreOpenOptions{false});
        ASSERT_TRUE(checked.store);
        ASSERT_TRUE(plain.store);
        EXPECT_FALSE(checked.store->damage().any())
            << checked.store->damage().summary().toStdString();
        EXPECT_EQ(checked.store->featureCount(), plain.store->featureCount());
        EXPECT_EQ(checked.store->vertexCount(), plain.store->vertexCount());
        EXPECT_EQ(boxesByRecord(*checked.store), boxesByRecord(*plain.store));
        for (std::uint32_t r = 0; r < checked.store->endRing(checked.store->featureCount() - 1);
             ++r) {
            const auto a = checked.store->ring(r);
            const auto b = plain.store->ring(r);
            ASSERT_TRUE(std::equal(a.begin(), a.end(), b.begin(), b.end())) << r;
        }
    }
}

TEST(ShapefileDamage, NothingSoundLeftIsAnUnreadableLayer) {
    LayerBytes b = sampleLayer(QStringLiteral("convline"));
    b.shp.insert(b.content(0) + 60, QByteArray(8, '\x22'));  // both records misplaced or shifted
    LayerBytes::setDouble(b.shp, b.point(0, 1), std::nan(""));
    QTemporaryDir dir;
    const QString path = writeLayer(dir, QStringLiteral("convline"), b);
    const StoreOpenResult r = FeatureStore::open(path);
    EXPECT_FALSE(r.store);
    EXPECT_EQ(r.error.kind, StoreError::Kind::Unreadable);
    EXPECT_TRUE(r.error.message.contains(
        QStringLiteral("the data is damaged: 2 of 2 records left out; the damage is in "
                       "convline.shp")))
        << r.error.message.toStdString();
}

// The whole check on bytes alone, every record read: damage to the headers themselves, which
// OGR refuses before any record is read, inputs too short to hold a header, and faults of a
// record's header that OGR reads past (a layer's open reads no record whose index entry and
// shape agree, so it does not see these; they cost nothing).
TEST(ShapefileCheckBytes, TheWholeCheck) {
    const LayerBytes sound = sampleLayer(QStringLiteral("sites"));
    auto check = [](const LayerBytes& b) {
        return checkShapefileBytes(std::as_bytes(std::span(b.shp.constData(), b.shp.size())),
                                   std::as_bytes(std::span(b.shx.constData(), b.shx.size())),
                                   std::as_bytes(std::span(b.dbf.constData(), b.dbf.size())),
                                   b.dbf.size(), QStringLiteral("sites"));
    };
    const ShapefileCheck ok = check(sound);
    EXPECT_EQ(ok.records, 40);
    EXPECT_EQ(ok.badCount(), 0);
    EXPECT_EQ(ok.problemCount, 0);
    ASSERT_TRUE(ok.box);
    EXPECT_LT((*ok.box)[0], (*ok.box)[2]);

    struct Case {
        const char* what;
        std::function<void(LayerBytes&)> damage;
        const char* problem;   // part of the first problem, or of the reason the layer is unusable
        std::int64_t bad = 0;  // records left out
    };
    const Case cases[] = {
        {"a .shp header with a wrong file code",
         [](LayerBytes& b) { LayerBytes::setBe32(b.shp, 0, 1234); }, "its header is damaged"},
        {"a .shx of 60 bytes", [](LayerBytes& b) { b.shx.truncate(60); }, "its header is damaged"},
        {"an empty .shp", [](LayerBytes& b) { b.shp.clear(); }, "its header is damaged"},
        {"a .dbf of 10 bytes", [](LayerBytes& b) { b.dbf.truncate(10); }, "is truncated"},
        {"a .dbf shorter than its rows", [](LayerBytes& b) { b.dbf.chop(100); }, "is truncated"},
        {"a .shx cut inside an entry", [](LayerBytes& b) { b.shx.chop(3); },
         "record 40: the index entry is cut off", 1},
        {"a header box upside down", [](LayerBytes& b) { LayerBytes::setDouble(b.shp, 36, 1e9); },
         ""},
        {"a record number written wrong",
         [](LayerBytes& b) { LayerBytes::setBe32(b.shp, b.offset(3), 77); },
         "record 4: its header gives the number 77"},
        {"a point record's header length too long",
         [](LayerBytes& b) { LayerBytes::setBe32(b.shp, b.offset(6) + 4, 14); },
         "record 7: its header gives a length of 28 bytes, its index 20"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        LayerBytes b = sound;
        c.damage(b);
        const ShapefileCheck r = check(b);
        const QString problem = QString::fromLatin1(c.problem);
        if (r.unreadable) {
            EXPECT_TRUE(r.unreadable->contains(problem)) << r.unreadable->toStdString();
        } else if (problem.isEmpty()) {
            EXPECT_FALSE(r.box);  // no box to hold the vertices to
            EXPECT_EQ(r.problemCount, 0);
        } else {
            ASSERT_FALSE(r.problems.empty());
            EXPECT_EQ(r.badCount(), c.bad);
            EXPECT_TRUE(r.problems.front().reason.contains(problem))
                << r.problems.front().reason.toStdString();
        }
    }
}

}  // namespace
}  // namespace pelagon
