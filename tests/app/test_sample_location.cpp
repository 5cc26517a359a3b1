#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "app/SampleMapLocation.h"
#include "support/QStringPrinter.h"

using namespace pelagon;

namespace {

// A scratch tree with an installation (prefix/bin, prefix/share) and user and system data
// folders, which stand in for XDG_DATA_HOME and XDG_DATA_DIRS.
class SampleLocationTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        root = QDir(dir.path()).canonicalPath();
        QDir().mkpath(root + "/prefix/bin");
        savedHome = qgetenv("XDG_DATA_HOME");
        savedDirs = qgetenv("XDG_DATA_DIRS");
        qputenv("XDG_DATA_HOME", (root + "/home-data").toUtf8());
        qputenv("XDG_DATA_DIRS", (root + "/system-data").toUtf8());
    }
    void TearDown() override {
        qputenv("XDG_DATA_HOME", savedHome);
        qputenv("XDG_DATA_DIRS", savedDirs);
    }

    QString put(const QString& dataFolder) {
        const QString path = root + "/" + dataFolder + "/" + sampleMapInDataFolder();
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        return path;
    }

    QTemporaryDir dir;
    QString root;
    QByteArray savedHome;
    QByteArray savedDirs;
};

TEST_F(SampleLocationTest, LooksBesideTheProgramFirstThenInTheDataFolders) {
    const QString bin = root + "/prefix/bin";
    EXPECT_EQ(sampleMapCandidates(bin),
              QStringList({root + "/prefix/share/" + sampleMapInDataFolder(),
                           root + "/home-data/" + sampleMapInDataFolder(),
                           root + "/system-data/" + sampleMapInDataFolder()}));
    EXPECT_EQ(findSampleMap(bin), QString());

    const QString system = put("system-data");
    EXPECT_EQ(findSampleMap(bin), system);
    const QString user = put("home-data");
    EXPECT_EQ(findSampleMap(bin), user);
    const QString installed = put("prefix/share");
    EXPECT_EQ(findSampleMap(bin), installed);
}

TEST_F(SampleLocationTest, ALinkedSampleIsNamedByItsRealPlace) {
    // The build folder links its data folder's sample to the source tree's.
    const QString real = put("source");
    QDir().mkpath(root + "/build/share/pelagon/samples");
    ASSERT_TRUE(
        QFile::link(QFileInfo(real).absolutePath(), root + "/build/share/pelagon/samples/alaska"));
    QDir().mkpath(root + "/build/src");
    EXPECT_EQ(findSampleMap(root + "/build/src"), real);
}

}  // namespace
