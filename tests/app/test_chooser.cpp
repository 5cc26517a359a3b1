#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QListView>
#include <QPushButton>
#include <QScrollBar>
#include <QTreeView>
#include <QTemporaryDir>
#include <QTest>

#include "app/AppController.h"
#include "app/MapSelectForm.h"
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

struct LeaveCase {
    const char* name;
    bool escape;  // Esc, otherwise a click on Cancel
};

class ChooserLeaveTest : public ChooserTest, public ::testing::WithParamInterface<LeaveCase> {};

// The chooser is left from the keyboard or by Cancel, with no map chosen.
TEST_P(ChooserLeaveTest, ClosesTheChooser) {
    MapSelectForm* chooser = controller->chooser();
    ASSERT_NE(chooser->CmdCancel, nullptr);
    EXPECT_EQ(chooser->CmdCancel->text(), "Cancel");
    chooser->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(chooser));
    chooser->File1->setFocus();
    if (GetParam().escape) {
        QTest::keyClick(chooser->File1, Qt::Key_Escape);
    } else {
        QTest::mouseClick(chooser->CmdCancel, Qt::LeftButton);
    }
    EXPECT_FALSE(chooser->isVisible());
    EXPECT_EQ(controller->mapform(), nullptr);
    EXPECT_TRUE(messages.messages.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Table, ChooserLeaveTest,
                         ::testing::Values(LeaveCase{"escape", true}, LeaveCase{"cancel", false}),
                         [](const ::testing::TestParamInfo<LeaveCase>& info) {
                             return std::string(info.param.name);
                         });

// Folder and file names show whole, however long: the folder tree's column is as wide as its
// names and the lists scroll sideways.
TEST_F(ChooserTest, LongNamesShowWhole) {
    const QString longFolder = "o'brien survey of the western approaches, second season";
    const QString longFile = "Halibut and sablefish closures of the western approaches.mv";
    ASSERT_TRUE(QDir(folder).mkpath(longFolder + "/inner"));
    writeFile(folder + "/" + longFile, "header\r\nA,0,1,a,,0.0.0,,0\r\n");
    MapSelectForm* chooser = controller->chooser();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(chooser));
    chooser->setFolder(folder + "/sub");
    chooser->setFolder(folder);  // read again
    ASSERT_TRUE(chooser->selectFile(longFile));

    QTreeView* tree = chooser->Dir1;
    auto* model = tree->model();
    const auto folderIndex = [&] {
        const QModelIndex current = tree->currentIndex();
        for (int r = 0; r < model->rowCount(current); ++r) {
            const QModelIndex child = model->index(r, 0, current);
            if (child.data().toString() == longFolder) {
                return child;
            }
        }
        return QModelIndex();
    };
    tree->expand(tree->currentIndex());
    QTRY_VERIFY(folderIndex().isValid());
    const QModelIndex index = folderIndex();
    tree->scrollTo(index);
    const int needed = tree->fontMetrics().horizontalAdvance(longFolder);
    QTRY_VERIFY(tree->visualRect(index).width() >= needed);
    EXPECT_GT(tree->header()->sectionSize(0), tree->viewport()->width());
    EXPECT_GT(tree->horizontalScrollBar()->maximum(), 0);

    QListView* files = chooser->File1;
    const QModelIndex file = files->currentIndex();
    EXPECT_EQ(file.data().toString(), longFile);
    EXPECT_GE(files->visualRect(file).width(), files->fontMetrics().horizontalAdvance(longFile));
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
