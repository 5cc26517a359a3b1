#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <cmath>
#include <numbers>
#include <sstream>

#include "render/MapLayer.h"
#include "render/MapRenderer.h"
#include "render/MapSnapshot.h"
#include "render/Symbology.h"
#include "store/FeatureStore.h"
#include "support/LayerFixtures.h"

namespace pelagon {
namespace {

using test::FixtureKind;
using test::squareWkt;
using test::writeShapefile;

constexpr qint32 kRed = 0x0000ff;
constexpr qint32 kGreen = 0x00ff00;
constexpr qint32 kBlue = 0xff0000;
const QColor kWhite(Qt::white);

// The map places a 100 x 100 km square at (0, 0)-(100000, 100000); the default view shows
// -50 km .. 150 km on 200 x 200 pixels, 1 km per pixel, so the square covers pixels 50..150.
class MapRender : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    std::shared_ptr<MapLayer> layer(const std::string& name, FixtureKind kind,
                                    const std::vector<test::FixtureFeature>& features, qint32 color,
                                    int style, qint32 outline) {
        const QString path = dir.filePath(QString::fromStdString(name) + ".shp");
        EXPECT_EQ(writeShapefile(path, kind, {"NAME"}, features), "");
        auto l = std::make_shared<MapLayer>();
        EXPECT_TRUE(l->setDataFile(path)) << l->openError().message.toStdString();
        l->symbol().setColor(color);
        l->symbol().setStyle(style);
        l->symbol().setOutlineColor(outline);
        return l;
    }

    std::shared_ptr<MapLayer> square(qint32 color, int style, qint32 outline = 0, double x = 0,
                                     double size = 100000) {
        return layer("sq" + std::to_string(counter++), FixtureKind::Polygons,
                     {{squareWkt(x, 0, size), {"Square"}}}, color, style, outline);
    }

    static QImage render(const std::vector<std::shared_ptr<MapLayer>>& layers,
                         MapRect extent = {-50000, 150000, -50000, 150000}, QSize size = {200, 200},
                         RenderStats* stats = nullptr) {
        QImage img(size, QImage::Format_ARGB32_Premultiplied);
        img.fill(Qt::transparent);
        QPainter p(&img);
        const RenderStats s =
            MapRenderer::render(p, Viewport(QSizeF(size), extent), makeSnapshot(layers));
        if (stats != nullptr) {
            *stats = s;
        }
        return img;
    }

