#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>

#include <clocale>

#include "mapdef/PlaceList.h"

using namespace pelagon;

namespace {

enum class Kind { Site, Region };

PlaceList parse(Kind kind, const QStringList& lines, const QString& file) {
    return kind == Kind::Site ? parseSiteList(lines, file) : parseRegionList(lines, file);
}

QString fileOf(Kind kind) {
    return kind == Kind::Site ? siteListFileName() : regionListFileName();
}

struct GoodCase {
    const char* label;
    Kind kind;
    QStringList lines;
    QStringList names;
    QVector<MapRect> extents;
};

std::ostream& operator<<(std::ostream& os, const GoodCase& c) {
    return os << c.label;
}

class PlaceListGoodTest : public ::testing::TestWithParam<GoodCase> {};

TEST_P(PlaceListGoodTest, ReadsNamesAndRectangles) {
    const GoodCase& c = GetParam();
    const PlaceList list = parse(c.kind, c.lines, fileOf(c.kind));
    ASSERT_TRUE(list.ok()) << list.error->message().toStdString();
    EXPECT_EQ(list.names, c.names);
    EXPECT_EQ(list.extents, c.extents);
}

INSTANTIATE_TEST_SUITE_P(
    Table, PlaceListGoodTest,
    ::testing::Values(
        GoodCase{"harbour_square",
                 Kind::Site,
                 {"Name,X,Y", "Harbour,100000,200000"},
                 {"Harbour"},
                 {{50000, 150000, 150000, 250000}}},
        GoodCase{"site_names_as_written",
                 Kind::Site,
                 {"h", "  Cape  St. Elias ,0,0", "\"Ugamak\",1.5e5,-2.5E4"},
                 {"  Cape  St. Elias ", "\"Ugamak\""},
                 {{-50000, 50000, -50000, 50000}, {100000, 200000, -75000, 25000}}},
        GoodCase{"comma_in_quotes_ends_the_name",
                 Kind::Site,
                 {"h", "\"Cape,100000,200000,\""},
                 {"\"Cape"},
                 {{50000, 150000, 150000, 250000}}},
        GoodCase{"extra_site_fields_ignored",
                 Kind::Site,
                 {"h", "A,1,2,rookery,,x", "B,3,4,"},
                 {"A", "B"},
                 {{-49999, 50001, -49998, 50002}, {-49997, 50003, -49996, 50004}}},
        GoodCase{"header_without_commas_and_blank_lines_skipped",
                 Kind::Site,
                 {"anything at all", "", "A,0,0", "   ", "B,10,20", ""},
                 {"A", "B"},
                 {{-50000, 50000, -50000, 50000}, {-49990, 50010, -49980, 50020}}},
        GoodCase{"blanks_around_numbers_and_signs",
                 Kind::Site,
                 {"h", "A, 12.5 ,\t-7 ", "B,+1,.5"},
                 {"A", "B"},
                 {{-49987.5, 50012.5, -50007, 49993}, {-49999, 50001, -49999.5, 50000.5}}},
        GoodCase{"region_edges_in_field_order",
                 Kind::Region,
                 {"Name,Left,Right,Bottom,Top", "Aleutian Islands,-1500000,-400000,300000,900000"},
                 {"Aleutian Islands"},
                 {{-1500000, -400000, 300000, 900000}}},
        GoodCase{"region_extra_fields_and_empty_header",
                 Kind::Region,
                 {"", "R1,1,2,3,4,extra", "R2,5,6,7,8"},
                 {"R1", "R2"},
                 {{1, 2, 3, 4}, {5, 6, 7, 8}}},
        GoodCase{
            "region_name_empty_is_kept", Kind::Region, {"h", ",1,2,3,4"}, {""}, {{1, 2, 3, 4}}}));

struct BadCase {
    const char* label;
    Kind kind;
    QStringList lines;
    int line;
    const char* problemPart;
};

std::ostream& operator<<(std::ostream& os, const BadCase& c) {
    return os << c.label;
}

class PlaceListBadTest : public ::testing::TestWithParam<BadCase> {};

TEST_P(PlaceListBadTest, NamesFileLineAndProblemAndKeepsNothing) {
    const BadCase& c = GetParam();
    const PlaceList list = parse(c.kind, c.lines, fileOf(c.kind));
    ASSERT_FALSE(list.ok());
    EXPECT_TRUE(list.names.isEmpty());
    EXPECT_TRUE(list.extents.isEmpty());
    EXPECT_EQ(list.error->file, fileOf(c.kind));
    EXPECT_EQ(list.error->line, c.line);
    const QString message = list.error->message();
    EXPECT_TRUE(message.startsWith(QStringLiteral("%1, line %2: ").arg(fileOf(c.kind)).arg(c.line)))
        << message.toStdString();
    EXPECT_TRUE(message.contains(QString::fromUtf8(c.problemPart))) << message.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Table, PlaceListBadTest,
    ::testing::Values(
        BadCase{"empty_file", Kind::Site, {}, 1, "empty"},
        BadCase{"header_only", Kind::Site, {"Name,X,Y"}, 2, "no sites"},
        BadCase{"header_and_blank_lines_only", Kind::Region, {"h", "", " "}, 2, "no regions"},
        BadCase{"site_too_few_fields", Kind::Site, {"h", "A,1,2", "B,3"}, 3, "2 fields"},
        BadCase{"site_name_only", Kind::Site, {"h", "A"}, 2, "1 field,"},
        BadCase{"region_too_few_fields", Kind::Region, {"h", "", "R,1,2,3"}, 3, "needs 5"},
        BadCase{"site_x_not_a_number", Kind::Site, {"h", "A,abc,2"}, 2, "field 2 (X)"},
        BadCase{"site_y_empty", Kind::Site, {"h", "A,1,"}, 2, "field 3 (Y)"},
        BadCase{"comma_between_quotes_shifts_the_fields",
                Kind::Site,
                {"h", "\"Sand, Point\",100000,200000"},
                2,
                "\" Point\"\""},
        BadCase{"site_unit_after_number", Kind::Site, {"h", "A,1m,2"}, 2, "\"1m\""},
        // A damaged value is quoted cut short.
        BadCase{"site_x_huge",
                Kind::Site,
                {"h", "A," + QString(100000, 'x') + ",2"},
                2,
                "xxxxxxxxxx\xe2\x80\xa6\", which"},
        BadCase{"region_top_not_a_number", Kind::Region, {"h", "R,1,2,3,x4"}, 2, "(top)"},
        BadCase{"region_infinite", Kind::Region, {"h", "R,1,2,3,inf"}, 2, "(top)"},
        BadCase{"region_overflow", Kind::Region, {"h", "R,1e400,2,3,4"}, 2, "(left)"},
        BadCase{"later_row_spoils_the_list",
                Kind::Region,
                {"h", "A,1,2,3,4", "B,1,2,3,4", "C,1,2,3,nan"},
                4,
                "(top)"}));

TEST(PlaceListTest, MoreThanSixteenBitsOfRows) {
    QStringList lines{QStringLiteral("Name,X,Y")};
    for (int i = 0; i < 33000; ++i) {
        lines << QStringLiteral("S%1,%1,0").arg(i);
    }
    const PlaceList list = parseSiteList(lines, siteListFileName());
    ASSERT_TRUE(list.ok());
    ASSERT_EQ(list.size(), 33000);
    EXPECT_EQ(list.names.last(), QStringLiteral("S32999"));
    EXPECT_EQ(list.extents.last().center().x, 32999.0);
}

class GermanLocale : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = QLocale();
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        savedC_ = std::setlocale(LC_NUMERIC, nullptr);
        std::setlocale(LC_NUMERIC, "de_DE.UTF-8");  // may be missing; Qt's default is what counts
    }
    void TearDown() override {
        QLocale::setDefault(saved_);
        std::setlocale(LC_NUMERIC, savedC_.c_str());
    }

