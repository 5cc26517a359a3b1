#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>

#include "geo/AlbersProjection.h"
#include "render/MapDecorations.h"
#include "render/MapExport.h"
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

// At most kMaxGraticuleLines each way, each limit exactly and one past; at least
// kMinGraticuleLines each way even where that gives more than the most the other way.
TEST(Decorations, GraticuleSpacingKeepsBetweenTwoAndEightLinesEachWay) {
    struct Case {
        GeoBounds bounds;
        int seconds;
    };
    const double lon0 = -154;
    for (const Case& c : {
             Case{{50, 57, -6, 1}, 3600},            // 8 parallels and 8 meridians of 1°
             Case{{50, 58, -6, 1}, 18000},           // 9 parallels of 1°: 5°, two each way
             Case{{56, 57, -11, 9}, 3600},           // 2 parallels of 1° and 21 meridians
             Case{{56.1, 57.9, -11, 9}, 1800},       // 1 parallel of 1°: 30′ gives three
             Case{{56.1, 56.9, -11, 9}, 600},        // 1 parallel of 30′: 10′
             Case{{20, 89, -180, 180}, 36000},       // a pole in view: 36 meridians of 10°
             Case{{57, 57.01, -0.01, 0}, 5},         // 36″ each way: 8 lines of 5″
             Case{{57.0001, 57.0009, -0.01, 0}, 1},  // 2.9″ tall: 1″
             Case{{57, 57.0002, -0.0002, 0}, 1},     // no spacing gives two: the finest
         }) {
        EXPECT_EQ(graticuleSpacing(c.bounds, lon0), c.seconds)
            << c.bounds.latMin << ".." << c.bounds.latMax << " x " << c.bounds.dLonMin << ".."
            << c.bounds.dLonMax;
    }
    EXPECT_EQ(graticuleCount({20, 90, -180, 180}, lon0, 36000).meridians, 36);
    EXPECT_EQ(graticuleCount({20, 90, -180, 180}, lon0, 36000).parallels, 7);  // the pole is none
}

