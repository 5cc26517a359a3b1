#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QListView>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "app/AppController.h"
#include "reports/FakePageView.h"
#include "support/RecordingMessageSink.h"

using namespace pelagon;

namespace {

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

// A map folder with a definition whose layers are not there: enough for the chooser's path.
class ChooserTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        folder = QDir(dir.path()).canonicalPath();
        writeFile(folder + "/Alaska.mv",
                  "Name,Query,Visible,File\r\nLand,0,True,land,,1.2.3,,0\r\n");
        writeFile(folder + "/Other.mv", "header\r\nA,0,1,a,,0.0.0,,0\r\nB,0,1,b,,0.0.0,,0\r\n");
        writeFile(folder + "/Broken.mv", "header\r\nA,0,1,a,,0.0.0,,0\r\nB,zero,1,b,,0,,0\r\n");
        writeFile(folder + "/Empty.mv", "header only\r\n");
        writeFile(folder + "/notes.txt", "not a map\r\n");
        writeFile(folder + "/Alaska.mv.bak", "old\r\n");
        writeFile(folder + "/ProjPars.alb", "-154\r\n50\r\n55\r\n65\r\n");
        QDir().mkpath(folder + "/sub");
        savedCwd = QDir::currentPath();
        QDir::setCurrent(folder);
        controller = std::make_unique<AppController>(messages, pages.factory());
        controller->setEndProgram([this](int code) { endedWith = code; });
        controller->showChooser();
    }
    void TearDown() override {
        controller.reset();
        QDir::setCurrent(savedCwd);
    }

    QTemporaryDir dir;
    QString folder;
    QString savedCwd;
    test::RecordingMessageSink messages;
    test::FakePageViews pages;
    std::unique_ptr<AppController> controller;
    int endedWith = -1;
};

TEST_F(ChooserTest, StartsOnTheCurrentFolderAndListsOnlyMapDefinitions) {
    MapSelectForm* chooser = controller->chooser();
    ASSERT_NE(chooser, nullptr);
    EXPECT_EQ(chooser->windowTitle(), QStringLiteral("Brenta Dudadiruz Pelagon -- Select a Map"));
    EXPECT_EQ(chooser->folderPath(), folder);
    EXPECT_EQ(chooser->listedFiles(),
              QStringList({"Alaska.mv", "Broken.mv", "Empty.mv", "Other.mv"}));
    EXPECT_TRUE(chooser->isVisible());
    EXPECT_EQ(controller->frame(), nullptr);
}

TEST_F(ChooserTest, ChangingTheFolderRefreshesTheFileList) {
    MapSelectForm* chooser = controller->chooser();
    chooser->setFolder(folder + "/sub");
    EXPECT_TRUE(chooser->listedFiles().isEmpty());
    chooser->setFolder(folder);
    EXPECT_EQ(chooser->listedFiles().size(), 4);
}

TEST_F(ChooserTest, OkOpensTheMapInItsFolder) {
    MapSelectForm* chooser = controller->chooser();
    QDir::setCurrent(QDir::tempPath());
    ASSERT_TRUE(chooser->selectFile("Other.mv"));
    QTest::mouseClick(chooser->CmdGetMap, Qt::LeftButton);

    const QString path = folder + "/Other.mv";
    EXPECT_EQ(QDir::currentPath(), folder);
    EXPECT_EQ(chooser->theMapFile, path);
    ASSERT_NE(controller->frame(), nullptr);
    EXPECT_EQ(controller->frame()->windowTitle(), "Dudadiruz Pelagon: " + path);
    ASSERT_NE(controller->mapform(), nullptr);
    EXPECT_EQ(controller->mapform()->BaseDir, folder + "/");
    EXPECT_EQ(controller->mapform()->LastLayer, 1);
    EXPECT_FALSE(chooser->isVisible());
}

