// The frame's File menu, the recent maps and maps handed over by other viewers, on the real
// widgets: another map opens in the same frame, and one that cannot be opened leaves the open map
// as it was.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

#include "app/AppController.h"
#include "app/FileMenu.h"
#include "common/Twips.h"
#include "reports/FakePageView.h"
#include "support/QStringPrinter.h"
#include "support/RecordingMessageSink.h"
#include "tools/MapToolbar.h"

using namespace pelagon;

namespace {

void writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

const QByteArray kProjPars = "-154\r\n50\r\n55\r\n65\r\n";

// Maps in two folders; their layer files are missing (each load reports them and goes on).
class OpenMapTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        folder = QDir(dir.path()).canonicalPath();
        writeFile(folder + "/Alaska.mv", "header\r\nLand,0,True,land,,1.2.3,,0\r\n");
        writeFile(folder + "/Other.mv", "header\r\nA,0,1,a,,0.0.0,,0\r\nB,0,1,b,,0.0.0,,0\r\n");
        writeFile(folder + "/Broken.mv", "header\r\nA,0,1,a,,0.0.0,,0\r\nB,zero,1,b,,0,,0\r\n");
        writeFile(folder + "/Empty.mv", "header only\r\n");
        writeFile(folder + "/ProjPars.alb", kProjPars);
        writeFile(folder + "/east/Third.mv", "header\r\nSea,0,True,sea,,1.2.3,,0\r\n");
        writeFile(folder + "/east/ProjPars.alb", kProjPars);
        writeFile(folder + "/noproj/Fourth.mv", "header\r\nSea,0,True,sea,,1.2.3,,0\r\n");
        savedCwd = QDir::currentPath();
        QDir::setCurrent(folder);
        controller = std::make_unique<AppController>(messages, pages.factory());
        controller->setEndProgram([this](int code) { endedWith = code; });
        controller->recentMaps().clear();
    }
    void TearDown() override {
        controller.reset();
        QDir::setCurrent(savedCwd);
    }

    void open(const QString& path) {
        ASSERT_TRUE(controller->openMapFile(path)) << messages.texts().join("\n").toStdString();
        messages.messages.clear();
    }

    // The frame's child windows that show, by title.
    QStringList shownWindows() const {
        QStringList titles;
        for (QMdiSubWindow* w : controller->frame()->mdiArea()->subWindowList()) {
            if (w->isVisible()) {
                titles.append(w->windowTitle());
            }
        }
        titles.sort();
        return titles;
    }

    QString title() const { return controller->frame()->windowTitle(); }

    QTemporaryDir dir;
    QString folder;
    QString savedCwd;
    test::RecordingMessageSink messages;
    test::FakePageViews pages;
    std::unique_ptr<AppController> controller;
    int endedWith = -1;
};

TEST_F(OpenMapTest, TheFileMenuHasOpenMapRecentMapsAndQuit) {
    open(folder + "/Alaska.mv");
    FileMenu* menu = controller->fileMenu();
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->menu()->title(), "&File");
    EXPECT_EQ(menu->openMapAction()->text(), "&Open map…");
    EXPECT_EQ(menu->openMapAction()->shortcut(), QKeySequence("Ctrl+O"));
    EXPECT_EQ(menu->recentMenu()->title(), "&Recent maps");
    EXPECT_EQ(menu->quitAction()->text(), "&Quit");
    EXPECT_EQ(menu->quitAction()->shortcut(), QKeySequence("Ctrl+Q"));
}

