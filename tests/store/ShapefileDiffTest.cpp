// The comparison with shapelib (support/ShapefileDiff.h) that the harness fuzz_shapefile_diff
// runs: it finds a feature that is not the record or the row of its number, and nothing else.
// The store is read from the sound files, the truth from edited copies, so each edit stands for
// a store that read its layer wrongly.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>

#include <bit>
#include <functional>
#include <set>

#include "store/FeatureStore.h"
#include "store/ShapefileCheck.h"
#include "support/QStringPrinter.h"
#include "support/ShapefileDiff.h"

namespace pelagon::test {
namespace {

struct Layer {
    QByteArray shp, shx, dbf;
    double step = 1.0;  // the store's grid step

    qsizetype offset(int i) const {
        return 2 * qsizetype{qFromBigEndian<qint32>(shx.constData() + 100 + 8 * i)};
    }
    qsizetype size(int i) const {
        return 8 + 2 * qsizetype{qFromBigEndian<qint32>(shx.constData() + 104 + 8 * i)};
    }
    qsizetype headerLength() const { return qFromLittleEndian<quint16>(dbf.constData() + 8); }
    qsizetype rowLength() const { return qFromLittleEndian<quint16>(dbf.constData() + 10); }
    // The x of the second vertex of polygon record i (0-based): not the ring's closing one.
    qsizetype secondX(int i) const {
        return offset(i) + 8 + 44 +
               4 * qFromLittleEndian<qint32>(shp.constData() + offset(i) + 44) + 16;
    }
    double x(qsizetype at) const {
        return std::bit_cast<double>(qFromLittleEndian<quint64>(shp.constData() + at));
    }
    void setX(qsizetype at, double v) {
        qToLittleEndian<quint64>(std::bit_cast<quint64>(v), shp.data() + at);
    }
};

QByteArray bytesOf(const QString& path) {
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
    return f.readAll();
}

void put(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

struct DiffCase {
    const char* what;
    std::function<void(Layer&)> edit;               // of the truth's files
    std::function<void(ShapefileCheck&)> reported;  // what the program is said to report
    std::set<QString> kinds;                        // the findings' kinds
    std::set<std::int64_t> records;                 // the records they name
};

void PrintTo(const DiffCase& c, std::ostream* os) {
    *os << c.what;
}

void none(ShapefileCheck&) {}

// Writes at byte at what passes for a record of another layer: a line of one point numbered
// number, 72 bytes with its header.
void putLine(Layer& l, qsizetype at, qint32 number) {
    qToBigEndian<qint32>(number, l.shp.data() + at);
    qToBigEndian<qint32>(32, l.shp.data() + at + 4);
    qToLittleEndian<qint32>(3, l.shp.data() + at + 8);
    qToLittleEndian<qint32>(1, l.shp.data() + at + 44);
    qToLittleEndian<qint32>(1, l.shp.data() + at + 48);
    qToLittleEndian<qint32>(0, l.shp.data() + at + 52);
}

// Writes, 100 bytes past byte at, what passes for the headers of two records numbered 9 and 10
// of 10 words each, laid end to end.
void putTwoHeaders(Layer& l, qsizetype at) {
    for (int k = 0; k < 2; ++k) {
        qToBigEndian<qint32>(9 + k, l.shp.data() + at + 100 + 28 * k);
        qToBigEndian<qint32>(10, l.shp.data() + at + 104 + 28 * k);
    }
}

// crabareas: three polygon records; fields NAME (C 40), SPECIES (C 20), AREA_KM2 (N 12.1).
const DiffCase kDiffCases[] = {
    {"the sound files", [](Layer&) {}, none, {}, {}},
    {"a vertex moved by a quarter of the grid step",
     [](Layer& l) { l.setX(l.secondX(1), l.x(l.secondX(1)) + l.step / 4); },
     none,
     {},
     {}},
    {"a vertex moved by three grid steps",
     [](Layer& l) { l.setX(l.secondX(1), l.x(l.secondX(1)) + 3 * l.step); },
     none,
     {"geometry"},
     {2}},
    {"index entries swapped (the truth walks the .shp)",
     [](Layer& l) {
         std::swap_ranges(l.shx.begin() + 100, l.shx.begin() + 108, l.shx.begin() + 108);
     },
     none,
     {},
     {}},
    {"two records' shapes swapped in the .shp",
     [](Layer& l) {
         const QByteArray first = l.shp.mid(l.offset(0), l.size(0));
         const QByteArray second = l.shp.mid(l.offset(1), l.size(1));
         l.shp.replace(l.offset(0), first.size() + second.size(), second + first);
         qToBigEndian<qint32>(1, l.shp.data() + 100);
         qToBigEndian<qint32>(2, l.shp.data() + 100 + second.size());
     },
     none,
     {"geometry"},
     {1, 2}},
    {"a record numbered out of turn",
     [](Layer& l) { qToBigEndian<qint32>(1, l.shp.data() + l.offset(1)); },
     none,
     {"no-shp-record"},
     {2}},
    {"a record's number jumping ahead, the next going on from the one before",
     [](Layer& l) { qToBigEndian<qint32>(9, l.shp.data() + l.offset(1)); },
     none,
     {"no-shp-record"},
     {2}},
    {"a record's number jumping ahead, the next record's header damaged",
     [](Layer& l) {
         qToBigEndian<qint32>(5, l.shp.data() + l.offset(0));
         qToBigEndian<qint32>(-5, l.shp.data() + l.offset(1));
         qToBigEndian<qint32>(-5, l.shp.data() + l.offset(1) + 4);
     },
     none,
     {"no-shp-record"},
     {1, 2}},
    {"a record numbered out of turn, its length running into the next",
     [](Layer& l) {
         qToBigEndian<qint32>(1, l.shp.data() + l.offset(1));
         qToBigEndian<qint32>(static_cast<qint32>(l.size(1) / 2), l.shp.data() + l.offset(1) + 4);
     },
     none,
     {"no-shp-record"},
     {2}},
    {"a damaged record header, its content holding what passes for two records",
     [](Layer& l) {
         const qsizetype at = l.offset(1);
         qToBigEndian<qint32>(-5, l.shp.data() + at);
         qToBigEndian<qint32>(0x7ffffff, l.shp.data() + at + 4);
         putTwoHeaders(l, at);
     },
     none,
     {"no-shp-record"},
     {2}},
    {"a damaged record header after a record whose box passes for a header",
     [](Layer& l) {
         qToBigEndian<qint32>(-5, l.shp.data() + l.offset(1));
         qToBigEndian<qint32>(0x7ffffff, l.shp.data() + l.offset(1) + 4);
         qToBigEndian<qint32>(2, l.shp.data() + l.offset(0) + 12);
         qToBigEndian<qint32>(10, l.shp.data() + l.offset(0) + 16);
     },
     none,
     {"no-shp-record"},
     {2}},
    {"lengths past the file around a sound record, what passes for a header after it",
     [](Layer& l) {
         qToBigEndian<qint32>(0x7ffffff, l.shp.data() + l.offset(0) + 4);
         qToBigEndian<qint32>(0x7ffffff, l.shp.data() + l.offset(2) + 4);
         const qsizetype at = l.offset(2) + 108;
         qToBigEndian<qint32>(9, l.shp.data() + at);
         qToBigEndian<qint32>(static_cast<qint32>((l.shp.size() - at - 8) / 2),
                              l.shp.data() + at + 4);
     },
     none,
     {"no-shp-record"},
     {1, 3}},
    {"a length past the file over a line record numbered as the next",
     [](Layer& l) {
         qToBigEndian<qint32>(0x7ffffff, l.shp.data() + l.offset(1) + 4);
         putLine(l, l.offset(1) + 100, 3);
     },
     none,
     {"no-shp-record"},
     {2}},
    {"a null shape's length running into a later record over line records numbered as the "
     "next two",
     [](Layer& l) {
         const auto words = static_cast<qint32>((l.offset(2) + 100 - l.offset(0) - 8) / 2);
         qToBigEndian<qint32>(words, l.shp.data() + l.offset(0) + 4);
         qToLittleEndian<qint32>(0, l.shp.data() + l.offset(0) + 8);
         putLine(l, l.offset(0) + 100, 2);
         putLine(l, l.offset(0) + 172, 3);
     },
     none,
     {"geometry"},
     {1}},
    {"two damaged headers, a point record inside the first",
     [](Layer& l) {
         const qsizetype at = l.offset(0) + 100;
         qToBigEndian<qint32>(1025, l.shp.data() + l.offset(0));
         qToBigEndian<qint32>(-5, l.shp.data() + l.offset(1));
         qToBigEndian<qint32>(-5, l.shp.data() + l.offset(1) + 4);
         qToBigEndian<qint32>(9, l.shp.data() + at);
         qToBigEndian<qint32>(10, l.shp.data() + at + 4);
         qToLittleEndian<qint32>(1, l.shp.data() + at + 8);
     },
     none,
     {"no-shp-record"},
     {1, 2}},
    {"records numbered from 0 (the truth counts them from 0)",
     [](Layer& l) {
         for (int i = 0; i < 3; ++i) {
             qToBigEndian<qint32>(i, l.shp.data() + l.offset(i));
         }
     },
     none,
     {},
     {}},
    {"records numbered from 0, the first one's length damaged",
     [](Layer& l) {
         for (int i = 0; i < 3; ++i) {
             qToBigEndian<qint32>(i, l.shp.data() + l.offset(i));
         }
         qToBigEndian<qint32>(1, l.shp.data() + l.offset(0) + 4);
     },
     none,
     {"no-shp-record"},
     {1}},
    {"records numbered from 0, the first one's header damaged",
     [](Layer& l) {
         for (int i = 0; i < 3; ++i) {
             qToBigEndian<qint32>(i == 0 ? 15 : i, l.shp.data() + l.offset(i));
         }
         qToBigEndian<qint32>(0x7ffffff, l.shp.data() + l.offset(0) + 4);
     },
     none,
     {"no-shp-record"},
     {1}},
    {"records numbered from 0, the first two headers damaged (their places tell)",
     [](Layer& l) {
         qToBigEndian<qint32>(15, l.shp.data() + l.offset(0));
         qToBigEndian<qint32>(0x7ffffff, l.shp.data() + l.offset(0) + 4);
         qToBigEndian<qint32>(7, l.shp.data() + l.offset(1));
         qToBigEndian<qint32>(2, l.shp.data() + l.offset(2));
     },
     none,
     {"no-shp-record"},
     {1, 2}},
    {"records numbered from 0, the last one's length damaged over what passes for two records",
     [](Layer& l) {
         const qsizetype at = l.offset(2);
         for (int i = 0; i < 3; ++i) {
             qToBigEndian<qint32>(i, l.shp.data() + l.offset(i));
         }
         qToBigEndian<qint32>(0x7ffffff, l.shp.data() + at + 4);
         putTwoHeaders(l, at);
     },
     none,
     {"no-shp-record"},
     {3}},
    {"a record's length running to the end of the file over the next",
     [](Layer& l) {
         const auto words = static_cast<qint32>((l.shp.size() - l.offset(1) - 8) / 2);
         qToBigEndian<qint32>(words, l.shp.data() + l.offset(1) + 4);
     },
     none,
     {},
     {}},
    {"a record's length 4 bytes short of its shape",
     [](Layer& l) {
         const auto words = static_cast<qint32>((l.size(0) - 8 - 4) / 2);
         qToBigEndian<qint32>(words, l.shp.data() + l.offset(0) + 4);
     },
     none,
     {},
     {}},
    {"a record's length running to the end of the file, a later record's number damaged",
     [](Layer& l) {
         const auto words = static_cast<qint32>((l.shp.size() - l.offset(0) - 8) / 2);
         qToBigEndian<qint32>(words, l.shp.data() + l.offset(0) + 4);
         qToBigEndian<qint32>(7777, l.shp.data() + l.offset(2));
     },
     none,
     {"no-shp-record"},
     {3}},
    {"records numbered 0, 1 and 3 of three (the counts refute counting from 0)",
     [](Layer& l) {
         for (int i = 0; i < 3; ++i) {
             qToBigEndian<qint32>(i < 2 ? i : 3, l.shp.data() + l.offset(i));
         }
     },
     none,
     {"geometry", "no-shp-record"},
     {1, 2}},
    {"a record changed, a sound copy of it as it was appended (either reads as it)",
     [](Layer& l) {
         l.shp.append(l.shp.mid(l.offset(2), l.size(2)));
         l.setX(l.secondX(2), l.x(l.secondX(2)) + 3 * l.step);
     },
     none,
     {},
     {}},
    {"a text changed",
     [](Layer& l) { l.dbf[l.headerLength() + l.rowLength() + 1] = 'Q'; },
     none,
     {"attribute"},
     {2}},
    {"a number written with another trailing zero",
     [](Layer& l) {
         const qsizetype at = l.headerLength() + 61;
         const QByteArray v = l.dbf.mid(at, 12).trimmed() + '0';
         l.dbf.replace(at, 12, v.rightJustified(12, ' '));
     },
     none,
     {},
     {}},
    {"a .dbf header length one more (the truth reads by the descriptors)",
     [](Layer& l) {
         qToLittleEndian<quint16>(static_cast<quint16>(l.headerLength() + 1), l.dbf.data() + 8);
     },
     none,
     {},
     {}},
    {"a byte cut out of a row",
     [](Layer& l) { l.dbf.remove(l.headerLength() + 5, 1); },
     none,
     {"dbf-unreadable"},
     {0}},
    {"a row marked deleted",
     [](Layer& l) { l.dbf[l.headerLength() + 2 * l.rowLength()] = '*'; },
     none,
     {"deleted-row-kept"},
     {3}},
    {"a row beginning with neither ' ' nor '*'",
     [](Layer& l) { l.dbf[l.headerLength()] = 'x'; },
     none,
     {"row-unreadable"},
     {1}},
    {"a changed text whose record is reported",
     [](Layer& l) { l.dbf[l.headerLength() + 1] = 'Q'; },
     [](ShapefileCheck& c) {
         c.bad = {1, 0, 0};
     },
     {},
     {}},
    {"a changed text, the .dbf reported as a whole",
     [](Layer& l) { l.dbf[l.headerLength() + 1] = 'Q'; },
     [](ShapefileCheck& c) {
         c.problems.push_back({QStringLiteral("crabareas.dbf"), 0, QStringLiteral("x")});
     },
     {},
     {}},
    {"a changed text, only the .shp reported as a whole",
     [](Layer& l) { l.dbf[l.headerLength() + 1] = 'Q'; },
     [](ShapefileCheck& c) {
         c.problems.push_back({QStringLiteral("crabareas.shp"), 0, QStringLiteral("x")});
     },
     {"attribute"},
     {1}},
};

class ShapefileDiffCases : public ::testing::TestWithParam<DiffCase> {};

TEST_P(ShapefileDiffCases, FindsWhatDiffers) {
    const DiffCase& c = GetParam();
    const QString sound = QStringLiteral(PELAGON_SAMPLE_DIR "/Shapefiles/crabareas");
    const StoreOpenResult opened = FeatureStore::open(sound + ".shp");
    ASSERT_TRUE(opened.store);
    ASSERT_EQ(opened.store->featureCount(), 3u);
    Layer l{bytesOf(sound + ".shp"), bytesOf(sound + ".shx"), bytesOf(sound + ".dbf"),
            opened.store->frame().step};
    c.edit(l);
    QTemporaryDir dir;
    const QString base = dir.filePath(QStringLiteral("crabareas"));
    put(base + ".shp", l.shp);
    put(base + ".shx", l.shx);
    put(base + ".dbf", l.dbf);
    ShapefileCheck reported;
    reported.records = 3;
    reported.bad.assign(3, 0);
    c.reported(reported);

    const DiffReport r = compareStoreWithShapelib(*opened.store, reported, base, dir.path());
    std::set<QString> kinds;
    std::set<std::int64_t> records;
    for (const DiffFinding& f : r.findings) {
        kinds.insert(f.kind);
        records.insert(f.record);
    }
    EXPECT_EQ(kinds, c.kinds) << r.text().toStdString();
    EXPECT_EQ(records, c.records) << r.text().toStdString();
}

INSTANTIATE_TEST_SUITE_P(Edits, ShapefileDiffCases, ::testing::ValuesIn(kDiffCases),
                         [](const auto& info) {
                             std::string name;
                             for (const char* p = info.param.what; *p; ++p) {
                                 name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
                             }
                             return name;
                         });

// Every layer of the sample map reads in the store as shapelib reads it.
TEST(ShapefileDiff, SampleLayersAgreeWithShapelib) {
    const QDir folder(QStringLiteral(PELAGON_SAMPLE_DIR "/Shapefiles"));
    const QStringList layers = folder.entryList({QStringLiteral("*.shp")});
    ASSERT_GE(layers.size(), 8);
    for (const QString& layer : layers) {
        QTemporaryDir scratch;
        const DiffReport r = compareWithShapelib(folder.filePath(layer.chopped(4)), scratch.path());
        EXPECT_TRUE(r.opened) << layer.toStdString();
        EXPECT_GT(r.compared, 0) << layer.toStdString();
        EXPECT_EQ(r.findings.size(), 0u) << layer.toStdString() << "\n" << r.text().toStdString();
    }
}

}  // namespace
}  // namespace pelagon::test
