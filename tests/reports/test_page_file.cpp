#include <gtest/gtest.h>

#include <ostream>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <functional>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "reports/DrillIdPageFile.h"

using namespace pelagon;

namespace {

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

TEST(DrillIdPageFile, WritesIntoTheMapFolderReplacingTheEarlierPage) {
    QTemporaryDir map;
    QTemporaryDir fallback;
    const QString target = map.filePath("drillID_results.htm");

    SavedPage first =
        saveDrillIdResultsPage("a much longer earlier page\r\n", map.path(), fallback.path());
    ASSERT_TRUE(first.saved()) << first.message().toStdString();
    SavedPage second = saveDrillIdResultsPage("short\r\n", map.path(), fallback.path());
    ASSERT_TRUE(second.saved());
    EXPECT_EQ(second.path, target);
    EXPECT_FALSE(second.inFallbackFolder);
    EXPECT_EQ(readAll(target), QByteArray("short\r\n"));
    EXPECT_FALSE(QFileInfo::exists(fallback.filePath("drillID_results.htm")));
}

// A page file that is a FIFO (something reading the page as it comes) is written through, not
// replaced by a regular file.
TEST(DrillIdPageFile, WritesThroughAFifoInTheMapFolder) {
    QTemporaryDir map;
    QTemporaryDir fallback;
    const QString fifo = map.filePath("drillID_results.htm");
    const QByteArray fifoName = QFile::encodeName(fifo);
    ASSERT_EQ(mkfifo(fifoName.constData(), 0600), 0);
    QByteArray got;
    std::thread reader([&] {
        QFile f(fifo);
        if (f.open(QIODevice::ReadOnly)) {
            got = f.readAll();
        }
    });
    const SavedPage saved = saveDrillIdResultsPage("<html>\r\n", map.path(), fallback.path());
    // Releases the reader should nothing have opened the FIFO for writing.
    const int release = ::open(fifoName.constData(), O_WRONLY | O_NONBLOCK);
    if (release >= 0) {
        ::close(release);
    }
    reader.join();
    ASSERT_TRUE(saved.saved()) << saved.message().toStdString();
    EXPECT_FALSE(saved.inFallbackFolder) << saved.message().toStdString();
    EXPECT_EQ(got, QByteArray("<html>\r\n"));
    EXPECT_FALSE(QFileInfo(fifo).isFile());
}

// Map folders that cannot take the page. Each returns the folder, or an empty text when this
// machine cannot make such a folder (root writes into read-only folders).
struct UnwritableCase {
    const char* name;
    std::function<QString(const QTemporaryDir&)> make;
    friend void PrintTo(const UnwritableCase& c, std::ostream* os) { *os << c.name; }
};

class UnwritableMapFolder : public ::testing::TestWithParam<UnwritableCase> {};

TEST_P(UnwritableMapFolder, PageGoesToTheFallbackFolderAndSaysWhy) {
    QTemporaryDir scratch;
    const QString folder = GetParam().make(scratch);
    if (folder.isEmpty()) {
        GTEST_SKIP() << "no such folder can be made here (root writes into read-only folders)";
    }
    QTemporaryDir fallbackBase;
    const QString fallback = fallbackBase.filePath("per-user/pelagon");

    const SavedPage saved = saveDrillIdResultsPage("<html>\r\n", folder, fallback);
    // Undo the read-only mode so the scratch folder can be removed.
    QFile::setPermissions(scratch.path(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QFile::setPermissions(scratch.filePath("ro"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

    ASSERT_TRUE(saved.saved()) << saved.message().toStdString();
    EXPECT_TRUE(saved.inFallbackFolder);
    EXPECT_EQ(saved.path, fallback + "/drillID_results.htm");
    EXPECT_EQ(readAll(saved.path), QByteArray("<html>\r\n"));
    EXPECT_TRUE(saved.mapFolderProblem.contains(folder)) << saved.mapFolderProblem.toStdString();
    EXPECT_TRUE(saved.message().contains(saved.path));
    EXPECT_EQ(QFileInfo(fallback).permissions() &
                  (QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ReadGroup),
              QFileDevice::Permissions());
}

INSTANTIATE_TEST_SUITE_P(
    Folders, UnwritableMapFolder,
    ::testing::Values(
        UnwritableCase{"ReadOnlyFolder",
                       [](const QTemporaryDir& scratch) {
                           const QString ro = scratch.filePath("ro");
                           QDir().mkpath(ro);
                           QFile::setPermissions(ro,
                                                 QFileDevice::ReadOwner | QFileDevice::ExeOwner);
                           QFile probe(ro + "/probe");
                           if (probe.open(QIODevice::WriteOnly)) {
                               return QString();
                           }
                           return ro;
                       }},
        // Read-only media: the kernel's process folder takes no new files, not even from root.
        UnwritableCase{"ReadOnlyFileSystem",
                       [](const QTemporaryDir&) {
                           QFile probe("/proc/pelagon-probe");
                           if (!QFileInfo("/proc").isDir() || probe.open(QIODevice::WriteOnly)) {
                               return QString();
                           }
                           return QString("/proc");
                       }},
        UnwritableCase{"FolderIsAFile",
                       [](const QTemporaryDir& scratch) {
                           const QString file = scratch.filePath("plain");
                           QFile f(file);
                           f.open(QIODevice::WriteOnly);
                           return file;
                       }},
        UnwritableCase{"FolderIsGone",
                       [](const QTemporaryDir& scratch) { return scratch.filePath("gone/away"); }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DrillIdPageFile, TellsWhenNeitherFolderCanTakeThePage) {
    QTemporaryDir scratch;
    const QString blocker = scratch.filePath("blocker");
    QFile f(blocker);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();

    const SavedPage saved =
        saveDrillIdResultsPage("x", scratch.filePath("missing"), blocker + "/fallback");
    EXPECT_FALSE(saved.saved());
    EXPECT_TRUE(saved.error.contains(scratch.filePath("missing")));
    EXPECT_TRUE(saved.error.contains(blocker + "/fallback"));
    EXPECT_TRUE(saved.message().startsWith("The query page could not be written."));
}

TEST(DrillIdPageFile, DefaultFallbackFolderBelongsToTheUser) {
    const QString folder = drillIdFallbackFolder();
    EXPECT_TRUE(folder.endsWith("/pelagon"));
    EXPECT_NE(folder, QDir::tempPath() + "/pelagon");
}

}  // namespace
