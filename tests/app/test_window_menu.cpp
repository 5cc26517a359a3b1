// The frame's Window menu on the real widgets: the list of open windows, the next and previous
// window keys, Cascade and Tile over the map, and the map layout put back.
#include <gtest/gtest.h>

#include <QAction>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPushButton>
#include <QTest>

#include "app/MapWindowFixture.h"
#include "app/WindowMenu.h"
#include "help/HelpBrowser.h"
#include "support/QStringPrinter.h"

using namespace pelagon;

namespace {

// The map with its regulations, help and results windows open, in that order.
class WindowMenuTest : public test::MapWindowFixture {
protected:
    void SetUp() override {
        MapWindowFixture::SetUp();
        pages.loadsAtOnce = true;  // every window gets its page's name at once
        open();
        area = controller->frame()->mdiArea();
        menu = controller->windowMenu();
        ASSERT_NE(menu, nullptr);
        QTest::mouseClick(map->CmdShowRegs, Qt::LeftButton);
        QTest::mouseClick(map->HelpCmd, Qt::LeftButton);
        click("drill_id");
        QTest::mouseClick(canvas, Qt::LeftButton, {}, canvas->rect().center());
        ASSERT_TRUE(map->RegsWindow && map->helpWindow() && map->resultsWindow());
        others = {map->RegsWindow, map->helpWindow(), map->resultsWindow()};
        QTRY_VERIFY(!map->resultsWindow()->timTimer()->isActive());
    }

    QStringList entries() {
        menu->refresh();
        QStringList texts;
        for (QAction* action : menu->windowActions()) {
            texts.append((action->isChecked() ? "* " : "") + action->text());
        }
        return texts;
    }

