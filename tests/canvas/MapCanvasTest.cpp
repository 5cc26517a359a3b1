#include <gtest/gtest.h>

#include <QApplication>
#include <QPainter>
#include <QPicture>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>

#include <atomic>
#include <cmath>
#include <memory>

#include "canvas/MapCanvas.h"
#include "canvas/MapOverlay.h"
#include "render/MapLayer.h"
#include "support/LayerFixtures.h"

namespace pelagon {
namespace {

using test::FixtureKind;
using test::squareWkt;
using test::writeShapefile;

constexpr double kTol = 1e-6;

void expectRect(const MapRect& a, const MapRect& b, double tol = kTol) {
    EXPECT_NEAR(a.left, b.left, tol);
    EXPECT_NEAR(a.right, b.right, tol);
    EXPECT_NEAR(a.bottom, b.bottom, tol);
    EXPECT_NEAR(a.top, b.top, tol);
}

void expectPoint(const MapPoint& a, const MapPoint& b, double tol = kTol) {
    EXPECT_NEAR(a.x, b.x, tol);
    EXPECT_NEAR(a.y, b.y, tol);
}

// A canvas of 400 x 200 pixels showing x 0..400 and y 0..200: one map unit per pixel, so
// window (x, y) is map (x, 200 - y).
class MapCanvasEvents : public ::testing::Test {
protected:
    void SetUp() override {
        canvas.resize(400, 200);
        canvas.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&canvas));
        canvas.setExtent({0, 400, 0, 200});
        canvas.setFocus();
    }
    void waitForFrame() {
        ASSERT_TRUE(QTest::qWaitFor([&] { return !canvas.isRendering(); }, 5000));
        QCoreApplication::processEvents();
    }
    static void wheel(QWidget& w, QPointF pos, int delta) {
        QWheelEvent e(pos, w.mapToGlobal(pos), QPoint(), QPoint(0, delta), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(&w, &e);
    }

    MapCanvas canvas;
};

TEST_F(MapCanvasEvents, ExtentIsWidenedToTheShapeAndKeptOnResize) {
    QSignalSpy changed(&canvas, &MapCanvas::extentChanged);
    canvas.setExtent({0, 100, 0, 100});
    expectRect(canvas.extent(), {-50, 150, 0, 100});
    EXPECT_EQ(changed.count(), 1);
    EXPECT_DOUBLE_EQ(canvas.mapUnitsPerPixel(), 0.5);
    canvas.resize(200, 400);
    QCoreApplication::processEvents();
    expectRect(canvas.extent(), {0, 100, -50, 150});
    canvas.resize(400, 200);
    QCoreApplication::processEvents();
    expectRect(canvas.extent(), {-50, 150, 0, 100});  // no drift after resizing back
    // A copy: later changes leave it alone.
    const MapRect copy = canvas.extent();
    canvas.setExtent({1000, 1400, 0, 200});
    expectRect(copy, {-50, 150, 0, 100});
    // Rectangles that are not numbers are ignored.
    canvas.setExtent({NAN, 1, 0, 1});
    expectRect(canvas.extent(), {1000, 1400, 0, 200});
}

TEST_F(MapCanvasEvents, WindowPositionsToMapPoints) {
    struct Case {
        QPointF window;
        MapPoint map;
    };
    const Case cases[] = {
        {{0, 0}, {0, 200}}, {{400, 200}, {400, 0}}, {{100.5, 50.25}, {100.5, 149.75}}};
    for (const Case& c : cases) {
        expectPoint(canvas.toMapPoint(c.window), c.map);
        const QPointF back = canvas.toWindowPoint(c.map);
        EXPECT_NEAR(back.x(), c.window.x(), kTol);
        EXPECT_NEAR(back.y(), c.window.y(), kTol);
    }
}

TEST_F(MapCanvasEvents, MouseSignalsForEveryButton) {
    QSignalSpy down(&canvas, &MapCanvas::mouseDown);
    QSignalSpy moved(&canvas, &MapCanvas::mouseMove);
    QTest::mousePress(&canvas, Qt::RightButton, Qt::ShiftModifier, QPoint(30, 40));
    QTest::mouseRelease(&canvas, Qt::RightButton, Qt::ShiftModifier, QPoint(30, 40));
    QTest::mouseMove(&canvas, QPoint(60, 70));
    ASSERT_EQ(down.count(), 1);
    EXPECT_EQ(down[0][0].value<Qt::MouseButton>(), Qt::RightButton);
    EXPECT_EQ(down[0][1].value<Qt::KeyboardModifiers>(), Qt::ShiftModifier);
    EXPECT_EQ(down[0][2].toPointF(), QPointF(30, 40));
    ASSERT_GE(moved.count(), 1);
    EXPECT_EQ(moved.last()[2].toPointF(), QPointF(60, 70));
}

TEST_F(MapCanvasEvents, RectangleDragReturnsTheDraggedRectangle) {
    std::vector<MapRect> results;
    QObject::connect(&canvas, &MapCanvas::mouseDown, &canvas,
                     [&](Qt::MouseButton, Qt::KeyboardModifiers, QPointF p) {
                         canvas.trackRectangle(p, [&](MapRect r) { results.push_back(r); });
                     });
    QTest::mousePress(&canvas, Qt::LeftButton, {}, QPoint(50, 50));
    QTest::mouseMove(&canvas, QPoint(100, 80));
    QTest::mouseMove(&canvas, QPoint(150, 120));
    EXPECT_TRUE(results.empty());  // still dragging
    QTest::mouseRelease(&canvas, Qt::LeftButton, {}, QPoint(150, 120));
    ASSERT_EQ(results.size(), 1u);
    expectRect(results[0], {50, 150, 80, 150});
    EXPECT_FALSE(canvas.toolActive());

    // A click without a drag: centred on the point, half the size shown.
    QTest::mouseClick(&canvas, Qt::LeftButton, {}, QPoint(100, 100));
    ASSERT_EQ(results.size(), 2u);
    expectRect(results[1], {0, 200, 50, 150});

    // Esc abandons the drag: no rectangle.
    QTest::mousePress(&canvas, Qt::LeftButton, {}, QPoint(10, 10));
    QTest::mouseMove(&canvas, QPoint(90, 90));
    QTest::keyClick(&canvas, Qt::Key_Escape);
    QTest::mouseRelease(&canvas, Qt::LeftButton, {}, QPoint(90, 90));
    EXPECT_EQ(results.size(), 2u);
    EXPECT_FALSE(canvas.toolActive());
}

TEST_F(MapCanvasEvents, PanMovesTheExtentWithTheDrag) {
    int done = 0;
    QObject::connect(
        &canvas, &MapCanvas::mouseDown, &canvas,
        [&](Qt::MouseButton, Qt::KeyboardModifiers, QPointF p) { canvas.pan(p, [&] { ++done; }); });
    QTest::mousePress(&canvas, Qt::LeftButton, {}, QPoint(100, 100));
    QTest::mouseMove(&canvas, QPoint(130, 110));
    expectRect(canvas.extent(), {-30, 370, 10, 210});  // follows during the drag
    QTest::mouseMove(&canvas, QPoint(150, 120));
    EXPECT_EQ(done, 0);
    QTest::mouseRelease(&canvas, Qt::LeftButton, {}, QPoint(150, 120));
    expectRect(canvas.extent(), {-50, 350, 20, 220});
    EXPECT_EQ(done, 1);

    // Esc puts the map back.
    QTest::mousePress(&canvas, Qt::LeftButton, {}, QPoint(100, 100));
    QTest::mouseMove(&canvas, QPoint(10, 10));
    QTest::keyClick(&canvas, Qt::Key_Escape);
    expectRect(canvas.extent(), {-50, 350, 20, 220});
    QTest::mouseRelease(&canvas, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(done, 1);
}

TEST_F(MapCanvasEvents, LineTracking) {
    struct Case {
        const char* what;
        std::function<void()> finish;
        std::optional<std::vector<MapPoint>> expected;
    };
    const std::vector<MapPoint> three = {{10, 190}, {100, 190}, {200, 100}};
    const Case cases[] = {
        {"double-click ends it",
         [&] {
             QTest::mouseClick(&canvas, Qt::LeftButton, {}, QPoint(100, 10));
             QTest::mouseMove(&canvas, QPoint(150, 50));
             QTest::mouseDClick(&canvas, Qt::LeftButton, {}, QPoint(200, 100));
         },
         three},
        {"Enter ends it",
         [&] {
             QTest::mouseClick(&canvas, Qt::LeftButton, {}, QPoint(100, 10));
             QTest::mouseClick(&canvas, Qt::LeftButton, {}, QPoint(200, 100));
             QTest::keyClick(&canvas, Qt::Key_Return);
         },
         three},
        {"Esc abandons it",
         [&] {
             QTest::mouseClick(&canvas, Qt::LeftButton, {}, QPoint(100, 10));
             QTest::keyClick(&canvas, Qt::Key_Escape);
         },
         std::nullopt},
    };
    for (const Case& c : cases) {
        std::vector<std::optional<std::vector<MapPoint>>> results;
        QSignalSpy down(&canvas, &MapCanvas::mouseDown);
        QTest::mousePress(&canvas, Qt::LeftButton, {}, QPoint(10, 10));
        ASSERT_EQ(down.count(), 1);
        canvas.trackLine(down[0][2].toPointF(), [&](auto path) { results.push_back(path); });
        QTest::mouseRelease(&canvas, Qt::LeftButton, {}, QPoint(10, 10));
        c.finish();
        ASSERT_EQ(results.size(), 1u) << c.what;
        ASSERT_EQ(results[0].has_value(), c.expected.has_value()) << c.what;
        if (c.expected) {
            ASSERT_EQ(results[0]->size(), c.expected->size()) << c.what;
            for (std::size_t i = 0; i < c.expected->size(); ++i) {
                expectPoint((*results[0])[i], (*c.expected)[i]);
            }
        }
        EXPECT_EQ(down.count(), 1) << "presses belong to the tracking: " << c.what;
        EXPECT_FALSE(canvas.toolActive());
    }
}

TEST_F(MapCanvasEvents, WheelZoomsAboutThePointer) {
    const QPointF pointer(300, 50);
    const MapPoint before = canvas.toMapPoint(pointer);
    wheel(canvas, pointer, 120);
    expectPoint(canvas.toMapPoint(pointer), before, 1e-6);
    EXPECT_NEAR(canvas.extent().width(), 400 / MapCanvas::kWheelStep, 1e-6);
    wheel(canvas, pointer, -240);
    expectPoint(canvas.toMapPoint(pointer), before, 1e-6);
    EXPECT_NEAR(canvas.extent().width(), 400 * MapCanvas::kWheelStep, 1e-6);
}

TEST_F(MapCanvasEvents, AboutToNavigateOncePerGesture) {
    QSignalSpy spy(&canvas, &MapCanvas::aboutToNavigate);
    wheel(canvas, {100, 100}, 120);
    wheel(canvas, {100, 100}, 120);
    wheel(canvas, {100, 100}, -120);
    EXPECT_EQ(spy.count(), 1);
    QTest::qWait(MapCanvas::kWheelGestureMs + 100);
    wheel(canvas, {100, 100}, 120);
    EXPECT_EQ(spy.count(), 2);
    QTest::keyClick(&canvas, Qt::Key_Left);
    QTest::keyClick(&canvas, Qt::Key_Left);
    QTest::keyClick(&canvas, Qt::Key_Plus);
    EXPECT_EQ(spy.count(), 5);
    QTest::keyClick(&canvas, Qt::Key_A);  // not a navigation key
    EXPECT_EQ(spy.count(), 5);
}

TEST_F(MapCanvasEvents, KeysPanAndZoom) {
    struct Case {
        Qt::Key key;
        MapRect expected;
    };
    const Case cases[] = {
        {Qt::Key_Right, {100, 500, 0, 200}}, {Qt::Key_Left, {0, 400, 0, 200}},
        {Qt::Key_Up, {0, 400, 50, 250}},     {Qt::Key_Down, {0, 400, 0, 200}},
        {Qt::Key_Plus, {100, 300, 50, 150}}, {Qt::Key_Minus, {0, 400, 0, 200}},
    };
    for (const Case& c : cases) {
        QTest::keyClick(&canvas, c.key);
        expectRect(canvas.extent(), c.expected);
    }
}

class MapCanvasDrawing : public MapCanvasEvents {
protected:
    void SetUp() override {
        MapCanvasEvents::SetUp();
        ASSERT_TRUE(dir.isValid());
        ASSERT_EQ(writeShapefile(dir.filePath("sq.shp"), FixtureKind::Polygons, {"NAME"},
                                 {{squareWkt(100, 50, 100), {"a"}}}),
                  "");
        layer = std::make_shared<MapLayer>();
        ASSERT_TRUE(layer->setDataFile(dir.filePath("sq.shp")));
        layer->symbol().setColor(0x0000ff);
        layer->symbol().setOutlineColor(0x0000ff);
        canvas.addLayer(layer);
    }
    QTemporaryDir dir;
    std::shared_ptr<MapLayer> layer;
};

TEST_F(MapCanvasDrawing, DrawsOnTheWorkerAndMatchesTheSynchronousRender) {
    EXPECT_EQ(canvas.layers().front(), layer);
    expectRect(canvas.fullExtent(), {100, 200, 50, 150});
    // Many changes in a row: stale frames are dropped, the last one lands.
    for (int i = 0; i < 20; ++i) {
        canvas.setExtent({-double(i), 400.0 - i, 0, 200});
    }
    canvas.setExtent({0, 400, 0, 200});
    waitForFrame();
    const QImage shown = canvas.grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(shown.pixelColor(150, 100), QColor(Qt::red));
    EXPECT_EQ(shown.pixelColor(50, 100), QColor(Qt::white));

    QImage direct(400, 200, QImage::Format_RGB32);
    direct.fill(Qt::black);
    {
        QPainter p(&direct);
        canvas.renderTo(p, QRectF(0, 0, 400, 200));
    }
    EXPECT_EQ(shown, direct);

    // Hidden and redrawn.
    layer->setVisible(false);
    canvas.refresh();
    waitForFrame();
    EXPECT_EQ(canvas.grab().toImage().pixelColor(150, 100), QColor(Qt::white));
}

// A picture made ready beside the layers: a bar whose length follows the surface it is drawn on
// (half its width), worked out from the painter's device when drawn directly, from the surface
// when prepared.
class SurfaceBar : public OverlayPicture {
public:
    bool draw(QPainter& painter, const Viewport&, const std::atomic<bool>*) const override {
        const QPaintDevice& device = *painter.device();
        painter.fillRect(
            QRectF(0, 20,
                   device.width() / device.devicePixelRatioF() / 2 * device.logicalDpiX() / 96, 10),
            Qt::darkGreen);
        return true;
    }
    std::unique_ptr<PreparedPicture> prepare(const PictureSurface& surface, const Viewport&,
                                             const std::atomic<bool>* cancel) const override {
        struct Bar : PreparedPicture {
            QRectF rect;
            bool draw(QPainter& painter, const std::atomic<bool>*) const override {
                painter.fillRect(rect, Qt::darkGreen);
                return true;
            }
        };
        ++prepared;
        if (cancel != nullptr && cancel->load()) {
            return nullptr;
        }
        auto bar = std::make_unique<Bar>();
        const double lengthPx = surface.raster && surface.plain
                                    ? surface.pixels.width() / surface.ratio / 2 * surface.dpi / 96
                                    : 0;
        bar->rect = QRectF(0, 20, lengthPx, 10);
        return bar;
    }
    mutable std::atomic<int> prepared{0};
};

class BarOverlay : public MapOverlay {
public:
    std::shared_ptr<const OverlayPicture> picture() const override { return bar; }
    void paint(QPainter&, const Viewport&) const override {}
    std::shared_ptr<SurfaceBar> bar = std::make_shared<SurfaceBar>();
};

TEST_F(MapCanvasDrawing, PicturesPreparedBesideTheLayersDrawWhatTheyDrawDirectly) {
    BarOverlay overlay;
    canvas.addOverlay(&overlay);
    canvas.refresh();
    waitForFrame();
    ASSERT_GE(overlay.bar->prepared.load(), 1);
    const QImage shown = canvas.grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(shown.pixelColor(199, 25), QColor(Qt::darkGreen));  // half of 400 pixels
    EXPECT_EQ(shown.pixelColor(200, 25), QColor(Qt::white));
    QImage direct(400, 200, QImage::Format_RGB32);
    {
        QPainter p(&direct);
        canvas.renderTo(p, QRectF(0, 0, 400, 200));
    }
    EXPECT_EQ(shown, direct);
    canvas.removeOverlay(&overlay);
}

// What a picture is prepared for: the device's pixels and ratio, raster or not, and whether
// the painter moves what it paints.
TEST(PictureSurfaceTest, DescribesWhatThePainterPaintsOn) {
    QImage image(300, 200, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(2);
    QPainter painter(&image);
    const PictureSurface surface = PictureSurface::of(painter);
    EXPECT_TRUE(surface.known);
    EXPECT_EQ(surface.pixels, QSize(300, 200));
    EXPECT_EQ(surface.ratio, 2.0);
    EXPECT_EQ(surface.dpi, image.logicalDpiX());
    EXPECT_TRUE(surface.raster);
    EXPECT_TRUE(surface.plain);
    painter.translate(0.5, 0);
    EXPECT_FALSE(PictureSurface::of(painter).plain);
    painter.end();
    QPicture recorded;
    QPainter recording(&recorded);
    EXPECT_FALSE(PictureSurface::of(recording).raster);
    EXPECT_FALSE(PictureSurface::of(QPainter()).known);
}

TEST_F(MapCanvasDrawing, RenderToFitsTheDisplayedExtentToTheTarget) {
    QImage img(300, 300, QImage::Format_RGB32);
    img.fill(Qt::black);
    {
        QPainter p(&img);
        canvas.renderTo(p, QRectF(50, 100, 200, 100));  // half the size: 2 units per pixel
    }
    EXPECT_EQ(img.pixelColor(20, 20), QColor(Qt::black));           // outside the target
    EXPECT_EQ(img.pixelColor(50 + 75, 100 + 50), QColor(Qt::red));  // map (150, 100)
    EXPECT_EQ(img.pixelColor(50 + 25, 100 + 50), QColor(Qt::white));
}

TEST_F(MapCanvasDrawing, HighlightUntilTheExtentChanges) {
    const ResultSet found = layer->searchShape({150, 100}, MapLayer::kSearchAtPoint, "");
    ASSERT_EQ(found.count(), 1);
    canvas.setHighlight({{layer, found.features()[0]}});
    waitForFrame();
    const QImage lit = canvas.grab().toImage();
    EXPECT_NE(lit.pixelColor(100, 100), QColor(Qt::red));  // the outline is drawn over the edge
    EXPECT_EQ(canvas.highlight().size(), 1u);
    canvas.setExtent({10, 410, 0, 200});
    EXPECT_TRUE(canvas.highlight().empty());
}

// At the zoom-out limit (a hundred times the map's size) a "-" or a wheel notch changes nothing
// and announces nothing, so no history entry is saved for it.
TEST_F(MapCanvasDrawing, NothingAnnouncedAtTheZoomOutLimit) {
    QSignalSpy spy(&canvas, &MapCanvas::aboutToNavigate);
    // The map is 100 units wide: the view stops at 10,000 units, 25 units per pixel.
    for (int i = 0; i < 10; ++i) {
        QTest::keyClick(&canvas, Qt::Key_Minus);
    }
    EXPECT_EQ(spy.count(), 4);
    const MapRect atLimit = canvas.extent();
    EXPECT_NEAR(atLimit.width(), 400 * 16, 1e-6);
    QTest::qWait(MapCanvas::kWheelGestureMs + 100);
    wheel(canvas, {200, 100}, -120 * 8);
    EXPECT_EQ(spy.count(), 4);
    expectRect(canvas.extent(), atLimit);
    // Zooming in from there is a gesture again.
    wheel(canvas, {200, 100}, 120);
    EXPECT_EQ(spy.count(), 5);
}

TEST(MapCanvasDefaults, FullExtentWithoutLayersAndFollowingTheFirstLayers) {
    MapCanvas canvas;
    canvas.resize(200, 200);
    EXPECT_EQ(canvas.fullExtent(), MapLayerList::kEmptyExtent);
    expectRect(canvas.extent(), MapLayerList::kEmptyExtent);
}

}  // namespace
}  // namespace pelagon
