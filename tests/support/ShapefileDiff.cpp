#include "support/ShapefileDiff.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QtEndian>

#include <shapefil.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <utility>

#include "store/FeatureStore.h"
#include "store/ShapefileCheck.h"
#include "support/ShapefileWalk.h"

namespace pelagon::test {
namespace {

QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool putFileBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

std::int64_t be32At(const QByteArray& b, qsizetype at) {
    return qFromBigEndian<qint32>(b.constData() + at);
}
std::int64_t le32At(const QByteArray& b, qsizetype at) {
    return qFromLittleEndian<quint32>(b.constData() + at);
}
std::int64_t le16At(const QByteArray& b, qsizetype at) {
    return qFromLittleEndian<quint16>(b.constData() + at);
}

using Vertex = std::pair<double, double>;
using Ring = std::vector<Vertex>;

// The truth's geometry of one record as shapelib reads it: rings (polygons: without a closing
// vertex), parts of lines, or all points as one list.
struct TruthShape {
    bool readable = false;
    bool null = true;
    std::vector<Ring> parts;
};

TruthShape readTruthShape(SHPHandle h, int entity, bool points) {
    TruthShape t;
    std::unique_ptr<SHPObject, void (*)(SHPObject*)> o(SHPReadObject(h, entity), SHPDestroyObject);
    if (!o) {
        return t;
    }
    t.readable = true;
    t.null = o->nSHPType == SHPT_NULL || o->nVertices == 0;
    if (t.null) {
        return t;
    }
    const bool polygon =
        o->nSHPType == SHPT_POLYGON || o->nSHPType == SHPT_POLYGONZ || o->nSHPType == SHPT_POLYGONM;
    if (points || o->nParts == 0) {
        Ring all;
        for (int i = 0; i < o->nVertices; ++i) {
            all.emplace_back(o->padfX[i], o->padfY[i]);
        }
        t.parts.push_back(std::move(all));
        return t;
    }
    for (int p = 0; p < o->nParts; ++p) {
        const int from = o->panPartStart[p];
        const int to = p + 1 < o->nParts ? o->panPartStart[p + 1] : o->nVertices;
        Ring r;
        for (int i = from; i < to; ++i) {
            r.emplace_back(o->padfX[i], o->padfY[i]);
        }
        if (polygon && r.size() >= 2 && r.front() == r.back()) {
            r.pop_back();
        }
        t.parts.push_back(std::move(r));
    }
    return t;
}

// The attribute table as its own field descriptors give it. The header's lengths and count are
// believed only where they agree with the descriptors and the file's size; a header that
// disagrees is repaired in a copy when the descriptors and the size allow only one reading.
struct DbfTruth {
    bool known = false;
    QString why;  // when not known
    QString path;
    qsizetype dataStart = 0, rowLength = 0;
    std::int64_t rows = 0;
};

DbfTruth layoutDbf(const QByteArray& dbf, const QString& scratch) {
    DbfTruth t;
    if (dbf.size() < 33) {
        t.why = QStringLiteral("shorter than a header");
        return t;
    }
    qsizetype terminator = 32;
    qsizetype sum = 1;
    while (terminator < dbf.size() && static_cast<unsigned char>(dbf[terminator]) != 0x0D) {
        if (terminator + 32 > dbf.size()) {
            t.why = QStringLiteral("no end of the field descriptors");
            return t;
        }
        const int length = static_cast<unsigned char>(dbf[terminator + 16]);
        if (length == 0) {
            t.why = QStringLiteral("a field of length 0");
            return t;
        }
        sum += length;
        terminator += 32;
    }
    if (terminator >= dbf.size() || terminator == 32) {
        t.why = QStringLiteral("no fields or no end of the field descriptors");
        return t;
    }
    t.dataStart = terminator + 1;
    t.rowLength = sum;
    const std::int64_t count = le32At(dbf, 4);
    const qsizetype data = dbf.size() - t.dataStart;
    const bool eof = dbf.back() == '\x1a';
    if (eof && data % sum == 1) {
        t.rows = data / sum;
    } else if (!eof && data % sum == 0) {
        t.rows = data / sum;
    } else {
        t.why = QStringLiteral("its size is no whole number of rows of its fields");
        return t;
    }
    if (t.rows != count || le16At(dbf, 8) != t.dataStart || le16At(dbf, 10) != sum) {
        QByteArray repaired = dbf;
        qToLittleEndian<quint32>(static_cast<quint32>(t.rows), repaired.data() + 4);
        qToLittleEndian<quint16>(static_cast<quint16>(t.dataStart), repaired.data() + 8);
        qToLittleEndian<quint16>(static_cast<quint16>(sum), repaired.data() + 10);
        t.path = scratch + QStringLiteral("/truth.dbf");
        if (!putFileBytes(t.path, repaired)) {
            t.why = QStringLiteral("the repaired copy cannot be written");
            return t;
        }
    }
    t.known = true;
    return t;
}

// Values compared as the program shows them: trimmed; numbers as numbers; dates by their
// digits; logical values as 1 and 0.
QString normalised(QString v, char type) {
    v = v.trimmed();
    if (type == 'D') {
        v.remove(QLatin1Char('/')).remove(QLatin1Char('-'));
    } else if (type == 'L') {
        if (QStringLiteral("TtYy1").contains(v) && v.size() == 1) {
            v = QStringLiteral("1");
        } else if (QStringLiteral("FfNn0").contains(v) && v.size() == 1) {
            v = QStringLiteral("0");
        }
    }
    return v;
}

bool sameValue(const QString& mine, const QByteArray& raw, char type) {
    const QString a = normalised(mine, type);
    const QString fromUtf8 = normalised(QString::fromUtf8(raw), type);
    const QString fromLatin1 = normalised(QString::fromLatin1(raw), type);
    if (a == fromUtf8 || a == fromLatin1) {
        return true;
    }
    bool okA = false, okB = false;
    const double x = a.toDouble(&okA);
    const double y = fromLatin1.toDouble(&okB);
    if (okA && okB) {
        return std::abs(x - y) <= 1e-9 * std::max({1.0, std::abs(x), std::abs(y)});
    }
    // Windows-1252 letters: what neither reading can tell apart is not a difference.
    return std::any_of(raw.begin(), raw.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u >= 0x80 && u < 0xA0;
    });
}

bool sameRing(const Ring& truth, const std::vector<MapPoint>& mine, double tol) {
    if (truth.size() != mine.size()) {
        return false;
    }
    for (std::size_t i = 0; i < truth.size(); ++i) {
        const double t = tol + 1e-9 * std::max(std::abs(truth[i].first), std::abs(truth[i].second));
        if (!(std::abs(truth[i].first - mine[i].x) <= t &&
              std::abs(truth[i].second - mine[i].y) <= t)) {
            return false;
        }
    }
    return true;
}

// Whether the store's parts are the truth's, in any order (OGR sorts rings into polygons).
bool sameShape(const TruthShape& t, const std::vector<std::vector<MapPoint>>& mine, double tol) {
    if (!t.readable || t.null || t.parts.size() != mine.size()) {
        return false;
    }
    std::vector<bool> used(mine.size(), false);
    return std::all_of(t.parts.begin(), t.parts.end(), [&](const Ring& ring) {
        for (std::size_t r = 0; r < mine.size(); ++r) {
            if (!used[r] && sameRing(ring, mine[r], tol)) {
                used[r] = true;
                return true;
            }
        }
        return false;
    });
}

// What the program reported: per record (the check's verdict and its problems), and problems of
// no record in particular by file.
struct Reported {
    std::vector<std::uint8_t> bad;
    std::set<std::int64_t> records;
    bool shapeFiles = false;  // .shp or .shx as a whole
    bool table = false;       // .dbf as a whole

