// pelagon-cli visits and hours, in-process on the small map: the limits of their options and
// rows that cannot be used.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "cli/CliTestSupport.h"
#include "cli/Csv.h"
#include "support/QStringPrinter.h"

using namespace pelagon;
using pelagon::test::runTool;

namespace {

struct TrackCase {
    const char* name;
    QStringList options;
    QByteArray rows;  // after the header x,y,vessel,time
    // The rows of the table, without the header; for visits the columns but the degrees.
    QStringList expected;
};

QStringList tableRows(const QByteArray& out, bool visits) {
    QStringList rows;
    const QList<cli::CsvRecord> records = cli::parseCsv(QString::fromUtf8(out));
    for (qsizetype i = 1; i < records.size(); ++i) {
        QStringList f = records[i].fields;
        if (visits && f.size() == 13) {
            f.remove(6, 4);
        }
        rows.append(f.join('|'));
    }
    return rows;
}

// Zone A is the square (0, 0)-(1000, 1000); 926 m in half an hour is 1 knot.
const std::vector<TrackCase> kTrackCases = {
    {"gap at max-gap",
     {"visits", "--max-gap", "1"},
     "50,50,v,2024-05-01T00:00:00Z\n60,60,v,2024-05-01T01:00:00Z\n",
     {"v|Zones|A, \"quoted\"|2024-05-01T00:00:00Z|2024-05-01T01:00:00Z|1.0000|2|first|last"}},
    {"gap past max-gap",
     {"visits", "--max-gap", "1"},
     "50,50,v,2024-05-01T00:00:00Z\n60,60,v,2024-05-01T01:00:00.001Z\n",
     {"v|Zones|A, \"quoted\"|2024-05-01T00:00:00Z|2024-05-01T00:00:00Z|0.0000|1|first|before_gap",
      "v|Zones|A, \"quoted\"|2024-05-01T01:00:00Z|2024-05-01T01:00:00Z|0.0000|1|after_gap|last"}},
    {"speed at its minimum",
     {"hours", "--speed", "1-2"},
     "50,50,v,2024-05-01T00:00:00Z\n50,976,v,2024-05-01T00:30:00Z\n",
     {"v|Zones|A, \"quoted\"|0.5000|2"}},
    {"speed below its minimum",
     {"hours", "--speed", "1.01-2"},
     "50,50,v,2024-05-01T00:00:00Z\n50,976,v,2024-05-01T00:30:00Z\n",
     {"v|Zones|A, \"quoted\"|0.0000|2"}},
    {"speed at its maximum",
     {"hours", "--speed", "0-1"},
     "50,50,v,2024-05-01T00:00:00Z\n50,976,v,2024-05-01T00:30:00Z\n",
     {"v|Zones|A, \"quoted\"|0.5000|2"}},
    {"speed above its maximum",
     {"hours", "--speed", "0-0.99"},
     "50,50,v,2024-05-01T00:00:00Z\n50,976,v,2024-05-01T00:30:00Z\n",
     {"v|Zones|A, \"quoted\"|0.0000|2"}},
    {"by day across midnight",
     {"hours", "--by", "day"},
     "50,50,v,2024-05-01T23:00:00Z\n60,60,v,2024-05-02T01:00:00+00:00\n",
     {"v|Zones|A, \"quoted\"|2024-05-01|1.0000|1", "v|Zones|A, \"quoted\"|2024-05-02|1.0000|1"}},
    {"by day up to midnight",
     {"hours", "--by", "day"},
     "50,50,v,2024-05-01T23:00:00Z\n60,60,v,2024-05-01T23:59:59.999Z\n",
     {"v|Zones|A, \"quoted\"|2024-05-01|1.0000|2"}},
    {"by month across its end",
     {"hours", "--by", "month"},
     "50,50,v,2024-05-31T23:30:00Z\n60,60,v,2024-06-01T02:00:00+01:00\n",
     {"v|Zones|A, \"quoted\"|2024-05|0.5000|1", "v|Zones|A, \"quoted\"|2024-06|1.0000|1"}},
};

class CliTracks : public testing::TestWithParam<TrackCase> {};

TEST_P(CliTracks, Table) {
    static const test::TinyMap map;
    ASSERT_TRUE(map.isValid()) << map.problems();
    const TrackCase& c = GetParam();
    for (const bool sorted : {false, true}) {
        QStringList args = {c.options.first(), map.definition(), "--csv", "-"};
        args += c.options.mid(1);
        if (sorted) {
            args += "--sorted";
        }
        const auto r = runTool(args, "x,y,vessel,time\n" + c.rows);
        ASSERT_EQ(r.rc, 0) << r.errText().toStdString();
        EXPECT_EQ(tableRows(r.out, c.options.first() == "visits"), c.expected) << sorted;
    }
}

INSTANTIATE_TEST_SUITE_P(Edges, CliTracks, testing::ValuesIn(kTrackCases),
                         [](const testing::TestParamInfo<TrackCase>& info) {
                             QString name = QString::fromLatin1(info.param.name);
                             name.replace(u' ', u'_').remove(u'-');
                             return name.toStdString();
                         });

// A file ordered by vessel and time, read in one pass with the vessels on three threads, gives
// the table the same rows in any order give.
TEST(CliTracksInput, SortedAsAnyOrder) {
    static const test::TinyMap map;
    ASSERT_TRUE(map.isValid()) << map.problems();
    std::mt19937 random(5);
    std::uniform_real_distribution<double> step(-300, 300);
    QList<QByteArray> rows;
    for (int v = 0; v < 40; ++v) {
        double x = 500, y = 500;
        for (int i = 0; i < 60; ++i) {
            x += step(random);
            y += step(random);
            rows.append(QStringLiteral("%1,%2,V%3,2024-05-01T%4:%5:00Z\n")
                            .arg(x)
                            .arg(y)
                            .arg(v, 2, 10, QLatin1Char('0'))
                            .arg(i / 6, 2, 10, QLatin1Char('0'))
                            .arg(i % 6 * 10, 2, 10, QLatin1Char('0'))
                            .toUtf8());
        }
    }
    const QByteArray header = "x,y,vessel,time\n";
    for (const char* command : {"visits", "hours"}) {
        const auto sorted =
            runTool({command, map.definition(), "--csv", "-", "--sorted", "--threads", "3"},
                    header + rows.join());
        ASSERT_EQ(sorted.rc, 0) << sorted.errText().toStdString();
        QList<QByteArray> shuffled = rows;
        std::shuffle(shuffled.begin(), shuffled.end(), random);
        const auto any =
            runTool({command, map.definition(), "--csv", "-"}, header + shuffled.join());
        EXPECT_GT(sorted.out.count('\n'), 40);
        EXPECT_EQ(sorted.out, any.out) << command;
    }
}

// Rows without a usable time are reported and left out; with --sorted, the first row out of
// order ends the run.
TEST(CliTracksInput, BadRows) {
    test::TinyMap map;
    ASSERT_TRUE(map.isValid()) << map.problems();
    const QByteArray input =
        "x,y,vessel,time\n"
        "200,100,v,2024-05-01T00:00:00Z\n"
        "210,110,v,yesterday\n"
        "220,120,v,\n"
        "230,130,v,2024-05-01T01:00:00Z\n"
        "240,140,u,2024-05-01T02:00:00Z\n";
    const auto r = runTool({"hours", map.definition(), "--csv", "-"}, input);
    ASSERT_EQ(r.rc, 0) << r.errText().toStdString();
    EXPECT_EQ(r.errText(),
              "Could not find layer:  ghost\n"
              "standard input, line 3: the time 'yesterday' is not an ISO 8601 date and time; the "
              "row is left out.\n"
              "standard input, line 4: the row has no time; the row is left out.\n"
              "3 rows read, 2 left out\n");
    EXPECT_EQ(tableRows(r.out, false),
              QStringList({"u|Zones|A, \"quoted\"|0.0000|1", "v|Zones|A, \"quoted\"|1.0000|2"}));

    const auto unsorted = runTool({"hours", map.definition(), "--csv", "-", "--sorted"}, input);
    EXPECT_EQ(unsorted.rc, 1);
    EXPECT_TRUE(unsorted.errText().contains(
        "standard input, line 6: the vessel 'u' comes after 'v': with --sorted the input must be "
        "ordered by vessel and time."))
        << unsorted.errText().toStdString();

    const auto untimed = runTool({"visits", map.definition(), "--csv", "-"}, "x,y\n200,100\n");
    EXPECT_EQ(untimed.rc, 1);
    EXPECT_TRUE(untimed.errText().contains("standard input gives no times"))
        << untimed.errText().toStdString();
}

}  // namespace
