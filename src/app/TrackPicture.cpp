#include "app/TrackPicture.h"

#include <QImage>
#include <QPaintEngine>
#include <QPainter>
#include <QPen>
#include <QPolygonF>

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "app/PositionsOverlay.h"
#include "query/PositionSet.h"
#include "render/Viewport.h"

namespace pelagon {

namespace {

constexpr double kTrackPointPx = 6;   // diameter of a position's point
constexpr double kTrackRingPx = 12;   // outer diameter of the red ring
constexpr double kTrackPenPx = 1.5;   // width of a track's line
constexpr int kCancelEvery = 4096;    // segments or points between looks at cancel

// Device pixels per logical pixel of the painter's device, so that sizes hold on printers.
double deviceScale(const QPainter& painter) {
    const QPaintDevice* device = painter.device();
    return device != nullptr ? std::max(1.0, device->logicalDpiX() / 96.0) : 1.0;
}

bool cancelled(const std::atomic<bool>* cancel) {
    return cancel != nullptr && cancel->load(std::memory_order_relaxed);
}

// One vessel's line as runs of visible vertices: a run ends where the track leaves the box.
// Vertices that fall in the pixel of the one before are left out. False when cancelled.
bool strokeTrack(QPainter& painter, const PositionSet& set, const std::vector<int>& track,
                 const Viewport& viewport, const QRectF& box, const std::atomic<bool>* cancel) {
    QPolygonF run;
    const auto flush = [&] {
        if (run.size() >= 2) {
            painter.drawPolyline(run);
        }
        run.clear();
    };
    const auto samePixel = [](QPointF a, QPointF b) {
        return std::abs(a.x() - b.x()) < 0.5 && std::abs(a.y() - b.y()) < 0.5;
    };
    QPointF previous = viewport.toPixel(set.rows[static_cast<std::size_t>(track.front())].xy);
    for (std::size_t i = 1; i < track.size(); ++i) {
        if (i % kCancelEvery == 0 && cancelled(cancel)) {
            return false;
        }
        const QPointF next = viewport.toPixel(set.rows[static_cast<std::size_t>(track[i])].xy);
        const auto part = clipSegment(previous, next, box);
        previous = next;
        if (!part) {
            flush();
            continue;
        }
        const auto& [from, to] = *part;
        if (run.isEmpty() || !samePixel(run.back(), from)) {
            flush();
            run.append(from);
        }
        if (!samePixel(run.back(), to)) {
            run.append(to);
        } else if (run.size() == 1 && from != to) {
            run.append(to);  // a short segment is still drawn as a dot
        }
    }
    flush();
    return true;
}

// A point as it is drawn, made once per colour and stamped where each position lies: much
// cheaper than stroking a round dot per position.
QImage pointSprite(const QColor& colour, bool ringed, double scale) {
    const double outer = (ringed ? kTrackRingPx : kTrackPointPx + 1.5) * scale;
    const int side = static_cast<int>(std::ceil(outer)) + 2;
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

// Points of one vessel inside visible, rings first so that no ring covers a point.
bool drawPoints(QPainter& painter, const PositionSet& set, const std::vector<int>& track,
                const Viewport& viewport, const QRectF& visible, const QColor& colour,
                double scale, bool raster, const std::atomic<bool>* cancel) {
    QPolygonF plain;
    QPolygonF ringed;
    for (std::size_t i = 0; i < track.size(); ++i) {
        if (i % kCancelEvery == kCancelEvery - 1 && cancelled(cancel)) {
            return false;
        }
        const PositionSet::Row& row = set.rows[static_cast<std::size_t>(track[i])];
        const QPointF p = viewport.toPixel(row.xy);
        if (visible.contains(p)) {
            (row.inDocumentArea ? ringed : plain).append(p);
        }
    }
    if (raster) {
        // Sprites on whole device pixels; the painter's transform is a translation at most.
        for (const auto& [points, isRinged] : {std::pair{&plain, false}, std::pair{&ringed, true}}) {
            if (points->isEmpty()) {
                continue;
            }
            const QImage sprite = pointSprite(colour, isRinged, scale);
            const QPointF half(sprite.width() / 2.0, sprite.height() / 2.0);
            for (qsizetype i = 0; i < points->size(); ++i) {
                if (i % kCancelEvery == kCancelEvery - 1 && cancelled(cancel)) {
                    return false;
                }
                const QPointF at = (*points)[i] - half;
                painter.drawImage(QPointF(std::round(at.x()), std::round(at.y())), sprite);
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
    for (const auto& [c, width] : {std::pair{colour.darker(160), kTrackPointPx + 1.5},
                                   std::pair{colour, kTrackPointPx}}) {
        pen.setColor(c);
        pen.setWidthF(width * scale);
        painter.setPen(pen);
        painter.drawPoints(plain);
        painter.drawPoints(ringed);
    }
    return true;
}

}  // namespace

std::optional<std::pair<QPointF, QPointF>> clipSegment(QPointF a, QPointF b, const QRectF& box) {
    if (!std::isfinite(a.x()) || !std::isfinite(a.y()) || !std::isfinite(b.x()) ||
        !std::isfinite(b.y())) {
        return std::nullopt;
    }
    const double dx = b.x() - a.x();
    const double dy = b.y() - a.y();
    double t0 = 0;
    double t1 = 1;
    // Each edge in turn: p * t <= q keeps the inside.
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {a.x() - box.left(), box.right() - a.x(), a.y() - box.top(),
                         box.bottom() - a.y()};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0) {
            if (q[i] < 0) {
                return std::nullopt;  // parallel to this edge and outside it
            }
            continue;
        }
        const double t = q[i] / p[i];
        if (p[i] < 0) {
            t0 = std::max(t0, t);
        } else {
            t1 = std::min(t1, t);
        }
        if (t0 > t1) {
            return std::nullopt;
        }
    }
    if (!std::isfinite(t0) || !std::isfinite(t1)) {
        return std::nullopt;
    }
    return std::pair{QPointF(a.x() + t0 * dx, a.y() + t0 * dy),
                     QPointF(a.x() + t1 * dx, a.y() + t1 * dy)};
}

bool TrackPicture::draw(QPainter& painter, const Viewport& viewport,
                        const std::atomic<bool>* cancel) const {
    if (sets_.empty() || !viewport.isValid()) {
        return true;
    }
    const double scale = deviceScale(painter);
    const bool raster =
        painter.paintEngine() != nullptr && painter.paintEngine()->type() == QPaintEngine::Raster;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setBrush(Qt::NoBrush);
    // Lines are clipped a little outside the view so that their ends and joins never show;
    // points are kept where their rings reach into it.
    const QRectF view(QPointF(0, 0), viewport.size());
    const double lineMargin = 4 * kTrackPenPx * scale;
    const QRectF lineBox = view.adjusted(-lineMargin, -lineMargin, lineMargin, lineMargin);
    const double pointMargin = kTrackRingPx * scale;
    const QRectF visible = view.adjusted(-pointMargin, -pointMargin, pointMargin, pointMargin);

    bool finished = true;
    for (const Shown& shown : sets_) {
        const PositionSet& set = *shown.set;
        // Tracks first, under every point.
        for (std::size_t v = 0; finished && v < set.tracks.size(); ++v) {
            finished = !cancelled(cancel);
            if (!finished || set.tracks[v].size() < 2) {
                continue;
            }
            QPen pen(PositionsOverlay::vesselColour(shown.firstColour + static_cast<int>(v)),
                     kTrackPenPx * scale);
            pen.setJoinStyle(Qt::RoundJoin);
            painter.setPen(pen);
            finished = strokeTrack(painter, set, set.tracks[v], viewport, lineBox, cancel);
        }
        for (std::size_t v = 0; finished && v < set.tracks.size(); ++v) {
            finished = drawPoints(painter, set, set.tracks[v], viewport, visible,
                                  PositionsOverlay::vesselColour(shown.firstColour +
                                                                 static_cast<int>(v)),
                                  scale, raster, cancel);
        }
        if (!finished) {
            break;
        }
    }
    painter.restore();
    return finished;
}

}  // namespace pelagon