    bool record(std::int64_t fid) const {
        return (fid >= 0 && fid < static_cast<std::int64_t>(bad.size()) &&
                bad[static_cast<std::size_t>(fid)] != 0) ||
               records.count(fid + 1) != 0;
    }
};

Reported reportedProblems(const ShapefileCheck& c) {
    Reported r;
    r.bad = c.bad;
    for (const LayerProblem& p : c.problems) {
        if (p.record > 0) {
            r.records.insert(p.record);
        } else if (p.file.endsWith(QStringLiteral(".dbf"), Qt::CaseInsensitive)) {
            r.table = true;
        } else {
            r.shapeFiles = true;
        }
    }
    // Problems beyond the kept ones are counted, not listed: they may concern any record.
    if (c.problemCount > static_cast<std::int64_t>(c.problems.size()) || c.unreadable) {
        r.shapeFiles = r.table = true;
    }
    return r;
}

}  // namespace

QString DiffReport::text() const {
    QStringList lines;
    for (const DiffFinding& f : findings) {
        lines << QStringLiteral("%1 record %2: %3").arg(f.kind).arg(f.record).arg(f.detail);
    }
    return lines.join(QLatin1Char('\n'));
}

DiffReport compareWithShapelib(const QString& base, const QString& scratch) {
    const StoreOpenResult opened = FeatureStore::open(base + QStringLiteral(".shp"));
    if (!opened.store) {
        return {};
    }
    const ShapefileCheck check =
        checkShapefile(base + QStringLiteral(".shp"), base + QStringLiteral(".shx"),
                       base + QStringLiteral(".dbf"));
    return compareStoreWithShapelib(*opened.store, check, base, scratch);
}