private:
    QLocale saved_;
    std::string savedC_;
};

TEST_F(GermanLocale, NumbersStillUseTheDecimalPoint) {
    ASSERT_EQ(QLocale().decimalPoint(), QStringLiteral(","));
    const PlaceList list = parseRegionList({"h", "R,1.5,2.25,-3.5e3, 4.0 "}, regionListFileName());
    ASSERT_TRUE(list.ok()) << list.error->message().toStdString();
    EXPECT_EQ(list.extents[0], (MapRect{1.5, 2.25, -3500, 4}));
    // German grouping ("1.000" for a thousand) is not applied: the text is one and a bit.
    EXPECT_EQ(parsePlaceNumber(QStringLiteral("1.000")), 1.0);
}

struct PlaceNumberCase {
    const char* text;
    std::optional<double> expected;
};

class PlaceNumberTest : public ::testing::TestWithParam<PlaceNumberCase> {};

TEST_P(PlaceNumberTest, ReadsDecimalPointNumbersOnly) {
    const PlaceNumberCase& c = GetParam();
    EXPECT_EQ(parsePlaceNumber(QString::fromUtf8(c.text)), c.expected) << c.text;
}

INSTANTIATE_TEST_SUITE_P(
    Table, PlaceNumberTest,
    ::testing::Values(PlaceNumberCase{"0", 0.0}, PlaceNumberCase{"-12.75", -12.75},
                      PlaceNumberCase{"  3 ", 3.0}, PlaceNumberCase{"1E3", 1000.0},
                      PlaceNumberCase{"2.5e-1", 0.25}, PlaceNumberCase{"+4", 4.0},
                      PlaceNumberCase{"", std::nullopt}, PlaceNumberCase{"  ", std::nullopt},
                      PlaceNumberCase{"1 000", std::nullopt}, PlaceNumberCase{"0x10", std::nullopt},
                      PlaceNumberCase{"1.2.3", std::nullopt}, PlaceNumberCase{"nan", std::nullopt},
                      PlaceNumberCase{"-inf", std::nullopt}));

