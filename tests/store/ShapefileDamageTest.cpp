// Damaged copies of the sample map's layers, made by editing the bytes of copies of their files:
// every record that OGR would read wrongly is left out and counted, every record whose attribute
// row cannot be proven its own is kept without attributes, with the file at fault and the first
// problem; everything else loads as from the sound file, attributes included.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>

#include <algorithm>
#include <bit>
#include <cmath>
#include <functional>
#include <limits>
#include <map>

#include "store/FeatureStore.h"
#include "store/ShapefileCheck.h"
#include "store/TextColumn.h"
#include "support/LayerBytes.h"
#include "support/LayerFixtures.h"
#include "support/QStringPrinter.h"

namespace pelagon {
namespace {

using test::dbfRow;
using test::dbfRowLength;
using test::LayerBytes;
using test::readAll;
using test::sampleLayer;
using test::setLe16;
using test::writeLayer;

struct DamageCase {
    const char* what;
    const char* layer;
    std::function<void(LayerBytes&)> damage;
    std::int64_t leftOut;
    const char* file;     // the file at fault
    const char* problem;  // part of the first problem
    std::int64_t withoutAttributes = 0;
};

// Records are counted from 1 as the format numbers them; the edits index them from 0.
const DamageCase kDamageCases[] = {
    // The .shp: a damaged record costs itself alone; the records after it are found again.
    {"30 bytes inserted into a record", "statareas",
     [](LayerBytes& b) { b.shp.insert(b.point(8, 3), QByteArray(30, '\x11')); }, 1, "statareas.shp",
     "record 9: 30 bytes past the length its header gives"},
    {"1 byte inserted into the first record", "statareas",
     [](LayerBytes& b) { b.shp.insert(b.point(0, 3), QByteArray(1, '\x11')); }, 1, "statareas.shp",
     "record 1: 1 byte past the length its header gives"},
    {"4 bytes cut out of a record", "statareas",
     [](LayerBytes& b) { b.shp.remove(b.point(8, 3), 4); }, 1, "statareas.shp",
     "record 9: 4 bytes short of the length its header gives"},
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
    {"a record's shape type set to null", "sites",
     [](LayerBytes& b) { LayerBytes::setLe32(b.shp, b.content(4), 0); }, 1, "sites.shp",
     "record 5: its shape type is null, yet its length is 20 bytes"},
    {"a point that is not a number", "sites",
     [](LayerBytes& b) { LayerBytes::setDouble(b.shp, b.content(3) + 4, std::nan("")); }, 1,
     "sites.shp", "record 4: a coordinate is not a finite number"},
    {"a record cut out of the .shp", "sites", [](LayerBytes& b) { b.shp.remove(b.offset(9), 28); },
     1, "sites.shp", "record 10: the .shp holds record number 11 in its place", 30},
    // Record numbers that no numbering explains: which row is whose is not known.
    {"every record numbered 7", "sites",
     [](LayerBytes& b) {
         for (int i = 0; i < 40; ++i) {
             LayerBytes::setBe32(b.shp, b.offset(i), 7);
         }
     },
     0, "sites.shp",
     "record 1: the records are numbered neither from 1 nor from 0 (all 40 read give the "
     "number 7)",
     40},
    {"the last record numbered 0", "sites",
     [](LayerBytes& b) { LayerBytes::setBe32(b.shp, b.offset(39), 0); }, 0, "sites.shp",
     "record 1: the records are numbered neither from 1 nor from 0 (the 40 read give numbers "
     "from 0 to 39, the first two 1 and 2)",
     40},
    {"records numbered from 0, the last 40 of 40 rows", "sites",
     [](LayerBytes& b) {
         for (int i = 0; i < 40; ++i) {
             LayerBytes::setBe32(b.shp, b.offset(i), i < 39 ? i : 40);
         }
     },
     0, "sites.shp", "records 1 to 40 are kept without attributes", 40},
    {"a .shp cut off at a record's end", "sites",
     [](LayerBytes& b) { b.shp.truncate(b.offset(30)); }, 10, "sites.shp",
     "record 31: the .shp is cut off after 30 records"},
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
    {"a header box of zeros", "statareas",
     [](LayerBytes& b) {
         for (int k = 0; k < 4; ++k) {
             LayerBytes::setDouble(b.shp, 36 + 8 * k, 0.0);
         }
     },
     0, "statareas.shp",
     "the box its header gives (0, 0 to 0, 0) holds none of its records and is ignored"},
    {"the .shp header's shape type made PolygonZ", "statareas",
     [](LayerBytes& b) { LayerBytes::setLe32(b.shp, 32, 15); }, 0, "statareas.shp",
     "its header gives the shape type 15, its records are of type 5; they are read as such"},
    {"the .shp header's shape type made a line's, no .shx", "sites",
     [](LayerBytes& b) {
         LayerBytes::setLe32(b.shp, 32, 3);
         b.noShx = true;
     },
     0, "sites.shp", "its header gives the shape type 3, its records are of type 1"},
    // The .shx: the index is rebuilt from the .shp, and every record read.
    {"the .shx header's shape type made a point's", "statareas",
     [](LayerBytes& b) { LayerBytes::setLe32(b.shx, 32, 1); }, 0, "statareas.shx",
     "its header gives the shape type 1, the .shp 5; the index was rebuilt"},
    {"an index entry replaced by the next", "statareas",
     [](LayerBytes& b) { b.shx.replace(100 + 8 * 8, 8, b.shx.mid(100 + 8 * 9, 8)); }, 0,
     "statareas.shx",
     "record 9: its index entry (byte 27188, 2520 bytes) disagrees with the .shp, where the "
     "record lies at byte 22652 (4528 bytes); the index was rebuilt from the .shp (1467 records "
     "read)"},
    {"two index entries swapped", "sites",
     [](LayerBytes& b) {
         const QByteArray e = b.shx.mid(100 + 8 * 4, 8);
         b.shx.replace(100 + 8 * 4, 8, b.shx.mid(100 + 8 * 5, 8));
         b.shx.replace(100 + 8 * 5, 8, e);
     },
     0, "sites.shx", "record 5: its index entry (byte 240, 20 bytes) disagrees"},
    // Of equal length, OGR reads both whole: only their numbers tell, read as OGR reads them.
    {"two records of equal length swapped, the index sound", "sites",
     [](LayerBytes& b) {
         const QByteArray r = b.shp.mid(b.offset(4), 28);
         b.shp.replace(b.offset(4), 28, b.shp.mid(b.offset(5), 28));
         b.shp.replace(b.offset(5), 28, r);
     },
     0, "sites.shp", "record 5: its header gives the number 6; it is kept without attributes", 2},
    {"8 bytes inserted into the .shx", "sites",
     [](LayerBytes& b) { b.shx.insert(100 + 8 * 20, QByteArray(8, '\x05')); }, 0, "sites.shx",
     "record 21: its index entry"},
    {"an index entry's length shortened", "statareas",
     [](LayerBytes& b) {
         LayerBytes::setBe32(b.shx, 104 + 8 * 8, static_cast<std::int32_t>(b.length(8) / 2 - 16));
     },
     0, "statareas.shx", "record 9: its index entry (byte 22652, 4496 bytes) disagrees"},
    {"an index entry past the end", "statareas",
     [](LayerBytes& b) { LayerBytes::setBe32(b.shx, 100 + 8 * 20, 0x7ffffff0); }, 0,
     "statareas.shx", "record 21: its index entry (byte 4294967264, 2800 bytes) disagrees"},
    {"an index entry into the header", "statareas",
     [](LayerBytes& b) { LayerBytes::setBe32(b.shx, 100 + 8 * 2, 10); }, 0, "statareas.shx",
     "record 3: its index entry (byte 20, 1476 bytes) disagrees"},
    {"a .shx header 10 entries short", "statareas",
     [](LayerBytes& b) {
         LayerBytes::setBe32(b.shx, 24, static_cast<std::int32_t>((b.shx.size() - 80) / 2));
     },
     0, "statareas.shx", "its header gives a length of 11756 bytes, the file has 11836"},
    {"a .shx without its last 10 entries", "statareas",
     [](LayerBytes& b) {
         b.shx.chop(80);
         LayerBytes::setBe32(b.shx, 24, static_cast<std::int32_t>(b.shx.size() / 2));
     },
     0, "statareas.shx", "it lists 1457 records, the .shp holds 1467"},
    {"no .shx", "sites", [](LayerBytes& b) { b.noShx = true; }, 0, "sites.shx",
     "the .shx is missing; the index was rebuilt from the .shp (40 records read)"},
    // The .dbf: rows that cannot be proven a shape's own are not read.
    {"a .dbf header counting 5 records", "statareas",
     [](LayerBytes& b) { LayerBytes::setLe32(b.dbf, 4, 5); }, 0, "statareas.dbf",
     "the .dbf header counts 5 records, the file holds 1467; the 1467 are read"},
    {"a .dbf header counting 3 records too many", "sites",
     [](LayerBytes& b) { LayerBytes::setLe32(b.dbf, 4, 43); }, 0, "sites.dbf",
     "the .dbf header counts 43 records, the file holds 40; the 40 are read"},
    {"a .dbf with rows past the .shp's", "statareas",
     [](LayerBytes& b) {
         LayerBytes::setLe32(b.dbf, 4, 1470);
         b.dbf.insert(b.dbf.size() - 1, QByteArray(3 * dbfRowLength(b.dbf), ' '));
     },
     0, "statareas.dbf",
     "the .dbf holds 1470 records, the .shp 1467: 3 attribute rows without a shape"},
    {"no .dbf", "sites", [](LayerBytes& b) { b.noDbf = true; }, 0, "sites.dbf",
     "the .dbf is missing; no attribute is read", 40},
    {"a .dbf cut off", "sites", [](LayerBytes& b) { b.dbf.truncate(1200); }, 0, "sites.dbf",
     "record 14: the .dbf is cut off after 13 whole records of its 40", 27},
    {"a .dbf of fewer records than the .shp", "sites",
     [](LayerBytes& b) {
         LayerBytes::setLe32(b.dbf, 4, 30);
         b.dbf.truncate(static_cast<qsizetype>(dbfRow(b.dbf, 30)));
         b.dbf.append('\x1a');
     },
     0, "sites.dbf",
     "record 1: the .dbf holds 30 records, the .shp 40, and nothing shows which records' rows "
     "are missing",
     40},
    {"a .dbf cut off after whole rows, its header counting them all", "sites",
     [](LayerBytes& b) { b.dbf.truncate(static_cast<qsizetype>(dbfRow(b.dbf, 30))); }, 0,
     "sites.dbf", "the .dbf header counts 40 records, the file holds 30", 10},
    {"a record marked deleted", "sites",
     [](LayerBytes& b) { b.dbf[static_cast<qsizetype>(dbfRow(b.dbf, 2))] = '*'; }, 1, "sites.dbf",
     "record 3: the .dbf marks it deleted"},
    {"a byte cut out of a .dbf record", "sites",
     [](LayerBytes& b) { b.dbf.remove(dbfRow(b.dbf, 9) + 20, 1); }, 0, "sites.dbf",
     "record 11: its deletion flag or values are not where its fields put them", 31},
    {"bytes cut out of one .dbf row and as many put into a later one", "sites",
     [](LayerBytes& b) {
         b.dbf.remove(dbfRow(b.dbf, 9) + 20, 3);
         b.dbf.insert(dbfRow(b.dbf, 30) + 10, "xyz");
     },
     0, "sites.dbf", "record 11: its deletion flag or values are not where its fields put them",
     31},
    {"one number overwritten by text", "sites",
     [](LayerBytes& b) { b.dbf.replace(dbfRow(b.dbf, 20) + 55, 11, "  1/4.1100 "); }, 0,
     "sites.dbf", "record 21: field LON is of type N, but it holds \"1/4.1100\"", 1},
    {"a number with a sign inside it", "sites",
     [](LayerBytes& b) { b.dbf.replace(dbfRow(b.dbf, 20) + 55, 11, "  3-21.9600"); }, 0,
     "sites.dbf", "record 21: field LON is of type N, but it holds \"3-21.9600\"", 1},
    {"a number past the range of a double", "sites",
     [](LayerBytes& b) { b.dbf.replace(dbfRow(b.dbf, 31) + 66, 10, "   55.e400"); }, 0, "sites.dbf",
     "record 32: field LAT is of type N, but it holds \"55.e400\"", 1},
    {"a fraction in a field of no decimals", "sites",
     [](LayerBytes& b) { b.dbf.replace(dbfRow(b.dbf, 4) + 1, 4, " 1.5"); }, 0, "sites.dbf",
     "record 5: field SITE_ID is of type N, but it holds \"1.5\"", 1},
    {"an exponent in a field of no decimals", "sites",
     [](LayerBytes& b) { b.dbf.replace(dbfRow(b.dbf, 4) + 1, 4, "15e2"); }, 0, "sites.dbf",
     "record 5: field SITE_ID is of type N, but it holds \"15e2\"", 1},
    {"a field's decimals one fewer than its values hold", "sites",
     [](LayerBytes& b) { b.dbf[32 + 3 * 32 + 17] = 3; }, 0, "sites.dbf",
     "field LON is of type N, but record 1 holds \"173.2200\"; the field is not read"},
    {"a field's decimals as many as its bytes", "sites",
     [](LayerBytes& b) { b.dbf[32 + 4 * 32 + 17] = 10; }, 0, "sites.dbf",
     "field LAT gives 10 decimals in 10 bytes; the field is not read"},
    {"a .dbf header length one more", "sites", [](LayerBytes& b) { setLe16(b.dbf, 8, 194); }, 0,
     "sites.dbf", "its header gives a header length of 194 bytes, its 5 fields end at byte 193",
     40},
    {"a .dbf record length one less", "sites", [](LayerBytes& b) { setLe16(b.dbf, 10, 75); }, 0,
     "sites.dbf", "its header gives a record length of 75 bytes, its 5 fields take 76", 40},
    {"a field's length one less", "sites", [](LayerBytes& b) { b.dbf[32 + 32 + 16] = 39; }, 0,
     "sites.dbf", "its header gives a record length of 76 bytes, its 5 fields take 75", 40},
    {"a field's type not of the format", "sites", [](LayerBytes& b) { b.dbf[32 + 32 + 11] = 'Z'; },
     0, "sites.dbf", "field 2 (NAME) has the type byte 90, which is not one of the format", 40},
    {"a field's name damaged", "sites", [](LayerBytes& b) { b.dbf[32 + 32] = '\x01'; }, 0,
     "sites.dbf", "field 2 has no valid name", 40},
    {"the field list's end mark damaged", "sites", [](LayerBytes& b) { b.dbf[192] = ' '; }, 0,
     "sites.dbf", "no attribute is read", 40},
    {"a text field's type made a number", "sites", [](LayerBytes& b) { b.dbf[32 + 32 + 11] = 'N'; },
     0, "sites.dbf",
     "field NAME is of type N, but record 1 holds \"Attu Island\"; the field is "
     "not read"},
    // The .cpg.
    {"a .cpg naming an encoding that changes ASCII", "sites",
     [](LayerBytes& b) { b.cpg = "UTF-16"; }, 0, "sites.cpg",
     "it names the encoding \"UTF-16\", which does not keep ASCII text as it is"},
    {"a .cpg naming an unknown encoding", "sites", [](LayerBytes& b) { b.cpg = "XYZZY-9"; }, 0,
     "sites.cpg", "it names the encoding \"XYZZY-9\", which cannot be read"},
    // The .prj.
    {"a .prj that is no coordinate system", "sites", [](LayerBytes& b) { b.prj = "PROJCS[\"x\""; },
     0, "sites.prj", "it cannot be read as a coordinate system; it is ignored"},
    {"a .prj of an Albers plane that OGR cannot read", "sites",
     [](LayerBytes& b) { b.prj = R"(PROJCS["A",GEOGCS["G",DATUM["D"]],PROJECTION["Albers"]])"; }, 0,
     "sites.prj", "it cannot be read as a coordinate system (missing"},
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
        if (!r.store) {
            ADD_FAILURE() << r.error.message.toStdString();
            continue;  // the other cases still run
        }
        const StoreDamage& d = r.store->damage();
        EXPECT_TRUE(d.any());
        EXPECT_EQ(d.records, sound.records());
        EXPECT_EQ(d.leftOut, c.leftOut);
        EXPECT_EQ(d.withoutAttributes, c.withoutAttributes);
        EXPECT_EQ(d.file, QString::fromLatin1(c.file));
        EXPECT_TRUE(d.firstProblem.contains(QString::fromLatin1(c.problem)))
            << d.firstProblem.toStdString();
        EXPECT_FALSE(d.files.empty());
        EXPECT_EQ(d.files.empty() ? QString() : d.files.front().file, d.file);

        // What loaded is the sound file's features less those left out, each as it was, with
        // its own attributes or none.
        const auto expected = boxesByRecord(*good.store);
        const auto loaded = boxesByRecord(*r.store);
        EXPECT_EQ(static_cast<std::int64_t>(loaded.size()),
                  static_cast<std::int64_t>(expected.size()) - c.leftOut);
        const GridFrame& gf = good.store->frame();
        const GridFrame& df = r.store->frame();
        std::map<std::int64_t, FeatureId> soundFeature;
        for (FeatureId f = 0; f < good.store->featureCount(); ++f) {
            soundFeature[good.store->sourceFid(f)] = f;
        }
        std::int64_t withoutAttributes = 0;
        auto sameBox = [&](const GridBox& a, const GridBox& b) {
            const MapRect want = gf.toMap(a);
            const MapRect got = df.toMap(b);
            return std::abs(got.left - want.left) <= 2 * gf.step &&
                   std::abs(got.top - want.top) <= 2 * gf.step;
        };
        for (FeatureId f = 0; f < r.store->featureCount(); ++f) {
            const std::int64_t record = r.store->sourceFid(f);
            ASSERT_TRUE(expected.count(record)) << record;
            bool none = true;
            for (const QString& field : good.store->fieldNames()) {
                const auto value = r.store->attributeText(f, field);
                if (value) {
                    none = false;
                    EXPECT_EQ(*value, good.store->attributeText(soundFeature.at(record), field))
                        << record << " " << field.toStdString();
                }
            }
            withoutAttributes += none;
            // A feature with attributes is its record's shape; one without, some record's.
            if (!none) {
                EXPECT_TRUE(sameBox(expected.at(record), r.store->featureBox(f))) << record;
            } else {
                EXPECT_TRUE(std::any_of(expected.begin(), expected.end(), [&](const auto& e) {
                    return sameBox(e.second, r.store->featureBox(f));
                })) << record;
            }
        }
        EXPECT_EQ(withoutAttributes, c.withoutAttributes);
        // A whole column, read through a handle of its own, gives the same values.
        const QStringList names = r.store->fieldNames();
        for (int k = 0; k < static_cast<int>(names.size()); ++k) {
            const auto column = r.store->textColumn(k);
            for (FeatureId f = 0; column && f < r.store->featureCount(); ++f) {
                const auto want = good.store->attributeText(
                    soundFeature.at(r.store->sourceFid(f)), names[k]);
                if (want && !column->text(f).isEmpty()) {
                    EXPECT_EQ(column->text(f).toString(), *want) << names[k].toStdString();
                }
            }
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

// A date field's value is read as OGR reads it, which splits any 8 digits into a year, a month and
// a day: one that is no day of the calendar costs its record's attributes; "00000000" is no value.
// Where the .dbf must be read through a copy, OGR's reads are not seen: the .shp's damage is
// still found and named beside the .dbf's.
TEST(ShapefileDamage, EachDamagedFileIsNamedBesideAnotherOnes) {
    LayerBytes damaged = sampleLayer(QStringLiteral("sites"));
    LayerBytes::setLe32(damaged.dbf, 4, 39);
    damaged.dbf.truncate(static_cast<qsizetype>(dbfRow(damaged.dbf, 39)));
    damaged.dbf.append('\x1a');
    LayerBytes::setBe32(damaged.shp, damaged.offset(39), 0);
    QTemporaryDir dir;
    const StoreOpenResult r = FeatureStore::open(writeLayer(dir, QStringLiteral("sites"), damaged));
    ASSERT_TRUE(r.store);
    std::vector<QString> files;
    for (const FileDamage& f : r.store->damage().files) {
        files.push_back(f.file);
    }
    EXPECT_EQ(files, (std::vector<QString>{"sites.dbf", "sites.shp"}));
}

TEST(ShapefileDamage, DateValuesThatAreNoDate) {
    struct Case {
        const char* bytes;
        const char* shown;  // the value read; null: the record is kept without attributes
    };
    const Case cases[] = {
        {"20241231", "2024/12/31"}, {"20241301", nullptr},      {"20240229", "2024/02/29"},
        {"20230229", nullptr},      {"21000229", nullptr},      {"20000229", "2000/02/29"},
        {"20240430", "2024/04/30"}, {"20240431", nullptr},      {"20240100", nullptr},
        {"00000000", ""},           {"20241345", nullptr},
    };
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("dates.shp"));
    std::vector<test::FixtureFeature> features;
    for (int k = 0; k < 4; ++k) {
        features.push_back({"POINT (" + std::to_string(1000 * k) + " 0)", {"2024/01/15"}});
    }
    ASSERT_EQ(test::writeShapefile(path, test::FixtureKind::Points, {"WHEN"}, features, "D"), "");
    LayerBytes sound;
    sound.shp = readAll(path);
    sound.shx = readAll(dir.filePath(QStringLiteral("dates.shx")));
    sound.dbf = readAll(dir.filePath(QStringLiteral("dates.dbf")));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        LayerBytes b = sound;
        b.dbf.replace(dbfRow(b.dbf, 1) + 1, 8, c.bytes);
        const StoreOpenResult r = FeatureStore::open(writeLayer(dir, QStringLiteral("dates"), b));
        ASSERT_TRUE(r.store);
        ASSERT_EQ(r.store->featureCount(), 4U);
        EXPECT_EQ(r.store->attributeText(0, QStringLiteral("WHEN")), QStringLiteral("2024/01/15"));
        const auto value = r.store->attributeText(1, QStringLiteral("WHEN"));
        const StoreDamage& d = r.store->damage();
        if (c.shown != nullptr) {
            EXPECT_EQ(value, QString::fromLatin1(c.shown));
            EXPECT_FALSE(d.any()) << d.firstProblem.toStdString();
        } else {
            EXPECT_FALSE(value);
            EXPECT_EQ(d.withoutAttributes, 1);
            EXPECT_EQ(d.file, QStringLiteral("dates.dbf"));
            EXPECT_TRUE(d.firstProblem.contains(
                QStringLiteral("record 2: field WHEN is of type D, but it holds \"%1\"")
                    .arg(QString::fromLatin1(c.bytes).trimmed())))
                << d.firstProblem.toStdString();
        }
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
    LayerBytes::setDouble(b.shp, b.point(0, 1), std::nan(""));
    LayerBytes::setDouble(b.shp, b.point(1, 1), std::nan(""));
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
        {"a .shx of 60 bytes", [](LayerBytes& b) { b.shx.truncate(60); },
         "its header is damaged; the index was rebuilt from the .shp (40 records read)"},
        {"an empty .shp", [](LayerBytes& b) { b.shp.clear(); }, "its header is damaged"},
        {"a .dbf of 10 bytes", [](LayerBytes& b) { b.dbf.truncate(10); },
         "the .dbf is cut off inside its header (10 bytes); no attribute is read"},
        {"a .dbf shorter than its rows", [](LayerBytes& b) { b.dbf.chop(100); },
         "record 39: the .dbf is cut off after 38 whole records of its 40"},
        {"a .shx cut inside an entry", [](LayerBytes& b) { b.shx.chop(3); },
         "it ends inside an index entry"},
        {"a header box upside down", [](LayerBytes& b) { LayerBytes::setDouble(b.shp, 36, 1e9); },
         ""},
        {"a record number written wrong",
         [](LayerBytes& b) { LayerBytes::setBe32(b.shp, b.offset(3), 77); },
         "record 4: its header gives the number 77"},
        {"a .shx of 60 bytes, the first records numbered 0 and 40",
         [](LayerBytes& b) {
             b.shx.truncate(60);
             LayerBytes::setBe32(b.shp, 100, 0);
             LayerBytes::setBe32(b.shp, 128, 40);
         },
         "record 1: the .shp holds record number 0 in its place: its number is out of sequence, "
         "and records 1 to 40 are kept without attributes"},
        {"a .shx of 60 bytes, record 5's number damaged, a copy of records 5 and 6 pasted at an "
         "odd byte further on",
         [](LayerBytes& b) {
             const QByteArray copy = b.shp.mid(b.offset(4), 55);
             LayerBytes::setBe32(b.shp, b.offset(4), 603979781);
             b.shp.replace(b.offset(12) + 1, 55, copy);
             b.shx.truncate(60);
         },
         "record 5: its header gives the number 603979781; it is kept without attributes", 2},
        {"a .shx of 60 bytes, records 13 and 14 overwritten with zeros",
         [](LayerBytes& b) {
             b.shp.replace(b.offset(12), 56, QByteArray(56, '\0'));
             b.shx.truncate(60);
         },
         "record 13: it lies in damaged bytes (56 from byte 436) that held 2 records", 2},
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
