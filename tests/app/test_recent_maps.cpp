#include <gtest/gtest.h>

#include <QSettings>
#include <QTemporaryDir>

#include <algorithm>

#include "app/RecentMaps.h"
#include "support/QStringPrinter.h"

using namespace pelagon;

namespace {

class RecentMapsTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    QString file() const { return dir.filePath("pelagon.conf"); }

    QTemporaryDir dir;
};

QStringList maps(int from, int to) {
    QStringList list;
    for (int i = from; i <= to; ++i) {
        list.append(QStringLiteral("/maps/m%1.mv").arg(i));
    }
    return list;
}

struct AddCase {
    const char* name;
    QStringList added;     // in the order they are opened
    QStringList expected;  // most recent first
};

class RecentMapsAddTest : public RecentMapsTest, public ::testing::WithParamInterface<AddCase> {};

TEST_P(RecentMapsAddTest, KeepsTheLastEightMostRecentFirst) {
    {
        QSettings settings(file(), QSettings::IniFormat);
        RecentMaps recent(settings);
        for (const QString& path : GetParam().added) {
            recent.add(path);
        }
    }
    // Read back through new settings: the list outlives the run.
    QSettings settings(file(), QSettings::IniFormat);
    EXPECT_EQ(RecentMaps(settings).paths(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, RecentMapsAddTest,
    ::testing::Values(
        AddCase{"one", {"/maps/a.mv"}, {"/maps/a.mv"}},
        AddCase{"newest first", {"/maps/a.mv", "/maps/b.mv"}, {"/maps/b.mv", "/maps/a.mv"}},
        AddCase{"reopened moves up",
                {"/maps/a.mv", "/maps/b.mv", "/maps/c.mv", "/maps/a.mv"},
                {"/maps/a.mv", "/maps/c.mv", "/maps/b.mv"}},
        AddCase{"same file written another way",
                {"/maps/a.mv", "/maps/x/../a.mv", "/maps//./a.mv"},
                {"/maps/a.mv"}},
        AddCase{"letter case is part of the name",
                {"/maps/a.mv", "/maps/A.mv"},
                {"/maps/A.mv", "/maps/a.mv"}},
        AddCase{"eight kept", maps(1, 8),
                [] {
                    QStringList l = maps(1, 8);
                    std::reverse(l.begin(), l.end());
                    return l;
                }()},
        AddCase{"the ninth pushes out the oldest", maps(1, 9),
                [] {
                    QStringList l = maps(2, 9);
                    std::reverse(l.begin(), l.end());
                    return l;
                }()},
        AddCase{"an empty name is not a map", {"/maps/a.mv", ""}, {"/maps/a.mv"}}),
    [](const ::testing::TestParamInfo<AddCase>& info) {
        QString name = QString::fromUtf8(info.param.name);
        name.replace(' ', '_');
        return name.toStdString();
    });

TEST_F(RecentMapsTest, AHandEditedListIsReadSoundly) {
    QSettings settings(file(), QSettings::IniFormat);
    settings.setValue("recentMaps", QStringList{"/maps/a.mv", "relative.mv", "", "/maps/a.mv",
                                                "/maps/b/../b.mv"} +
                                        maps(1, 10));
    QStringList expected = {"/maps/a.mv", "/maps/b.mv"};
    expected += maps(1, 6);
    EXPECT_EQ(RecentMaps(settings).paths(), expected);

    // A single entry is stored by QSettings as a plain string.
    settings.setValue("recentMaps", QStringLiteral("/maps/only.mv"));
    EXPECT_EQ(RecentMaps(settings).paths(), QStringList{"/maps/only.mv"});
}

TEST_F(RecentMapsTest, ClearEmptiesTheStoredList) {
    QSettings settings(file(), QSettings::IniFormat);
    RecentMaps recent(settings);
    recent.add("/maps/a.mv");
    recent.clear();
    EXPECT_TRUE(recent.paths().isEmpty());
    QSettings again(file(), QSettings::IniFormat);
    EXPECT_TRUE(RecentMaps(again).paths().isEmpty());
}

}  // namespace