    QTemporaryDir dir;
    int counter = 0;
};

QColor at(const QImage& img, int x, int y) {
    return img.pixelColor(x, y);
}

bool near(const QColor& a, const QColor& b, int tolerance = 40) {
    return std::abs(a.red() - b.red()) <= tolerance &&
           std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

// Counts of pixels in a box that are close to the colour.
int count(const QImage& img, const QRect& box, const QColor& c, int tolerance = 40) {
    int n = 0;
    for (int y = box.top(); y <= box.bottom(); ++y) {
        for (int x = box.left(); x <= box.right(); ++x) {
            n += near(img.pixelColor(x, y), c, tolerance) ? 1 : 0;
        }
    }
    return n;
}

const QRect kInterior(70, 70, 60, 60);

TEST_F(MapRender, FillInsideOutlineOnTheEdgeBackgroundOutside) {
    // Moved by half a pixel, so the 1 px outline covers whole pixels: columns 50 and 150, rows
    // 49 and 149.
    auto l = layer("edge", FixtureKind::Polygons, {{squareWkt(500, 500, 100000), {"x"}}}, kRed,
                   style::Solid, kBlue);
    const QImage img = render({l});
    EXPECT_EQ(at(img, 100, 100), QColor(Qt::red));
    EXPECT_EQ(at(img, 20, 20), kWhite);
    EXPECT_EQ(at(img, 180, 100), kWhite);
    for (const QPoint edge :
         {QPoint(50, 100), QPoint(150, 100), QPoint(100, 49), QPoint(100, 149)}) {
        EXPECT_EQ(at(img, edge.x(), edge.y()), QColor(Qt::blue)) << edge.x() << "," << edge.y();
    }
}

TEST_F(MapRender, FillStyles) {
    struct Case {
        int style;
        bool colour;      // the interior shows the symbol colour
        bool background;  // the interior shows the background
    };
    const Case cases[] = {
        {style::Solid, true, false},          {style::Transparent, false, true},
        {style::HorizontalLines, true, true}, {style::VerticalLines, true, true},
        {style::UpwardDiagonal, true, true},  {style::DownwardDiagonal, true, true},
        {style::Cross, true, true},           {style::DiagonalCross, true, true},
    };
    for (const Case& c : cases) {
        const QImage img = render({square(kRed, c.style, kBlue)});
        EXPECT_EQ(count(img, kInterior, Qt::red, 60) > 0, c.colour) << "style " << c.style;
        EXPECT_EQ(count(img, kInterior, kWhite, 10) > 0, c.background) << "style " << c.style;
    }
}

TEST_F(MapRender, HatchDirections) {
    // Along a hatch line the colour stays; across it, it alternates.
    auto rowUniform = [](const QImage& img, int y) {
        for (int x = 71; x < 130; ++x) {
            if (img.pixelColor(x, y) != img.pixelColor(70, y)) {
                return false;
            }
        }
        return true;
    };
    auto columnUniform = [](const QImage& img, int x) {
        for (int y = 71; y < 130; ++y) {
            if (img.pixelColor(x, y) != img.pixelColor(x, 70)) {
                return false;
            }
        }
        return true;
    };
    const QImage h = render({square(kRed, style::HorizontalLines, kBlue)});
    const QImage v = render({square(kRed, style::VerticalLines, kBlue)});
    int hRows = 0, vColumns = 0;
    for (int i = 70; i < 130; ++i) {
        hRows += rowUniform(h, i) ? 1 : 0;
        vColumns += columnUniform(v, i) ? 1 : 0;
        EXPECT_FALSE(columnUniform(h, i));
        EXPECT_FALSE(rowUniform(v, i));
    }
    EXPECT_EQ(hRows, 60);
    EXPECT_EQ(vColumns, 60);
}

TEST_F(MapRender, GrayFillsAreScreensOfTheColourDarkerByCode) {
    int previous = 256;
    for (int s : {style::LightGray, style::Gray, style::DarkGray}) {
        const QImage img = render({square(kBlue, s, kBlue)});
        const QColor c = at(img, 100, 100);
        EXPECT_EQ(c.blue(), 255) << s;
        EXPECT_LT(c.red(), previous) << s;  // less white shows through
        EXPECT_GT(c.red(), 0) << s;
        previous = c.red();
    }
}

// The period of a horizontal hatch, in pixels, down the middle column of the image.
int hatchPeriod(const QImage& img) {
    std::vector<int> starts;
    const int x = img.width() / 2;
    for (int y = img.height() * 3 / 8; y < img.height() * 5 / 8; ++y) {
        const bool on = near(img.pixelColor(x, y), Qt::red, 60);
        const bool before = near(img.pixelColor(x, y - 1), Qt::red, 60);
        if (on && !before) {
            starts.push_back(y);
        }
    }
    return starts.size() >= 2 ? starts[1] - starts[0] : 0;
}

TEST_F(MapRender, HatchSpacingFollowsTheDeviceResolution) {
    auto l = square(kRed, style::HorizontalLines, kBlue);
    const MapRect view{-50000, 150000, -50000, 150000};
    const QImage screen = render({l});
    const int coarse = hatchPeriod(screen);
    EXPECT_EQ(coarse, static_cast<int>(symbology::kHatchSpacing));
    struct Case {
        const char* what;
        int dotsPerMeter;  // 7559: 192 dpi
        double devicePixelRatio;
    };
    // The same view on twice the pixels, once as a 192-dpi surface (a printer, say) and once as
    // a high-density screen image: the hatch keeps its size on the surface.
    for (const Case& c : {Case{"192 dpi", 7559, 1.0}, Case{"device pixel ratio 2", 3780, 2.0}}) {
        QImage fine(400, 400, QImage::Format_ARGB32_Premultiplied);
        fine.setDotsPerMeterX(c.dotsPerMeter);
        fine.setDotsPerMeterY(c.dotsPerMeter);
        fine.setDevicePixelRatio(c.devicePixelRatio);
        fine.fill(Qt::white);
        {
            QPainter p(&fine);
            const double side = 400 / c.devicePixelRatio;
            MapRenderer::render(p, Viewport(QSizeF(side, side), view), makeSnapshot({l}));
        }
        fine.setDevicePixelRatio(1.0);
        EXPECT_EQ(hatchPeriod(fine), 2 * coarse) << c.what;
    }
}

TEST_F(MapRender, HiddenLayersAreNotDrawn) {
    auto l = square(kRed, style::Solid, kBlue);
    l->setVisible(false);
    const QImage img = render({l});
    EXPECT_EQ(count(img, QRect(0, 0, 200, 200), Qt::red, 60), 0);
    EXPECT_EQ(count(img, QRect(0, 0, 200, 200), Qt::blue, 60), 0);
}

TEST_F(MapRender, PositionZeroIsOnTop) {
    auto red = square(kRed, style::Solid, kRed);
    auto green = square(kGreen, style::Solid, kGreen, 50000);
    EXPECT_EQ(at(render({red, green}), 120, 100), QColor(Qt::red));
    EXPECT_EQ(at(render({green, red}), 120, 100), QColor(Qt::green));
}

// What a layer draws over itself: a translucent blue wash over all it is given.
class Wash : public LayerOverdraw {
public:
    bool draw(QPainter& painter, const Viewport&, const QRectF& clip,
              const std::atomic<bool>*) const override {
        painter.fillRect(clip, QColor(0, 0, 255, 128));
        return true;
    }
};

// A layer's overdraw lies over the layer and beneath the layers above it, in every band of the
// frame, and is hidden with its layer.
TEST_F(MapRender, OverdrawBelongsToItsLayer) {
    struct Case {
        const char* name;
        int threads;
        bool visible;
    };
    for (const Case c :
         {Case{"one band", 1, true}, Case{"bands", 4, true}, Case{"hidden", 1, false}}) {
        SCOPED_TRACE(c.name);
        auto red = square(kRed, style::Solid, kRed);
        auto green = square(kGreen, style::Solid, kGreen, 50000);
        red->setOverdraw(std::make_shared<Wash>());
        red->setVisible(c.visible);
        QImage img(200, 400, QImage::Format_ARGB32_Premultiplied);
        img.fill(Qt::white);
        QPainter p(&img);
        RenderOptions options;
        options.threads = c.threads;
        MapRenderer::render(p, Viewport(QSizeF(200, 400), {-50000, 150000, -150000, 250000}),
                            makeSnapshot({green, red}), options);
        p.end();
        // The green square above keeps its colour; the red one's and the white around it take
        // the wash, at the top and the bottom of the frame alike.
        EXPECT_EQ(at(img, 120, 200), QColor(Qt::green));
        const QColor washedRed = c.visible ? QColor(127, 0, 128) : QColor(Qt::white);
        const QColor washedWhite = c.visible ? QColor(127, 127, 255) : QColor(Qt::white);
        EXPECT_TRUE(near(at(img, 70, 200), washedRed, 2)) << at(img, 70, 200).name().toStdString();
        EXPECT_TRUE(near(at(img, 20, 5), washedWhite, 2));
        EXPECT_TRUE(near(at(img, 20, 395), washedWhite, 2));
    }
}

TEST_F(MapRender, DevicePixelRatioKeepsThePlaces) {
    QImage img(400, 400, QImage::Format_ARGB32_Premultiplied);
    img.setDevicePixelRatio(2.0);
    img.fill(Qt::white);
    {
        QPainter p(&img);
        MapRenderer::render(p, Viewport(QSizeF(200, 200), {-50000, 150000, -50000, 150000}),
                            makeSnapshot({square(kRed, style::Solid, kBlue)}));
    }
    EXPECT_EQ(at(img, 200, 200), QColor(Qt::red));
    EXPECT_EQ(at(img, 96, 200), kWhite);
    EXPECT_EQ(at(img, 104, 200), QColor(Qt::red));
}

TEST_F(MapRender, ExtremeZoomOnAnEdgeStaysExact) {
    // One metre across 200 pixels, on the square's left edge: clipping keeps Qt's coordinates
    // small, and the edge falls exactly in the middle.
    const QImage img = render({square(kRed, style::Solid, kRed)}, {-0.5, 0.5, 50000, 50001});
    EXPECT_EQ(at(img, 20, 100), kWhite);
    EXPECT_EQ(at(img, 180, 100), QColor(Qt::red));
}

TEST_F(MapRender, LongRingZoomedInMatchesTheExactTest) {
    // A ring of 50,000 vertices; a view near its boundary skips the runs far away.
    std::ostringstream wkt;
    wkt.precision(17);
    wkt << "POLYGON((";
    const int n = 50000;
    for (int i = 0; i <= n; ++i) {
        const double a = 2 * std::numbers::pi * (i % n) / n;
        const double r = 100000 + 3000 * std::sin(37 * a);
        wkt << (i ? "," : "") << r * std::cos(a) << ' ' << -r * std::sin(a);
    }
    wkt << "))";
    auto l = layer("long", FixtureKind::Polygons, {{wkt.str(), {"x"}}}, kRed, style::Solid, kRed);
    ASSERT_EQ(l->store()->ringChunks(0).size(), 391u);
    for (const MapRect& view :
         {MapRect{95000, 105000, -5000, 5000}, MapRect{-104000, -96000, 1000, 9000},
          MapRect{-150000, 150000, -150000, 150000}}) {
        const QImage img = render({l}, view);
        const Viewport vp(QSizeF(200, 200), view);
        int checked = 0;
        for (int y = 2; y < 200; y += 4) {
            for (int x = 2; x < 200; x += 4) {
                const MapPoint p = vp.toMap(QPointF(x + 0.5, y + 0.5));
                const double slack = 2.0 * vp.mapUnitsPerPixel();
                const bool in = l->store()->featureAt(0, p, 0.0);
                // Pixels near the boundary are left out: antialiasing and the outline mix them.
                bool nearEdge = false;
                for (double dx : {-slack, slack}) {
                    for (double dy : {-slack, slack}) {
                        nearEdge =
                            nearEdge || l->store()->featureAt(0, {p.x + dx, p.y + dy}, 0) != in;
                    }
                }
                if (nearEdge) {
                    continue;
                }
                ++checked;
                EXPECT_EQ(at(img, x, y), in ? QColor(Qt::red) : kWhite) << x << "," << y;
            }
        }
        EXPECT_GT(checked, 1500);
    }
}

TEST_F(MapRender, LinesAndDashes) {
    const std::string wkt = "LINESTRING(-40000 49500,140000 49500)";  // on row 100's centre
    auto solid = layer("solid", FixtureKind::Lines, {{wkt, {"road"}}}, kBlue, 0, 0);
    auto dashed = layer("dashed", FixtureKind::Lines, {{wkt, {"road"}}}, kBlue, 1, 0);
    const QImage a = render({solid});
    const QImage b = render({dashed});
    const QRect row(20, 100, 160, 1);
    const int solidCount = count(a, row, Qt::blue, 120);
    const int dashedCount = count(b, row, Qt::blue, 120);
    EXPECT_GT(solidCount, 150);
    EXPECT_GT(dashedCount, 50);
    EXPECT_LT(dashedCount, solidCount * 3 / 4);
    EXPECT_EQ(at(a, 100, 80), kWhite);
}

TEST_F(MapRender, PointMarkers) {
    auto pts = layer("pts", FixtureKind::Points, {{"POINT(50000 50000)", {"a"}}}, kGreen, 1, 0);
    const QImage img = render({pts});
    EXPECT_TRUE(near(at(img, 100, 100), Qt::green)) << at(img, 100, 100).name().toStdString();
    EXPECT_EQ(at(img, 110, 100), kWhite);
}

TEST_F(MapRender, LabelsDrawnOverTheSymbolWhenLargeEnough) {
    auto l = square(kGreen, style::Solid, kGreen);
    auto renderer = std::make_shared<LabelRenderer>();
    renderer->setField("NAME");
    renderer->textSymbol().height = 20000;  // 20 px at this view
    l->Renderer = renderer;
    RenderStats stats;
    const QImage big = render({l}, {-50000, 150000, -50000, 150000}, {200, 200}, &stats);
    EXPECT_EQ(stats.labels, 1u);
    EXPECT_GT(count(big, kInterior, Qt::black, 100), 20);

    renderer->textSymbol().height = 5000;  // 5 px: too small to read
    const QImage small = render({l}, {-50000, 150000, -50000, 150000}, {200, 200}, &stats);
    EXPECT_EQ(stats.labels, 0u);
    EXPECT_EQ(count(small, kInterior, Qt::black, 100), 0);

    renderer->textSymbol().height = 20000;
    renderer->setField("");  // no label field: no labels
    render({l}, {-50000, 150000, -50000, 150000}, {200, 200}, &stats);
    EXPECT_EQ(stats.labels, 0u);
    renderer->setField("NOSUCHFIELD");
    render({l}, {-50000, 150000, -50000, 150000}, {200, 200}, &stats);
    EXPECT_EQ(stats.labels, 0u);
}

TEST_F(MapRender, LabelOptionsAndCollisions) {
    // Three overlapping squares labelled alike, one apart labelled alike too.
    auto l = layer("labels", FixtureKind::Polygons,
                   {{squareWkt(0, 0, 100000), {"Same"}},
                    {squareWkt(1000, 0, 100000), {"Other"}},
                    {squareWkt(-60000, -60000, 20000), {"Same"}}},
                   kGreen, style::Transparent, kGreen);
    auto renderer = std::make_shared<LabelRenderer>();
    renderer->setField("NAME");
    renderer->textSymbol().height = 10000;
    l->Renderer = renderer;
    const MapRect view{-100000, 150000, -100000, 150000};
    struct Case {
        bool allowDuplicates;
        std::size_t labels;
    };
    // The first two anchors are 1 px apart: the second label would cover the first.
    for (const Case c : {Case{false, 1}, Case{true, 2}}) {
        renderer->setOptions(true, c.allowDuplicates, false, true);
        RenderStats stats;
        render({l}, view, {250, 250}, &stats);
        EXPECT_EQ(stats.labels, c.labels) << c.allowDuplicates;
    }
    renderer->setOptions(false, true, false, true);
    RenderStats stats;
    render({l}, view, {250, 250}, &stats);
    EXPECT_EQ(stats.labels, 0u);
}

// Rows of the image that hold dark (text) pixels.
int darkRows(const QImage& img) {
    int rows = 0;
    for (int y = 0; y < img.height(); ++y) {
        for (int x = 0; x < img.width(); ++x) {
            if (qGray(img.pixel(x, y)) < 100) {
                ++rows;
                break;
            }
        }
    }
    return rows;
}

TEST_F(MapRender, LineLabelsReadLeftToRightWhenFlipped) {
    const std::string eastward = "LINESTRING(-40000 49500,140000 49500)";
    const std::string westward = "LINESTRING(140000 49500,-40000 49500)";
    auto east = layer("east", FixtureKind::Lines, {{eastward, {"Road"}}}, kGreen, 0, 0);
    auto west = layer("west", FixtureKind::Lines, {{westward, {"Road"}}}, kGreen, 0, 0);
    auto labels = [](const std::shared_ptr<MapLayer>& l, bool flip) {
        auto r = std::make_shared<LabelRenderer>();
        r->setField("NAME");
        r->setOptions(true, false, false, flip);
        r->textSymbol().height = 15000;
        l->Renderer = r;
    };
    labels(east, true);
    const QImage reference = render({east});
    EXPECT_GT(darkRows(reference), 5);
    labels(west, true);
    EXPECT_EQ(render({west}), reference);  // turned to read like the eastward line
    labels(west, false);
    EXPECT_NE(render({west}), reference);  // follows the line: upside down, below it
}

TEST_F(MapRender, SplitTextBreaksLabelsIntoLines) {
    auto l = layer("split", FixtureKind::Polygons, {{squareWkt(0, 0, 100000), {"Two words"}}},
                   kGreen, style::Transparent, kGreen);
    auto r = std::make_shared<LabelRenderer>();
    r->setField("NAME");
    r->textSymbol().height = 12000;
    l->Renderer = r;
    const QImage one = render({l});
    r->setOptions(true, false, true, true);
    const QImage two = render({l});
    EXPECT_GT(darkRows(two), darkRows(one) + 5);
}

TEST_F(MapRender, CancelledFramesStop) {
    std::atomic<bool> cancel{true};
    QImage img(200, 200, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::white);
    QPainter p(&img);
    RenderOptions options;
    options.cancel = &cancel;
    const RenderStats s =
        MapRenderer::render(p, Viewport(QSizeF(200, 200), {-50000, 150000, -50000, 150000}),
                            makeSnapshot({square(kRed, style::Solid)}), options);
    EXPECT_TRUE(s.cancelled);
    EXPECT_EQ(s.features, 0u);
}

TEST(MapSwatch, DrawsLikeTheMap) {
    struct Case {
        SymbolKind kind;
        int style;
        QColor centre;  // at the middle of the swatch
        QColor border;  // on its left edge, middle height
    };
    const Case cases[] = {
        {SymbolKind::Fill, style::Solid, Qt::red, Qt::blue},
        {SymbolKind::Fill, style::Transparent, Qt::white, Qt::blue},
        {SymbolKind::Line, 0, Qt::red, Qt::red},  // the line runs the whole width
        {SymbolKind::Marker, 0, Qt::red, Qt::white},
    };
    for (const Case& c : cases) {
        QImage img(40, 20, QImage::Format_ARGB32_Premultiplied);
        img.fill(Qt::white);
        {
            QPainter p(&img);
            symbology::drawSwatch(p, QRectF(0, 0, 40, 20), c.kind, kRed, kBlue, c.style);
        }
        EXPECT_TRUE(near(img.pixelColor(20, 10), c.centre, 60))
            << static_cast<int>(c.kind) << " " << img.pixelColor(20, 10).name().toStdString();
        EXPECT_TRUE(near(img.pixelColor(0, 10), c.border, 90))
            << static_cast<int>(c.kind) << " " << img.pixelColor(0, 10).name().toStdString();
    }
}

TEST(MapSwatch, HatchedSwatchShowsBothColours) {
    for (int s = style::HorizontalLines; s <= style::DiagonalCross; ++s) {
        QImage img(64, 24, QImage::Format_ARGB32_Premultiplied);
        img.fill(Qt::white);
        {
            QPainter p(&img);
            symbology::drawSwatch(p, QRectF(0, 0, 64, 24), SymbolKind::Fill, kRed, kBlue, s);
        }
        EXPECT_GT(count(img, QRect(4, 4, 56, 16), Qt::red, 60), 0) << s;
        EXPECT_GT(count(img, QRect(4, 4, 56, 16), Qt::white, 10), 0) << s;
    }
}

TEST(MapSymbology, ColourValues) {
    struct Case {
        qint32 value;
        QColor colour;
    };
    const Case cases[] = {{255, QColor(255, 0, 0)},
                          {13158600, QColor(200, 200, 200)},
                          {16711680, QColor(0, 0, 255)},
                          {0x00ff00, QColor(0, 255, 0)}};
    for (const Case& c : cases) {
        EXPECT_EQ(symbology::colorFromValue(c.value), c.colour) << c.value;
        EXPECT_EQ(symbology::valueFromColor(c.colour), c.value);
    }
    EXPECT_EQ(symbology::kindForShapeType(21), SymbolKind::Marker);
    EXPECT_EQ(symbology::kindForShapeType(22), SymbolKind::Line);
    EXPECT_EQ(symbology::kindForShapeType(23), SymbolKind::Fill);
    EXPECT_EQ(symbology::kindForShapeType(5), SymbolKind::Fill);
}

}  // namespace
}  // namespace pelagon
