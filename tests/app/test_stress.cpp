// The real map window on the sample map driven by thousands of seeded random events: wheel,
// drags, keys, tool choices, legend toggles, list choices, Fish Tool clicks and measure paths.
// Run under the sanitizers, any memory or undefined-behaviour fault fails it; afterwards the
// extent history must still take the map back step by step.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QCoreApplication>
#include <QWheelEvent>

#include <cmath>
#include <cstdlib>
#include <random>

#include "app/MapWindowFixture.h"
#include "legend/LayerListForm.h"
#include "tools/PlaceComboBox.h"
#include "tools/ToolbarButtons.h"

using namespace pelagon;

namespace {

constexpr int kEvents = 5000;

// The seed comes from PELAGON_STRESS_SEED when set, so that a failing run can be repeated.
unsigned seed() {
    const QByteArray given = qgetenv("PELAGON_STRESS_SEED");
    return given.isEmpty() ? 20240611u : given.toUInt();
}

bool finite(const MapRect& r) {
    return std::isfinite(r.left) && std::isfinite(r.right) && std::isfinite(r.bottom) &&
           std::isfinite(r.top) && r.width() > 0 && r.height() > 0;
}

class StressTest : public test::MapWindowFixture {
protected:
    void SetUp() override {
        MapWindowFixture::SetUp();
        open();
        rng.seed(seed());
    }

    int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); }
    QPoint anywhere() { return {pick(canvas->width()), pick(canvas->height())}; }

    void wheel() {
        const QPointF pos = anywhere();
        const int delta = (pick(2) == 0 ? 1 : -1) * 120 * (1 + pick(3));
        QWheelEvent e(pos, canvas->mapToGlobal(pos), QPoint(), QPoint(0, delta), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(canvas, &e);
    }
    void drag() {
        const QPoint from = anywhere();
        QPoint to = anywhere();
        QTest::mousePress(canvas, Qt::LeftButton, {}, from);
        for (int k = 1 + pick(4); k > 0; --k) {
            QTest::mouseMove(canvas, (from + to) / 2 + QPoint(pick(9) - 4, pick(9) - 4));
        }
        QTest::mouseMove(canvas, to);
        QTest::mouseRelease(canvas, Qt::LeftButton, {}, to);
    }
    void key() {
        static const Qt::Key keys[] = {Qt::Key_Left,  Qt::Key_Right,  Qt::Key_Up,
                                       Qt::Key_Down,  Qt::Key_Plus,   Qt::Key_Minus,
                                       Qt::Key_Equal, Qt::Key_Escape, Qt::Key_Return};
        QTest::keyClick(canvas, keys[pick(std::size(keys))]);
    }
    void tool() {
        // Every button but printing, which would wait on the print dialog.
        static const QStringList keys = {toolkey::zoomToExtent(), toolkey::zoomToRectangle(),
                                         toolkey::zoomOut(),      toolkey::previousExtent(),
                                         toolkey::pan(),          toolkey::drillId(),
                                         toolkey::measureTool(),  toolkey::aleutianIslands(),
                                         toolkey::beringSea(),    toolkey::gulfOfAlaska()};
        click(keys[pick(static_cast<int>(keys.size()))]);
    }
    void legendToggle() {
        const auto& boxes = map->legend()->LayerVisCheck;
        QCheckBox* box = boxes.isEmpty() ? nullptr : boxes[pick(static_cast<int>(boxes.size()))];
        if (box != nullptr) {
            box->click();
        }
    }
    void listChoice() {
        PlaceComboBox* combo = pick(2) == 0 ? map->SiteComboBox : map->RegionComboBox;
        if (combo->count() > 0) {
            emit combo->activated(pick(combo->count()));
        }
    }
    void fishToolClick() {
        click(toolkey::drillId());
        QTest::mouseClick(canvas, Qt::LeftButton, {}, anywhere());
    }
    void measurePath() {
        click(toolkey::measureTool());
        QTest::mouseClick(canvas, Qt::LeftButton, {}, anywhere());
        for (int k = pick(4); k > 0; --k) {
            QTest::mouseMove(canvas, anywhere());
            QTest::mouseClick(canvas, Qt::LeftButton, {}, anywhere());
        }
        if (pick(4) == 0) {
            QTest::keyClick(canvas, Qt::Key_Escape);
        } else {
            QTest::mouseDClick(canvas, Qt::LeftButton, {}, anywhere());
        }
    }

    std::mt19937 rng;
};

TEST_F(StressTest, FiveThousandRandomEventsLeaveAConsistentMap) {
    for (int i = 0; i < kEvents; ++i) {
        switch (pick(8)) {
            case 0:
                wheel();
                break;
            case 1:
                drag();
                break;
            case 2:
                key();
                break;
            case 3:
                tool();
                break;
            case 4:
                legendToggle();
                break;
            case 5:
                listChoice();
                break;
            case 6:
                fishToolClick();
                break;
            default:
                measurePath();
                break;
        }
        QCoreApplication::processEvents();
        ASSERT_TRUE(finite(canvas->extent())) << "event " << i << ", seed " << seed();
        ASSERT_EQ(endedWith, -1) << "event " << i;
    }
    // Leave any tool that is still tracking, then go back through the whole history: every
    // entry is a real extent and each step shows it again.
    QTest::keyClick(canvas, Qt::Key_Escape);
    click(toolkey::zoomToRectangle());
    const QVector<MapRect> entries = map->extentHistory.entries();
    ASSERT_GT(entries.size(), 100);
    for (const MapRect& r : entries) {
        ASSERT_TRUE(finite(r));
    }
    for (qsizetype k = entries.size() - 1; k >= 0; --k) {
        click(toolkey::previousExtent());
        ASSERT_EQ(map->extentHistory.size(), k);
        const MapRect shown = canvas->extent();
        const double t = 1e-6 * std::max(1.0, entries[k].width());
        ASSERT_NEAR(shown.center().x, entries[k].center().x, t) << k;
        ASSERT_NEAR(shown.center().y, entries[k].center().y, t) << k;
    }
    for (const auto& m : messages.messages) {
        EXPECT_EQ(m.kind, QStringLiteral("information")) << m.text.toStdString();
    }
}

}  // namespace