namespace {

// The comparison with the records known by their numbers counted from first.
DiffReport compareNumberedFrom(const FeatureStore& store, const ShapefileCheck& check,
                               const QString& base, const QString& scratch, std::int64_t first) {
    DiffReport report;
    report.opened = true;
    const Reported reported = reportedProblems(check);
    auto add = [&](const char* kind, std::int64_t record, const QString& detail) {
        report.findings.push_back({QString::fromLatin1(kind), record, detail});
    };

    // The truth's index: the records found by walking the .shp, written as a .shx beside a copy
    // of the .shp whose header gives its real length.
    QByteArray shp = fileBytes(base + QStringLiteral(".shp"));
    const auto walked = walkShp(shp, first);
    const std::int64_t entries = walked.empty() ? 0 : walked.rbegin()->first;
    QByteArray shx = shp.left(100);
    if (shp.size() >= 100) {
        qToBigEndian<qint32>(static_cast<qint32>(shp.size() / 2), shp.data() + 24);
        qToBigEndian<qint32>(static_cast<qint32>(50 + 4 * entries), shx.data() + 24);
    }
    for (std::int64_t n = 1; n <= entries; ++n) {
        const auto it = walked.find(n);
        const auto [offset, bytes] = it != walked.end() ? it->second : walked.begin()->second;
        char e[8];
        qToBigEndian<qint32>(static_cast<qint32>(offset / 2), e);
        qToBigEndian<qint32>(static_cast<qint32>((bytes - 8) / 2), e + 4);
        shx.append(e, 8);
    }
    const QString truthBase = scratch + QStringLiteral("/truth");
    SHPHandle shpHandle = nullptr;
    if (shp.size() >= 100 && putFileBytes(truthBase + QStringLiteral(".shp"), shp) &&
        putFileBytes(truthBase + QStringLiteral(".shx"), shx)) {
        shpHandle = SHPOpen(truthBase.toLocal8Bit().constData(), "rb");
    }
    const std::unique_ptr<SHPInfo, void (*)(SHPInfo*)> shpOwner(shpHandle, SHPClose);
    // Past a damaged header the walk guesses where the next record begins; every other sound
    // header bearing a record's number is a reading of that record too, which the store may
    // have proven by the number in the header: read through an index of them all.
    const ShpRecords others = soundRecords(shp, first);
    QByteArray otherShx = shx.left(100);
    for (const auto& [number, where] : others) {
        char e[8];
        qToBigEndian<qint32>(static_cast<qint32>(where.first / 2), e);
        qToBigEndian<qint32>(static_cast<qint32>((where.second - 8) / 2), e + 4);
        otherShx.append(e, 8);
    }
    if (otherShx.size() >= 100) {
        qToBigEndian<qint32>(static_cast<qint32>(otherShx.size() / 2), otherShx.data() + 24);
    }
    const QString othersBase = scratch + QStringLiteral("/others");
    SHPHandle othersHandle = nullptr;
    if (!others.empty() && putFileBytes(othersBase + QStringLiteral(".shp"), shp) &&
        putFileBytes(othersBase + QStringLiteral(".shx"), otherShx)) {
        othersHandle = SHPOpen(othersBase.toLocal8Bit().constData(), "rb");
    }
    const std::unique_ptr<SHPInfo, void (*)(SHPInfo*)> othersOwner(othersHandle, SHPClose);

    const QByteArray dbfBytes = fileBytes(base + QStringLiteral(".dbf"));
    DbfTruth dbf = layoutDbf(dbfBytes, scratch);
    DBFHandle dbfHandle = nullptr;
    if (dbf.known) {
        const QString path = dbf.path.isEmpty() ? base + QStringLiteral(".dbf") : dbf.path;
        dbfHandle = DBFOpen(path.toLocal8Bit().constData(), "rb");
        if (!dbfHandle) {
            dbf.known = false;
            dbf.why = QStringLiteral("shapelib cannot open it");
        }
    }
    const std::unique_ptr<DBFInfo, void (*)(DBFInfo*)> dbfOwner(dbfHandle, DBFClose);

    // Field names and types.
    std::vector<char> types;
    bool fieldsAgree = dbf.known;
    if (dbf.known) {
        // A name's bytes read as UTF-8 or as Latin-1, as values are; one with a Windows-1252
        // letter (0x80 to 0x9F), which neither reading gives, as any; and, as OGR recodes names
        // from the single-byte encoding the language driver byte names, one whose other bytes
        // above ASCII are as many letters above ASCII.
        const auto singleByte = [](const QString& mine, const QString& latin1) {
            if (mine.size() != latin1.size()) {
                return false;
            }
            for (qsizetype k = 0; k < mine.size(); ++k) {
                if (latin1[k].unicode() < 0x80 ? mine[k] != latin1[k] : mine[k].unicode() < 0x80) {
                    return false;
                }
            }
            return true;
        };
        QStringList names, namesUtf8;
        std::vector<bool> anyName;
        for (int j = 0; j < DBFGetFieldCount(dbfHandle); ++j) {
            char name[XBASE_FLDNAME_LEN_READ + 1] = {};
            DBFGetFieldInfo(dbfHandle, j, name, nullptr, nullptr);
            names << QString::fromLatin1(name).trimmed();
            namesUtf8 << QString::fromUtf8(name).trimmed();
            anyName.push_back(std::any_of(name, name + std::strlen(name), [](char c) {
                return static_cast<unsigned char>(c) >= 0x80 &&
                       static_cast<unsigned char>(c) < 0xA0;
            }));
            types.push_back(DBFGetNativeFieldType(dbfHandle, j));
        }
        QStringList mine = store.fieldNames();
        bool namesAgree = mine.size() == names.size();
        for (qsizetype j = 0; j < mine.size() && namesAgree; ++j) {
            mine[j] = mine[j].trimmed();
            namesAgree = mine[j] == names[j] || mine[j] == namesUtf8[j] ||
                         anyName[static_cast<std::size_t>(j)] || singleByte(mine[j], names[j]);
        }
        if (!namesAgree) {
            fieldsAgree = false;
            if (!reported.table) {
                add("field-names", 0,
                    QStringLiteral("the store has %1, the table %2")
                        .arg(mine.join(QLatin1Char(',')), names.join(QLatin1Char(','))));
            }
        }
    }

    const bool points = store.kind() == GeometryKind::Points;
    const double tol = store.frame().step;
    std::set<std::int64_t> kept;
    std::int64_t unknownRows = 0;
    for (FeatureId f = 0; f < store.featureCount(); ++f) {
        const std::int64_t fid = store.sourceFid(f);
        const std::int64_t number = fid + 1;
        kept.insert(number);
        const bool recordReported = reported.record(fid);
        const bool geometryExcused = recordReported || reported.shapeFiles;
        const bool attributesExcused = recordReported || reported.table;
        if (geometryExcused && attributesExcused) {
            ++report.excused;
            continue;
        }
        ++report.compared;

        if (!geometryExcused) {
            const bool inShp = walked.count(number) != 0 && shpHandle != nullptr;
            const TruthShape truth =
                inShp ? readTruthShape(shpHandle, static_cast<int>(fid), points) : TruthShape{};
            std::vector<std::vector<MapPoint>> mine;
            for (std::uint32_t r = store.firstRing(f); r < store.endRing(f); ++r) {
                std::vector<MapPoint> ring;
                for (const GridPoint& p : store.ring(r)) {
                    ring.push_back(store.frame().toMap(p));
                }
                mine.push_back(std::move(ring));
            }
            if (points && mine.size() > 1) {
                for (std::size_t r = 1; r < mine.size(); ++r) {
                    mine[0].insert(mine[0].end(), mine[r].begin(), mine[r].end());
                }
                mine.resize(1);
            }
            // The walk's reading, or another sound record of the same number.
            const auto [from, to] = others.equal_range(number);
            const int otherFirst = static_cast<int>(std::distance(others.begin(), from));
            const int otherEnd = static_cast<int>(std::distance(others.begin(), to));
            bool another = false;
            for (int i = otherFirst; i < otherEnd && !(inShp && sameShape(truth, mine, tol)) &&
                                     !another && othersHandle != nullptr;
                 ++i) {
                another = sameShape(readTruthShape(othersHandle, i, points), mine, tol);
            }
            if (another) {
            } else if (!inShp) {
                add("no-shp-record", number,
                    QStringLiteral("kept, but the .shp holds no record of this number"));
            } else if (!truth.readable || truth.null) {
                add("geometry", number,
                    QStringLiteral("kept with %1 parts, the record holds no shape")
                        .arg(mine.size()));
            } else if (!sameShape(truth, mine, tol)) {
                const Vertex first =
                    truth.parts.front().empty() ? Vertex{} : truth.parts.front()[0];
                const MapPoint firstMine =
                    mine.empty() || mine[0].empty() ? MapPoint{} : mine[0][0];
                add("geometry", number,
                    QStringLiteral("%1 parts of %2 vertices from (%3, %4), the record %5 parts "
                                   "of %6 from (%7, %8)")
                        .arg(mine.size())
                        .arg(mine.empty() ? 0 : mine[0].size())
                        .arg(firstMine.x, 0, 'g', 12)
                        .arg(firstMine.y, 0, 'g', 12)
                        .arg(truth.parts.size())
                        .arg(truth.parts.front().size())
                        .arg(first.first, 0, 'g', 12)
                        .arg(first.second, 0, 'g', 12));
            }
        }

        if (attributesExcused) {
            continue;
        }
        if (!dbf.known) {
            ++unknownRows;
            continue;
        }
        if (fid >= dbf.rows) {
            add("attribute", number,
                QStringLiteral("kept with attributes, the table has %1 rows").arg(dbf.rows));
            continue;
        }
        const char flag = dbfBytes.at(dbf.dataStart + fid * dbf.rowLength);
        if (flag == '*') {
            add("deleted-row-kept", number, QStringLiteral("its row is marked deleted"));
            continue;
        }
        if (flag != ' ') {
            add("row-unreadable", number,
                QStringLiteral("its row begins with byte %1, neither ' ' nor '*'")
                    .arg(static_cast<unsigned char>(flag)));
            continue;
        }
        if (!fieldsAgree) {
            continue;
        }
        for (int j = 0; j < static_cast<int>(types.size()); ++j) {
            // A field reported as contradicting its type is not read at all.
            if (check.unusableFields.contains(store.fieldNames().value(j), Qt::CaseInsensitive)) {
                continue;
            }
            const std::optional<QString> value = store.attributeText(f, j);
            const bool isNull = DBFIsAttributeNULL(dbfHandle, static_cast<int>(fid), j) != 0;
            const QByteArray raw =
                isNull ? QByteArray()
                       : QByteArray(DBFReadStringAttribute(dbfHandle, static_cast<int>(fid), j));
            if (!value || !sameValue(*value, raw, types[static_cast<std::size_t>(j)])) {
                add("attribute", number,
                    QStringLiteral("field %1 (%2): the store \"%3\", the table \"%4\"")
                        .arg(store.fieldNames().value(j))
                        .arg(QLatin1Char(types[static_cast<std::size_t>(j)]))
                        .arg(value ? *value : QStringLiteral("(unreadable)"),
                             QString::fromLatin1(raw)));
            }
        }
    }
    if (unknownRows > 0) {
        add("dbf-unreadable", 0,
            QStringLiteral("%1 kept rows from an attribute table that cannot be read as it is "
                           "(%2), and no problem reported")
                .arg(unknownRows)
                .arg(dbf.why));
    }

    // A layer read without any reported problem keeps every record that has a shape and a row.
    const bool quiet = !store.damage().any() && !reported.shapeFiles && !reported.table &&
                       reported.records.empty() &&
                       std::none_of(reported.bad.begin(), reported.bad.end(),
                                    [](std::uint8_t b) { return b != 0; });
    if (quiet && shpHandle != nullptr && dbf.known) {
        for (const auto& [number, where] : walked) {
            if (number > dbf.rows || kept.count(number) != 0 ||
                dbfBytes.at(dbf.dataStart + (number - 1) * dbf.rowLength) != ' ') {
                continue;
            }
            const TruthShape truth =
                readTruthShape(shpHandle, static_cast<int>(number - 1), points);
            if (truth.readable && !truth.null) {
                add("left-out-silently", number,
                    QStringLiteral("a record with a shape and a row, left out without a problem"));
            }
        }
    }
    return report;
}

}  // namespace