    QMdiArea* area = nullptr;
    WindowMenu* menu = nullptr;
    QList<QMdiSubWindow*> others;
};

TEST_F(WindowMenuTest, ListsTheOpenWindowsAndBringsTheChosenOneBack) {
    EXPECT_EQ(menu->menu()->title(), "&Window");
    EXPECT_EQ(entries(), QStringList({"&1 Map", "&2 Available Layers", "&3 Regs.htm",
                                      "&4 MapHelp.htm",
                                      "* &5 " + map->resultsWindow()->fixedCaption()}));
    // Covered by the other two and minimized: the entry brings it back, restored and active.
    map->resultsWindow()->showMinimized();
    area->setActiveSubWindow(map->RegsWindow);
    entries();
    menu->windowActions()[4]->trigger();
    EXPECT_FALSE(map->resultsWindow()->isMinimized());
    EXPECT_EQ(area->activeSubWindow(), map->resultsWindow());
    EXPECT_EQ(area->subWindowList(QMdiArea::StackingOrder).last(), map->resultsWindow());
    // A closed window leaves the list.
    map->helpWindow()->close();
    EXPECT_EQ(entries().size(), 4);
    // A document a page's link opened is a window of its own, listed after the frame's (a plain
    // window stands in for the web view here).
    auto* document = new QWidget(controller->frame(), Qt::Window);
    document->setObjectName("DocumentWindow");
    document->setWindowTitle("Crab & Areas");
    document->showMinimized();
    ASSERT_EQ(entries().size(), 5);
    EXPECT_EQ(entries().last(), "&5 Crab && Areas");
    menu->windowActions().last()->trigger();
    EXPECT_FALSE(document->isMinimized());
    document->close();
    EXPECT_EQ(entries().size(), 4);
}

// Ctrl+F6 and Ctrl+Shift+F6 go through the windows in the order they opened, round from the
// last to the first and back.
TEST_F(WindowMenuTest, NextAndPreviousWindowKeysGoRound) {
    TheMDIform* frame = controller->frame();
    frame->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(frame));
    EXPECT_EQ(menu->nextAction()->shortcut(), QKeySequence("Ctrl+F6"));
    EXPECT_EQ(menu->previousAction()->shortcut(), QKeySequence("Ctrl+Shift+F6"));
    const QList<QMdiSubWindow*> order = area->subWindowList(QMdiArea::CreationOrder);
    ASSERT_EQ(order.size(), 5);
    ASSERT_EQ(area->activeSubWindow(), order[4]);
    QTest::keyClick(frame, Qt::Key_F6, Qt::ControlModifier);
    EXPECT_EQ(area->activeSubWindow(), order[0]);
    QTest::keyClick(frame, Qt::Key_F6, Qt::ControlModifier);
    EXPECT_EQ(area->activeSubWindow(), order[1]);
    QTest::keyClick(frame, Qt::Key_F6, Qt::ControlModifier | Qt::ShiftModifier);
    QTest::keyClick(frame, Qt::Key_F6, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(area->activeSubWindow(), order[4]);
}

struct ArrangeCase {
    const char* name;
    bool tile;
};

class WindowArrangeTest : public WindowMenuTest, public ::testing::WithParamInterface<ArrangeCase> {
};

// Cascade and Tile arrange the windows other than the map and the legend over the map window,
// every title bar in view; the map window and the legend keep their places.
TEST_P(WindowArrangeTest, ArrangesTheOtherWindowsOverTheMapAndLeavesTheLayout) {
    const QRect mapPlace = map->subWindow()->geometry();
    const QRect legendPlace = map->legendWindow()->geometry();
    for (QMdiSubWindow* window : others) {
        window->move(area->viewport()->width() - 50, area->viewport()->height() - 40);
    }
    menu->refresh();
    (GetParam().tile ? menu->tileAction() : menu->cascadeAction())->trigger();
    EXPECT_EQ(map->subWindow()->geometry(), mapPlace);
    EXPECT_EQ(map->legendWindow()->geometry(), legendPlace);
    QList<QPoint> corners;
    for (QMdiSubWindow* window : others) {
        EXPECT_TRUE(mapPlace.contains(window->geometry())) << window->windowTitle().toStdString();
        corners.append(window->pos());
        for (QMdiSubWindow* other : others) {
            if (GetParam().tile && other != window) {
                EXPECT_FALSE(window->geometry().intersects(other->geometry()));
            }
        }
    }
    std::sort(corners.begin(), corners.end(),
              [](QPoint a, QPoint b) { return a.y() != b.y() ? a.y() < b.y() : a.x() < b.x(); });
    EXPECT_EQ(std::unique(corners.begin(), corners.end()), corners.end());
}

INSTANTIATE_TEST_SUITE_P(Table, WindowArrangeTest,
                         ::testing::Values(ArrangeCase{"cascade", false}, ArrangeCase{"tile", true}),
                         [](const ::testing::TestParamInfo<ArrangeCase>& info) {
                             return std::string(info.param.name);
                         });

// After the map window and the legend were moved, resized or maximized, "Restore map layout"
// puts them back side by side as the map opened them.
TEST_F(WindowMenuTest, RestoreMapLayoutPutsTheMapAndLegendBack) {
    const QRect mapPlace = map->subWindow()->geometry();
    const QRect legendPlace = map->legendWindow()->geometry();
    map->legendWindow()->setGeometry(40, 60, 200, 150);
    map->subWindow()->showMaximized();
    QApplication::processEvents();
    ASSERT_NE(map->subWindow()->geometry(), mapPlace);
    menu->refresh();
    menu->restoreLayoutAction()->trigger();
    QApplication::processEvents();
    EXPECT_FALSE(map->subWindow()->isMaximized());
    EXPECT_EQ(map->subWindow()->geometry(), mapPlace);
    EXPECT_EQ(map->legendWindow()->geometry(), legendPlace);
    EXPECT_EQ(area->activeSubWindow(), map->subWindow());
    // Beneath the others still.
    EXPECT_EQ(area->subWindowList(QMdiArea::StackingOrder).mid(0, 2),
              QList<QMdiSubWindow*>({map->subWindow(), map->legendWindow()}));
}

}  // namespace
