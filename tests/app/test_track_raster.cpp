// Lines one pixel wide drawn by LineRaster: where Qt's pen would draw them, the top owner kept
// whatever tiles are skipped, and tracks drawn with it the last vessel on top.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QPen>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <random>
#include <span>
#include <vector>

#include "app/PositionsOverlay.h"
#include "app/TrackLines.h"
#include "app/TrackPicture.h"
#include "app/TrackRaster.h"
#include "query/PositionSet.h"
#include "render/Viewport.h"

using namespace pelagon;

namespace {

constexpr int kWidth = 400;
constexpr int kHeight = 300;

struct QtLineCase {
    const char* name;
    QLineF line;
};

// Every pixel one draws lies within a pixel of one the other draws.
bool withinAPixel(const std::vector<QPoint>& from, const std::vector<QPoint>& to) {
    return std::all_of(from.begin(), from.end(), [&](QPoint p) {
        return std::any_of(to.begin(), to.end(), [&](QPoint q) {
            return std::abs(p.x() - q.x()) <= 1 && std::abs(p.y() - q.y()) <= 1;
        });
    });
}

// A line's pixels lie where Qt's one-pixel aliased pen puts them, to within a pixel, at any
// slope and in either direction, cut at the frame's edges.
TEST(LineRaster, DrawsALineWithinAPixelOfQtsPen) {
    const QtLineCase cases[] = {
        {"level", {10.5, 20.5, 390.5, 20.5}},
        {"upright", {200.5, 290.5, 200.5, 3.5}},
        {"diagonal", {0, 0, 300, 300}},
        {"shallow, between pixels", {12.3, 40.8, 371.6, 97.2}},
        {"steep, backwards", {250.7, 280.1, 231.2, 9.9}},
        {"short", {100.2, 100.7, 103.9, 101.1}},
        {"across the frame", {-500, -20, 900, 330}},
        {"along the last row", {-10, 299.5, 410, 299.5}},
        {"along the last column", {399.5, -10, 399.5, 310}},
        {"just past the last row", {-10, 300.5, 410, 300.5}},
        {"just past the first column", {-0.5, -10, -0.5, 310}},
    };
    for (const QtLineCase& c : cases) {
        SCOPED_TRACE(c.name);
        QImage image(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        {
            QPainter painter(&image);
            QPen pen(Qt::black, 1);
            pen.setCosmetic(true);
            painter.setPen(pen);
            painter.drawLine(c.line);
        }
        LineRaster raster(kWidth, 0, kHeight);
        raster.draw(c.line.p1(), c.line.p2(), 1);
        std::vector<QPoint> qt;
        std::vector<QPoint> ours;
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                if (qAlpha(image.pixel(x, y)) != 0) {
                    qt.emplace_back(x, y);
                }
                if (raster.at(x, y) != 0) {
                    ours.emplace_back(x, y);
                }
            }
        }
        EXPECT_EQ(ours.empty(), qt.empty());
        EXPECT_TRUE(withinAPixel(ours, qt));
        EXPECT_TRUE(withinAPixel(qt, ours));
    }
}

struct BandCase {
    int top;
    int bottom;
};