TEST_F(OpenMapTest, OpenMapReplacesTheMapInTheSameFrame) {
    open(folder + "/Alaska.mv");
    TheMDIform* frame = controller->frame();
    const QPointer<Mapform> first = controller->mapform();
    first->ShowRegs();
    const QPointer<TheBrowserForm> regs = first->RegsWindow;
    const QPointer<QMdiSubWindow> legend = first->legendWindow();
    ASSERT_TRUE(regs && legend);

    controller->fileMenu()->openMapAction()->trigger();
    MapSelectForm* chooser = controller->chooser();
    ASSERT_NE(chooser, nullptr);
    EXPECT_TRUE(chooser->isVisible());
    EXPECT_TRUE(chooser->isWindow());
    EXPECT_EQ(chooser->parentWidget(), frame);
    EXPECT_EQ(chooser->windowModality(), Qt::WindowModal);
    EXPECT_EQ(chooser->folderPath(), folder);  // the open map's folder

    ASSERT_TRUE(chooser->selectFile("Other.mv"));
    QTest::mouseClick(chooser->CmdGetMap, Qt::LeftButton);

    EXPECT_TRUE(first.isNull());
    EXPECT_TRUE(regs.isNull());
    EXPECT_TRUE(legend.isNull());
    ASSERT_NE(controller->mapform(), nullptr);
    EXPECT_EQ(controller->frame(), frame);
    EXPECT_TRUE(frame->isVisible());
    EXPECT_EQ(title(), "Dudadiruz Pelagon: " + folder + "/Other.mv");
    EXPECT_EQ(controller->mapform()->LastLayer, 1);
    EXPECT_EQ(shownWindows(), QStringList({"Available Layers", "Map"}));
    EXPECT_EQ(frame->mdiArea()->subWindowList().size(), 2);
    EXPECT_FALSE(chooser->isVisible());
    EXPECT_EQ(controller->recentMaps().paths(),
              QStringList({folder + "/Other.mv", folder + "/Alaska.mv"}));

    // A map in another folder: that folder becomes the working folder.
    controller->fileMenu()->openMapAction()->trigger();
    controller->chooser()->setFolder(folder + "/east");
    ASSERT_TRUE(controller->chooser()->selectFile("Third.mv"));
    controller->chooser()->LoadSelectedMap();
    EXPECT_EQ(QDir::currentPath(), folder + "/east");
    EXPECT_EQ(controller->mapform()->BaseDir, folder + "/east/");
}

TEST_F(OpenMapTest, ClosingTheChooserKeepsTheMap) {
    open(folder + "/Alaska.mv");
    const QPointer<Mapform> map = controller->mapform();
    controller->fileMenu()->openMapAction()->trigger();
    controller->chooser()->close();
    QApplication::processEvents();
    EXPECT_EQ(controller->mapform(), map.data());
    EXPECT_EQ(shownWindows(), QStringList({"Available Layers", "Map"}));
    EXPECT_EQ(endedWith, -1);
}

struct FailedOpenCase {
    const char* name;
    const char* file;     // relative to the fixture's folder
    const char* message;  // a part of the message, as at start
    int messagesAtLeast;  // the load's other messages (missing layers) come first
    bool handedOver;      // by another viewer (single instance) rather than the File menu
};

class FailedOpenTest : public OpenMapTest, public ::testing::WithParamInterface<FailedOpenCase> {};

TEST_P(FailedOpenTest, LeavesTheOpenMapAsItWas) {
    pages.loadsAtOnce = true;  // the regulations window has its page's name from the start
    open(folder + "/Alaska.mv");
    const QPointer<Mapform> map = controller->mapform();
    map->ShowRegs();
    QTRY_VERIFY(!map->RegsWindow->timTimer()->isActive());
    const QString before = title();
    const QStringList windows = shownWindows();
    const QList<QMdiSubWindow*> all = controller->frame()->mdiArea()->subWindowList();

    // Nothing of the map that cannot be opened shows, also while its messages are up.
    QStringList behindMessages;
    messages.onMessage = [&] {
        const QString now = title() + " | " + shownWindows().join(", ");
        if (now != before + " | " + windows.join(", ")) {
            behindMessages.append(now);
        }
    };
    const QString path = folder + "/" + GetParam().file;
    if (GetParam().handedOver) {
        controller->requestOpen(path);
        QTRY_VERIFY(messages.messages.size() >= GetParam().messagesAtLeast);
    } else {
        EXPECT_FALSE(controller->openMapFile(path));
    }
    messages.onMessage = nullptr;
    EXPECT_TRUE(behindMessages.isEmpty()) << behindMessages.join("\n").toStdString();

    ASSERT_GE(messages.messages.size(), GetParam().messagesAtLeast);
    const QString text = messages.messages.last().text;
    EXPECT_TRUE(text.contains(GetParam().message)) << text.toStdString();
    // The open map is back, whole: its windows, its caption, its folder; nothing of the other.
    EXPECT_EQ(controller->mapform(), map.data());
    EXPECT_EQ(shownWindows(), windows);
    EXPECT_EQ(controller->frame()->mdiArea()->subWindowList(), all);
    EXPECT_EQ(title(), before);
    EXPECT_EQ(QDir::currentPath(), folder);
    EXPECT_EQ(map->BaseDir, folder + "/");
    EXPECT_EQ(endedWith, -1);
    EXPECT_EQ(controller->recentMaps().paths(), QStringList({folder + "/Alaska.mv"}));
    // As at start, the chooser comes back on the map's folder for another choice.
    ASSERT_NE(controller->chooser(), nullptr);
    EXPECT_TRUE(controller->chooser()->isVisible());
    EXPECT_EQ(controller->chooser()->folderPath(), QFileInfo(path).absolutePath());

    // The open map still works as before.
    map->theToolbar_ButtonClick("FullExtent", map->theToolbar->indexOfKey("FullExtent"));
    EXPECT_EQ(controller->mapform(), map.data());
}

