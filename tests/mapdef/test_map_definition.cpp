#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <vector>

#include "mapdef/MapDefinition.h"

using namespace pelagon;

namespace {

struct SplitCase {
    const char* text;
    const char* delimiter;
    QStringList expected;
};

class SplitStringTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitStringTest, KeepsEveryPiece) {
    const SplitCase& c = GetParam();
    QStringList pieces{QStringLiteral("stale")};
    splitString(QString::fromUtf8(c.text), QString::fromUtf8(c.delimiter), pieces);
    EXPECT_EQ(pieces, c.expected);
}

INSTANTIATE_TEST_SUITE_P(Table, SplitStringTest,
                         ::testing::Values(SplitCase{"a,,b,", ",", {"a", "", "b", ""}},
                                           SplitCase{"", ",", {""}}, SplitCase{"abc", ",", {"abc"}},
                                           SplitCase{",", ",", {"", ""}},
                                           SplitCase{",a", ",", {"", "a"}},
                                           SplitCase{"255.0.0", ".", {"255", "0", "0"}},
                                           SplitCase{"a b, c", ",", {"a b", " c"}},
                                           // The delimiter is compared exactly: case matters.
                                           SplitCase{"aXbxc", "x", {"aXb", "c"}}));

struct NumberCase {
    const char* text;
    std::optional<qint16> expected;
};

class ToInt16Test : public ::testing::TestWithParam<NumberCase> {};

TEST_P(ToInt16Test, RoundsHalvesToEvenWithinRange) {
    const NumberCase& c = GetParam();
    QString problem;
    EXPECT_EQ(toInt16(QString::fromUtf8(c.text), &problem), c.expected) << c.text;
    EXPECT_EQ(problem.isEmpty(), c.expected.has_value());
}

INSTANTIATE_TEST_SUITE_P(
    Table, ToInt16Test,
    ::testing::Values(NumberCase{"2", 2}, NumberCase{"-1", -1}, NumberCase{"2.5", 2},
                      NumberCase{"3.5", 4}, NumberCase{"-2.5", -2}, NumberCase{"0.49", 0},
                      NumberCase{" 7 ", 7}, NumberCase{"1e2", 100}, NumberCase{"32767", 32767},
                      NumberCase{"-32768", -32768}, NumberCase{"-32768.5", -32768},
                      NumberCase{"32767.5", std::nullopt}, NumberCase{"40000", std::nullopt},
                      NumberCase{"", std::nullopt}, NumberCase{"abc", std::nullopt},
                      NumberCase{"1,5", std::nullopt}, NumberCase{"2x", std::nullopt}));

struct TruthCase {
    const char* text;
    std::optional<qint16> expected;
};

class ToTruthTest : public ::testing::TestWithParam<TruthCase> {};

TEST_P(ToTruthTest, AcceptsWordsAndNumbers) {
    const TruthCase& c = GetParam();
    EXPECT_EQ(toTruth(QString::fromUtf8(c.text)), c.expected) << c.text;
}

INSTANTIATE_TEST_SUITE_P(Table, ToTruthTest,
                         ::testing::Values(TruthCase{"True", kTrue}, TruthCase{"TRUE", kTrue},
                                           TruthCase{"true", kTrue}, TruthCase{"False", kFalse},
                                           TruthCase{"fAlSe", kFalse}, TruthCase{"0", kFalse},
                                           TruthCase{"-1", kTrue}, TruthCase{"1", kTrue},
                                           TruthCase{"2.5", kTrue}, TruthCase{"0.0", kFalse},
                                           TruthCase{"yes", std::nullopt},
                                           TruthCase{"", std::nullopt}));

struct ColourCase {
    const char* text;
    std::optional<qint32> expected;
};

class ColourTest : public ::testing::TestWithParam<ColourCase> {};

TEST_P(ColourTest, ComposesRedGreenBlue) {
    const ColourCase& c = GetParam();
    EXPECT_EQ(parseRGB(QString::fromUtf8(c.text)), c.expected) << c.text;
    EXPECT_EQ(getRGB(QString::fromUtf8(c.text)), c.expected.value_or(0));
}

