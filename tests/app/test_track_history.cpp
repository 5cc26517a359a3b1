// The pale past beneath the trails, kept on a layer from picture to picture.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <vector>

#include "app/TrackPicture.h"
#include "query/PositionSet.h"
#include "render/Viewport.h"

namespace pelagon {
namespace {

constexpr qint64 kHour = 3'600'000;

QImage drawn(const TrackPicture& picture, const Viewport& viewport) {
    QImage image(viewport.size().toSize(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    EXPECT_TRUE(picture.draw(painter, viewport, nullptr));
    return image;
}

// The largest difference of a channel between two images of the same size.
int largestDifference(const QImage& a, const QImage& b) {
    int largest = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            largest = std::max({largest, std::abs(qRed(p) - qRed(q)),
                                std::abs(qGreen(p) - qGreen(q)), std::abs(qBlue(p) - qBlue(q))});
        }
    }
    return largest;
}

struct Step {
    const char* name;
    qint64 hours;  // the time cut, from the first position
    bool zoomed;
};

// While the view stays and the trail only moves on, a picture adds to the layer the last one
// left; whether it did or drew the layer anew, it shows what a picture drawn afresh shows, and
// the pale lines of a picture without a kept layer.
TEST(TrackHistory, PicturesOnTheKeptLayerAreThoseDrawnAfresh) {
    constexpr qint64 t0 = 1'700'000'000'000;
    auto set = std::make_shared<PositionSet>();
    set->vessels = QStringList{"A"};
    set->tracks.resize(1);
    for (int i = 0; i < 60; ++i) {
        PositionSet::Row row;
        row.placed = true;
        row.xy = {20.0 + (i * 37) % 360, 20.0 + (i * 53) % 260};
        row.timeMs = t0 + i * kHour;
        set->tracks[0].push_back(i);
        set->rows.push_back(row);
    }
    const Viewport whole(QSizeF(400, 300), {0, 400, 0, 300});
    const Viewport zoomed(QSizeF(400, 300), {100, 300, 75, 225});
    const Step steps[] = {
        {"first picture", 20, false},   {"trail moved on", 30, false},
        {"by one position", 31, false}, {"time gone back", 25, false},
        {"view changed", 40, true},     {"moved on in the new view", 45, true},
    };
    const auto shared = std::make_shared<TrackPicture::History>();
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        const Viewport& viewport = step.zoomed ? zoomed : whole;
        const TrackPicture::TimeCut cut{t0 + step.hours * kHour, 3 * kHour};
        const QImage kept = drawn(TrackPicture({{set, 0, nullptr}}, cut, shared), viewport);
        const QImage afresh =
            drawn(TrackPicture({{set, 0, nullptr}}, cut, std::make_shared<TrackPicture::History>()),
                  viewport);
        EXPECT_EQ(kept, afresh);
        EXPECT_LE(largestDifference(kept, drawn(TrackPicture({{set, 0, nullptr}}, cut), viewport)),
                  2);
    }
}

}  // namespace
}  // namespace pelagon
