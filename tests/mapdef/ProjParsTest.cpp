#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QTemporaryDir>

#include <cmath>
#include <limits>

#include "mapdef/ProjPars.h"
#include "support/QStringPrinter.h"

namespace pelagon {
namespace {

TEST(ReadLeadingNumber, ReadsTheNumberAtTheStart) {
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        const char* text;
        double value;
    };
    const Case cases[] = {
        {"-154", -154},
        {"  -154 west", -154},
        {"50\t(origin)", 50},
        {"+7.5", 7.5},
        {"1 000", 1000},
        {"- 5", -5},
        {".5", 0.5},
        {"5.", 5},
        {"-.25", -0.25},
        {"1.2.3", 1.2},
        {"12abc", 12},
        {"1e3", 1000},
        {"2.5D-1", 0.25},
        {"3 e 2", 300},
        {"1e", 1},
        {"1e+x", 1},
        {"abc", 0},
        {"", 0},
        {"-", 0},
        {".", 0},
        {"0x10", 0},
        {"$55", 0},
        {"1e999", inf},
        {"-1e999", -inf},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(readLeadingNumber(QString::fromUtf8(c.text)), c.value) << c.text;
    }
}

TEST(ReadLeadingNumber, IgnoresTheLocale) {
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(readLeadingNumber(u"65.5"), 65.5);
    EXPECT_EQ(readLeadingNumber(u"65,5"), 65);
    QLocale::setDefault(before);
}

class ReadProjParsTest : public ::testing::Test {
protected:
    QString write(const QByteArray& content) {
        const QString path = dir_.filePath(QStringLiteral("ProjPars.alb"));
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(content);
        return path;
    }
    QTemporaryDir dir_;
};

TEST_F(ReadProjParsTest, ReadsFourValues) {
    struct Case {
        const char* what;
        QByteArray content;
        double lon0, lat0, sp1, sp2;
    };
    const Case cases[] = {
        {"LF", "-154\n50\n55\n65\n", -154, 50, 55, 65},
        {"CR LF, trailing lines ignored", "-154\r\n50\r\n55\r\n65\r\nnotes\r\n", -154, 50, 55, 65},
        {"no line break at the end", "-154\n50\n55\n65", -154, 50, 55, 65},
        {"blanks around the numbers", " -154 \n\t50\n55.5\n 65 \n", -154, 50, 55.5, 65},
        {"signs, exponents and blanks inside", "+2e2\n-.5\n1 0\n2.5D1\n", 200, -0.5, 10, 25},
        {"a latitude of 0 and the limits", "-360\n0\n90\n-89.5\n", -360, 0, 90, -89.5},
    };
    for (const Case& c : cases) {
        const ProjParsResult r = ReadProjPars(write(c.content));
        ASSERT_TRUE(r.projection) << c.what << ": " << r.error->detail.toStdString();
        EXPECT_FALSE(r.error) << c.what;
        EXPECT_EQ(r.projection->CentralLon, c.lon0) << c.what;
        EXPECT_EQ(r.projection->OriginLat, c.lat0) << c.what;
        EXPECT_EQ(r.projection->StdParallel1, c.sp1) << c.what;
        EXPECT_EQ(r.projection->StdParallel2, c.sp2) << c.what;
        EXPECT_TRUE(std::isfinite(r.projection->Rho0)) << c.what;
    }
    const ProjParsResult r = ReadProjPars(write("-154\r\n50\r\n55\r\n65\r\n"));
    EXPECT_NEAR(r.projection->ConeN, 0.8627446127734, 5e-14);
    EXPECT_NEAR(r.projection->Rho0, 4804031.3505, 5e-5);
}

TEST_F(ReadProjParsTest, MissingParameters) {
    struct Case {
        const char* what;
        QByteArray content;
        int line;            // 0: the values together
        const char* reason;  // part of the message
    };
    const Case cases[] = {
        {"empty file", "", 1, "has 0 line(s); line 1 should hold the central meridian"},
        {"three lines", "-154\n50\n55\n", 4, "line 4 should hold the second standard parallel"},
        {"three lines, CR LF", "-154\r\n50\r\n55\r\n", 4, "has 3 line(s)"},
        {"equal standard parallels", "-154\n50\n60\n60\n", 0,
         "the two standard parallels (lines 3 and 4) are equal"},
        {"parallels symmetric about the equator", "-154\n50\n30\n-30\n", 0,
         "the standard parallels 30 and -30 (lines 3 and 4) are equal and opposite, which leaves "
         "the cone undefined"},
        {"a number too large", "-154\n1e400\n55\n65\n", 2,
         "line 2: the latitude of origin is too large a number"},
        {"a line without a number", "abc\n50\n55\n65\n", 1,
         "line 1: the central meridian \"abc\" is not a number"},
        {"another one", "-154\nxyz\n55\n65\n", 2,
         "line 2: the latitude of origin \"xyz\" is not a number"},
        {"lines that once read as 0", "abc\n\n30\nnothing\n", 1, "\"abc\" is not a number"},
        {"an empty line", "-154\n50\n55\n\n", 4,
         "line 4: the line is empty; it should hold the second standard parallel"},
        {"a line of blanks", "-154\n  \t\n55\n65\n", 2, "line 2: the line is empty"},
        {"a sign alone", "-\n50\n55\n65\n", 1, "\"-\" is not a number"},
        {"text after the number", " -154 central\n50\n55\n65\n", 1,
         "line 1: the central meridian \"-154 central\" has other text after its number"},
        {"a decimal comma", "-154\n50\n55,5\n65\n", 3,
         "the first standard parallel \"55,5\" has other text after its number"},
        {"an exponent without digits", "-154\n50\n55\n6e\n", 4, "other text after its number"},
        {"two points", "-154\n50\n1.2.3\n65\n", 3, "other text after its number"},
        {"a latitude beyond 90", "-154\n95\n55\n65\n", 2,
         "line 2: the latitude of origin 95 is beyond \u00b190\u00b0"},
        {"a parallel beyond -90", "-154\n50\n-90.5\n65\n", 3,
         "the first standard parallel -90.5 is beyond \u00b190\u00b0"},
        {"a longitude beyond 360", "400\n50\n55\n65\n", 1,
         "line 1: the central meridian 400 is beyond \u00b1360\u00b0"},
        {"infinity written out", "-154\n50\n55\ninf\n", 4, "\"inf\" is not a number"},
    };
    for (const Case& c : cases) {
        const QString path = write(c.content);
        const ProjParsResult r = ReadProjPars(path);
        EXPECT_FALSE(r.projection) << c.what;
        ASSERT_TRUE(r.error) << c.what;
        EXPECT_EQ(r.error->kind, ProjParsError::Kind::MissingParameters) << c.what;
        EXPECT_EQ(r.error->line, c.line) << c.what;
        // The fixed text first, then the file, the line and the reason.
        const QString message = r.error->message();
        EXPECT_TRUE(message.startsWith(QStringLiteral("Missing parameters in 'ProjPars.alb'\n\n")))
            << c.what << ": " << message.toStdString();
        EXPECT_TRUE(message.contains(path)) << c.what << ": " << message.toStdString();
        EXPECT_TRUE(message.contains(QString::fromUtf8(c.reason)))
            << c.what << ": " << message.toStdString();
    }
}

TEST_F(ReadProjParsTest, UnreadableFileNamesFileAndFolder) {
    const QString missing = dir_.filePath(QStringLiteral("ProjPars.alb"));
    const QString folder = dir_.filePath(QStringLiteral("sub"));
    ASSERT_TRUE(QDir(dir_.path()).mkdir(QStringLiteral("sub")));
    for (const QString& path : {missing, folder}) {
        const ProjParsResult r = ReadProjPars(path);
        EXPECT_FALSE(r.projection);
        ASSERT_TRUE(r.error);
        EXPECT_EQ(r.error->kind, ProjParsError::Kind::Unreadable);
        const QString msg = r.error->message();
        EXPECT_TRUE(msg.contains(QFileInfo(path).fileName())) << msg.toStdString();
        EXPECT_TRUE(msg.contains(QDir::toNativeSeparators(dir_.path()))) << msg.toStdString();
    }
}

}  // namespace
}  // namespace pelagon