INSTANTIATE_TEST_SUITE_P(
    Table, FailedOpenTest,
    ::testing::Values(
        FailedOpenCase{"malformed", "Broken.mv", "line 3, field 2 (query mode)", 1, false},
        FailedOpenCase{"no_layers", "Empty.mv", "lists no layers", 1, false},
        FailedOpenCase{"missing", "Gone.mv", "Gone.mv does not exist", 1, false},
        // At start this ends the program; with a map open, that map stays.
        FailedOpenCase{"no_projection", "noproj/Fourth.mv", "ProjPars.alb", 2, false},
        FailedOpenCase{"malformed_handed_over", "Broken.mv", "line 3, field 2", 1, true},
        FailedOpenCase{"no_projection_handed_over", "noproj/Fourth.mv", "ProjPars.alb", 2, true}),
    [](const ::testing::TestParamInfo<FailedOpenCase>& info) {
        return std::string(info.param.name);
    });

TEST_F(OpenMapTest, RecentMapsAreListedNewestFirstWithMissingOnesGreyedOut) {
    writeFile(folder + "/east/Gone & Back.mv", "header\r\nSea,0,True,sea,,1.2.3,,0\r\n");
    open(folder + "/Alaska.mv");
    open(folder + "/east/Gone & Back.mv");
    open(folder + "/east/Third.mv");
    QFile::remove(folder + "/east/Gone & Back.mv");

    FileMenu* menu = controller->fileMenu();
    menu->refreshRecent();
    QList<QAction*> entries = menu->recentMenu()->actions();
    ASSERT_EQ(entries.size(), 5);  // three maps, a separator, "Clear recent maps"
    EXPECT_EQ(entries[0]->text(), "&1 Third.mv — " + folder + "/east");
    EXPECT_EQ(entries[1]->text(), "&2 Gone && Back.mv — " + folder + "/east");
    EXPECT_EQ(entries[2]->text(), "&3 Alaska.mv — " + folder);
    EXPECT_TRUE(entries[0]->isEnabled());
    EXPECT_FALSE(entries[1]->isEnabled());
    EXPECT_TRUE(entries[2]->isEnabled());
    EXPECT_TRUE(entries[1]->toolTip().contains("no longer exists"));
    EXPECT_TRUE(entries[3]->isSeparator());
    EXPECT_TRUE(menu->recentMenu()->isEnabled());

    entries[2]->trigger();
    EXPECT_EQ(title(), "Dudadiruz Pelagon: " + folder + "/Alaska.mv");
    EXPECT_EQ(controller->recentMaps().paths().first(), folder + "/Alaska.mv");

    menu->refreshRecent();
    menu->recentMenu()->actions().last()->trigger();  // "Clear recent maps"
    menu->refreshRecent();
    EXPECT_TRUE(menu->recentMenu()->actions().isEmpty());
    EXPECT_FALSE(menu->recentMenu()->isEnabled());
}