// Many lines, most of them within the left half, then random ones: each pixel of a band keeps
// the first line drawn over it, the same as drawing every line whole on its own and keeping the
// first; and tiles and blocks wholly drawn were crossed without looking at their pixels.
TEST(LineRaster, KeepsTheFirstOwnerWhateverItSkips) {
    std::mt19937 random(7);
    std::uniform_real_distribution<double> x(-20, kWidth + 20), leftHalf(0, 200),
        y(-20, kHeight + 20);
    struct Owned {
        QLineF line;
        std::uint16_t owner;
    };
    std::vector<Owned> lines;
    for (int i = 0; i < 6000; ++i) {
        lines.push_back({QLineF(leftHalf(random), -10, leftHalf(random), kHeight + 10),
                         static_cast<std::uint16_t>(1 + i / 1000)});
    }
    for (int i = 0; i < 400; ++i) {
        lines.push_back({QLineF(x(random), y(random), x(random), y(random)),
                         static_cast<std::uint16_t>(7 + i / 100)});
    }
    // Each line alone, the first kept.
    std::vector<std::uint16_t> expected(static_cast<std::size_t>(kWidth) * kHeight, 0);
    std::int64_t alonePixels = 0;
    for (const Owned& o : lines) {
        LineRaster alone(kWidth, 0, kHeight);
        alone.draw(o.line.p1(), o.line.p2(), o.owner);
        alonePixels += alone.visited();
        for (int py = 0; py < kHeight; ++py) {
            for (int px = 0; px < kWidth; ++px) {
                std::uint16_t& e = expected[static_cast<std::size_t>(py) * kWidth + px];
                if (e == 0) {
                    e = alone.at(px, py);
                }
            }
        }
    }
    // The whole frame, bands that begin and end inside blocks, and a band of one row.
    const BandCase bands[] = {{0, kHeight}, {100, 260}, {299, 300}};
    for (const BandCase& band : bands) {
        SCOPED_TRACE(band.top);
        LineRaster raster(kWidth, band.top, band.bottom);
        for (const Owned& o : lines) {
            raster.draw(o.line.p1(), o.line.p2(), o.owner);
        }
        for (int py = band.top; py < band.bottom; ++py) {
            for (int px = 0; px < kWidth; ++px) {
                ASSERT_EQ(raster.at(px, py), expected[static_cast<std::size_t>(py) * kWidth + px])
                    << px << "," << py;
            }
        }
        if (band.bottom - band.top == kHeight) {
            EXPECT_LT(raster.visited(), alonePixels / 2);
        }
    }
}

// A band is full when its last pixel is drawn, not one before: tiles and blocks cut by the
// band's edges count only their pixels inside it.
TEST(LineRaster, IsFullOnceEveryPixelIsDrawn) {
    constexpr int kSide = 20;  // a whole tile and part of one, in one block
    for (const int rows : {kSide - 1, kSide}) {
        LineRaster raster(kSide, 40, 40 + kSide);
        for (int r = 0; r < rows; ++r) {
            raster.draw(QPointF(0, 40.5 + r), QPointF(kSide, 40.5 + r), 1);
        }
        EXPECT_EQ(raster.full(), rows == kSide) << rows;
    }
}

struct AcrossCase {
    const char* name;
    double y0;
    double y1;
    double from;  // inf where the rows hold none of the polygon
    double to;
};

// The octagon 10 <= x, y <= 20, x + y <= 35, -8 <= x - y <= 8 between rows through its corners,
// touching it or a hair past.
TEST(LineRaster, ReachAcrossRowsToTheEdge) {
    const LineRaster::Reach reach{
        {{10, 10}, {18, 10}, {20, 12}, {20, 15}, {15, 20}, {12, 20}, {10, 18}}};
    const AcrossCase cases[] = {
        {"through the middle", 14, 16, 10, 20},
        {"one row through slanted edges", 19, 19, 11, 16},
        {"touching the top", 20, 25, 12, 15},
        {"a hair past the top", 20.001, 25, HUGE_VAL, -HUGE_VAL},
        {"touching the bottom", 5, 10, 10, 18},
        {"above every corner, across no edge", 0, 9.999, HUGE_VAL, -HUGE_VAL},
        {"holding the whole", 0, 30, 10, 20},
    };
    for (const AcrossCase& c : cases) {
        SCOPED_TRACE(c.name);
        const auto [from, to] = reach.across(c.y0, c.y1);
        EXPECT_DOUBLE_EQ(from, c.from);
        EXPECT_DOUBLE_EQ(to, c.to);
    }
    EXPECT_EQ(LineRaster::Reach{}.across(0, 1), std::pair(-HUGE_VAL, HUGE_VAL));
}

