#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include "app/StartArguments.h"
#include "support/QStringPrinter.h"

using namespace pelagon;

namespace {

using Action = StartArguments::Action;

struct StartCase {
    QStringList words;  // after the program's name
    Action action;
    QString file;  // relative to the working folder of the test; "" for none
    bool sample;
    bool newWindow;
    QString errorPart;  // for an error: a part of its text
    QStringList positions = {};  // absolute
};

class StartArgumentsTest : public ::testing::TestWithParam<StartCase> {};

TEST_P(StartArgumentsTest, Reads) {
    const StartCase& c = GetParam();
    const StartArguments a = parseStartArguments(QStringList{"pelagon"} + c.words);
    EXPECT_EQ(a.action, c.action) << a.error.toStdString();
    if (c.action == Action::Error) {
        EXPECT_TRUE(a.error.contains(c.errorPart)) << a.error.toStdString();
        return;
    }
    const QString expected =
        c.file.isEmpty() ? QString()
                         : QDir::cleanPath(QDir::isAbsolutePath(c.file)
                                               ? c.file
                                               : QDir::currentPath() + QLatin1Char('/') + c.file);
    EXPECT_EQ(a.file, expected);
    EXPECT_EQ(a.sample, c.sample);
    EXPECT_EQ(a.newWindow, c.newWindow);
    EXPECT_EQ(a.positions, c.positions);
    EXPECT_TRUE(a.error.isEmpty()) << a.error.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Table, StartArgumentsTest,
    ::testing::Values(
        StartCase{{}, Action::Run, "", false, false, ""},
        StartCase{{"maps/Alaska.mv"}, Action::Run, "maps/Alaska.mv", false, false, ""},
        StartCase{{"/data/./x/../Alaska.mv"}, Action::Run, "/data/Alaska.mv", false, false, ""},
        StartCase{{"--new-window", "/m/A.mv"}, Action::Run, "/m/A.mv", false, true, ""},
        StartCase{{"/m/A.mv", "--new-window"}, Action::Run, "/m/A.mv", false, true, ""},
        StartCase{{"--sample"}, Action::Run, "", true, false, ""},
        StartCase{{"--sample", "--new-window"}, Action::Run, "", true, true, ""},
        StartCase{{"/m/A.mv", "--positions", "/t/a.csv", "--positions", "file:///t/b%20c.gpx"},
                  Action::Run,
                  "/m/A.mv",
                  false,
                  false,
                  "",
                  {"/t/a.csv", "/t/b c.gpx"}},
        StartCase{{"--positions", "t/../a.csv", "--sample"},
                  Action::Run,
                  "",
                  true,
                  false,
                  "",
                  {QDir::currentPath() + "/a.csv"}},
        StartCase{{"--positions", "/t/a.csv"}, Action::Error, "", false, false, "name the map"},
        StartCase{{"/m/A.mv", "--positions"}, Action::Error, "", false, false, "positions"},
        StartCase{{"/m/A.mv", "--positions", ""}, Action::Error, "", false, false, "empty"},
        // Launchers may pass URLs; spaces and "#" arrive percent-encoded.
        StartCase{{"file:///home/me/My%20maps/%231/A.mv"},
                  Action::Run,
                  "/home/me/My maps/#1/A.mv",
                  false,
                  false,
                  ""},
        StartCase{{"file://localhost/m/A.mv"}, Action::Run, "/m/A.mv", false, false, ""},
        // After "--" a name that starts with a dash is a file.
        StartCase{{"--", "--sample"}, Action::Run, "--sample", false, false, ""},
        StartCase{{"--help"}, Action::Help, "", false, false, ""},
        StartCase{{"-h"}, Action::Help, "", false, false, ""},
        StartCase{{"/m/A.mv", "--help"}, Action::Help, "", false, false, ""},
        StartCase{{"--version"}, Action::Version, "", false, false, ""},
        StartCase{{"-v"}, Action::Version, "", false, false, ""},
        StartCase{{"--bogus"}, Action::Error, "", false, false, "bogus"},
        StartCase{{"--sample=yes"}, Action::Error, "", false, false, "sample"},
        StartCase{{"/m/A.mv", "/m/B.mv"}, Action::Error, "", false, false, "one map at a time"},
        StartCase{{"--sample", "/m/A.mv"}, Action::Error, "", false, false, "/m/A.mv"},
        StartCase{{""}, Action::Error, "", false, false, "empty"},
        StartCase{{"file://server/share/A.mv"},
                  Action::Error,
                  "",
                  false,
                  false,
                  "not a file on this computer"}));

}  // namespace
