#include <QImage>
#include <QPaintEngine>
#include <QPainter>
#include <QPen>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numeric>
#include <optional>
#include <thread>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "app/PositionsOverlay.h"
#include "app/TrackLines.h"
#include "app/TrackRaster.h"

namespace pelagon::track {

namespace {

// A point as it is drawn, made once per colour and stamped where each position lies: much
// cheaper than stroking a round dot per position.
int spriteSide(bool ringed, double scale) {
    const double outer = (ringed ? kTrackRingPx : kTrackPointPx + 1.5) * scale;
    return static_cast<int>(std::ceil(outer)) + 2;
}

QImage pointSprite(const QColor& colour, bool ringed, double scale) {
    const int side = spriteSide(ringed, scale);
    QImage sprite(side, side, QImage::Format_ARGB32_Premultiplied);
    sprite.fill(Qt::transparent);
    QPainter p(&sprite);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(Qt::NoPen);
    const QPointF centre(side / 2.0, side / 2.0);
    const auto disc = [&](const QColor& c, double diameter) {
        p.setBrush(c);
        p.drawEllipse(centre, diameter * scale / 2, diameter * scale / 2);
    };
    if (ringed) {
        disc(PositionsOverlay::kRingColour, kTrackRingPx);
        disc(Qt::white, kTrackRingPx - 3);
    }
    disc(colour.darker(160), kTrackPointPx + 1.5);
    disc(colour, kTrackPointPx);
    return sprite;
}

// Rows [top, bottom) of a frame, painted on an image of their own.
struct Band {
    int top;
    int bottom;
};

// Points of one vessel, plain first, then ringed. On raster surfaces, sprites on whole device
// pixels, the painter's transform a translation at most; in a band, only those that reach into
// its rows, moved up to its top.
bool drawVessel(QPainter& painter, const VesselPoints& points, double scale, bool raster,
                std::optional<Band> band, const std::atomic<bool>* cancel) {
    const QColor& colour = points.colour;
    const QPolygonF& plain = points.plain;
    const QPolygonF& ringed = points.ringed;
    if (raster) {
        for (const auto& [corners, isRinged] :
             {std::pair{&points.plainCorners, false}, std::pair{&points.ringedCorners, true}}) {
            if (corners->empty()) {
                continue;
            }
            const QImage& sprite = isRinged ? points.ringedSprite : points.plainSprite;
            const int side = sprite.height();
            for (std::size_t i = 0; i < corners->size(); ++i) {
                if (i % kCancelEvery == kCancelEvery - 1 && cancelled(cancel)) {
                    return false;
                }
                const QPoint at = (*corners)[i];
                if (!band) {
                    painter.drawImage(at, sprite);
                } else if (at.y() < band->bottom && at.y() + side > band->top) {
                    painter.drawImage(QPoint(at.x(), at.y() - band->top), sprite);
                }
            }
        }
        return true;
    }
    // Printers and vector files: round dots drawn as shapes.
    QPen pen(Qt::SolidPattern, 1, Qt::SolidLine, Qt::RoundCap);
    if (!ringed.isEmpty()) {
        pen.setColor(PositionsOverlay::kRingColour);
        pen.setWidthF(kTrackRingPx * scale);
        painter.setPen(pen);
        painter.drawPoints(ringed);
        pen.setColor(Qt::white);
        pen.setWidthF((kTrackRingPx - 3) * scale);
        painter.setPen(pen);
        painter.drawPoints(ringed);
    }
    for (const auto& [c, width] :
         {std::pair{colour.darker(160), kTrackPointPx + 1.5}, std::pair{colour, kTrackPointPx}}) {
        pen.setColor(c);
        pen.setWidthF(width * scale);
        painter.setPen(pen);
        painter.drawPoints(plain);
        painter.drawPoints(ringed);
    }
    return true;
}

}  // namespace

void placePoints(const double* xs, const double* ys, const std::uint8_t* ringedAt, std::size_t n,
                 const QRectF& visible, bool raster, double scale, VesselPoints& out) {
    const double left = visible.left();
    const double right = visible.right();
    const double top = visible.top();
    const double bottom = visible.bottom();
    if (!raster) {
        for (std::size_t i = 0; i < n; ++i) {
            const QPointF p(xs[i], ys[i]);
            if (inside(p, visible)) {
                (ringedAt[i] != 0 ? out.ringed : out.plain).append(p);
            }
        }
        return;
    }
    // A million points are placed each frame, in or out of the view and ringed or not as
    // chance has it: a point's two coordinates are placed together (a pair of doubles the
    // processor works on at once), without a branch, and its corner written to both lists,
    // counted in the one it belongs to (or neither), a chunk at a time.
    using Pair = double __attribute__((vector_size(16)));
    using Mask = std::int64_t __attribute__((vector_size(16)));
    using Ints = std::int32_t __attribute__((vector_size(8)));
    constexpr std::size_t kChunk = 1024;
    const Pair halves[2] = {Pair{} + spriteSide(false, scale) / 2.0,
                            Pair{} + spriteSide(true, scale) / 2.0};
    // Corners as plain pairs of integers: an array of QPoint would be set to zeros at every
    // call, for every chunk of a million points a frame.
    struct Corner {
        std::int32_t x;
        std::int32_t y;
    };
    Corner plain[kChunk];
    Corner ringed[kChunk];
    for (std::size_t from = 0; from < n; from += kChunk) {
        const std::size_t count = std::min(kChunk, n - from);
        std::size_t plains = 0;
        std::size_t rings = 0;
        for (std::size_t i = from; i < from + count; ++i) {
            const Pair p{xs[i], ys[i]};
            // False for a point that is not a number.
            const bool in = (p[0] >= left) & (p[0] <= right) & (p[1] >= top) & (p[1] <= bottom);
            const bool isRinged = ringedAt[i] != 0;
            // A point out of the view is placed at 0, so that every conversion is defined.
            const Mask keep = Mask{} - static_cast<std::int64_t>(in);
            const Pair at = reinterpret_cast<Pair>(reinterpret_cast<Mask>(p) & keep) -
                            halves[static_cast<int>(isRinged)];
            // Rounded half away from zero, as std::round does (a call to the maths library
            // without SSE 4.1): a comparison is -1 where it holds.
            const Ints truncated = __builtin_convertvector(at, Ints);
            const Pair fraction = at - __builtin_convertvector(truncated, Pair);
            const Mask away = (fraction >= 0.5) - (fraction <= -0.5);
            const Ints corner = truncated - __builtin_convertvector(away, Ints);
            plain[plains] = Corner{corner[0], corner[1]};
            ringed[rings] = plain[plains];
            plains += static_cast<std::size_t>(in & !isRinged);
            rings += static_cast<std::size_t>(in & isRinged);
        }
        // Copied as they lie: a QPoint is such a pair.
        static_assert(sizeof(QPoint) == sizeof(Corner) && std::is_trivially_copyable_v<QPoint>);
        for (const auto& [corners, list, count] : {std::tuple{plain, &out.plainCorners, plains},
                                                   std::tuple{ringed, &out.ringedCorners, rings}}) {
            // An empty list may have no memory at all, which memcpy must not be given.
            if (count == 0) {
                continue;
            }
            const std::size_t end = list->size();
            list->resize(end + count);
            std::memcpy(static_cast<void*>(list->data() + end), corners, count * sizeof(Corner));
        }
    }
}

void makeSprites(VesselPoints& out, double scale) {
    if (!out.plainCorners.empty()) {
        out.plainSprite = pointSprite(out.colour, false, scale);
    }
    if (!out.ringedCorners.empty()) {
        out.ringedSprite = pointSprite(out.colour, true, scale);
    }
}

void collectPoints(std::span<const MapPoint> track, std::span<const std::uint8_t> ringedAt,
                   const Viewport& viewport, const QRectF& visible, bool raster, double scale,
                   VesselPoints& out, const std::atomic<bool>* cancel) {
    constexpr std::size_t kChunk = 1024;
    const PixelMapping toPixel(viewport);
    double xs[kChunk];
    double ys[kChunk];
    for (std::size_t from = 0; from < track.size(); from += kChunk) {
        if (from > 0 && cancelled(cancel)) {
            return;
        }
        const std::size_t n = std::min(kChunk, track.size() - from);
        for (std::size_t i = 0; i < n; ++i) {
            xs[i] = (track[from + i].x - toPixel.left) * toPixel.scale;
            ys[i] = (toPixel.top - track[from + i].y) * toPixel.scale;
        }
        placePoints(xs, ys, ringedAt.data() + from, n, visible, raster, scale, out);
    }
    makeSprites(out, scale);
}

SpriteCover leaveOutHidden(std::vector<VesselPoints>& vessels, QSize frame,
                           const std::function<void(std::size_t)>& gathered,
                           const std::atomic<bool>* cancel) {
    SpriteCover cover(frame.width(), frame.height());
    for (std::size_t i = vessels.size(); i-- > 0 && !cancelled(cancel);) {
        gathered(i);
        VesselPoints* const v = &vessels[i];
        // Rings are stamped after the plain points, so lie above them.
        for (const auto& [corners, ringed] :
             {std::pair{&v->ringedCorners, true}, std::pair{&v->plainCorners, false}}) {
            if (corners->empty()) {
                continue;
            }
            const int shape =
                cover.add(SpriteCover::Shape::of(ringed ? v->ringedSprite : v->plainSprite));
            std::vector<QPoint> shown;
            for (std::size_t i = corners->size(); i-- > 0;) {
                const QPoint at = (*corners)[i];
                if (cover.show(shape, at.x(), at.y())) {
                    shown.push_back(at);
                }
            }
            std::reverse(shown.begin(), shown.end());
            *corners = std::move(shown);
        }
    }
    return cover;
}

bool drawPoints(QPainter& painter, const std::vector<VesselPoints>& vessels, double scale,
                bool raster, const std::atomic<bool>* cancel) {
    // On an image painted as it is (no transform, clip, opacity or other composition), the
    // sprites are stamped by threads, each into a band of the image's rows that shares its
    // memory: every pixel is given the same sprites in the same order, so the same colour.
    QPaintDevice* device = painter.device();
    auto* image = device != nullptr && device->devType() == QInternal::Image
                      ? static_cast<QImage*>(device)
                      : nullptr;
    const int threads = static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1U, 4U));
    if (!raster || image == nullptr || image->devicePixelRatio() != 1.0 ||
        !painter.transform().isIdentity() || painter.hasClipping() || painter.opacity() != 1.0 ||
        painter.compositionMode() != QPainter::CompositionMode_SourceOver || threads == 1 ||
        image->height() < threads) {
        return std::all_of(vessels.begin(), vessels.end(), [&](const VesselPoints& v) {
            return drawVessel(painter, v, scale, raster, std::nullopt, cancel);
        });
    }
    // The painter's engine made the image's pixels its own as it began (a shared image is
    // copied then), so they are written in place, as the painter writes them.
    auto* bits = const_cast<uchar*>(image->constBits());
    const qsizetype line = image->bytesPerLine();
    const int height = image->height();
    // The bands are cut at equal shares of the sprites (counted by their middle rows), twice
    // as many as threads, so that a thread done with one takes the next.
    std::vector<int> upTo(static_cast<std::size_t>(height) + 1, 0);
    for (const VesselPoints& v : vessels) {
        for (const auto& [corners, sprite] : {std::pair{&v.plainCorners, &v.plainSprite},
                                              std::pair{&v.ringedCorners, &v.ringedSprite}}) {
            for (const QPoint at : *corners) {
                ++upTo[static_cast<std::size_t>(
                           std::clamp(at.y() + sprite->height() / 2, 0, height - 1)) +
                       1];
            }
        }
    }
    std::partial_sum(upTo.begin(), upTo.end(), upTo.begin());
    const int bands = 2 * threads;
    std::vector<int> tops(static_cast<std::size_t>(bands) + 1, height);
    tops[0] = 0;
    for (int b = 1; b < bands; ++b) {
        const auto share = static_cast<int>(static_cast<std::int64_t>(upTo.back()) * b / bands);
        const auto at = std::lower_bound(upTo.begin(), upTo.end(), share) - upTo.begin();
        tops[static_cast<std::size_t>(b)] =
            std::clamp(static_cast<int>(at), tops[static_cast<std::size_t>(b) - 1], height);
    }
    inParallel(static_cast<std::size_t>(bands), [&](std::size_t b) {
        const int top = tops[b];
        const int bottom = tops[b + 1];
        if (bottom <= top) {
            return;
        }
        QImage band(bits + top * line, image->width(), bottom - top, line, image->format());
        QPainter bandPainter(&band);
        bandPainter.setRenderHints(painter.renderHints());
        for (const VesselPoints& v : vessels) {
            if (!drawVessel(bandPainter, v, scale, true, Band{top, bottom}, cancel)) {
                return;
            }
        }
    });
    return !cancelled(cancel);
}

}  // namespace pelagon::track