// Random lines within a diamond of the frame, and along its edges: closing what lies beyond their
// reach leaves every pixel a line draws as it was, takes only pixels no line draws, and takes
// most of the corners.
TEST(LineRaster, ClosesOnlyWhatNoLineReaches) {
    std::mt19937 random(9);
    std::uniform_real_distribution<double> u(-1, 1);
    std::vector<QLineF> lines;
    const LineRaster::Reach reach{{{10, 150}, {200, 10}, {390, 150}, {200, 290}}};
    const auto point = [&] {
        const double a = u(random);
        const double b = u(random) * (1 - std::abs(a));
        return QPointF(200 + 190 * a, 150 + 140 * b);
    };
    for (int i = 0; i < 3000; ++i) {
        lines.emplace_back(point(), point());
    }
    // Ends on the edges, nearest where no line reaches: along an edge, or across a corner.
    const auto onEdge = [&](std::size_t edge) {
        const QPointF& from = reach.corners[edge % 4];
        const QPointF& to = reach.corners[(edge + 1) % 4];
        return from + (to - from) * (u(random) + 1) / 2;
    };
    for (std::size_t i = 0; i < 400; ++i) {
        lines.emplace_back(onEdge(i), onEdge(i + i / 200));
    }
    for (const BandCase& band : {BandCase{0, kHeight}, BandCase{100, 260}}) {
        SCOPED_TRACE(band.top);
        LineRaster open(kWidth, band.top, band.bottom);
        LineRaster closed(kWidth, band.top, band.bottom);
        closed.closeOutside(reach);
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const auto owner = static_cast<std::uint16_t>(1 + i / 500);
            open.draw(lines[i].p1(), lines[i].p2(), owner);
            closed.draw(lines[i].p1(), lines[i].p2(), owner);
        }
        int taken = 0;
        int undrawn = 0;
        for (int py = band.top; py < band.bottom; ++py) {
            for (int px = 0; px < kWidth; ++px) {
                undrawn += open.at(px, py) == 0 ? 1 : 0;
                if (closed.at(px, py) == LineRaster::kOutside) {
                    ASSERT_EQ(open.at(px, py), 0) << px << "," << py;
                    ++taken;
                } else {
                    ASSERT_EQ(closed.at(px, py), open.at(px, py)) << px << "," << py;
                }
            }
        }
        // Most of what no line draws: the corners beyond the diamond.
        EXPECT_GT(taken, undrawn * 2 / 3) << taken << " of " << undrawn;
    }
}

// Pixels within a pixel of the reach stay open: rows 0-5 of a reach of y <= 4 must all be drawn
// before the band is full, not one row fewer.
TEST(LineRaster, IsFullOnceEveryReachablePixelIsDrawn) {
    constexpr int kSide = 20;
    const LineRaster::Reach reach{{{0, 0}, {kSide, 0}, {kSide, 4}, {0, 4}}};
    for (const int rows : {5, 6}) {
        LineRaster raster(kSide, 0, kSide);
        raster.closeOutside(reach);
        for (int r = 0; r < rows; ++r) {
            raster.draw(QPointF(0, 0.5 + r), QPointF(kSide, 0.5 + r), 1);
        }
        EXPECT_EQ(raster.full(), rows == 6) << rows;
    }
}