// Reading from disk: line breaks, the 8-bit fallback and a missing file.
class PlaceListFileTest : public ::testing::Test {
protected:
    QString write(const QString& name, const QByteArray& bytes) {
        const QString path = dir_.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }
    QTemporaryDir dir_;
};

TEST_F(PlaceListFileTest, ReadsCrLfAndWindows1252) {
    const QString path =
        write(siteListFileName(), "Name,X,Y\r\nK\xF6nigsbucht,100000,200000\r\nB,0,0\r\n\r\n");
    const PlaceList list = readSiteList(path);
    ASSERT_TRUE(list.ok()) << list.error->message().toStdString();
    EXPECT_EQ(list.names, (QStringList{QStringLiteral("K\u00F6nigsbucht"), QStringLiteral("B")}));
    EXPECT_EQ(list.extents[0], (MapRect{50000, 150000, 150000, 250000}));
}

TEST_F(PlaceListFileTest, ErrorsNameTheFileAsGiven) {
    const QString path = write(regionListFileName(), "h\nR,1,2,3\n");
    const PlaceList list = readRegionList(path);
    ASSERT_FALSE(list.ok());
    EXPECT_EQ(list.error->message().left(path.size() + 9), path + QStringLiteral(", line 2:"));
}

TEST_F(PlaceListFileTest, MissingFileNamesTheFile) {
    const QString path = dir_.filePath(siteListFileName());
    const PlaceList list = readSiteList(path);
    ASSERT_FALSE(list.ok());
    EXPECT_EQ(list.error->line, 0);
    EXPECT_TRUE(list.error->message().contains(path));
    EXPECT_TRUE(list.error->message().contains(QStringLiteral("does not exist")));
    EXPECT_TRUE(list.names.isEmpty());
}

TEST_F(PlaceListFileTest, ReadsByBareNameInTheCurrentFolder) {
    write(regionListFileName(), "h\nR,1,2,3,4\n");
    const QString saved = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir_.path()));
    const PlaceList list = readRegionList();
    QDir::setCurrent(saved);
    ASSERT_TRUE(list.ok());
    EXPECT_EQ(list.names, QStringList{QStringLiteral("R")});
}

}  // namespace