// Numbered from 0, a writer's records are the truth by their numbers plus one, unless the counts
// refute it: a record numbered past what the .shx, the .dbf and the .shp itself hold (number 3
// from 0 among three rows). Where both numberings stand, the store may follow either, but one
// for all its features.
DiffReport compareStoreWithShapelib(const FeatureStore& store, const ShapefileCheck& check,
                                    const QString& base, const QString& scratch) {
    DiffReport fromOne = compareNumberedFrom(store, check, base, scratch, 1);
    if (fromOne.findings.empty()) {
        return fromOne;
    }
    const QByteArray shp = fileBytes(base + QStringLiteral(".shp"));
    const auto fromZero = walkShp(shp, 0);
    // A record numbered 0 listed, the first record's number 0 (its length may be damaged), the
    // record numbered 1 after the first record (whose header is damaged), or more records laid
    // end to end that carry their place from 0 than from 1 (the first headers all damaged).
    const auto one = fromZero.find(2);
    const PlaceNumbering places = numberingByPlace(shp);
    if (fromZero.count(1) == 0 && (shp.size() < 104 || be32At(shp, 100) != 0) &&
        (one == fromZero.end() || one->second.first == 100) && places.fromZero <= places.fromOne) {
        return fromOne;
    }
    const QByteArray shx = fileBytes(base + QStringLiteral(".shx"));
    const QByteArray dbf = fileBytes(base + QStringLiteral(".dbf"));
    // The records laid end to end from the header, and the highest number among them of a
    // record the walk lists there: one past what the rest of the file could hold, or out of
    // sequence, is a damaged number, not a count, and so is one the walk found only past a
    // damaged length (bytes inside a record it runs over can pass for any number, and another
    // layer's records pasted in for a run of them).
    std::int64_t held = 0, highest = 0;
    for (qsizetype at = 100; at + 8 <= shp.size();) {
        const std::int64_t number = be32At(shp, at), words = be32At(shp, at + 4);
        if (words < 0 || at + 8 + 2 * words > shp.size()) {
            break;
        }
        const auto listed = fromZero.find(number + 1);
        if (number >= 0 && listed != fromZero.end() && listed->second.first == at) {
            highest = std::max(highest, number);
        }
        at += 8 + 2 * words;
        ++held;
    }
    const std::int64_t counted =
        std::max({held, shx.size() > 100 ? std::int64_t{(shx.size() - 100) / 8} : 0,
                  dbf.size() >= 8 ? le32At(dbf, 4) : 0, layoutDbf(dbf, scratch).rows});
    if (highest + 1 > counted) {
        return fromOne;
    }
    DiffReport zero = compareNumberedFrom(store, check, base, scratch, 0);
    return zero.findings.size() < fromOne.findings.size() ? zero : fromOne;
}

}  // namespace pelagon::test