INSTANTIATE_TEST_SUITE_P(
    Table, ColourTest,
    ::testing::Values(ColourCase{"255.0.0", 255}, ColourCase{"200.200.200", 13158600},
                      ColourCase{"0.0.255", 16711680}, ColourCase{"0.0.0", 0},
                      ColourCase{"300.0.0", 255}, ColourCase{"1.2.3.99", 1 + 512 + 3 * 65536},
                      ColourCase{"127.5.0.0", 127 + 5 * 256}, ColourCase{"255.0", std::nullopt},
                      ColourCase{"", std::nullopt}, ColourCase{"-1.0.0", std::nullopt},
                      ColourCase{"a.b.c", std::nullopt}, ColourCase{"0..0", std::nullopt}));

LayerInfo record(const char* name, qint16 query, qint16 visible, const char* shape, const char* doc,
                 qint32 color, qint32 border, qint16 style, const char* label, const char* caption,
                 const char* field) {
    LayerInfo r;
    r.LayerName = QString::fromUtf8(name);
    r.QueryMode = query;
    r.Visible = visible;
    r.ShapeFile = QString::fromUtf8(shape);
    r.DocFile = QString::fromUtf8(doc);
    r.SymbolColor = color;
    r.BorderColor = border;
    r.SymbolStyle = style;
    r.LabelField = QString::fromUtf8(label);
    r.AttrCaption = QString::fromUtf8(caption);
    r.AttrField = QString::fromUtf8(field);
    return r;
}

struct LineCase {
    const char* line;
    LayerInfo expected;
};

class LayerLineTest : public ::testing::TestWithParam<LineCase> {};

