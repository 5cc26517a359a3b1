#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFile>
#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QMenu>
#include <QSettings>
#include <QTimer>

#include <cmath>

#include "app/MapWindowFixture.h"
#include "app/ViewMenu.h"
#include "geo/AngleText.h"
#include "geo/PositionText.h"
#include "render/MapDecorations.h"
#include "reports/TheBrowserForm.h"

using namespace pelagon;

namespace {

class PositionsViewTest : public test::MapWindowFixture {
protected:
    void SetUp() override {
        MapWindowFixture::SetUp();
        QSettings().remove("view");
        open();
        // At sea east of the Marmot Island rookery, where every zone layer of the sample overlaps.
        marmot = {126009.277 + 4500, 913108.001};
    }

    GeoPosition geoOf(MapPoint p) const {
        GeoPosition g;
        EXPECT_TRUE(map->projection.AlbersToLatLong(p.x, p.y, g.lon, g.lat));
        return g;
    }

    QString pageText() const {
        QFile f(sample.folder() + "/drillID_results.htm");
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }

    MapPoint marmot;
};

TEST_F(PositionsViewTest, GoingToATypedPositionCentresMarksAndListsItsLayers) {
    const int savedExtents = map->extentHistory.size();
    const MapRect before = canvas->extent();
    // Degrees and decimal minutes to three decimals: within 2 m of the point.
    const QString text = positionHemisphereText(geoOf(marmot));
    map->txtPosition->setText(text);
    QTest::keyClick(map->txtPosition, Qt::Key_Return);

    ASSERT_TRUE(canvas->marker().has_value());
    EXPECT_NEAR(canvas->marker()->x, marmot.x, 3);
    EXPECT_NEAR(canvas->marker()->y, marmot.y, 3);
    const MapRect shown = canvas->extent();
    EXPECT_NEAR((shown.left + shown.right) / 2, marmot.x, 3);
    EXPECT_NEAR((shown.bottom + shown.top) / 2, marmot.y, 3);
    // About 20 nautical miles across the shorter side (the map's scale on its parallel is
    // within a few percent of 1 here), the map's shape kept.
    const double shorter = std::min(shown.width(), shown.height());
    EXPECT_NEAR(shorter / kMetresPerNauticalMile, Mapform::kGoToAcrossNm,
                Mapform::kGoToAcrossNm * 0.05);
    EXPECT_NEAR(shown.width() / shown.height(), before.width() / before.height(), 0.01);
    // The extent before is saved once, and Last Extent brings it back.
    EXPECT_EQ(map->extentHistory.size(), savedExtents + 1);

    // The Fish Tool's page for the point, in a results window titled with the position.
    EXPECT_TRUE(pageText().contains("<B>Stat area</B>:  515800<BR>")) << pageText().toStdString();
    TheBrowserForm* results = map->resultsWindow();
    ASSERT_NE(results, nullptr);
    EXPECT_TRUE(results->isOpen());
    EXPECT_TRUE(results->DrillIDtitle()->text().startsWith("Layers present at:  "));
    // The results window copies the position it answers.
    ASSERT_TRUE(results->copyPosition());
    EXPECT_TRUE(QGuiApplication::clipboard()->text().startsWith(text + "\t"))
        << QGuiApplication::clipboard()->text().toStdString();

    // A view already closer than 20 nm keeps its scale.
    canvas->setExtent({marmot.x - 2000, marmot.x + 2000, marmot.y - 1500, marmot.y + 1500});
    const MapRect close = canvas->extent();
    ASSERT_TRUE(map->goToPosition(positionHemisphereText(geoOf({marmot.x + 5000, marmot.y}))));
    EXPECT_NEAR(canvas->extent().width(), close.width(), 1e-6 * close.width());

    // A Fish Tool click ends the marker.
    click("drill_id");
    QTest::mouseClick(canvas, Qt::LeftButton, {}, at(marmot));
    EXPECT_FALSE(canvas->marker().has_value());
}

TEST_F(PositionsViewTest, TextNotUnderstoodChangesNothingAndSaysWhy) {
    struct Case {
        const char* text;
        const char* said;  // a part of the status line and the field's tooltip
    };
    const Case cases[] = {
        {"abc", "'abc' is not understood"},      {"57 30.2N", "only one coordinate"},
        {"95 00N 150 00W", "beyond 90°"},        {"57 61.0N 152 10W", "must be below 60"},
        {"", "type a latitude and a longitude"},
    };
    const MapRect before = canvas->extent();
    const int savedExtents = map->extentHistory.size();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_FALSE(map->goToPosition(QString::fromUtf8(c.text)));
        EXPECT_TRUE(map->LblStatus->text().contains(QString::fromUtf8(c.said)))
            << map->LblStatus->text().toStdString();
        EXPECT_EQ(map->txtPosition->toolTip(), map->LblStatus->text());
        EXPECT_EQ(canvas->extent(), before);
        EXPECT_EQ(map->extentHistory.size(), savedExtents);
        EXPECT_FALSE(canvas->marker().has_value());
        EXPECT_EQ(map->resultsWindow(), nullptr);
    }
    // Typing again takes the complaint back.
    QTest::keyClick(map->txtPosition, Qt::Key_5);
    EXPECT_FALSE(map->txtPosition->toolTip().contains("not understood"));
}