// Tracks of many segments drawn by the raster: the last vessel on top, in its colour, in every
// band of the frame.
TEST(TrackPictureTest, ManySegmentsAreDrawnTheLastVesselOnTop) {
    auto set = std::make_shared<PositionSet>();
    set->vessels = QStringList{"level", "upright"};
    set->tracks.resize(2);
    constexpr int kSegments = 20000;  // far past what is antialiased
    for (int i = 0; i <= kSegments; ++i) {
        for (int v = 0; v < 2; ++v) {
            PositionSet::Row row;
            row.placed = true;
            row.vesselIndex = v;
            // Back and forth along y = 100.5 (x 10-390) and x = 100.5 (y 5-295) of the map.
            row.xy = v == 0 ? MapPoint{i % 2 == 0 ? 10.0 : 390.0, 100.5}
                            : MapPoint{100.5, i % 2 == 0 ? 5.0 : 295.0};
            set->tracks[static_cast<std::size_t>(v)].push_back(static_cast<int>(set->rows.size()));
            set->rows.push_back(row);
        }
    }
    const Viewport viewport(QSizeF(kWidth, kHeight), {0, kWidth, 0, kHeight});
    const TrackPicture picture({{set, 0, nullptr}});
    QImage image(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    ASSERT_TRUE(picture.draw(painter, viewport, nullptr));
    painter.end();
    const auto pixelAt = [&](double mx, double my) {
        const QPointF p = viewport.toPixel(MapPoint{mx, my});
        return image.pixel(static_cast<int>(std::floor(p.x())),
                           static_cast<int>(std::floor(p.y())));
    };
    const QRgb level = PositionsOverlay::vesselColour(0).rgba();
    const QRgb upright = PositionsOverlay::vesselColour(1).rgba();
    EXPECT_EQ(pixelAt(100.5, 100.5), upright);  // where they cross
    EXPECT_EQ(pixelAt(300.5, 100.5), level);
    EXPECT_EQ(pixelAt(100.5, 20.5), upright);
    EXPECT_EQ(pixelAt(100.5, 280.5), upright);
    EXPECT_EQ(qAlpha(pixelAt(300.5, 20.5)), 0);
}

// Points stamped by threads into bands of the frame give the pixels one painter stamping them
// in turn gives (a clip, even the whole frame, keeps to the one painter), with points across
// the bands' edges and the frame's.
TEST(TrackPictureTest, PointsStampedInBandsAreThoseStampedInTurn) {
    auto set = std::make_shared<PositionSet>();
    set->vessels = QStringList{"a", "b", "c"};
    set->tracks.resize(3);
    std::mt19937 random(11);
    std::uniform_real_distribution<double> x(-10, kWidth + 10), y(-10, kHeight + 10);
    for (int i = 0; i < 3000; ++i) {
        PositionSet::Row row;
        row.placed = true;
        row.vesselIndex = i % 3;
        row.xy = MapPoint{x(random), y(random)};
        set->tracks[static_cast<std::size_t>(i % 3)].push_back(static_cast<int>(set->rows.size()));
        set->rows.push_back(row);
    }
    const Viewport viewport(QSizeF(kWidth, kHeight), {0, kWidth, 0, kHeight});
    const TrackPicture picture({{set, 0, nullptr}});
    const auto drawn = [&](bool clipped) {
        QImage image(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::white);
        QPainter painter(&image);
        if (clipped) {
            painter.setClipRect(image.rect());
        }
        EXPECT_TRUE(picture.draw(painter, viewport, nullptr));
        return image;
    };
    EXPECT_TRUE(drawn(false) == drawn(true));
}

struct HullCase {
    const char* name;
    std::vector<MapPoint> xy;
    std::size_t corners;
};

// The hull lines are drawn within: every position inside it, its corners positions, points
// inside or along its edges and places not a number no corners of it.
TEST(TrackPictureTest, TheHullHoldsEveryPosition) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const HullCase cases[] = {
        {"none", {}, 0},
        {"one", {{5, 5}}, 1},
        {"a square, points inside and on its edges",
         {{5, 5}, {0, 0}, {5, 0}, {10, 0}, {10, 10}, {3, 7}, {0, 10}, {0, 5}},
         4},
        {"a fan of many, one not a number",
         [&] {
             std::vector<MapPoint> fan{{nan, 3}};
             for (int i = 0; i <= 2000; ++i) {
                 const double a = 0.5 + i * 0.001;  // radians
                 const double r = 100 + i % 7;
                 fan.push_back({r * std::cos(a), r * std::sin(a)});
             }
             fan.push_back({0, 0});
             return fan;
         }(),
         0},
    };
    for (const HullCase& c : cases) {
        SCOPED_TRACE(c.name);
        PositionSet set;
        set.tracks.resize(1);
        for (const MapPoint& p : c.xy) {
            PositionSet::Row row;
            row.placed = std::isfinite(p.x);
            row.xy = p;
            set.tracks[0].push_back(static_cast<int>(set.rows.size()));
            set.rows.push_back(row);
        }
        const std::vector<MapPoint> hull = TrackPicture::Prepared::of(set)->hull;
        if (c.corners != 0) {
            EXPECT_EQ(hull.size(), c.corners);
        }
        LineRaster::Reach reach;
        for (const MapPoint& corner : hull) {
            EXPECT_NE(std::find(c.xy.begin(), c.xy.end(), corner), c.xy.end());
            reach.corners.emplace_back(corner.x, corner.y);
        }
        for (const MapPoint& p : c.xy) {
            if (std::isfinite(p.x)) {
                const auto [from, to] = reach.across(p.y, p.y);
                EXPECT_TRUE(from <= p.x + 1e-9 && p.x - 1e-9 <= to) << p.x << "," << p.y;
            }
        }
    }
}

