#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QMdiSubWindow>
#include <QWheelEvent>

#include "app/MapWindowFixture.h"
#include "geo/AngleText.h"
#include "geo/Measure.h"
#include "render/MapLayer.h"
#include "support/QStringPrinter.h"
#include "tools/PlaceComboBox.h"

using namespace pelagon;

namespace {

void expectRect(const MapRect& a, const MapRect& b, double tolerance = 1e-6) {
    const double t = tolerance * std::max(1.0, b.width());
    EXPECT_NEAR(a.left, b.left, t);
    EXPECT_NEAR(a.right, b.right, t);
    EXPECT_NEAR(a.bottom, b.bottom, t);
    EXPECT_NEAR(a.top, b.top, t);
}

class MapToolsTest : public test::MapWindowFixture {
protected:
    void SetUp() override {
        MapWindowFixture::SetUp();
        open();
        start = canvas->extent();
    }
    int selectedFaces() const {
        int n = 0;
        for (int i = 1; i <= map->theToolbar->buttonCount(); ++i) {
            n += map->theToolbar->buttonImage(i) > map->theToolbar->buttonCount() ? 1 : 0;
        }
        return n;
    }
    void wheel(QPointF pos, int delta) {
        QWheelEvent e(pos, canvas->mapToGlobal(pos), QPoint(), QPoint(0, delta), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(canvas, &e);
    }

    MapRect start;
};

TEST_F(MapToolsTest, OpensAtTheFullExtentWithAnEmptyHistory) {
    expectRect(canvas->extent(), canvas->viewport().resized(canvas->size()).extent());
    const MapRect full = canvas->fullExtent();
    EXPECT_LE(start.left, full.left + 1);
    EXPECT_GE(start.right, full.right - 1);
    EXPECT_EQ(map->extentHistory.size(), 0);
    click("PreviousExtent");
    expectRect(canvas->extent(), start);
}

TEST_F(MapToolsTest, ToolFacesAtMostOneSelected) {
    click("Zoom to Rectangle");
    EXPECT_EQ(map->currentTool(), QStringLiteral("Zoom to Rectangle"));
    EXPECT_EQ(map->theToolbar->buttonImage(1), 1);
    EXPECT_EQ(map->theToolbar->buttonImage(2), 13);
    click("Zoom to Rectangle");
    EXPECT_EQ(map->theToolbar->buttonImage(2), 13);
    click("Pan");
    EXPECT_EQ(map->theToolbar->buttonImage(2), 2);
    EXPECT_EQ(map->theToolbar->buttonImage(5), 16);
    click("drill_id");
    click("MeasureTool");
    EXPECT_EQ(map->theToolbar->buttonImage(8), 19);
    EXPECT_EQ(selectedFaces(), 1);
    // Commands leave the tool and the faces alone.
    click("Zoom Out");
    EXPECT_EQ(map->currentTool(), QStringLiteral("MeasureTool"));
    EXPECT_EQ(selectedFaces(), 1);
    EXPECT_EQ(map->currentToolButton(), 8);
}

TEST_F(MapToolsTest, APressBeforeAnyToolDoesNothing) {
    QTest::mousePress(canvas, Qt::LeftButton, {}, QPoint(100, 100));
    QTest::mouseMove(canvas, QPoint(200, 200));
    QTest::mouseRelease(canvas, Qt::LeftButton, {}, QPoint(200, 200));
    EXPECT_EQ(map->extentHistory.size(), 0);
    expectRect(canvas->extent(), start);
}

TEST_F(MapToolsTest, ThreeZoomOutsAboutTheSameCentre) {
    for (int i = 0; i < 3; ++i) {
        click("Zoom Out");
    }
    const MapRect now = canvas->extent();
    EXPECT_NEAR(now.width(), start.width() * 3.375, 1e-6 * now.width());
    EXPECT_NEAR(now.height(), start.height() * 3.375, 1e-6 * now.height());
    EXPECT_NEAR(now.center().x, start.center().x, 1e-6);
    EXPECT_NEAR(now.center().y, start.center().y, 1e-6);
    EXPECT_EQ(map->extentHistory.size(), 3);
}

TEST_F(MapToolsTest, FullExtentWhenShownStillSavesAnEntry) {
    click("Zoom to Extent");
    EXPECT_EQ(map->extentHistory.size(), 1);
}

TEST_F(MapToolsTest, ZoomToExtentZoomOutAndBackTwice) {
    click("Zoom Out");
    const MapRect before = canvas->extent();
    click("Zoom to Extent");
    click("Zoom Out");
    click("PreviousExtent");
    click("PreviousExtent");
    expectRect(canvas->extent(), before);
    click("PreviousExtent");  // back to the start
    expectRect(canvas->extent(), start);
    click("PreviousExtent");  // empty: nothing changes
    expectRect(canvas->extent(), start);
    EXPECT_EQ(map->extentHistory.size(), 0);
}

TEST_F(MapToolsTest, PresetTwiceSavesTwoEntries) {
    click("AI");
    const MapRect ai = canvas->extent();
    click("AI");
    ASSERT_EQ(map->extentHistory.size(), 2);
    expectRect(map->extentHistory.entries()[0], start);
    click("PreviousExtent");
    expectRect(canvas->extent(), ai);
    click("PreviousExtent");
    expectRect(canvas->extent(), start);
}

TEST_F(MapToolsTest, RectangleDragSavesOneEntryAndShowsTheRectangle) {
    click("Zoom to Rectangle");
    const MapPoint a = canvas->toMapPoint(QPointF(200, 150));
    const MapPoint b = canvas->toMapPoint(QPointF(400, 300));
    QTest::mousePress(canvas, Qt::LeftButton, {}, QPoint(200, 150));
    QTest::mouseMove(canvas, QPoint(300, 220));
    QTest::mouseMove(canvas, QPoint(400, 300));
    QTest::mouseRelease(canvas, Qt::LeftButton, {}, QPoint(400, 300));
    ASSERT_EQ(map->extentHistory.size(), 1);
    expectRect(map->extentHistory.entries()[0], start);
    const MapRect now = canvas->extent();
    EXPECT_LE(now.left, a.x + 1);
    EXPECT_GE(now.right, b.x - 1);
    EXPECT_LE(now.bottom, b.y + 1);
    EXPECT_GE(now.top, a.y - 1);
    EXPECT_LT(now.width(), start.width() / 2);
}

struct PanCase {
    Qt::MouseButton button;
    QPoint to;
};

class PanTest : public MapToolsTest, public ::testing::WithParamInterface<PanCase> {};

TEST_P(PanTest, SavesAnEntryAndFollowsTheDrag) {
    click("Pan");
    const QPoint from(300, 300);
    const QPoint to = GetParam().to;
    const double upp = canvas->mapUnitsPerPixel();
    QTest::mousePress(canvas, GetParam().button, {}, from);
    QTest::mouseMove(canvas, to);
    QTest::mouseRelease(canvas, GetParam().button, {}, to);
    ASSERT_EQ(map->extentHistory.size(), 1);
    expectRect(map->extentHistory.entries()[0], start);
    const QPoint d = to - from;
    EXPECT_NEAR(canvas->extent().left, start.left - d.x() * upp, upp);
    EXPECT_NEAR(canvas->extent().top, start.top + d.y() * upp, upp);
}

INSTANTIATE_TEST_SUITE_P(Table, PanTest,
                         ::testing::Values(PanCase{Qt::LeftButton, QPoint(300, 300)},
                                           PanCase{Qt::LeftButton, QPoint(360, 250)},
                                           PanCase{Qt::RightButton, QPoint(250, 340)}));

TEST_F(MapToolsTest, SameSiteTwiceSavesTwoEntries) {
    emit map->SiteComboBox->activated(3);
    const MapRect site = canvas->extent();
    emit map->SiteComboBox->activated(3);
    ASSERT_EQ(map->extentHistory.size(), 2);
    expectRect(map->extentHistory.entries()[0], start);
    expectRect(map->extentHistory.entries()[1], site);
    // The site's 100 km square is shown whole.
    const MapRect square = map->siteExtents[3];
    EXPECT_LE(site.left, square.left + 1e-6);
    EXPECT_GE(site.right, square.right - 1e-6);
    EXPECT_NEAR(std::min(site.width(), site.height()), 100000, 1e-3);
}

TEST_F(MapToolsTest, RegionChoiceShowsItsRectangle) {
    emit map->RegionComboBox->activated(3);
    const MapRect r = map->regionExtents[3];
    const MapRect now = canvas->extent();
    EXPECT_LE(now.left, r.left + 1e-6);
    EXPECT_GE(now.top, r.top - 1e-6);
    EXPECT_EQ(map->extentHistory.size(), 1);
}

TEST_F(MapToolsTest, WheelGestureSavesOneEntry) {
    wheel(QPointF(300, 200), 120);
    wheel(QPointF(300, 200), 120);
    wheel(QPointF(300, 200), 120);
    EXPECT_EQ(map->extentHistory.size(), 1);
    QTest::qWait(MapCanvas::kWheelGestureMs + 100);
    wheel(QPointF(300, 200), -120);
    EXPECT_EQ(map->extentHistory.size(), 2);
    click("PreviousExtent");
    click("PreviousExtent");
    expectRect(canvas->extent(), start);
}

TEST_F(MapToolsTest, EachKeyStepSavesOneEntry) {
    canvas->setFocus();
    QTest::keyClick(canvas, Qt::Key_Left);
    QTest::keyClick(canvas, Qt::Key_Plus);
    QTest::keyClick(canvas, Qt::Key_Minus);
    EXPECT_EQ(map->extentHistory.size(), 3);
    for (int i = 0; i < 3; ++i) {
        click("PreviousExtent");
    }
    expectRect(canvas->extent(), start);
}

TEST_F(MapToolsTest, TinyAndHugeMapWindowsKeepWorking) {
    QMdiSubWindow* sub = map->subWindow();
    for (const QSize size : {QSize(20, 20), QSize(60, 400), QSize(3000, 2500)}) {
        sub->resize(size);
        QApplication::processEvents();
        EXPECT_GE(canvas->width(), 0);
        EXPECT_GE(canvas->height(), 0);
        // The button frame stands directly under the map, or under the status line's strip.
        const int mapBottom = canvas->y() + canvas->height();
        EXPECT_GE(map->ButtonFrame->y(), mapBottom);
        EXPECT_EQ(map->ButtonFrame->y() == mapBottom, map->LblStatus->parentWidget() != map);
    }
    click("Zoom to Extent");
    EXPECT_TRUE(canvas->extent().isValid());
}

TEST_F(MapToolsTest, ReadOutFollowsThePointerWhateverTheTool) {
    for (const char* tool : {"", "Pan", "MeasureTool"}) {
        if (*tool != 0) {
            click(tool);
        }
        const QPoint pos(250, 180);
        QTest::mouseMove(canvas, pos);
        const MapPoint p = canvas->toMapPoint(QPointF(pos));
        double lon = 0;
        double lat = 0;
        ASSERT_TRUE(map->projection.AlbersToLatLong(p.x, p.y, lon, lat));
        EXPECT_EQ(map->LblStatus->text(), Ddec_to_DMdec(lon) + "," + Ddec_to_DMdec(lat)) << tool;
    }
}

TEST_F(MapToolsTest, MeasureReportsTheDrawnPath) {
    click("MeasureTool");
    const QPoint a(100, 100), b(300, 100), c(300, 400);
    QTest::mousePress(canvas, Qt::LeftButton, {}, a);
    QTest::mouseRelease(canvas, Qt::LeftButton, {}, a);
    QTest::mouseClick(canvas, Qt::LeftButton, {}, b);
    QTest::mouseDClick(canvas, Qt::LeftButton, {}, c);
    const std::vector<MapPoint> path = {canvas->toMapPoint(a), canvas->toMapPoint(b),
                                        canvas->toMapPoint(c)};
    ASSERT_EQ(messages.messages.size(), 1);
    EXPECT_EQ(messages.messages[0].title, QStringLiteral("Distance"));
    EXPECT_EQ(messages.messages[0].text, measureMessage(path));
    EXPECT_TRUE(messages.messages[0].text.startsWith("2 segments, total distance "));
    // Esc abandons a path without a message; the tool stays selected.
    QTest::mousePress(canvas, Qt::LeftButton, {}, a);
    QTest::mouseRelease(canvas, Qt::LeftButton, {}, a);
    QTest::keyClick(canvas, Qt::Key_Escape);
    EXPECT_EQ(messages.messages.size(), 1);
    EXPECT_EQ(map->currentTool(), QStringLiteral("MeasureTool"));
    EXPECT_EQ(map->extentHistory.size(), 0);
}

TEST_F(MapToolsTest, LegendBoxHidesAndShowsItsLayer) {
    // Row 1 is the land.
    QCheckBox* box = map->legend()->LayerVisCheck[1];
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->isChecked());
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
    EXPECT_EQ(map->LayerInfos[1].Visible, kFalse);
    EXPECT_FALSE(map->MapLayers[1]->visible());
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
    EXPECT_EQ(map->LayerInfos[1].Visible, kTrue);
    EXPECT_TRUE(map->MapLayers[1]->visible());
    // The hidden layer of the sample starts unticked and hidden.
    EXPECT_FALSE(map->legend()->LayerVisCheck[3]->isChecked());
    EXPECT_FALSE(map->MapLayers[3]->visible());
}

// Choosing any toolbar button ends a measure path, rectangle or pan in progress as Esc does: no
// message, no history entry, and the next drag belongs to the tool chosen.
struct AbandonCase {
    const char* tool;
    bool buttonHeld;  // the gesture is a drag (rectangle, pan) rather than clicks (measure)
};

class ToolChoiceEndsTrackingTest : public MapToolsTest,
                                   public ::testing::WithParamInterface<AbandonCase> {};

TEST_P(ToolChoiceEndsTrackingTest, AsEscDoes) {
    click(GetParam().tool);
    const QPoint a(200, 150), b(320, 260);
    QTest::mousePress(canvas, Qt::LeftButton, {}, a);
    if (!GetParam().buttonHeld) {
        QTest::mouseRelease(canvas, Qt::LeftButton, {}, a);
        QTest::mouseClick(canvas, Qt::LeftButton, {}, b);
    }
    QTest::mouseMove(canvas, b);
    ASSERT_TRUE(canvas->toolActive());
    click("Pan");
    EXPECT_FALSE(canvas->toolActive());
    if (GetParam().buttonHeld) {
        QTest::mouseRelease(canvas, Qt::LeftButton, {}, b);
    }
    expectRect(canvas->extent(), start);
    EXPECT_EQ(map->extentHistory.size(), 0);

    // A pan drag now pans, and a double-click afterwards reports no path.
    const double upp = canvas->mapUnitsPerPixel();
    QTest::mousePress(canvas, Qt::LeftButton, {}, a);
    QTest::mouseMove(canvas, a + QPoint(50, 0));
    QTest::mouseRelease(canvas, Qt::LeftButton, {}, a + QPoint(50, 0));
    EXPECT_NEAR(canvas->extent().left, start.left - 50 * upp, upp);
    ASSERT_EQ(map->extentHistory.size(), 1);
    expectRect(map->extentHistory.entries()[0], start);
    QTest::mouseDClick(canvas, Qt::LeftButton, {}, b);
    EXPECT_TRUE(messages.messages.isEmpty()) << messages.texts().join("\n").toStdString();
}

INSTANTIATE_TEST_SUITE_P(Table, ToolChoiceEndsTrackingTest,
                         ::testing::Values(AbandonCase{"MeasureTool", false},
                                           AbandonCase{"Zoom to Rectangle", true},
                                           AbandonCase{"Pan", true}));

// Esc in the middle of a pan puts the map back and saves nothing.
TEST_F(MapToolsTest, AnAbandonedPanSavesNothing) {
    click("Pan");
    QTest::mousePress(canvas, Qt::LeftButton, {}, QPoint(200, 200));
    QTest::mouseMove(canvas, QPoint(260, 240));
    QTest::keyClick(canvas, Qt::Key_Escape);
    QTest::mouseRelease(canvas, Qt::LeftButton, {}, QPoint(260, 240));
    expectRect(canvas->extent(), start);
    EXPECT_EQ(map->extentHistory.size(), 0);
}

// After a choice in a place list the keys and the wheel move the map, not the list; the wheel
// over a closed list changes nothing.
TEST_F(MapToolsTest, APlaceChoiceGivesTheKeysBackToTheMap) {
    controller->frame()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(controller->frame()));
    for (PlaceComboBox* list : {map->SiteComboBox, map->RegionComboBox}) {
        list->setFocus(Qt::MouseFocusReason);
        ASSERT_TRUE(list->hasFocus());
        QTest::keyClick(list, Qt::Key_Down);  // chooses the first place by the keyboard
        ASSERT_EQ(list->currentIndex(), 0);
        const int saved = map->extentHistory.size();
        EXPECT_TRUE(canvas->hasFocus());
        const MapRect chosen = canvas->extent();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
        EXPECT_EQ(list->currentIndex(), 0);
        EXPECT_EQ(map->extentHistory.size(), saved + 1);  // the arrow panned the map
        EXPECT_NE(canvas->extent().top, chosen.top);

        const MapRect before = canvas->extent();
        QWheelEvent e(QPointF(10, 10), list->mapToGlobal(QPointF(10, 10)), QPoint(),
                      QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(list, &e);
        EXPECT_EQ(list->currentIndex(), 0);
        expectRect(canvas->extent(), before);
    }
}

// The read-out belongs to the pointer over the map: it goes when the pointer leaves.
TEST_F(MapToolsTest, ReadOutClearedWhenThePointerLeaves) {
    QMouseEvent move(QEvent::MouseMove, QPointF(250, 180), canvas->mapToGlobal(QPointF(250, 180)),
                     Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(canvas, &move);
    ASSERT_TRUE(map->LblStatus->text().contains(QChar(0x00b0)))
        << map->LblStatus->text().toStdString();
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(canvas, &leave);
    EXPECT_EQ(map->LblStatus->text(), QString());
}

}  // namespace