TEST_F(PositionsViewTest, CtrlCOverTheMapCopiesTheLastPressedPosition) {
    QGuiApplication::clipboard()->clear();
    const QPoint pos = at(marmot);
    QTest::mouseClick(canvas, Qt::LeftButton, {}, pos);
    QTest::keyClick(canvas, Qt::Key_C, Qt::ControlModifier);
    const GeoPosition pressed = geoOf(canvas->toMapPoint(QPointF(pos)));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), positionClipboardText(pressed));
    EXPECT_EQ(map->LblStatus->text(), "Copied: " + positionHemisphereText(pressed));
}

// Enter in the Go to field gives the keys back to the map: Ctrl+C then copies the position gone
// to, not what the clipboard held before. The View menu shows the key beside Copy position.
TEST_F(PositionsViewTest, AfterGoToCtrlCCopiesThePositionGoneTo) {
    controller->frame()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(controller->frame()));
    QGuiApplication::clipboard()->setText("older");
    map->focusPositionField();
    ASSERT_TRUE(map->txtPosition->hasFocus());
    map->txtPosition->setText(positionHemisphereText(geoOf(marmot)));
    QTest::keyClick(map->txtPosition, Qt::Key_Return);
    ASSERT_TRUE(canvas->marker().has_value());
    ASSERT_TRUE(canvas->hasFocus());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(),
              positionClipboardText(geoOf(*canvas->marker())));
    EXPECT_EQ(controller->viewMenu()->copyAction()->shortcut(), QKeySequence(QKeySequence::Copy));
}

