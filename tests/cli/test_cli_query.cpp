// pelagon-cli query --csv, in-process on a small map written by the test: the table, the quoting
// of its fields, and rows that cannot be read.
#include <gtest/gtest.h>

#include "cli/CliTestSupport.h"
#include "cli/Csv.h"
#include "support/QStringPrinter.h"

using namespace pelagon;
using pelagon::test::runTool;

namespace {

TEST(CliQuery, BatchTable) {
    test::TinyMap map;
    ASSERT_TRUE(map.isValid()) << map.problems();
    const QByteArray input =
        "X, Y ,ID\r\n"
        "100,100,\"first, with comma\"\r\n"
        "700,700,\"say \"\"hi\"\"\"\r\n"
        "abc,1,bad\r\n"
        "2000,2000\r\n"
        "\r\n"
        "2000,2003,\"multi\nline\"\r\n"
        "9000,9000,\"open\r\n";
    const auto r = runTool({"query", map.definition(), "--csv", "-", "--tolerance", "5"}, input);
    ASSERT_EQ(r.rc, 0) << r.errText().toStdString();
    EXPECT_EQ(r.errText(),
              "Could not find layer:  ghost\n"
              "standard input, line 4: the x value 'abc' is not a number; the row is left out.\n"
              "standard input, line 5: it has 2 fields where 3 are needed; the row is left out.\n"
              "standard input, line 9: the quote that opens field 3 is never closed; the row is "
              "left out.\n"
              "3 rows read, 3 left out\n");
    const QList<cli::CsvRecord> rows = cli::parseCsv(r.outText());
    ASSERT_EQ(rows.size(), 4);
    EXPECT_EQ(rows[0].fields,
              QStringList({"id", "lon", "lat", "x", "y", "Zones", "Docs", "Wells", "Ghost"}));
    // A zone whose name needs quoting; the hidden document layer gives its DocFile.
    EXPECT_EQ(rows[1].fields.mid(3),
              QStringList({"100.000", "100.000", "A, \"quoted\"", "", "", ""}));
    EXPECT_EQ(rows[1].fields[0], "first, with comma");
    EXPECT_EQ(rows[2].fields.mid(5), QStringList({"A, \"quoted\"", "a\\b.htm", "", ""}));
    EXPECT_EQ(rows[2].fields[0], "say \"hi\"");
    EXPECT_EQ(rows[3].fields[0], "multi\nline");
    EXPECT_EQ(rows[3].fields[7], "W1");  // 3 m from the well, within the tolerance
    // Map units are converted to degrees with the map's projection.
    EXPECT_EQ(rows[1].fields[1].left(8), "-153.998");
    EXPECT_TRUE(r.outText().endsWith("\r\n"));

    // Degrees in, with the row's line number as id.
    const auto lonlat =
        runTool({"query", map.definition(), "--csv", "-"}, "lon,lat\n-154,50\n-154,80\n");
    ASSERT_EQ(lonlat.rc, 0);
    const QList<cli::CsvRecord> out = cli::parseCsv(lonlat.outText());
    ASSERT_EQ(out.size(), 3);
    EXPECT_EQ(out[1].fields[0], "2");
    EXPECT_EQ(out[1].fields[5], "A, \"quoted\"");  // (0, 0) is the origin of the plane
    EXPECT_EQ(out[2].fields[5], "");

    const auto noColumns = runTool({"query", map.definition(), "--csv", "-"}, "a,b\n1,2\n");
    EXPECT_EQ(noColumns.rc, 1);
    EXPECT_TRUE(noColumns.errText().contains("line 1: the header names neither"));
}

TEST(CliQuery, CsvQuotingOfFields) {
    const std::vector<std::pair<QString, QString>> cases = {
        {"plain", "plain"},
        {"a,b", "\"a,b\""},
        {"say \"x\"", "\"say \"\"x\"\"\""},
        {"two\nlines", "\"two\nlines\""},
        {"", ""},
    };
    for (const auto& [field, written] : cases) {
        EXPECT_EQ(cli::csvField(field), written);
        const QList<cli::CsvRecord> back = cli::parseCsv(cli::csvLine({field, "z"}));
        ASSERT_EQ(back.size(), 1);
        EXPECT_EQ(back[0].fields, QStringList({field, "z"}));
    }
    const QList<cli::CsvRecord> bad = cli::parseCsv("\"a\"b,c\nd,e\n");
    ASSERT_EQ(bad.size(), 2);
    EXPECT_TRUE(bad[0].error.contains("text follows the closing quote of field 1"));
    EXPECT_EQ(bad[1].line, 2);
    EXPECT_EQ(bad[1].fields, QStringList({"d", "e"}));
}

// A row whose quote is never closed is reported and left out; the rows after it are read.
TEST(CliQuery, BrokenRowsDoNotSwallowTheRest) {
    test::TinyMap map;
    ASSERT_TRUE(map.isValid()) << map.problems();
    QByteArray input = "x,y,id\n";
    for (int i = 0; i < 10000; ++i) {
        input +=
            i == 10 || i == 5000 ? "100,100,\"open\n" : "100,100,r" + QByteArray::number(i) + "\n";
    }
    const auto r = runTool({"query", map.definition(), "--csv", "-"}, input);
    ASSERT_EQ(r.rc, 0) << r.errText().left(500).toStdString();
    const QStringList err = r.errText().split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(err.size(), 4) << r.errText().left(500).toStdString();  // the ghost layer first
    EXPECT_EQ(err[1],
              "standard input, line 12: the quote that opens field 3 is closed only on "
              "line 5002, and text follows it; the row is left out.");
    EXPECT_EQ(err[2],
              "standard input, line 5002: the quote that opens field 3 is never closed; "
              "the row is left out.");
    EXPECT_EQ(err[3], "9,998 rows read, 2 left out");
    const QList<cli::CsvRecord> rows = cli::parseCsv(r.outText());
    ASSERT_EQ(rows.size(), 1 + 9998);
    EXPECT_EQ(rows.last().fields[0], "r9999");
}

TEST(CliQuery, CsvRecordsAfterAnOpenQuote) {
    const QList<cli::CsvRecord> records =
        cli::parseCsv("a,b\n\"open,1\nc,\"d\ne\"\nf,\"g\r\nh,i\n");
    ASSERT_EQ(records.size(), 5);
    EXPECT_TRUE(records[1].error.contains("closed only on line 3"))
        << records[1].error.toStdString();
    EXPECT_EQ(records[1].line, 2);
    EXPECT_EQ(records[2].fields, QStringList({"c", "d\ne"}));  // a quoted line break still works
    EXPECT_EQ(records[2].line, 3);
    EXPECT_TRUE(records[3].error.contains("field 2 is never closed"));
    EXPECT_EQ(records[3].line, 5);
    EXPECT_EQ(records[4].fields, QStringList({"h", "i"}));
    EXPECT_EQ(records[4].line, 6);
}

}  // namespace