TEST_F(OpenMapTest, TheChooserListsRecentMapsAboveItsFolderTree) {
    writeFile(folder + "/east/Gone.mv", "header\r\nSea,0,True,sea,,1.2.3,,0\r\n");
    open(folder + "/east/Gone.mv");
    open(folder + "/east/Third.mv");
    open(folder + "/Alaska.mv");
    QFile::remove(folder + "/east/Gone.mv");

    controller->showChooser();
    MapSelectForm* chooser = controller->chooser();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(chooser));
    QListWidget* list = chooser->RecentList;
    ASSERT_TRUE(list->isVisible());
    EXPECT_TRUE(chooser->LblRecent->isVisible());
    EXPECT_EQ(chooser->recentMaps(), QStringList({folder + "/Alaska.mv", folder + "/east/Third.mv",
                                                  folder + "/east/Gone.mv"}));
    ASSERT_EQ(list->count(), 3);
    EXPECT_EQ(list->item(1)->text(), "Third.mv — " + folder + "/east");
    EXPECT_FALSE(list->item(2)->flags() & Qt::ItemIsEnabled);
    // Every entry shows whole, above the folder tree.
    const QRect tree(chooser->Dir1->mapTo(chooser, QPoint(0, 0)), chooser->Dir1->size());
    EXPECT_LT(list->geometry().bottom(), tree.top());
    EXPECT_GE(list->viewport()->height(), list->visualItemRect(list->item(2)).bottom());

    // A click goes to the map's folder and selects it; OK then opens it.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(list->item(1)).center());
    EXPECT_EQ(chooser->folderPath(), folder + "/east");
    EXPECT_EQ(chooser->selectedFile(), "Third.mv");
    // A click on a missing one changes nothing.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(list->item(2)).center());
    EXPECT_EQ(chooser->selectedFile(), "Third.mv");

    // A double-click opens it.
    const QPoint at = list->visualItemRect(list->item(1)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    EXPECT_EQ(title(), "Dudadiruz Pelagon: " + folder + "/east/Third.mv");
}

TEST_F(OpenMapTest, WithoutRecentMapsTheChooserOpensAtItsUsualSize) {
    controller->showChooser();
    MapSelectForm* chooser = controller->chooser();
    EXPECT_FALSE(chooser->RecentList->isVisible());
    EXPECT_EQ(chooser->size(),
              QSize(twipsToPixels(MapSelectForm::kDefaultWidthTwips, chooser->logicalDpiX()),
                    twipsToPixels(MapSelectForm::kDefaultHeightTwips, chooser->logicalDpiY())));
}

TEST_F(OpenMapTest, ShortcutsOpenTheChooserAndQuit) {
    open(folder + "/Alaska.mv");
    TheMDIform* frame = controller->frame();
    frame->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(frame));
    QTest::keyClick(frame, Qt::Key_O, Qt::ControlModifier);
    ASSERT_NE(controller->chooser(), nullptr);
    EXPECT_TRUE(controller->chooser()->isVisible());
    controller->chooser()->close();

    frame->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(frame));
    QTest::keyClick(frame, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(endedWith, 0);
}

TEST_F(OpenMapTest, AHandedOverMapWaitsForADialogAndTakesThePlaceOfTheChooser) {
    open(folder + "/Alaska.mv");
    controller->fileMenu()->openMapAction()->trigger();
    ASSERT_TRUE(controller->chooser()->isVisible());

    controller->requestOpen(folder + "/Other.mv");
    QTRY_COMPARE(title(), "Dudadiruz Pelagon: " + folder + "/Other.mv");
    EXPECT_TRUE(controller->chooser() == nullptr || !controller->chooser()->isVisible());

    // A modal dialog (a message box, the print dialog) holds the map until it closes.
    QDialog dialog;
    dialog.setModal(true);
    dialog.show();
    ASSERT_EQ(QApplication::activeModalWidget(), &dialog);
    controller->requestOpen(folder + "/Alaska.mv");
    QTest::qWait(300);
    EXPECT_EQ(title(), "Dudadiruz Pelagon: " + folder + "/Other.mv");
    dialog.close();
    QTRY_COMPARE(title(), "Dudadiruz Pelagon: " + folder + "/Alaska.mv");
}

TEST_F(OpenMapTest, AHandedOverMapOpensFromTheStartChooser) {
    controller->showChooser();
    controller->requestOpen(folder + "/Other.mv");
    QTRY_VERIFY(controller->mapform() != nullptr);
    EXPECT_EQ(title(), "Dudadiruz Pelagon: " + folder + "/Other.mv");
    EXPECT_TRUE(controller->frame()->isVisible());
    QTRY_VERIFY(controller->chooser() == nullptr);
}

}  // namespace
