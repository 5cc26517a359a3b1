// The CSV reader and the positions reader: the same records whatever pieces the input arrives
// in, the columns and problems of positions files, GPX through OGR, and ISO 8601 times.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <QTimeZone>

#include <algorithm>
#include <bit>
#include <charconv>
#include <cstdint>
#include <memory>

#include "positions/Csv.h"
#include "positions/PositionFields.h"
#include "positions/PositionsFile.h"
#include "support/QStringPrinter.h"

using namespace pelagon;
using namespace pelagon::positions;

namespace {

// A device that hands out its bytes a few at a time, as a pipe may.
class Trickle : public QIODevice {
public:
    Trickle(QByteArray bytes, qint64 piece) : bytes_(std::move(bytes)), piece_(piece) {
        open(QIODevice::ReadOnly);
    }
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char* data, qint64 max) override {
        const qint64 n = std::min({max, piece_, static_cast<qint64>(bytes_.size()) - at_});
        std::copy_n(bytes_.constData() + at_, n, data);
        at_ += n;
        return n;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QByteArray bytes_;
    qint64 piece_;
    qint64 at_ = 0;
};

struct Record {
    qint64 line;
    QStringList fields;
    QString error;
    bool operator==(const Record&) const = default;
};

std::vector<Record> readAll(CsvReader& reader) {
    std::vector<Record> out;
    CsvRawRecord raw;
    while (reader.next(raw)) {
        Record r{raw.line, {}, raw.error};
        if (raw.error.isEmpty()) {
            for (int i = 0; i < raw.size(); ++i) {
                r.fields.append(raw.text(i));
            }
        }
        out.push_back(r);
    }
    return out;
}

// The records of a text do not depend on how its bytes arrive: at once, or one, two, three or
// seven at a time, which splits CR LF pairs, doubled quotes and closing quotes at every place.
TEST(CsvReader, SameRecordsWhateverThePieces) {
    const std::vector<QByteArray> texts = {
        "a,b\r\n1,2\r\n",
        "a,b\n\"x,\"\"y\"\"\",z\n\r\n\nlast",
        "\xEF\xBB\xBFid,x\rA,1\r\rB,2",
        "q\n\"open,1\nc,\"d\ne\"\nf,\"g\r\nh,i\n",
        "\"a\"b,c\nd,e\n",
        "one\r\n\"multi\r\nline\",\"lone\rcr\"\r\nend,\"\"\r\n",
        "caf\xC3\xA9,na\xEFve\n",  // UTF-8, then Windows-1252
    };
    for (const QByteArray& text : texts) {
        CsvReader whole(text);
        const std::vector<Record> expected = readAll(whole);
        for (const qint64 piece : {1, 2, 3, 7}) {
            Trickle device(text, piece);
            CsvReader reader(device);
            EXPECT_EQ(readAll(reader), expected) << text.toStdString() << " in pieces of " << piece;
        }
    }
    CsvReader bom("\xEF\xBB\xBFid,x\rA,1\r\rB,2");
    const std::vector<Record> records = readAll(bom);
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(records[0].fields, QStringList({"id", "x"}));
    EXPECT_EQ(records[2], (Record{3, {""}, {}}));
    EXPECT_EQ(records[3], (Record{4, {"B", "2"}, {}}));
    CsvReader mixed("caf\xC3\xA9,na\xEFve\n");
    EXPECT_EQ(readAll(mixed)[0].fields, QStringList({"caf\u00e9", "na\u00efve"}));
}

// A quote left open does not make the reader hold the rest of the input: past its limit the
// record is reported and the reading goes on with the next line.
TEST(CsvReader, AnOpenQuoteHoldsAtMostTheLimit) {
    QByteArray text = "a,b\n1,\"open\n";
    for (int i = 0; i < 2000; ++i) {
        text += "2," + QByteArray::number(i) + "\n";
    }
    text += QByteArray(3000, 'x') + "\nlast,1\n";
    Trickle device(text, 100);
    CsvReader reader(device, 1024);
    const std::vector<Record> records = readAll(reader);
    ASSERT_EQ(records.size(), 2u + 2000u + 2u);
    EXPECT_EQ(records[1].line, 2);
    EXPECT_EQ(records[1].error, "the quote that opens field 2 is not closed within 0.000977 MB");
    EXPECT_EQ(records[2], (Record{3, {"2", "0"}, {}}));
    EXPECT_EQ(records[2002].error, "the line is longer than 0.000977 MB");
    EXPECT_EQ(records[2003], (Record{2004, {"last", "1"}, {}}));
}

struct RowCase {
    const char* name;
    QByteArray text;
    Units units;
    // Per row: the line, the id, the two coordinates, vessel, time, problem.
    std::vector<PositionRow> rows;
};

PositionRow row(qint64 line, QByteArray id, double a, double b, QByteArray vessel = {},
                QByteArray time = {}) {
    PositionRow r;
    r.line = line;
    r.id = std::move(id);
    r.first = a;
    r.second = b;
    r.vessel = std::move(vessel);
    r.time = std::move(time);
    return r;
}

PositionRow problem(qint64 line, const char* text) {
    PositionRow r;
    r.line = line;
    r.problem = QString::fromUtf8(text);
    return r;
}

std::vector<PositionRow> rowsOf(const QByteArray& text, Units* units, QString* error,
                                bool extras = true) {
    QBuffer in;
    in.setData(text);
    in.open(QIODevice::ReadOnly);
    OpenedPositions opened = openPositions(QStringLiteral("-"), &in, ReaderOptions{extras});
    std::vector<PositionRow> rows;
    if (!opened.reader) {
        *error = opened.error;
        return rows;
    }
    *units = opened.reader->units();
    PositionRow r;
    while (opened.reader->next(r)) {
        rows.push_back(r);
    }
    return rows;
}

TEST(PositionsFile, CsvColumnsAndRows) {
    const std::vector<RowCase> cases = {
        {"map units win over degrees, any letter case and blanks",
         " LON,Lat, X ,y\n1,2,300,400\n",
         Units::MapUnits,
         {row(2, "2", 300, 400)}},
        {"degrees with id, vessel and time; missing trailing fields are empty",
         "time,vessel,id,lon,lat\n2024-05-01T06:00:00Z, Aurora ,a1,-150.5,58\n,,a2,-151,57.5\n"
         "2024-05-01T07:00:00Z,Aurora,a3,-152,57\n",
         Units::Degrees,
         {row(2, "a1", -150.5, 58, "Aurora", "2024-05-01T06:00:00Z"), row(3, "a2", -151, 57.5),
          row(4, "a3", -152, 57, "Aurora", "2024-05-01T07:00:00Z")}},
        {"numbers as the rest of the program reads them",
         "x,y\n+1, 2 \n1e3,.5\n0x10,1\n1,inf\n",
         Units::MapUnits,
         {row(2, "2", 1, 2), row(3, "3", 1000, 0.5),
          problem(4, "the x value '0x10' is not a number"),
          problem(5, "the y value 'inf' is not a number")}},
        {"degrees within ±90° and ±360°, at the limits and past them; numbers only",
         "lon,lat\n-360,90\n360,-90\n360.5,0\n0,-90.0000001\n1e308,1\n,2\nnan,3\n0,-inf\n",
         Units::Degrees,
         {row(2, "2", -360, 90), row(3, "3", 360, -90),
          problem(4, "the lon value 360.5 is beyond ±360°"),
          problem(5, "the lat value -90.0000001 is beyond ±90°"),
          problem(6, "the lon value 1e+308 is beyond ±360°"), problem(7, "the lon value is empty"),
          problem(8, "the lon value 'nan' is not a number"),
          problem(9, "the lat value '-inf' is not a number")}},
        {"too few fields, a broken quote, blank lines passed over",
         "id,x,y\n\na,1\n\"b,2,3\nc,4,5\n",
         Units::MapUnits,
         {problem(3, "it has 2 fields where 3 are needed"),
          problem(4, "the quote that opens field 1 is never closed"), row(5, "c", 4, 5)}},
        {"fields past the header's columns: empty ones change nothing, others leave the row "
         "out",
         "lon,lat\n-152.5,57,,\n-152,9,57\n",
         Units::Degrees,
         {row(2, "2", -152.5, 57), problem(3, "it has 3 fields where the header names 2")}},
        {"an id in Windows-1252 is written as UTF-8",
         "id,x,y\nB\xE6r,1,2\n",
         Units::MapUnits,
         {row(2, "B\xC3\xA6r", 1, 2)}},
        {"vessel and time left alone when not asked for",
         "x,y,vessel\n1,2,Aurora\n",
         Units::MapUnits,
         {row(2, "2", 1, 2)}},
    };
    for (const RowCase& c : cases) {
        Units units = Units::Degrees;
        QString error;
        const bool extras = std::string(c.name).find("not asked") == std::string::npos;
        const std::vector<PositionRow> rows = rowsOf(c.text, &units, &error, extras);
        ASSERT_TRUE(error.isEmpty()) << c.name << ": " << error.toStdString();
        EXPECT_EQ(units, c.units) << c.name;
        ASSERT_EQ(rows.size(), c.rows.size()) << c.name;
        for (std::size_t i = 0; i < rows.size(); ++i) {
            EXPECT_EQ(rows[i].line, c.rows[i].line) << c.name << " row " << i;
            EXPECT_EQ(rows[i].problem, c.rows[i].problem) << c.name << " row " << i;
            if (c.rows[i].problem.isEmpty()) {
                EXPECT_EQ(rows[i].id, c.rows[i].id) << c.name << " row " << i;
                EXPECT_EQ(rows[i].first, c.rows[i].first) << c.name << " row " << i;
                EXPECT_EQ(rows[i].second, c.rows[i].second) << c.name << " row " << i;
                EXPECT_EQ(rows[i].vessel, c.rows[i].vessel) << c.name << " row " << i;
                EXPECT_EQ(rows[i].time, c.rows[i].time) << c.name << " row " << i;
            }
        }
    }
}

// x and y columns whose every value lies within ±180 and ±90 hold degrees, not metres: the
// reader says so once the file is read.
TEST(PositionsFile, MapUnitsThatLookLikeDegreesAreNamed) {
    const std::pair<QByteArray, bool> cases[] = {
        {"X,Y\n-152.5,57\n180,-90\n", true}, {"x,y\n-152.5,57\n180.5,0\n", false},
        {"x,y\n-152.5,57\n0,90.5\n", false}, {"x,y\n", false},
        {"lon,lat\n-152.5,57\n", false},
    };
    for (const auto& [text, said] : cases) {
        QBuffer in;
        in.setData(text);
        in.open(QIODevice::ReadOnly);
        const OpenedPositions opened = openPositions(QStringLiteral("-"), &in);
        ASSERT_TRUE(opened.reader) << opened.error.toStdString();
        PositionRow r;
        while (opened.reader->next(r)) {
        }
        EXPECT_EQ(opened.reader->notice(),
                  said ? QStringLiteral("standard input: the columns X and Y hold no value beyond "
                                        "180 and 90, which looks like longitudes and latitudes in "
                                        "degrees, not metres of the map's plane; if they are "
                                        "degrees, name the columns lon and lat.")
                       : QString())
            << text.toStdString();
    }
}

// A GPX point's lat and lon are judged as written, by the rule of CSV files; every point is
// counted, those OGR passes over (an empty or missing lat) too, and named by its number.
TEST(PositionsFile, GpxPointsReadStrictly) {
    const QByteArray gpx =
        "<?xml version=\"1.0\"?>\n"
        "<gpx version=\"1.1\" creator=\"t\" xmlns=\"http://www.topografix.com/GPX/1/1\">\n"
        "<wpt lat=\"57\" lon=\"-152\"/>\n"
        "<wpt lat=\"abc\" lon=\"-152\"/>\n"
        "<wpt lat=\"\" lon=\"-152\"/>\n"
        "<wpt lon=\"-152\"/>\n"
        "<wpt lat=\"90.5\" lon=\"-152\"/>\n"
        "<wpt lat=\"1\" lon=\"nan\"/>\n"
        "<wpt lat=\"-90\" lon=\"360\"/>\n"
        "<trk><trkseg><trkpt lat=\"56\" lon=\"-150\"/><trkpt lat=\"\" lon=\"1\"/>"
        "<trkpt lat=\"2\" lon=\"360.5\"/></trkseg>\n"
        "<trkseg><trkpt lat=\"55\" lon=\"-151\"/></trkseg></trk>\n"
        "<trk><trkseg><trkpt lon=\"1\"/></trkseg></trk>\n"
        "</gpx>\n";
    QBuffer in;
    in.setData(gpx);
    in.open(QIODevice::ReadOnly);
    const OpenedPositions opened = openPositions(QStringLiteral("-"), &in);
    ASSERT_TRUE(opened.reader) << opened.error.toStdString();
    const std::vector<std::pair<double, QString>> expected = {
        {57, {}},
        {0, "its lat 'abc' is not a number"},
        {0, "its lat is empty"},
        {0, "it has no lat"},
        {0, "its lat 90.5 is beyond ±90°"},
        {0, "its lon 'nan' is not a number"},
        {-90, {}},
        {56, {}},
        {0, "its lat is empty"},
        {0, "its lon 360.5 is beyond ±360°"},
        {55, {}},
        {0, "it has no lat"},
    };
    std::vector<PositionRow> rows;
    PositionRow r;
    while (opened.reader->next(r)) {
        rows.push_back(r);
    }
    EXPECT_TRUE(opened.reader->failure().isEmpty()) << opened.reader->failure().toStdString();
    ASSERT_EQ(rows.size(), expected.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i].line, static_cast<qint64>(i + 1));
        EXPECT_EQ(rows[i].problem, expected[i].second) << "point " << i + 1;
        if (expected[i].second.isEmpty()) {
            EXPECT_EQ(rows[i].second, expected[i].first) << "point " << i + 1;
        }
    }
    EXPECT_EQ(rows[10].vessel, "Track 1");
    EXPECT_EQ(opened.reader->rowName(12), "point 12");
}