// A message too long for the status line is cut at a word with "…", the whole of it in the
// tooltip (as at the widest here); the line never runs under the Go to field. A window too narrow
// for the field beside the frame (the map window on a 1024-pixel screen) gives both a strip of
// their own under the map, where the field keeps its width and a read-out shows whole.
TEST_F(PositionsViewTest, TheStatusLineAndTheGoToFieldKeepTheirRoomInNarrowWindows) {
    ASSERT_FALSE(map->goToPosition("57 30.2N 152 10.5W 140 20.1W and then some more words"));
    const QString whole = map->LblStatus->text();
    const QString readOut = Ddec_to_DMdec(-152.557772) + ',' + Ddec_to_DMdec(51.80063866);
    // Wide enough for the field beside the frame; then the map window on a 1024-pixel screen.
    QMdiSubWindow* sub = map->subWindow();
    const int wide =
        sub->width() - map->width() + map->ButtonFrame->x() + map->ButtonFrame->width() + 600;
    sub->resize(wide, sub->height());
    QApplication::processEvents();
    const int fieldWidth = map->txtPosition->width();
    ASSERT_GT(QFontMetrics(map->LblStatus->font()).horizontalAdvance(whole),
              map->LblStatus->width());
    for (const int width : {wide, 760}) {
        SCOPED_TRACE(width);
        sub->resize(width, sub->height());
        QApplication::processEvents();
        const QWidget* label = map->LblStatus;
        const QWidget* parent = label->parentWidget();
        const QRect visible = QRect(label->mapTo(map, QPoint(0, 0)), label->size()) &
                              QRect(parent->mapTo(map, QPoint(0, 0)), parent->size()) & map->rect();
        ASSERT_FALSE(visible.isEmpty());
        EXPECT_FALSE(visible.intersects(map->txtPosition->geometry()));
        EXPECT_FALSE(visible.intersects(canvas->geometry()));
        EXPECT_EQ(map->txtPosition->width(), fieldWidth);
        EXPECT_TRUE(map->rect().contains(map->txtPosition->geometry()));
        EXPECT_EQ(map->LblStatus->text(), whole);
        const QString shown = map->LblStatus->shownText();
        if (shown != whole) {
            EXPECT_EQ(map->LblStatus->toolTip(), whole);
            EXPECT_TRUE(shown.endsWith(QChar(0x2026))) << shown.toStdString();
            EXPECT_TRUE(whole.startsWith(shown.chopped(1) + ' ') || shown.size() == 1)
                << shown.toStdString();
        }
        map->LblStatus->setText(readOut);
        EXPECT_EQ(map->LblStatus->shownText(), readOut);
        map->LblStatus->setText(whole);
        // The heading over the map ends in "…" where the window would cut it, whole in its tooltip.
        const QString heading = map->Title->text();
        EXPECT_LE(map->Title->x() + QFontMetrics(map->Title->font()).horizontalAdvance(heading),
                  map->width());
        EXPECT_EQ(heading.endsWith(QChar(0x2026)), width != wide) << heading.toStdString();
        EXPECT_EQ(map->Title->toolTip().isEmpty(), width == wide);
    }
}

// Runs the map's menu from a context-menu event and returns the texts of its actions (empty
// when no menu opened), closing it.
QStringList menuFrom(QWidget* canvas, QContextMenuEvent::Reason reason) {
    QStringList texts;
    QTimer::singleShot(0, [&texts] {
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            for (QAction* a : menu->actions()) {
                if (!a->isSeparator()) {
                    texts << a->text();
                }
            }
            menu->close();
        }
    });
    const QPoint local(canvas->width() / 2, canvas->height() / 2);
    QContextMenuEvent event(reason, local, canvas->mapToGlobal(local));
    QApplication::sendEvent(canvas, &event);
    return texts;
}

TEST_F(PositionsViewTest, TheMapsMenuOpensWhereAPressDoesNothingElse) {
    const QStringList items = {"Copy position", "Scale bar", "Graticule",
                               QString::fromUtf8("Save view as\xe2\x80\xa6")};
    struct Case {
        const char* tool;  // "" for none chosen yet
        QContextMenuEvent::Reason reason;
        bool opens;
    };
    const Case cases[] = {
        {"", QContextMenuEvent::Mouse, true},
        {"", QContextMenuEvent::Keyboard, true},
        // A right press with a tool acts by the tool, as every press does.
        {"drill_id", QContextMenuEvent::Mouse, false},
        {"Pan", QContextMenuEvent::Mouse, false},
        {"drill_id", QContextMenuEvent::Keyboard, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.tool) +
                     (c.reason == QContextMenuEvent::Mouse ? " mouse" : " key"));
        if (*c.tool != '\0') {
            click(c.tool);
        }
        EXPECT_EQ(menuFrom(canvas, c.reason), c.opens ? items : QStringList());
    }
}