TEST_F(ChooserTest, DoubleClickOnAFileDoesTheSameAsOk) {
    MapSelectForm* chooser = controller->chooser();
    const int row = chooser->listedFiles().indexOf("Other.mv");
    const QModelIndex index = chooser->File1->model()->index(row, 0);
    const QPoint at = chooser->File1->visualRect(index).center();
    QTest::mouseClick(chooser->File1->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(chooser->File1->viewport(), Qt::LeftButton, {}, at);
    EXPECT_EQ(chooser->theMapFile, folder + "/Other.mv");
    ASSERT_NE(controller->mapform(), nullptr);
    EXPECT_EQ(controller->mapform()->LastLayer, 1);
}

TEST_F(ChooserTest, OkWithoutAFileSaysSoAndStays) {
    MapSelectForm* chooser = controller->chooser();
    QTest::mouseClick(chooser->CmdGetMap, Qt::LeftButton);
    ASSERT_EQ(messages.messages.size(), 1);
    EXPECT_TRUE(messages.messages[0].text.contains("No map definition is selected"));
    EXPECT_TRUE(messages.messages[0].text.contains(folder));
    EXPECT_TRUE(chooser->isVisible());
    EXPECT_EQ(controller->mapform(), nullptr);
}

struct BadMapCase {
    const char* file;
    const char* expectedText;
};

class BadDefinitionTest : public ChooserTest, public ::testing::WithParamInterface<BadMapCase> {};

TEST_P(BadDefinitionTest, TellsWhereAndReturnsToTheChooser) {
    MapSelectForm* chooser = controller->chooser();
    ASSERT_TRUE(chooser->selectFile(GetParam().file));
    chooser->LoadSelectedMap();
    ASSERT_EQ(messages.messages.size(), 1);
    const QString text = messages.messages[0].text;
    EXPECT_TRUE(text.contains(QString::fromUtf8(GetParam().expectedText))) << text.toStdString();
    EXPECT_TRUE(text.contains(folder + "/" + GetParam().file)) << text.toStdString();
    EXPECT_TRUE(chooser->isVisible());
    EXPECT_EQ(controller->mapform(), nullptr);
    ASSERT_NE(controller->frame(), nullptr);
    EXPECT_FALSE(controller->frame()->isVisible());

    // The user can go on and pick a good map.
    messages.messages.clear();
    ASSERT_TRUE(chooser->selectFile("Other.mv"));
    chooser->LoadSelectedMap();
    ASSERT_NE(controller->mapform(), nullptr);
    EXPECT_TRUE(controller->frame()->isVisible());
}

INSTANTIATE_TEST_SUITE_P(
    Table, BadDefinitionTest,
    ::testing::Values(BadMapCase{"Broken.mv",
                                 "line 3, field 2 (query mode): \"zero\" is not a number"},
                      BadMapCase{"Empty.mv", "lists no layers"}));

TEST_F(ChooserTest, OpeningAMissingFileDirectlyShowsTheChooser) {
    EXPECT_FALSE(controller->openMapFile(folder + "/Nowhere.mv"));
    ASSERT_EQ(messages.messages.size(), 1);
    EXPECT_TRUE(messages.messages[0].text.contains(folder + "/Nowhere.mv"));
    EXPECT_TRUE(controller->chooser()->isVisible());
    EXPECT_EQ(controller->chooser()->folderPath(), folder);
}

TEST_F(ChooserTest, OpeningAFileDirectlySkipsTheChooser) {
    QDir::setCurrent(QDir::tempPath());
    EXPECT_TRUE(controller->openMapFile(folder + "/Other.mv"));
    EXPECT_EQ(QDir::currentPath(), folder);
    EXPECT_EQ(controller->frame()->windowTitle(), "Dudadiruz Pelagon: " + folder + "/Other.mv");
}

TEST_F(ChooserTest, MissingProjectionParametersEndTheProgram) {
    QFile::remove(folder + "/ProjPars.alb");
    EXPECT_FALSE(controller->openMapFile(folder + "/Other.mv"));
    EXPECT_EQ(endedWith, 1);
    // The fixture's layers are missing too; the projection's message comes last.
    ASSERT_EQ(messages.messages.size(), 3);
    EXPECT_TRUE(messages.messages[2].text.contains("ProjPars.alb"));
    EXPECT_TRUE(messages.messages[2].text.contains(folder));
    EXPECT_FALSE(controller->chooser()->isVisible());
}

TEST_F(ChooserTest, IncompleteProjectionParametersEndTheProgram) {
    writeFile(folder + "/ProjPars.alb", "-154\r\n50\r\n55\r\n");
    EXPECT_FALSE(controller->openMapFile(folder + "/Other.mv"));
    EXPECT_EQ(endedWith, 1);
    const QStringList texts = messages.texts();
    ASSERT_EQ(texts.size(), 3);
    EXPECT_EQ(texts[0], "Could not find layer:  a");
    EXPECT_EQ(texts[1], "Could not find layer:  b");
    // The fixed text, then the file, the line and what it should hold.
    EXPECT_TRUE(texts[2].startsWith("Missing parameters in 'ProjPars.alb'\n\n"))
        << texts[2].toStdString();
    EXPECT_TRUE(
        texts[2].contains("ProjPars.alb has 3 line(s); line 4 should hold the second "
                          "standard parallel"))
        << texts[2].toStdString();
}

}  // namespace