TEST_P(LayerLineTest, FillsTheRecord) {
    LayerInfo r;
    DefinitionError error;
    ASSERT_TRUE(parseLayerLine(QString::fromUtf8(GetParam().line), &r, &error))
        << error.problem.toStdString();
    EXPECT_EQ(r, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, LayerLineTest,
    ::testing::Values(
        LineCase{
            "Closed areas,1,True,closedareas,closed.htm,255.0.0,,1,,,",
            record("Closed areas", 1, kTrue, "closedareas", "closed.htm", 255, 255, 1, "", "", "")},
        LineCase{"Statistical areas,2,False,statareas,,200.200.200,0.0.0,0,AREA_ID,Area,AREA_ID",
                 record("Statistical areas", 2, kFalse, "statareas", "", 13158600, 0, 0, "AREA_ID",
                        "Area", "AREA_ID")},
        // Border empty with style 0 is black; with style 3 it is the symbol colour.
        LineCase{"A,0,1,a,,10.20.30,,0",
                 record("A", 0, kTrue, "a", "", 10 + 20 * 256 + 30 * 65536, 0, 0, "", "", "")},
        LineCase{"A,0,1,a,,10.20.30,,3", record("A", 0, kTrue, "a", "", 10 + 20 * 256 + 30 * 65536,
                                                10 + 20 * 256 + 30 * 65536, 3, "", "", "")},
        LineCase{"A,0,0,a,,1.1.1,0.0.255,0",
                 record("A", 0, kFalse, "a", "", 65793, 16711680, 0, "", "", "")},
        // Fields after the 11th are ignored; spaces next to commas belong to the fields.
        LineCase{"A,7,-1, a ,d.pdf,0.0.0,,2,L,C,F,extra,more",
                 record("A", 7, kTrue, " a ", "d.pdf", 0, 0, 2, "L", "C", "F")},
        LineCase{"A,2.5,1,a,,0.0.0,,3.5", record("A", 2, kTrue, "a", "", 0, 0, 4, "", "", "")}));

struct BadLineCase {
    const char* line;
    int field;
};

class BadLayerLineTest : public ::testing::TestWithParam<BadLineCase> {};

TEST_P(BadLayerLineTest, NamesTheField) {
    LayerInfo r;
    DefinitionError error;
    EXPECT_FALSE(parseLayerLine(QString::fromUtf8(GetParam().line), &r, &error));
    EXPECT_EQ(error.field, GetParam().field);
    EXPECT_FALSE(error.problem.isEmpty());
    EXPECT_FALSE(error.fieldName.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Table, BadLayerLineTest,
    ::testing::Values(BadLineCase{"A,x,1,a,,0.0.0,,0", 2}, BadLineCase{"A,40000,1,a,,0.0.0,,0", 2},
                      BadLineCase{"A,1,maybe,a,,0.0.0,,0", 3}, BadLineCase{"A,1,1,a,,0.0,,0", 6},
                      BadLineCase{"A,1,1,a,,-5.0.0,,0", 6},
                      BadLineCase{"A,1,1,a,,0.0.0,1.x.2,0", 7}, BadLineCase{"A,1,1,a,,0.0.0,,", 8},
                      BadLineCase{"A,1,1,a,,0.0.0,,99999", 8}, BadLineCase{"Only a name", 2}));

MapDefinition parse(const std::vector<const char*>& lines) {
    QStringList list;
    for (const char* l : lines) {
        list.append(QString::fromUtf8(l));
    }
    return parseMapDefinition(list, QStringLiteral("test.mv"));
}

TEST(MapDefinitionTest, HeaderThenBlankLineGivesNoRecords) {
    EXPECT_EQ(parse({"Name,Query", ""}).LastLayer(), -1);
    EXPECT_EQ(parse({"Name,Query", "    "}).LastLayer(), -1);
    EXPECT_EQ(parse({"Name,Query"}).LastLayer(), -1);
    EXPECT_EQ(parse({}).LastLayer(), -1);
    EXPECT_FALSE(parse({"Name,Query", ""}).error.has_value());
}

TEST(MapDefinitionTest, BlankLineEndsTheList) {
    const MapDefinition def =
        parse({"header", "A,0,1,a,,0.0.0,,0", "  ", "B,0,1,b,,0.0.0,,0", "C,x"});
    ASSERT_EQ(def.LastLayer(), 0);
    EXPECT_EQ(def.LayerInfos[0].LayerName, QStringLiteral("A"));
    EXPECT_FALSE(def.error.has_value());
}

TEST(MapDefinitionTest, LinesAfterTheEndingBlankLineAreNoted) {
    struct Case {
        std::vector<const char*> lines;
        int blank, first, last;  // 0: nothing noted
        const char* message;
    };
    const Case cases[] = {
        {{"header", "A,0,1,a,,0.0.0,,0", "", "B,0,1,b,,0.0.0,,0", "", "C,x", " "},
         3,
         4,
         6,
         "test.mv: lines 4\u20136 after the blank line at line 3 are not read (the layer list "
         "ends at its first blank line)."},
        {{"header", "A,0,1,a,,0.0.0,,0", "\t", "", "notes"},
         3,
         5,
         5,
         "test.mv: line 5 after the blank line at line 3 is not read (the layer list ends at its "
         "first blank line)."},
        {{"header", "", "B,0,1,b,,0.0.0,,0"}, 2, 3, 3, "line 3 after the blank line at line 2"},
        {{"header", "A,0,1,a,,0.0.0,,0", "", "  ", ""}, 0, 0, 0, ""},
        {{"header", "A,0,1,a,,0.0.0,,0"}, 0, 0, 0, ""},
        // A malformed line stops the reading before any blank line: nothing to note.
        {{"header", "A,x", "", "B,0,1,b,,0.0.0,,0"}, 0, 0, 0, ""},
    };
    for (const Case& c : cases) {
        const MapDefinition def = parse(c.lines);
        SCOPED_TRACE(c.message);
        if (c.blank == 0) {
            EXPECT_FALSE(def.unreadLines.has_value());
            continue;
        }
        ASSERT_TRUE(def.unreadLines.has_value());
        EXPECT_EQ(def.unreadLines->blankLine, c.blank);
        EXPECT_EQ(def.unreadLines->first, c.first);
        EXPECT_EQ(def.unreadLines->last, c.last);
        EXPECT_TRUE(def.unreadLines->message(QStringLiteral("test.mv"))
                        .contains(QString::fromUtf8(c.message)))
            << def.unreadLines->message(QStringLiteral("test.mv")).toStdString();
    }
}

TEST(MapDefinitionTest, LinesAreTrimmedAndLongestNameCounted) {
    const MapDefinition def =
        parse({"header", "   Short,0,1,a,,0.0.0,,0   ", "A much longer name,0,1,b,,0.0.0,,0"});
    ASSERT_EQ(def.LastLayer(), 1);
    EXPECT_EQ(def.LayerInfos[0].LayerName, QStringLiteral("Short"));
    EXPECT_EQ(def.longestName, 18);
}

TEST(MapDefinitionTest, MalformedLineStopsWithRecordsBeforeIt) {
    const MapDefinition def =
        parse({"header", "A,0,1,a,,0.0.0,,0", "B,0,1,b,,0.0.0,,0", "C,0,perhaps,c,,0.0.0,,0"});
    ASSERT_TRUE(def.error.has_value());
    EXPECT_EQ(def.LastLayer(), 1);
    EXPECT_EQ(def.error->line, 4);
    EXPECT_EQ(def.error->field, 3);
    const QString message = def.error->message();
    EXPECT_TRUE(message.startsWith(QStringLiteral("test.mv, line 4, field 3 (visible): ")))
        << message.toStdString();
    EXPECT_TRUE(message.contains(QStringLiteral("\"perhaps\""))) << message.toStdString();
}

// A damaged field is quoted back cut short, however long it is.
TEST(MapDefinitionTest, LongBadFieldsAreQuotedShort) {
    const QString huge(100000, QLatin1Char('9'));
    const QString hugeWord(100000, QLatin1Char('x'));
    const QStringList lines = {
        "A," + hugeWord + ",1,a,,0.0.0,,0",             // query mode
        "A,1," + hugeWord + ",a,,0.0.0,,0",             // visible
        "A,1,1,a,," + hugeWord + ".0.0,,0",             // the red part of the colour
        "A,1,1,a,,0.0.0,," + huge,                      // style out of range
        "A,1,1,a,,0.0.0," + huge + "." + huge + ",0"};  // border without a blue part
    for (const QString& line : lines) {
        const MapDefinition def = parseMapDefinition({"header", line}, QStringLiteral("t.mv"));
        ASSERT_TRUE(def.error.has_value());
        const QString message = def.error->message();
        EXPECT_LT(message.size(), 400) << message.left(200).toStdString();
        EXPECT_TRUE(message.contains(QChar(0x2026))) << message.toStdString();
    }
}

TEST(MapDefinitionTest, ReadsAFileWithCrLfAndWindows1252) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("m.mv"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    // "Kodiak \xe9" is Windows-1252 for "Kodiak é".
    f.write("Name,Query\r\nKodiak \xe9,0,True,k,,1.2.3,,0\r\n");
    f.close();
    const MapDefinition def = readMapDefinition(path);
    ASSERT_FALSE(def.error.has_value());
    ASSERT_EQ(def.LastLayer(), 0);
    EXPECT_EQ(def.LayerInfos[0].LayerName, QString::fromUtf8("Kodiak \xc3\xa9"));
    EXPECT_EQ(def.LayerInfos[0].SymbolColor, 1 + 2 * 256 + 3 * 65536);
}

TEST(MapDefinitionTest, MissingFileIsAnErrorNamingIt) {
    const MapDefinition def = readMapDefinition(QStringLiteral("/nonexistent/folder/x.mv"));
    ASSERT_TRUE(def.error.has_value());
    EXPECT_EQ(def.error->line, 0);
    EXPECT_TRUE(def.error->message().contains(QStringLiteral("/nonexistent/folder/x.mv")));
}

TEST(MapDefinitionTest, FolderIsNotADefinition) {
    QTemporaryDir dir;
    const MapDefinition def = readMapDefinition(dir.path());
    ASSERT_TRUE(def.error.has_value());
    EXPECT_TRUE(def.error->message().contains(QStringLiteral("folder")));
}

}  // namespace