TEST_F(PositionsViewTest, ViewSwitchesDrawAndAreRemembered) {
    ViewMenu* menu = controller->viewMenu();
    ASSERT_NE(menu, nullptr);
    // The scale bar is on and the graticule off at first.
    EXPECT_TRUE(canvas->decorations().scaleBar);
    EXPECT_FALSE(canvas->decorations().graticule);
    menu->refresh();
    EXPECT_TRUE(menu->scaleBarAction()->isChecked());
    EXPECT_FALSE(menu->copyAction()->isEnabled()) << "no position pressed yet";

    menu->scaleBarAction()->trigger();
    menu->graticuleAction()->trigger();
    EXPECT_FALSE(canvas->decorations().scaleBar);
    EXPECT_TRUE(canvas->decorations().graticule);

    // A map opened later shows the same.
    open();
    EXPECT_FALSE(canvas->decorations().scaleBar);
    EXPECT_TRUE(canvas->decorations().graticule);
    QSettings().remove("view");
}

TEST_F(PositionsViewTest, SavingTheViewWritesTheFormatOfTheExtension) {
    const QSize onScreen = canvas->size();
    const QString folder = sample.folder() + "/";
    EXPECT_EQ(map->saveViewTo(folder + "wide.png", 800), QString());
    const QImage wide(folder + "wide.png");
    EXPECT_EQ(wide.width(), 800);
    EXPECT_NEAR(wide.height(), 800.0 * onScreen.height() / onScreen.width(), 1);
    EXPECT_EQ(QImage(folder + "same.jpg").isNull(), true);
    EXPECT_EQ(map->saveViewTo(folder + "same.jpg"), QString());
    EXPECT_EQ(QImage(folder + "same.jpg").size(), onScreen);
    EXPECT_EQ(map->LblStatus->text(), "Saved: same.jpg");

    for (const char* name : {"view.pdf", "view.svg"}) {
        EXPECT_EQ(map->saveViewTo(folder + name, 5000), QString());
        QFile f(folder + name);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << name;
        const QByteArray bytes = f.readAll();
        EXPECT_TRUE(bytes.startsWith("%PDF") || bytes.contains("<svg")) << name;
    }

    const QString problem = map->saveViewTo(folder + "view.gif");
    EXPECT_TRUE(problem.contains("view.gif")) << problem.toStdString();
    EXPECT_TRUE(problem.contains("PNG (.png)")) << problem.toStdString();
    EXPECT_FALSE(QFile::exists(folder + "view.gif"));
    EXPECT_TRUE(messages.texts().join("\n").contains(problem));
}

// A view saved twice as wide as the screen's is the screen's view at twice the size, scale bar and
// graticule labels included: scaled back down, the scale bar's box matches the screen's.
TEST_F(PositionsViewTest, ASavedViewWiderThanTheScreenHasItsDecorationsToScale) {
    map->setScaleBarShown(true);
    map->setGraticuleShown(true);
    const QString folder = sample.folder() + "/";
    ASSERT_EQ(map->saveViewTo(folder + "screen.png"), QString());
    ASSERT_EQ(map->saveViewTo(folder + "double.png", 2 * canvas->width()), QString());
    const QImage screen = QImage(folder + "screen.png").convertToFormat(QImage::Format_RGB32);
    const QImage twice = QImage(folder + "double.png")
                             .scaled(screen.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                             .convertToFormat(QImage::Format_RGB32);
    const Viewport view(QSizeF(screen.size()), canvas->extent());
    const std::optional<QRectF> bar = scaleBarBox(view, map->projection, 1.0);
    ASSERT_TRUE(bar);
    int differing = 0;
    int all = 0;
    const QRect box = bar->toAlignedRect().intersected(screen.rect());
    for (int y = box.top(); y <= box.bottom(); ++y) {
        for (int x = box.left(); x <= box.right(); ++x, ++all) {
            differing += std::abs(qGray(screen.pixel(x, y)) - qGray(twice.pixel(x, y))) > 60;
        }
    }
    EXPECT_LT(differing, all / 20) << differing << " of " << all;
}

}  // namespace
