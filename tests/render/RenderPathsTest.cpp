#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QTemporaryDir>

#include <cmath>
#include <numbers>
#include <sstream>

#include "render/ImageFiller.h"
#include "render/ImageStroker.h"
#include "render/MapLayer.h"
#include "render/MapRenderer.h"
#include "render/MapSnapshot.h"
#include "render/OverlapGrid.h"
#include "store/FeatureStore.h"
#include "support/LayerFixtures.h"

// The renderer's fast paths against what they stand in for: outlines written into the pixels
// against Qt's stroker, features drawn in batches against drawing them one by one, frames drawn
// in bands against one painter, and simplified rings against the full outline.
namespace pelagon {
namespace {

using test::FixtureKind;
using test::squareWkt;
using test::writeShapefile;

TEST(OverlapGrid, ClaimsFailOnlyWhereABoxMeetsOneClaimedBefore) {
    struct Claim {
        QRectF box;
        bool clearFirst;
        bool granted;
    };
    // Cells of 4 units over 0..100.
    const Claim claims[] = {
        {{10, 10, 10, 10}, false, true},    // free
        {{30, 10, 10, 10}, false, true},    // beside it, a cell apart
        {{15, 15, 10, 10}, false, false},   // overlaps the first
        {{21, 30, 1, 1}, false, true},      // below the first, in cells of its own
        {{0, 21, 9, 1}, false, false},      // shares a cell with the first (cells err to "meets")
        {{-50, -50, 20, 20}, false, true},  // outside the area: nothing to meet
        {{15, 15, 10, 10}, true, true},     // after a clear everything is free again
        {{12, 12, 2, 2}, false, false},
    };
    OverlapGrid grid(QRectF(0, 0, 100, 100), 4.0);
    for (const Claim& c : claims) {
        if (c.clearFirst) {
            grid.clear();
        }
        EXPECT_EQ(grid.claim(c.box), c.granted) << c.box.x() << "," << c.box.y();
    }
}

// Ink of a pixel on white: 0 (white) .. 255 (black).
int ink(const QImage& img, int x, int y) {
    return 255 - qGray(img.pixel(x, y));
}

TEST(ImageStroker, LinesLieWhereQtDrawsThemWithTheSameInk) {
    struct Case {
        const char* what;
        QPointF a, b;
    };
    const Case cases[] = {
        {"horizontal on a pixel centre", {10.2, 20.5}, {80.7, 20.5}},
        {"horizontal between rows", {10.0, 30.0}, {80.0, 30.0}},
        {"shallow", {5.3, 10.1}, {90.6, 31.7}},
        {"diagonal", {10.0, 10.0}, {70.0, 70.0}},
        {"steep, drawn upwards", {40.4, 90.2}, {52.9, 5.8}},
        {"backwards", {88.1, 60.3}, {12.6, 47.9}},
    };
    for (const Case& c : cases) {
        QImage ours(100, 100, QImage::Format_ARGB32_Premultiplied);
        QImage qt(100, 100, QImage::Format_ARGB32_Premultiplied);
        ours.fill(Qt::white);
        qt.fill(Qt::white);
        {
            QPainter p(&ours);
            p.setRenderHint(QPainter::Antialiasing);
            auto stroker = ImageStroker::forPainter(p, Qt::black, 1.0);
            ASSERT_TRUE(stroker) << c.what;
            const QPointF line[] = {c.a, c.b};
            stroker->drawPolyline(line, false);
        }
        {
            QPainter p(&qt);
            p.setRenderHint(QPainter::Antialiasing);
            p.setPen(QPen(Qt::black, 1.0, Qt::SolidLine, Qt::FlatCap));
            p.drawLine(c.a, c.b);
        }
        long inkOurs = 0, inkQt = 0;
        for (int y = 0; y < 100; ++y) {
            for (int x = 0; x < 100; ++x) {
                inkOurs += ink(ours, x, y);
                inkQt += ink(qt, x, y);
                // Every pixel we darken by more than a third lies within a pixel of Qt's ink.
                if (ink(ours, x, y) > 85) {
                    int nearest = 0;
                    for (int dy = -1; dy <= 1; ++dy) {
                        for (int dx = -1; dx <= 1; ++dx) {
                            nearest = std::max(nearest, ink(qt, std::clamp(x + dx, 0, 99),
                                                            std::clamp(y + dy, 0, 99)));
                        }
                    }
                    EXPECT_GT(nearest, 40) << c.what << " at " << x << "," << y;
                }
            }
        }
        EXPECT_NEAR(static_cast<double>(inkOurs), static_cast<double>(inkQt), 0.35 * inkQt)
            << c.what;
    }
}

TEST(ImageStroker, OnlyWherePixelsAreWrittenAsIs) {
    QImage argb(10, 10, QImage::Format_ARGB32_Premultiplied);
    QImage indexed(10, 10, QImage::Format_Indexed8);
    indexed.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    struct Case {
        const char* what;
        QImage* image;
        bool antialias;
        double width;
        double scale;
        bool clip;
        bool usable;
    };
    const Case cases[] = {
        {"plain image", &argb, true, 1.0, 1.0, false, true},
        {"scaled by two, half-pixel pen", &argb, true, 0.5, 2.0, false, true},
        {"no antialiasing", &argb, false, 1.0, 1.0, false, false},
        {"two pixels wide", &argb, true, 2.0, 1.0, false, false},
        {"clipped", &argb, true, 1.0, 1.0, true, false},
    };
    for (const Case& c : cases) {
        QPainter p(c.image);
        p.setRenderHint(QPainter::Antialiasing, c.antialias);
        p.scale(c.scale, c.scale);
        if (c.clip) {
            p.setClipRect(0, 0, 5, 5);
        }
        EXPECT_EQ(ImageStroker::forPainter(p, Qt::black, c.width).has_value(), c.usable) << c.what;
    }
}

TEST(ImageFiller, FillsThePixelsQtFillsWithTheEvenOddRule) {
    auto star = [](double cx, double cy, double r, int points, double turn) {
        std::vector<QPointF> v;
        for (int i = 0; i < points; ++i) {
            const double a = turn + 2.0 * std::numbers::pi * i * 2 / points;
            v.emplace_back(cx + r * std::cos(a), cy + r * std::sin(a));
        }
        return v;
    };
    struct Case {
        const char* what;
        std::vector<std::vector<QPointF>> rings;
        QColor color;
    };
    const Case cases[] = {
        {"square on pixel edges", {{{10, 10}, {50, 10}, {50, 40}, {10, 40}}}, Qt::red},
        {"square off the grid",
         {{{10.3, 10.7}, {50.6, 10.2}, {50.4, 40.5}, {10.5, 40.1}}},
         Qt::red},
        {"self-crossing star", {star(50, 50, 40, 5, 0.3)}, Qt::blue},
        {"square with a hole",
         {{{5, 5}, {95, 5}, {95, 95}, {5, 95}}, {{30.5, 30.5}, {70.5, 30.5}, {70.5, 70}, {30, 70}}},
         Qt::darkGreen},
        {"overlapping squares cancel",
         {{{10, 10}, {60, 10}, {60, 60}, {10, 60}}, {{40, 40}, {90, 40}, {90, 90}, {40, 90}}},
         Qt::red},
        {"partly outside", {{{-30, -20}, {130, 40}, {20, 150}}}, Qt::red},
        {"thin sliver", {{{5, 50}, {95, 51.5}, {95, 52}}}, Qt::red},
        {"translucent", {star(50, 50, 45, 7, 0.1)}, QColor(0, 0, 255, 128)},
    };
    for (const Case& c : cases) {
        QImage ours(100, 100, QImage::Format_ARGB32_Premultiplied);
        QImage qt(100, 100, QImage::Format_ARGB32_Premultiplied);
        ours.fill(Qt::white);
        qt.fill(Qt::white);
        {
            QPainter p(&ours);
            auto filler = ImageFiller::forPainter(p, QBrush(c.color));
            ASSERT_TRUE(filler) << c.what;
            for (const auto& r : c.rings) {
                filler->addRing(r);
            }
            filler->fill();
        }
        {
            QPainterPath path;
            path.setFillRule(Qt::OddEvenFill);
            for (const auto& r : c.rings) {
                path.addPolygon(QPolygonF(QList<QPointF>(r.begin(), r.end())));
                path.closeSubpath();
            }
            QPainter p(&qt);
            p.fillPath(path, c.color);
        }
        // Pixels may differ only where Qt's own fill changes colour next to them: along the
        // outline, which the renderer covers with the antialiased outline anyway.
        int inside = 0;
        for (int y = 0; y < 100; ++y) {
            for (int x = 0; x < 100; ++x) {
                inside += qt.pixel(x, y) != qRgb(255, 255, 255) ? 1 : 0;
                if (ours.pixel(x, y) == qt.pixel(x, y)) {
                    continue;
                }
                bool edge = false;
                for (const QPoint d : {QPoint(-1, 0), QPoint(1, 0), QPoint(0, -1), QPoint(0, 1)}) {
                    const QPoint n(std::clamp(x + d.x(), 0, 99), std::clamp(y + d.y(), 0, 99));
                    edge = edge || qt.pixel(n) != qt.pixel(x, y);
                }
                EXPECT_TRUE(edge) << c.what << " at " << x << "," << y;
            }
        }
        EXPECT_GT(inside, 20) << c.what;  // Qt drew something to compare with
    }
}

TEST(ImageFiller, OnlySolidBrushes) {
    QImage img(10, 10, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&img);
    EXPECT_TRUE(ImageFiller::forPainter(p, QBrush(Qt::red)));
    EXPECT_FALSE(ImageFiller::forPainter(p, QBrush(Qt::red, Qt::CrossPattern)));
    EXPECT_FALSE(ImageFiller::forPainter(p, QBrush(Qt::NoBrush)));
}

class RenderPaths : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    std::shared_ptr<MapLayer> layer(FixtureKind kind, const std::vector<std::string>& wkts,
                                    qint32 color, int style, qint32 outline) {
        std::vector<test::FixtureFeature> features;
        for (const std::string& w : wkts) {
            features.push_back({w, {"x"}});
        }
        const QString path = dir.filePath(QStringLiteral("l%1.shp").arg(counter++));
        EXPECT_EQ(writeShapefile(path, kind, {"NAME"}, features), "");
        auto l = std::make_shared<MapLayer>();
        EXPECT_TRUE(l->setDataFile(path)) << l->openError().message.toStdString();
        l->symbol().setColor(color);
        l->symbol().setStyle(style);
        l->symbol().setOutlineColor(outline);
        return l;
    }

