#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include "geo/AlbersProjection.h"
#include "render/MapDecorations.h"
#include "support/QStringPrinter.h"

namespace pelagon {
namespace {

const AlbersProjection kAlaska = *AlbersProjection::fromParameters(-154, 50, 55, 65);

TEST(Decorations, RoundLengths) {
    const std::vector<std::pair<double, double>> cases{
        {0.7, 0.5}, {1, 1},   {1.99, 1},      {2, 2},     {4.9, 2}, {5, 5}, {9.99, 5},
        {10, 10},   {37, 20}, {0.003, 0.002}, {250, 200}, {0, 0},   {-1, 0}};
    for (const auto& [limit, expected] : cases) {
        EXPECT_DOUBLE_EQ(roundLengthAtMost(limit), expected) << limit;
    }
}

TEST(Decorations, GraticuleSpacingIsTheFinestWithFewLinesEachWay) {
    struct Case {
        double latSpan, lonSpan;
        int minutes;
    };
    for (const Case& c :
         {Case{30, 100, 600}, Case{30, 60, 600}, Case{20, 35, 300}, Case{5, 8, 60}, Case{2, 3, 30},
          Case{0.5, 1, 10}, Case{0.2, 0.3, 5}, Case{0.05, 0.08, 1}, Case{0.001, 0.001, 1}}) {
        EXPECT_EQ(graticuleSpacing(c.latSpan, c.lonSpan), c.minutes)
            << c.latSpan << " x " << c.lonSpan;
    }
}

TEST(Decorations, Texts) {
    EXPECT_EQ(graticuleLabel(3420, true), QString::fromUtf8("57°N"));
    EXPECT_EQ(graticuleLabel(3450, true), QString::fromUtf8("57°30′N"));
    EXPECT_EQ(graticuleLabel(-30, true), QString::fromUtf8("0°30′S"));
    EXPECT_EQ(graticuleLabel(0, true), QString::fromUtf8("0°"));
    EXPECT_EQ(graticuleLabel(-9130, false), QString::fromUtf8("152°10′W"));
    EXPECT_EQ(graticuleLabel(10500, false), QString::fromUtf8("175°E"));
    EXPECT_EQ(graticuleLabel(10800, false), QString::fromUtf8("180°"));
    EXPECT_EQ(scaleBarText(20, QStringLiteral("nm")), QStringLiteral("20 nm"));
    EXPECT_EQ(scaleBarText(0.5, QStringLiteral("nm")), QStringLiteral("0.5 nm"));
    EXPECT_EQ(scaleBarText(2000, QStringLiteral("km")), QStringLiteral("2,000 km"));
    EXPECT_EQ(scaleBarText(0.002, QStringLiteral("km")), QStringLiteral("0.002 km"));
}

Viewport viewAround(double lon, double lat, double across, QSize size = {800, 600}) {
    double x = 0, y = 0;
    EXPECT_TRUE(kAlaska.LatLongToAlbers(lon, lat, x, y));
    const double h = across * size.height() / size.width();
    return Viewport(QSizeF(size), MapRect{x - across / 2, x + across / 2, y - h / 2, y + h / 2});
}

TEST(Decorations, ViewBounds) {
    // A 200 km view about 60°N on the central meridian.
    const auto b = viewBounds(viewAround(-154, 60, 200e3), kAlaska);
    ASSERT_TRUE(b);
    EXPECT_LT(b->latMin, 60);
    EXPECT_GT(b->latMax, 60);
    EXPECT_NEAR(b->latMax - b->latMin, 150e3 / 111e3, 0.1);
    EXPECT_NEAR(b->dLonMin, -b->dLonMax, 0.05);
    EXPECT_NEAR(b->dLonMax - b->dLonMin, 200e3 / (111e3 * 0.5), 0.1);
    // Across 180°: the longitudes are one range about the central meridian.
    const auto across = viewBounds(viewAround(179.5, 52, 300e3), kAlaska);
    ASSERT_TRUE(across);
    EXPECT_LT(across->dLonMin, 179.5 + 154 - 360 + 0.5);
    EXPECT_GT(across->dLonMax, -26.5);
    EXPECT_LT(across->dLonMax - across->dLonMin, 10);
    // The pole in the view: every longitude, up to 90°.
    const auto pole = viewBounds(viewAround(-154, 89, 1000e3), kAlaska);
    ASSERT_TRUE(pole);
    EXPECT_EQ(pole->latMax, 90);
    EXPECT_EQ(pole->dLonMin, -180);
    EXPECT_EQ(pole->dLonMax, 180);
    // Beyond the cone's apex nothing has a position.
    const Viewport beyond(QSizeF(100, 100),
                          MapRect{-1e3, 1e3, kAlaska.Rho0 + 1e6, kAlaska.Rho0 + 1e6 + 2e3});
    EXPECT_FALSE(viewBounds(beyond, kAlaska));
}

struct Drawn {
    QImage image;
    int dark(QRect area) const {
        int n = 0;
        for (int y = area.top(); y <= area.bottom(); ++y) {
            for (int x = area.left(); x <= area.right(); ++x) {
                n += qGray(image.pixel(x, y)) < 200 ? 1 : 0;
            }
        }
        return n;
    }
};

Drawn draw(const Viewport& view, const MapDecorations& d) {
    QImage image(view.size().toSize(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    drawMapDecorations(painter, view, d, 1.0);
    painter.end();
    return {image};
}

TEST(Decorations, ScaleBarSitsBottomLeftAndGraticuleCoversTheView) {
    const Viewport view = viewAround(-150, 58, 600e3);
    const QRect bottomLeft(0, 500, 300, 100), topRight(500, 0, 300, 300);
    MapDecorations bar{true, false, kAlaska};
    const Drawn withBar = draw(view, bar);
    EXPECT_GT(withBar.dark(bottomLeft), 100);
    EXPECT_EQ(withBar.dark(topRight), 0);

    MapDecorations grid{false, true, kAlaska};
    const Drawn withGrid = draw(view, grid);
    EXPECT_GT(withGrid.dark(topRight), 0) << "lines and labels reach every part of the view";
    // Labels along the left and bottom edges.
    EXPECT_GT(withGrid.dark(QRect(0, 0, 40, 600)), 50);
    EXPECT_GT(withGrid.dark(QRect(0, 580, 800, 20)), 50);

    // Nothing without a projection, and a view too small for the bar only loses the bar.
    EXPECT_EQ(draw(view, MapDecorations{true, true, std::nullopt}).dark(QRect(0, 0, 800, 600)), 0);
    const Viewport tiny = viewAround(-150, 58, 600e3, {40, 20});
    EXPECT_EQ(draw(tiny, bar).dark(QRect(0, 0, 40, 20)), 0);
}

}  // namespace
}  // namespace pelagon