TEST(PositionsFile, FilesThatCannotBeUsedAreNamed) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    auto write = [&](const QString& name, const QByteArray& bytes) {
        QFile f(dir.filePath(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return dir.filePath(name);
    };
    const std::vector<std::pair<QString, QString>> cases = {
        {write("empty.csv", "\n\n"), "empty.csv: there is no header line."},
        {write("cols.csv", "a,b\n1,2\n"),
         "cols.csv, line 1: the header names neither the columns lon and lat nor x and y."},
        {write("twice.csv", "vessel,lon,lat,LON\n"),
         "twice.csv, line 1: the header names the column lon twice (columns 2 and 4)."},
        {write("quote.csv", "\"x,y\n1,2\n"),
         "quote.csv, line 1: the quote that opens field 1 is never closed"},
        {write("none.gpx",
               "<?xml version=\"1.0\"?>\n<gpx version=\"1.1\" creator=\"t\" "
               "xmlns=\"http://www.topografix.com/GPX/1/1\"><rte><name>R</name></rte></gpx>\n"),
         "none.gpx: the GPX file holds no waypoints, routes or tracks."},
        {write("broken.gpx", "<?xml version=\"1.0\"?>\n<gpx version=\"1.1\">\n<wpt lat=\"1\"\n"),
         "broken.gpx cannot be read as GPX"},
        {dir.filePath("missing.csv"), "Cannot read "},
        {dir.path(), "it is a folder"},
    };
    for (const auto& [path, message] : cases) {
        const OpenedPositions opened = openPositions(path, nullptr);
        EXPECT_FALSE(opened.reader) << path.toStdString();
        EXPECT_TRUE(opened.error.contains(message))
            << path.toStdString() << ": " << opened.error.toStdString();
    }
    EXPECT_EQ(openPositions("-", nullptr).error,
              "There is no standard input to read positions from.");
}

// Waypoints first, then the points of each route and of each track with its name as the vessel;
// times as ISO 8601; a GPX file on standard input is read too.
TEST(PositionsFile, GpxTracksAndWaypoints) {
    const QByteArray gpx =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<gpx version=\"1.1\" creator=\"test\" xmlns=\"http://www.topografix.com/GPX/1/1\">\n"
        " <wpt lat=\"57.5\" lon=\"-152.25\"><time>2024-05-01T05:00:00Z</time><name>Haul 1</name>"
        "</wpt>\n"
        " <rte><name>Plan</name><rtept lat=\"58\" lon=\"-151\"/></rte><rte><rtept lat=\"59\" "
        "lon=\"abc\"/></rte>\n"
        " <trk><name>Aurora</name><trkseg>\n"
        "  <trkpt lat=\"57.0\" lon=\"-152.0\"><time>2024-05-01T06:00:00Z</time></trkpt>\n"
        "  <trkpt lat=\"57.1\" lon=\"-152.1\"><time>2024-05-01T06:30:00.500+02:00</time></trkpt>\n"
        " </trkseg></trk>\n"
        " <trk><trkseg><trkpt lat=\"56\" lon=\"-150\"/></trkseg></trk>\n"
        "</gpx>\n";
    QTemporaryDir dir;
    QFile f(dir.filePath("track.gpx"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(gpx);
    f.close();
    QBuffer in;
    in.setData(gpx);
    in.open(QIODevice::ReadOnly);
    for (const bool fromStdin : {false, true}) {
        const OpenedPositions opened =
            fromStdin ? openPositions("-", &in) : openPositions(f.fileName(), nullptr);
        ASSERT_TRUE(opened.reader) << opened.error.toStdString();
        PositionReader& reader = *opened.reader;
        EXPECT_EQ(reader.units(), Units::Degrees);
        EXPECT_TRUE(reader.hasVessels());
        EXPECT_TRUE(reader.hasTimes());
        std::vector<PositionRow> rows;
        PositionRow r;
        while (reader.next(r)) {
            rows.push_back(r);
        }
        ASSERT_EQ(rows.size(), 6u);
        EXPECT_EQ(rows[1].vessel, "Plan");
        EXPECT_EQ(rows[1].second, 58);
        EXPECT_EQ(rows[2].vessel, "Route 2");
        EXPECT_EQ(rows[2].problem, "its lon 'abc' is not a number");
        rows.erase(rows.begin() + 1, rows.begin() + 3);
        EXPECT_EQ(rows[0].id, "Haul 1");
        EXPECT_EQ(rows[0].vessel, "");
        EXPECT_EQ(rows[0].time, "2024-05-01T05:00:00Z");
        EXPECT_EQ(rows[0].first, -152.25);
        EXPECT_EQ(rows[0].second, 57.5);
        EXPECT_EQ(rows[1].id, "4");
        EXPECT_EQ(rows[1].vessel, "Aurora");
        EXPECT_EQ(rows[2].time, "2024-05-01T06:30:00.500+02:00");
        EXPECT_EQ(rows[3].vessel, "Track 2");
        EXPECT_EQ(rows[3].line, 6);
        EXPECT_TRUE(reader.failure().isEmpty());
        EXPECT_EQ(reader.progress(), 1.0);
    }
}

// A coordinate reads as from_chars reads it, bit for bit, whether the quick reading of the usual
// form takes it (up to 15 digits) or hands it on; other forms as the rest of the program reads
// numbers.
TEST(PositionsFile, CoordinatesAsFromChars) {
    for (const char* text : {
             "173.500000",
             "-155.500000",
             "-0.000000",
             "0",
             "-0",
             "00012.5",
             " 56.749848 ",
             "0.1",
             "0.3",
             "123456789.012345",
             "1234567890.123456",
             "999999999999999",
             "9999999999999999",
             "9007199254740993",
             "0.000000000000001",
             "1.00000000000000011102230246251565404236316680908203125",
             "1.",
             ".5",
             "-.5",
             "1e5",
             "--1",
             "1.2.3",
             "+1",
             "0x10",
             "",
             "-",
         }) {
        const QByteArrayView t = fields::trimmed(QByteArrayView(text, qstrlen(text)));
        double expected = 0;
        const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), expected);
        const std::optional<double> got = fields::coordinate(text);
        if (ec == std::errc() && end == t.data() + t.size() && !t.isEmpty()) {
            ASSERT_TRUE(got.has_value()) << text;
            EXPECT_EQ(std::bit_cast<std::uint64_t>(*got), std::bit_cast<std::uint64_t>(expected))
                << text;
        } else {
            // Not the usual form: read as the rest of the program reads numbers.
            bool ok = false;
            const double slow = QString::fromLatin1(text).trimmed().toDouble(&ok);
            EXPECT_EQ(got, ok ? std::optional<double>(slow) : std::nullopt) << text;
        }
    }
}

TEST(PositionsFile, IsoTimes) {
    const qint64 base =
        QDateTime(QDate(2024, 5, 1), QTime(6, 0), QTimeZone::utc()).toMSecsSinceEpoch();
    const std::vector<std::pair<QByteArray, std::optional<qint64>>> cases = {
        {"2024-05-01T06:00:00Z", base},
        {" 2024-05-01T06:00:00 ", base},  // no zone: taken as UTC
        {"2024-05-01T08:00:00+02:00", base},
        {"2024-05-01T06:00:00.250Z", base + 250},
        {"2024-05-01 06:00:00Z", base},
        {"01/05/2024 06:00", std::nullopt},
        {"2024-13-01T06:00:00Z", std::nullopt},
        {"", std::nullopt},
        {"yesterday", std::nullopt},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(parseIsoTime(text), expected) << text.toStdString();
    }
}

}  // namespace