    static QImage render(const std::vector<std::shared_ptr<MapLayer>>& layers,
                         const MapRect& extent, QSize size, int threads,
                         QImage::Format format = QImage::Format_ARGB32_Premultiplied) {
        QImage img(size, format);
        img.fill(Qt::transparent);
        QPainter p(&img);
        RenderOptions options;
        options.threads = threads;
        MapRenderer::render(p, Viewport(QSizeF(size), extent), makeSnapshot(layers), options);
        return img;
    }

    QTemporaryDir dir;
    int counter = 0;
};

TEST_F(RenderPaths, OverlappingFeaturesCoverTheOutlinesOfThoseBeforeThem) {
    // Two red squares with blue outlines, 1 km a pixel: the second (drawn later) covers the
    // first's right edge; the first's fill lies under the second's left edge.
    auto l =
        layer(FixtureKind::Polygons, {squareWkt(500, 500, 100000), squareWkt(50500, 20500, 100000)},
              0x0000ff, 0, 0xff0000);
    // Pixels written directly (feature by feature), and a format only the painter draws on
    // (batches through Qt).
    for (const QImage::Format format :
         {QImage::Format_ARGB32_Premultiplied, QImage::Format_RGB888}) {
        const QImage img = render({l}, {-50000, 250000, -50000, 250000}, {300, 300}, 1, format);
        // x = 100 km (the first square's right edge) inside the second, and x = 50 km (the
        // second's left edge) inside the first.
        EXPECT_EQ(img.pixelColor(150, 150), QColor(Qt::red)) << format;
        EXPECT_EQ(img.pixelColor(100, 150), QColor(Qt::blue)) << format;
        // Where the second square does not reach, the first's right edge shows.
        EXPECT_EQ(img.pixelColor(150, 240), QColor(Qt::blue)) << format;
    }
}

TEST_F(RenderPaths, FeaturesSmallerThanAPixelShowAsThePixelTheyLieIn) {
    // 1 km a pixel from (0, 0) at the top left: squares of 200 m.
    struct Dot {
        double xKm, yKm;  // the square's lower left corner
        int px, py;       // the pixel its centre lies in
    };
    const Dot dots[] = {{10.1, 89.1, 10, 10},
                        {10.5, 89.5, 10, 10},
                        {10.7, 89.3, 10, 10},
                        {40.3, 59.6, 40, 40},
                        {70.6, 19.2, 70, 80}};
    std::vector<std::string> wkts;
    for (const Dot& d : dots) {
        wkts.push_back(squareWkt(d.xKm * 1000, d.yKm * 1000, 200));
    }
    auto l = layer(FixtureKind::Polygons, wkts, 0x0000ff, 0, 0xff0000);
    // An opaque outline, and one at half opacity (a layer's symbol is opaque; the renderer's
    // dots take any colour).
    for (const QColor color : {QColor(Qt::blue), QColor(0, 0, 255, 128)}) {
        for (int threads : {1, 2}) {
            QImage img(100, 100, QImage::Format_ARGB32_Premultiplied);
            img.fill(Qt::white);
            {
                QPainter p(&img);
                p.setRenderHint(QPainter::Antialiasing);
                auto stroker = ImageStroker::forPainter(p, color, 1.0);
                ASSERT_TRUE(stroker);
                std::vector<QPointF> centres;
                for (const Dot& d : dots) {
                    centres.emplace_back(d.xKm + 0.1, 100.0 - d.yKm - 0.1);
                }
                stroker->drawDots(centres);
            }
            const QImage rendered = render({l}, {0, 100000, 0, 100000}, {100, 100}, threads);
            const QRgb one = img.pixel(40, 40);  // a pixel with one dot
            int marked = 0;
            for (int y = 0; y < 100; ++y) {
                for (int x = 0; x < 100; ++x) {
                    marked += img.pixel(x, y) != qRgb(255, 255, 255) ? 1 : 0;
                    // The renderer draws the same dots, in the outline colour.
                    if (color.alpha() == 255) {
                        EXPECT_EQ(rendered.pixel(x, y), img.pixel(x, y)) << x << "," << y;
                    }
                }
            }
            EXPECT_EQ(marked, 3) << "one pixel for the three that share one";
            for (const Dot& d : dots) {
                // Laid once, however many dots share the pixel.
                EXPECT_EQ(img.pixel(d.px, d.py), one) << d.xKm << "," << d.yKm;
            }
            EXPECT_NE(one, qRgb(255, 255, 255));
        }
    }
}

TEST_F(RenderPaths, BandsDrawTheFrameOnePainterDraws) {
    std::vector<std::string> areas;
    for (int i = 0; i < 40; ++i) {
        areas.push_back(squareWkt(i * 6100.0, i * 4700.0, 30000 + i * 500.0));
    }
    areas.push_back(
        "POLYGON((0 0,0 200000,250000 200000,250000 0,0 0),"
        "(50000 50000,200000 50000,200000 150000,50000 150000,50000 50000))");
    auto solid = layer(FixtureKind::Polygons, areas, 0x2080c0, 0, 0x000000);
    auto hatch =
        layer(FixtureKind::Polygons, {squareWkt(20000, 30000, 180000)}, 0x0000ff, 6, 0x00ff00);
    auto screen =
        layer(FixtureKind::Polygons, {squareWkt(60000, 10000, 90000)}, 0xff0000, 9, 0xff0000);
    auto lines =
        layer(FixtureKind::Lines,
              {"LINESTRING(0 0,250000 190000,10000 199000)", "LINESTRING(0 100000,250000 100300)"},
              0x00a000, 0, 0);
    const std::vector<std::shared_ptr<MapLayer>> layers{lines, screen, hatch, solid};
    const MapRect extent{-10000, 260000, -10000, 210000};
    const QImage one = render(layers, extent, {360, 420}, 1);
    for (int threads : {2, 3}) {
        const QImage banded = render(layers, extent, {360, 420}, threads);
        int differing = 0;
        for (int y = 0; y < one.height(); ++y) {
            for (int x = 0; x < one.width(); ++x) {
                const QColor a = one.pixelColor(x, y), b = banded.pixelColor(x, y);
                // Qt's stroker rounds the coverage of a line that crosses a band's edge a few
                // steps differently; a seam, a shifted hatch or a lost feature differs by far
                // more.
                const int tolerance = 8;
                if (std::abs(a.red() - b.red()) > tolerance ||
                    std::abs(a.green() - b.green()) > tolerance ||
                    std::abs(a.blue() - b.blue()) > tolerance ||
                    std::abs(a.alpha() - b.alpha()) > tolerance) {
                    ++differing;
                }
            }
        }
        EXPECT_EQ(differing, 0) << threads << " threads";
    }
}

// A rippled circle with a rippled hole, thousands of vertices, in metres around (0, 0).
std::vector<std::vector<QPointF>> rippledRings() {
    std::vector<std::vector<QPointF>> rings;
    for (const auto& [n, radius, amplitude, waves] :
         {std::tuple{20000, 90000.0, 4000.0, 60}, std::tuple{3000, 30000.0, 3000.0, 20}}) {
        std::vector<QPointF> r;
        for (int i = 0; i < n; ++i) {
            const double a = 2.0 * std::numbers::pi * i / n;
            const double rr = radius + amplitude * std::sin(waves * a);
            r.emplace_back(rr * std::cos(a), rr * std::sin(a));
        }
        rings.push_back(r);
    }
    return rings;
}

TEST_F(RenderPaths, SimplifiedRingsDrawTheFullOutlineWithinAPixel) {
    const auto rings = rippledRings();
    std::ostringstream wkt;
    wkt.precision(12);
    wkt << "POLYGON(";
    for (std::size_t k = 0; k < rings.size(); ++k) {
        wkt << (k > 0 ? ",(" : "(");
        for (const QPointF& p : rings[k]) {
            wkt << p.x() << ' ' << p.y() << ',';
        }
        wkt << rings[k][0].x() << ' ' << rings[k][0].y() << ')';
    }
    wkt << ')';
    auto l = layer(FixtureKind::Polygons, {wkt.str()}, 0x0000ff, 0, 0xff0000);
    // 1 km a pixel: the ripples are a few pixels high and the shell's vertices 28 m apart, so the
    // store draws from a simplified copy.
    const MapRect extent{-100000, 100000, -100000, 100000};
    const QSize size(200, 200);
    const Viewport viewport(QSizeF(size), extent);
    ASSERT_NE(l->store()->detailFor(viewport.mapUnitsPerPixel() / l->store()->frame().step),
              nullptr);
    // The same frame from the simplified rings and, with the levels turned off, from every
    // stored vertex: both must show the outline; the levels draw far fewer vertices.
    struct Drawn {
        QImage image;
        RenderStats stats;
    };
    auto draw = [&](bool detailLevels) {
        Drawn d{QImage(size, QImage::Format_ARGB32_Premultiplied), {}};
        d.image.fill(Qt::white);
        QPainter p(&d.image);
        RenderOptions options;
        options.threads = 1;
        options.detailLevels = detailLevels;
        d.stats = MapRenderer::render(p, viewport, makeSnapshot({l}), options);
        return d;
    };
    const Drawn simplified = draw(true);
    const Drawn stored = draw(false);
    EXPECT_LT(simplified.stats.vertices * 2, stored.stats.vertices);

    // Qt draws every vertex: the fill without antialiasing, a one-pixel antialiased outline.
    QImage full(size, QImage::Format_ARGB32_Premultiplied);
    full.fill(Qt::white);
    {
        QPainterPath path;
        path.setFillRule(Qt::OddEvenFill);
        for (const auto& r : rings) {
            path.moveTo(viewport.toPixel({r[0].x(), r[0].y()}));
            for (const QPointF& p : r) {
                path.lineTo(viewport.toPixel({p.x(), p.y()}));
            }
            path.closeSubpath();
        }
        QPainter p(&full);
        p.fillPath(path, Qt::red);
        p.setRenderHint(QPainter::Antialiasing);
        p.strokePath(path, QPen(Qt::blue, 1.0));
    }
    auto isFill = [](QColor c) { return c.red() > 200 && c.blue() < 60; };
    auto isOutside = [](QColor c) { return c.red() > 200 && c.green() > 200 && c.blue() > 200; };
    for (const Drawn* drawn : {&simplified, &stored}) {
        const QImage& ours = drawn->image;
        int fillAwayFromOutline = 0, compared = 0;
        for (int y = 2; y < size.height() - 2; ++y) {
            for (int x = 2; x < size.width() - 2; ++x) {
                const QColor ref = full.pixelColor(x, y);
                if (!isFill(ref) && !isOutside(ref)) {
                    continue;  // on the outline
                }
                // A pixel away from any outline pixel of the full drawing, both drawings agree.
                bool nearOutline = false;
                for (int dy = -1; dy <= 1 && !nearOutline; ++dy) {
                    for (int dx = -1; dx <= 1 && !nearOutline; ++dx) {
                        const QColor n = full.pixelColor(x + dx, y + dy);
                        nearOutline = !isFill(n) && !isOutside(n);
                    }
                }
                if (nearOutline) {
                    continue;
                }
                ++compared;
                const QColor got = ours.pixelColor(x, y);
                const bool same = isFill(ref) ? isFill(got) : isOutside(got);
                fillAwayFromOutline += same ? 0 : 1;
            }
        }
        EXPECT_GT(compared, 10000);
        EXPECT_EQ(fillAwayFromOutline, 0) << (drawn == &simplified ? "simplified" : "stored");
    }
}

}  // namespace
}  // namespace pelagon