// Lines in the lower rows of the frame only: the bands share the rows they reach, the first row
// and the last drawn as in a frame the lines fill.
TEST(LineRaster, BandsCoverTheRowsTheLinesReach) {
    track::VesselLines vessel;
    vessel.colour = Qt::red;
    for (int i = 0; i < 20000; ++i) {  // far past what is antialiased
        vessel.lines.emplace_back(QPointF(10, 250.5), QPointF(390, 250.5));
        vessel.lines.emplace_back(QPointF(200.5, 140), QPointF(200.5, 295));
    }
    const LineRaster::Reach reach{{{10, 140}, {390, 140}, {390, 295}, {10, 295}}};
    QImage image(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    ASSERT_TRUE(track::rasterise(painter, {vessel}, reach, nullptr, nullptr));
    painter.end();
    for (const QPoint p : {QPoint(300, 250), QPoint(200, 140), QPoint(200, 294)}) {
        EXPECT_EQ(image.pixel(p), QColor(Qt::red).rgba()) << p.x() << "," << p.y();
    }
    EXPECT_EQ(qAlpha(image.pixel(200, 120)), 0);
}

}  // namespace

namespace {

QImage disc(QColor colour, int side) {
    QImage sprite(side, side, QImage::Format_ARGB32_Premultiplied);
    sprite.fill(Qt::transparent);
    QPainter p(&sprite);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawEllipse(QRectF(1, 1, side - 2, side - 2));
    return sprite;
}

// Sprites stamped one over another, a few thousand over a small frame and across its edges, many
// at corners where others were stamped before: the picture of those that show is the picture of
// all of them, and most do not show.
TEST(SpriteCover, LeavesOutOnlyWhatIsWhollyCovered) {
    constexpr int kFrameW = 130;  // past two words of bits a row
    constexpr int kFrameH = 90;
    const QImage sprites[] = {disc(Qt::red, 10), disc(Qt::blue, 14), disc(Qt::green, 64)};
    std::mt19937 random(11);
    std::uniform_int_distribution<int> x(-35, kFrameW / 2 + 2), y(-35, kFrameH / 2 + 2), kind(0, 9);
    struct Stamp {
        int sprite;
        QPoint at;
    };
    std::vector<Stamp> stamps;
    for (int i = 0; i < 4000; ++i) {
        const int k = kind(random);
        stamps.push_back({k == 0 ? 2 : k % 2, QPoint(2 * x(random), 2 * y(random))});
    }
    const auto picture = [&](const std::vector<Stamp>& drawn) {
        QImage image(kFrameW, kFrameH, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        for (const Stamp& s : drawn) {
            painter.drawImage(s.at, sprites[s.sprite]);
        }
        painter.end();
        return image;
    };
    SpriteCover cover(kFrameW, kFrameH);
    const int shapes[] = {cover.add(SpriteCover::Shape::of(sprites[0])),
                          cover.add(SpriteCover::Shape::of(sprites[1])),
                          cover.add(SpriteCover::Shape::of(sprites[2]))};
    std::vector<Stamp> shown;
    for (auto s = stamps.rbegin(); s != stamps.rend(); ++s) {
        if (cover.show(shapes[s->sprite], s->at.x(), s->at.y())) {
            shown.push_back(*s);
        }
    }
    std::reverse(shown.begin(), shown.end());
    EXPECT_EQ(picture(shown), picture(stamps));
    EXPECT_LT(shown.size(), stamps.size() / 4);
    // The same sprite twice at one corner: the soft edge of the lower one still shows.
    SpriteCover twice(kFrameW, kFrameH);
    const int small = twice.add(SpriteCover::Shape::of(sprites[0]));
    EXPECT_TRUE(twice.show(small, 6, 6));
    EXPECT_TRUE(twice.show(small, 6, 6));
}

// Random lines over a frame whose left two thirds lie under a grid of points' opaque middles:
// drawn with what the points cover left out, then the points stamped over them, the picture is
// the same as with every line drawn, and lines were left out.
TEST(LineRaster, LinesUnderThePointsAreLeftOutAndNothingChanges) {
    std::mt19937 random(5);
    std::uniform_real_distribution<double> x(-20, kWidth + 20), y(-20, kHeight + 20);
    std::vector<track::VesselLines> vessels(3);
    for (std::size_t v = 0; v < vessels.size(); ++v) {
        vessels[v].colour = PositionsOverlay::vesselColour(static_cast<int>(v));
        for (int i = 0; i < 10000; ++i) {
            vessels[v].lines.emplace_back(QPointF(x(random), y(random)),
                                          QPointF(x(random), y(random)));
        }
    }
    const QImage sprite = disc(Qt::darkGreen, 9);
    std::vector<QPoint> corners;
    for (int cy = -4; cy < kHeight; cy += 4) {
        for (int cx = -4; cx < kWidth * 2 / 3; cx += 4) {
            corners.emplace_back(cx, cy);
        }
    }
    SpriteCover cover(kWidth, kHeight);
    const int shape = cover.add(SpriteCover::Shape::of(sprite));
    for (auto c = corners.rbegin(); c != corners.rend(); ++c) {
        cover.show(shape, c->x(), c->y());
    }
    const auto picture = [&](const SpriteCover* over) {
        QImage image(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::white);
        QPainter painter(&image);
        EXPECT_TRUE(track::rasterise(painter, vessels, LineRaster::Reach{}, over, nullptr));
        const QImage lines = image.copy();
        for (const QPoint c : corners) {
            painter.drawImage(c, sprite);
        }
        return std::pair{lines, image};
    };
    const auto [everyLine, withEveryLine] = picture(nullptr);
    const auto [shownLines, withShownLines] = picture(&cover);
    EXPECT_TRUE(withShownLines == withEveryLine);
    EXPECT_FALSE(shownLines == everyLine);
}

// The bands' lines are sorted out in one loop of their own: it keeps exactly the lines mayDraw
// keeps, at the band's edges (a box grown by a pixel reaching just into it, or just short) and
// scaled to device pixels.
TEST(LineRaster, SortsOutTheLinesMayDrawKeeps) {
    LineRaster band(kWidth, 100, 260);
    band.closeOutside(LineRaster::Reach{{{10, 150}, {200, 10}, {390, 150}, {200, 290}}});
    std::mt19937 random(3);
    std::uniform_real_distribution<double> x(-30, kWidth + 30), y(40, 320);
    std::vector<PixelLine> lines{
        {QPointF(kWidth + 1, 150), QPointF(kWidth + 5, 150)},     // box from kWidth: out
        {QPointF(kWidth + 0.99, 150), QPointF(kWidth + 5, 150)},  // just into the band
        {QPointF(-5, 150), QPointF(-1, 150)},                     // box to 0: in
        {QPointF(-5, 150), QPointF(-1.01, 150)},                  // just short
        {QPointF(200, 98), QPointF(220, 99)},                     // box to row 100: in
        {QPointF(200, 98), QPointF(220, 98.99)},                  // just short
        {QPointF(200, 261), QPointF(220, 262)},                   // from row 260: out
        {QPointF(200, 260.99), QPointF(220, 262)},                // just into the last row
    };
    for (int i = 0; i < 2000; ++i) {
        lines.emplace_back(QPointF(x(random), y(random)), QPointF(x(random), y(random)));
    }
    for (const double ratio : {1.0, 0.5}) {
        SCOPED_TRACE(ratio);
        std::vector<PixelLine> expected;
        for (const PixelLine& line : lines) {
            if (band.mayDraw(line.p1() * ratio, line.p2() * ratio)) {
                expected.emplace_back(line.p1() * ratio, line.p2() * ratio);
            }
        }
        std::vector<PixelLine> kept;
        const std::span<const PixelLine> all(lines);
        band.keepThoseThatMayDraw(all.first(8), ratio, kept);
        band.keepThoseThatMayDraw(all.subspan(8), ratio, kept);
        EXPECT_EQ(kept, expected);
        EXPECT_GT(expected.size(), lines.size() / 4);
        EXPECT_LT(expected.size(), lines.size());
    }
}

// A position's point goes where its sprite's middle lies nearest it: the sprite's corner is
// rounded half away from zero. Points on the view's edge (with its margin) are kept, those a
// hair beyond it, or not numbers, are not; plain and ringed ones go to their own lists, in order.
TEST(TrackPictureTest, PointsArePlacedOnTheNearestCornerInsideTheView) {
    const QRectF visible(0, 0, 100, 50);
    // Sprites of 10 and 14 pixels: corners half of that up and to the left.
    struct Case {
        double x;
        double y;
        bool ringed;
        std::optional<QPoint> corner;
    };
    const double nan = qQNaN();
    const std::vector<Case> cases{
        {0, 0, false, QPoint(-5, -5)},
        {-1e-9, 10, false, std::nullopt},
        {100, 50, false, QPoint(95, 45)},
        {100.000001, 10, false, std::nullopt},
        {10, 50.000001, false, std::nullopt},
        {2.5, 7.5, false, QPoint(-3, 3)},  // -2.5 and 2.5: away from zero
        {4.5, 5.49, false, QPoint(-1, 0)},
        {9.5, 6.5, true, QPoint(3, -1)},  // 2.5 and -0.5
        {nan, 10, true, std::nullopt},
        {10, HUGE_VAL, false, std::nullopt},
    };
    // The cases come last, after points beyond the view: alone, all in the first chunk of
    // 1,024 points, or the last of them in a chunk of its own (1,025).
    for (const std::size_t count : {cases.size(), std::size_t{1024}, std::size_t{1025}}) {
        std::vector<double> xs(count - cases.size(), -50.0);
        std::vector<double> ys(xs.size(), 10.0);
        std::vector<std::uint8_t> ringed(xs.size(), 0);
        std::vector<QPoint> plain;
        std::vector<QPoint> rings;
        for (const Case& c : cases) {
            xs.push_back(c.x);
            ys.push_back(c.y);
            ringed.push_back(c.ringed ? 1 : 0);
            if (c.corner) {
                (c.ringed ? rings : plain).push_back(*c.corner);
            }
        }
        SCOPED_TRACE(xs.size());
        track::VesselPoints out;
        track::placePoints(xs.data(), ys.data(), ringed.data(), xs.size(), visible, true, 1.0, out);
        EXPECT_EQ(out.plainCorners, plain);
        EXPECT_EQ(out.ringedCorners, rings);
    }
}

}  // namespace