TEST(Decorations, Texts) {
    EXPECT_EQ(graticuleLabel(205200, true), QString::fromUtf8("57°N"));
    EXPECT_EQ(graticuleLabel(207000, true), QString::fromUtf8("57°30′N"));
    EXPECT_EQ(graticuleLabel(-1800, true), QString::fromUtf8("0°30′S"));
    EXPECT_EQ(graticuleLabel(0, true), QString::fromUtf8("0°"));
    EXPECT_EQ(graticuleLabel(-547800, false), QString::fromUtf8("152°10′W"));
    EXPECT_EQ(graticuleLabel(630000, false), QString::fromUtf8("175°E"));
    EXPECT_EQ(graticuleLabel(648000, false), QString::fromUtf8("180°"));
    EXPECT_EQ(graticuleLabel(207015, true), QString::fromUtf8("57°30′15″N"));
    EXPECT_EQ(graticuleLabel(-547205, false), QString::fromUtf8("152°0′5″W"));
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

// A view centred on lon, lat, nm nautical miles across on the ground at the centre.
Viewport viewAcross(double lon, double lat, double nm, QSize size) {
    double x = 0, y = 0;
    EXPECT_TRUE(kAlaska.LatLongToAlbers(lon, lat, x, y));
    return viewAround(lon, lat, nm * 1852.0 * *parallelScale(kAlaska, {x, y}), size);
}

struct ZoomCase {
    const char* name;
    double lon, lat;
    QSize size;
};

class GraticuleZoom : public ::testing::TestWithParam<ZoomCase> {};

// Zooming in about a place down to views 0.1 nm wide (about 185 m; 1″ of latitude is about 31 m),
// with the scale bar as the viewer shows it by default: every view has two
// labelled parallels and meridians at least, and the spacing only ever falls. Small windows too,
// where a line that only cuts a corner has no room for its label.
TEST_P(GraticuleZoom, TwoLabelledLinesEachWayAndSpacingFallsAsOneZoomsIn) {
    const ZoomCase& c = GetParam();
    int previous = graticuleSpacings().front();
    for (const double nm :
         {3000.0, 2000.0, 1500.0, 1000.0, 800.0, 600.0, 450.0, 380.0, 340.0, 300.0, 250.0, 200.0,
          150.0,  100.0,  60.0,   40.0,   20.0,  10.0,  3.0,   1.0,   0.5,   0.2,   0.1}) {
        const Viewport view = viewAcross(c.lon, c.lat, nm, c.size);
        const GraticuleLayout layout =
            graticuleLayout(view, kAlaska, 1.0, scaleBarBox(view, kAlaska, 1.0));
        EXPECT_GE(layout.labelledParallels(), 2) << nm << " nm";
        EXPECT_GE(layout.labelledMeridians(), 2) << nm << " nm";
        EXPECT_LE(layout.spacing, previous) << nm << " nm";
        previous = layout.spacing;
    }
}

INSTANTIATE_TEST_SUITE_P(Places, GraticuleZoom,
                         ::testing::Values(ZoomCase{"Kodiak", -152.5, 57.6, {1000, 700}},
                                           ZoomCase{"KodiakWide", -152.5, 57.6, {1400, 500}},
                                           ZoomCase{"KodiakTall", -152.5, 57.6, {500, 900}},
                                           ZoomCase{"Dateline", 179.8, 52.0, {1000, 700}},
                                           ZoomCase{"BeringStrait", -168.0, 65.5, {800, 600}},
                                           ZoomCase{"ChukchiSmall", -163.1, 66.8, {300, 300}}),
                         [](const auto& info) { return std::string(info.param.name); });

// On screen (scale 1), on a saved view twice the screen's size and on a 600-dpi page: every
// label lies whole inside the view, off the scale bar's box, and apart from every other label,
// corners included.
TEST(Decorations, GraticuleLabelsKeepClearOfTheScaleBarAndOfEachOther) {
    struct Case {
        double scale;
        QSize size;
    };
    for (const Case& c : {Case{1, {1000, 700}}, Case{2, {2000, 1400}}, Case{6.25, {6000, 4000}}}) {
        for (const double nm : {2500.0, 900.0, 380.0, 300.0, 120.0, 30.0}) {
            for (const auto& [lon, lat] : {std::pair{-152.5, 57.6}, std::pair{-179.9, 55.0}}) {
                SCOPED_TRACE(testing::Message() << c.scale << " x, " << nm << " nm at " << lon);
                const Viewport view = viewAcross(lon, lat, nm, c.size);
                const std::optional<QRectF> bar = scaleBarBox(view, kAlaska, c.scale);
                ASSERT_TRUE(bar);
                const GraticuleLayout layout = graticuleLayout(view, kAlaska, c.scale, bar);
                EXPECT_GE(layout.labels.size(), 4u);
                const QRectF whole(QPointF(0, 0), view.size());
                for (std::size_t i = 0; i < layout.labels.size(); ++i) {
                    const QRectF box = layout.labels[i].box;
                    EXPECT_TRUE(whole.contains(box)) << layout.labels[i].text.toStdString();
                    EXPECT_FALSE(box.intersects(*bar)) << layout.labels[i].text.toStdString();
                    for (std::size_t j = 0; j < i; ++j) {
                        EXPECT_FALSE(box.intersects(layout.labels[j].box))
                            << layout.labels[i].text.toStdString() << " and "
                            << layout.labels[j].text.toStdString();
                    }
                }
            }
        }
    }
}

// In PDF and SVG every label is text one can search and copy, not outlines of letters.
TEST(Decorations, VectorOutputsKeepTheLabelsAsText) {
    const Viewport view = viewAcross(-152.5, 57.6, 380, {1000, 700});
    const MapDecorations decorations{true, true, kAlaska};
    QStringList texts;
    const ViewDrawer draw = [&](QPainter& painter, const QSizeF& surface) {
        const Viewport v(surface, view.extent());
        texts.clear();
        for (const GraticuleLabel& l :
             graticuleLayout(v, kAlaska, 1.0, scaleBarBox(v, kAlaska, 1.0)).labels) {
            texts << l.text;
        }
        drawMapDecorations(painter, v, decorations, 1.0);
    };
    const ExportedView svg = exportView(draw, QSize(1000, 700), ExportFormat::Svg, "T");
    ASSERT_GE(texts.size(), 4);
    const QString svgText = QString::fromUtf8(svg.bytes);
    for (const QString& text : texts) {
        EXPECT_TRUE(svgText.contains(">" + text + "<")) << text.toStdString();
    }
    const ExportedView pdf = exportView(draw, QSize(1000, 700), ExportFormat::Pdf, "T");
    QTemporaryDir dir;
    QFile file(dir.filePath("view.pdf"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(pdf.bytes);
    file.close();
    QProcess pdftotext;
    pdftotext.start("pdftotext", {file.fileName(), "-"});
    ASSERT_TRUE(pdftotext.waitForFinished(30000));
    const QString pdfText = QString::fromUtf8(pdftotext.readAllStandardOutput());
    for (const QString& text : texts) {
        EXPECT_TRUE(pdfText.contains(text))
            << text.toStdString() << " in " << pdfText.toStdString();
    }
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
