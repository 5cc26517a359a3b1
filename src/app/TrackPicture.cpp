#include "app/TrackPicture.h"

#include <QImage>
#include <QLineF>
#include <QPaintEngine>
#include <QPainter>
#include <QPen>
#include <QPolygonF>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <span>
#include <vector>

#include "app/PositionsOverlay.h"
#include "query/PositionSet.h"
#include "render/Viewport.h"

namespace pelagon {

namespace {

constexpr double kTrackPointPx = 6;   // diameter of a position's point
constexpr double kTrackRingPx = 12;   // outer diameter of the red ring
constexpr double kTrackPenPx = 1.5;   // width of a track's line
constexpr double kTrailPenPx = 2.5;   // width of a trail's line
constexpr double kLatestPx = 13;      // diameter of a vessel's latest position under a time cut
constexpr int kHistoryAlpha = 110;    // the line before a trail: the vessel's colour, paler
constexpr int kCancelEvery = 4096;    // segments or points between looks at cancel

// Device pixels per logical pixel of the painter's device, so that sizes hold on printers.
double deviceScale(const QPainter& painter) {
    const QPaintDevice* device = painter.device();
    return device != nullptr ? std::max(1.0, device->logicalDpiX() / 96.0) : 1.0;
}

bool cancelled(const std::atomic<bool>* cancel) {
    return cancel != nullptr && cancel->load(std::memory_order_relaxed);
}

// One vessel's line as it is drawn: the visible part of each segment, in order; a segment
// shorter than half a pixel is joined to the next. False when cancelled.
struct VesselLines {
    QColor colour;
    double pen = kTrackPenPx;
    std::vector<QLineF> lines;
    double length = 0;  // in pixels
};

bool clipTrack(std::span<const MapPoint> track, const Viewport& viewport, const QRectF& box,
               VesselLines& out, const std::atomic<bool>* cancel) {
    QPointF previous = viewport.toPixel(track.front());
    std::optional<QPointF> start;  // where a run of short pieces began
    for (std::size_t i = 1; i < track.size(); ++i) {
        if (i % kCancelEvery == 0 && cancelled(cancel)) {
            return false;
        }
        const QPointF next = viewport.toPixel(track[i]);
        const auto part = clipSegment(previous, next, box);
        previous = next;
        if (!part) {
            start.reset();
            continue;
        }
        const QPointF from = start && QLineF(*start, part->first).length() < 0.5 ? *start
                                                                                 : part->first;
        const QLineF line(from, part->second);
        const double length = line.length();
        if (length < 0.5 && i + 1 < track.size()) {
            start = from;  // drawn with the pieces that follow
            continue;
        }
        start.reset();
        out.lines.push_back(line);
        out.length += length;
    }
    return true;
}

// Lines antialiased at their full width, joined where they meet, in short polylines: Qt strokes
// a long polyline that crosses itself in time that grows with the square of its crossings.
bool strokeFine(QPainter& painter, const VesselLines& vessel, double scale,
                const std::atomic<bool>* cancel) {
    constexpr std::size_t kPolylineSegments = 16;
    QPen pen(vessel.colour, vessel.pen * scale, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.setPen(pen);
    painter.setRenderHint(QPainter::Antialiasing, true);
    QPolygonF run;
    for (std::size_t i = 0; i < vessel.lines.size(); ++i) {
        if (i % kCancelEvery == kCancelEvery - 1 && cancelled(cancel)) {
            return false;
        }
        const QLineF& line = vessel.lines[i];
        if (run.isEmpty() || run.back() != line.p1() ||
            static_cast<std::size_t>(run.size()) > kPolylineSegments) {
            if (run.size() >= 2) {
                painter.drawPolyline(run);
            }
            run.clear();
            run.append(line.p1());
        }
        run.append(line.p2());
    }
    if (run.size() >= 2) {
        painter.drawPolyline(run);
    }
    return true;
}

// Lines one pixel wide without antialiasing: Qt's fastest path, about a nanosecond a pixel.
bool strokeCoarse(QPainter& painter, const VesselLines& vessel, const std::atomic<bool>* cancel) {
    QPen pen(vessel.colour, 1);
    pen.setCosmetic(true);
    painter.setPen(pen);
    painter.setRenderHint(QPainter::Antialiasing, false);
    for (std::size_t i = 0; i < vessel.lines.size(); i += kCancelEvery) {
        if (cancelled(cancel)) {
            return false;
        }
        const std::size_t n = std::min<std::size_t>(kCancelEvery, vessel.lines.size() - i);
        painter.drawLines(vessel.lines.data() + i, static_cast<int>(n));
    }
    return true;
}

// Every vessel's lines, the first drawn lowest. Where the lines would take more than about
// kFineSeconds at full quality, they are drawn one pixel wide; and where the last vessels' lines
// alone cover the view many times over (a track that jumps about the map), those are drawn on a
// layer of their own first, and of the vessels below them only the lines that pass somewhere
// the layer leaves open: the picture is the same, pixel for pixel.
bool strokeAll(QPainter& painter, const std::vector<VesselLines>& vessels, double scale,
               bool raster, const std::atomic<bool>* cancel) {
    constexpr double kFineSeconds = 0.04;
    constexpr double kFineSecondsPerSegment = 1.3e-6;  // measured, Qt's raster engine
    constexpr double kFineSecondsPerPixel = 4e-7;
    constexpr double kCover = 24;  // the view's area over: the lines on top hide the rest
    double segments = 0;
    double length = 0;
    for (const VesselLines& v : vessels) {
        segments += static_cast<double>(v.lines.size());
        length += v.length;
    }
    if (!raster || kFineSecondsPerSegment * segments + kFineSecondsPerPixel * length <=
                       kFineSeconds) {
        for (const VesselLines& v : vessels) {
            if (!strokeFine(painter, v, scale, cancel)) {
                return false;
            }
        }
        return true;
    }
    const QPaintDevice* device = painter.device();
    const double area = static_cast<double>(device->width()) * device->height();
    std::size_t first = vessels.size();  // the lowest of the vessels on top
    for (double above = 0; first > 0 && above < kCover * area;) {
        --first;
        above += vessels[first].length;
    }
    if (first == 0 || !painter.transform().isIdentity()) {
        for (const VesselLines& v : vessels) {
            if (!strokeCoarse(painter, v, cancel)) {
                return false;
            }
        }
        return true;
    }
    QImage top(device->width(), device->height(), QImage::Format_ARGB32_Premultiplied);
    top.setDevicePixelRatio(device->devicePixelRatioF());
    top.fill(Qt::transparent);
    {
        QPainter onTop(&top);
        for (std::size_t v = first; v < vessels.size(); ++v) {
            if (!strokeCoarse(onTop, vessels[v], cancel)) {
                return false;
            }
        }
    }
    // Beneath the layer, only the lines that can show somewhere.
    const CoveredTiles tiles(top, device->devicePixelRatioF());
    for (std::size_t v = 0; v < first; ++v) {
        VesselLines shown;
        shown.colour = vessels[v].colour;
        for (std::size_t i = 0; i < vessels[v].lines.size(); ++i) {
            if (i % kCancelEvery == kCancelEvery - 1 && cancelled(cancel)) {
                return false;
            }
            if (!tiles.hides(vessels[v].lines[i])) {
                shown.lines.push_back(vessels[v].lines[i]);
            }
        }
        if (!strokeCoarse(painter, shown, cancel)) {
            return false;
        }
    }
    painter.drawImage(QPointF(0, 0), top);
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
bool drawPoints(QPainter& painter, std::span<const MapPoint> track,
                std::span<const std::uint8_t> ringedAt,
                const Viewport& viewport, const QRectF& visible, const QColor& colour,
                double scale, bool raster, const std::atomic<bool>* cancel) {
    QPolygonF plain;
    QPolygonF ringed;
    for (std::size_t i = 0; i < track.size(); ++i) {
        if (i % kCancelEvery == kCancelEvery - 1 && cancelled(cancel)) {
            return false;
        }
        const QPointF p = viewport.toPixel(track[i]);
        if (visible.contains(p)) {
            (ringedAt[i] != 0 ? ringed : plain).append(p);
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

// The part of a vessel's track that is drawn under a time cut: its positions [0, end), the trail
// from trail on (0 without a trail). A track with a position without a time is not in time
// order and is drawn whole.
struct TrackSpan {
    std::size_t trail = 0;
    std::size_t end = 0;
    bool cut = false;
};

TrackSpan spanAt(const TrackPicture::Prepared::Vessel& vessel,
                 const std::optional<TrackPicture::TimeCut>& cut) {
    const std::vector<qint64>& times = vessel.timeMs;
    if (!cut || times.size() != vessel.xy.size()) {
        return {0, vessel.xy.size(), false};
    }
    const auto end = std::upper_bound(times.begin(), times.end(), cut->atMs);
    auto trail = times.begin();
    if (cut->trailMs > 0) {
        trail = std::lower_bound(times.begin(), end, cut->atMs - cut->trailMs);
    }
    return {static_cast<std::size_t>(trail - times.begin()),
            static_cast<std::size_t>(end - times.begin()), true};
}

// A vessel's latest position under a time cut: a large dot in its colour, ringed white and dark.
void drawLatest(QPainter& painter, QPointF at, const QColor& colour, double scale) {
    const double r = kLatestPx / 2 * scale;
    painter.setPen(QPen(colour.darker(200), 1.5 * scale));
    painter.setBrush(Qt::white);
    painter.drawEllipse(at, r, r);
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    painter.drawEllipse(at, r - 2.5 * scale, r - 2.5 * scale);
    painter.setBrush(Qt::NoBrush);
}

}  // namespace

CoveredTiles::CoveredTiles(const QImage& layer, double ratio) : ratio_(ratio) {
    columns_ = (layer.width() + kTile - 1) / kTile;
    rows_ = (layer.height() + kTile - 1) / kTile;
    std::vector<std::uint8_t> full(static_cast<std::size_t>(columns_) * rows_, 1);
    for (int y = 0; y < layer.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(layer.constScanLine(y));
        std::uint8_t* tiles = full.data() + static_cast<std::size_t>(y / kTile) * columns_;
        for (int x = 0; x < layer.width(); ++x) {
            if (qAlpha(line[x]) == 0) {
                tiles[x / kTile] = 0;
            }
        }
    }
    // Tiles not wholly drawn, summed from the top left corner (one row and column of zeros
    // first): how many lie in any block of tiles is then four look-ups.
    open_.assign(static_cast<std::size_t>(columns_ + 1) * (rows_ + 1), 0);
    for (int ty = 0; ty < rows_; ++ty) {
        for (int tx = 0; tx < columns_; ++tx) {
            const std::size_t at = static_cast<std::size_t>(ty + 1) * (columns_ + 1) + tx + 1;
            open_[at] = (full[static_cast<std::size_t>(ty) * columns_ + tx] == 0 ? 1 : 0) +
                        open_[at - 1] + open_[at - (columns_ + 1)] - open_[at - columns_ - 2];
        }
    }
    // Past the image's edges there is nothing to show: those neighbours count as drawn.
    covered_.assign(full.size(), 0);
    for (int ty = 0; ty < rows_; ++ty) {
        for (int tx = 0; tx < columns_; ++tx) {
            bool all = true;
            for (int dy = -1; dy <= 1 && all; ++dy) {
                for (int dx = -1; dx <= 1 && all; ++dx) {
                    const int ny = ty + dy;
                    const int nx = tx + dx;
                    all = ny < 0 || nx < 0 || ny >= rows_ || nx >= columns_ ||
                          full[static_cast<std::size_t>(ny) * columns_ + nx] != 0;
                }
            }
            covered_[static_cast<std::size_t>(ty) * columns_ + tx] = all ? 1 : 0;
        }
    }
}

bool CoveredTiles::hides(const QLineF& line) const {
    // No tile left open within a tile of the line's box: hidden, whatever its path.
    const auto tileOf = [](double device, int count) {
        return std::clamp(static_cast<int>(std::floor(device / kTile)), 0, count - 1);
    };
    const double margin = 2;  // device pixels: a line's pixels lie within one of its path
    const int x0 = tileOf(std::min(line.x1(), line.x2()) * ratio_ - margin, columns_);
    const int x1 = tileOf(std::max(line.x1(), line.x2()) * ratio_ + margin, columns_);
    const int y0 = tileOf(std::min(line.y1(), line.y2()) * ratio_ - margin, rows_);
    const int y1 = tileOf(std::max(line.y1(), line.y2()) * ratio_ + margin, rows_);
    const auto sum = [&](int x, int y) {
        return open_[static_cast<std::size_t>(y) * (columns_ + 1) + x];
    };
    if (sum(x1 + 1, y1 + 1) - sum(x0, y1 + 1) - sum(x1 + 1, y0) + sum(x0, y0) == 0) {
        return true;
    }
    // Points along the line no more than kTile - 2 device pixels apart: every pixel within a
    // pixel of the path between two of them lies in the 3 x 3 tiles round one of them.
    const QPointF a = line.p1() * ratio_;
    const QPointF b = line.p2() * ratio_;
    const double length = QLineF(a, b).length();
    const int steps = 1 + static_cast<int>(length / (kTile - 2));
    for (int i = 0; i <= steps; ++i) {
        const QPointF p = a + (b - a) * (static_cast<double>(i) / steps);
        // A point past the image's edge is judged by the tile of the edge nearest it, which
        // holds every pixel within a tile of it.
        const int tx = std::clamp(static_cast<int>(std::floor(p.x() / kTile)), 0, columns_ - 1);
        const int ty = std::clamp(static_cast<int>(std::floor(p.y() / kTile)), 0, rows_ - 1);
        if (covered_[static_cast<std::size_t>(ty) * columns_ + tx] == 0) {
            return false;
        }
    }
    return true;
}

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

std::shared_ptr<const TrackPicture::Prepared> TrackPicture::Prepared::of(const PositionSet& set) {
    auto prepared = std::make_shared<Prepared>();
    prepared->vessels.resize(set.tracks.size());
    for (std::size_t v = 0; v < set.tracks.size(); ++v) {
        Vessel& vessel = prepared->vessels[v];
        bool timed = true;
        for (const int r : set.tracks[v]) {
            const PositionSet::Row& row = set.rows[static_cast<std::size_t>(r)];
            vessel.xy.push_back(row.xy);
            vessel.ringed.push_back(row.inDocumentArea ? 1 : 0);
            timed = timed && row.timeMs.has_value();
            if (timed) {
                vessel.timeMs.push_back(*row.timeMs);
            }
        }
        if (!timed) {
            vessel.timeMs.clear();
        }
    }
    return prepared;
}

TrackPicture::TrackPicture(std::vector<Shown> sets, std::optional<TimeCut> cut)
    : sets_(std::move(sets)), cut_(cut) {
    for (Shown& shown : sets_) {
        if (!shown.tracks) {
            shown.tracks = Prepared::of(*shown.set);
        }
    }
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

    // Lines of every file first, under every point: the parts before the trails, then the
    // trails (or the whole tracks without one).
    std::vector<VesselLines> history;
    std::vector<VesselLines> vessels;
    std::vector<std::vector<TrackSpan>> spans(sets_.size());
    for (std::size_t s = 0; s < sets_.size(); ++s) {
        const Shown& shown = sets_[s];
        for (std::size_t v = 0; v < shown.tracks->vessels.size(); ++v) {
            if (cancelled(cancel)) {
                painter.restore();
                return false;
            }
            const Prepared::Vessel& track = shown.tracks->vessels[v];
            const TrackSpan span = spanAt(track, cut_);
            spans[s].push_back(span);
            const QColor colour =
                PositionsOverlay::vesselColour(shown.firstColour + static_cast<int>(v));
            const std::span<const MapPoint> all(track.xy.data(), span.end);
            // The trail begins with the segment that ends in its first position.
            const std::size_t trailFrom = span.trail > 0 ? span.trail - 1 : 0;
            if (span.trail >= 2) {
                VesselLines lines;
                lines.colour = colour;
                lines.colour.setAlpha(kHistoryAlpha);
                if (!clipTrack(all.first(span.trail), viewport, lineBox, lines, cancel)) {
                    painter.restore();
                    return false;
                }
                if (!lines.lines.empty()) {
                    history.push_back(std::move(lines));
                }
            }
            if (span.end < trailFrom + 2) {
                continue;
            }
            VesselLines lines;
            lines.colour = colour;
            lines.pen = span.cut && cut_->trailMs > 0 ? kTrailPenPx : kTrackPenPx;
            if (!clipTrack(all.subspan(trailFrom), viewport, lineBox, lines, cancel)) {
                painter.restore();
                return false;
            }
            if (!lines.lines.empty()) {
                vessels.push_back(std::move(lines));
            }
        }
    }
    // What came before the trails: pale lines a pixel wide, the fastest to draw.
    bool finished = true;
    for (std::size_t i = 0; finished && i < history.size(); ++i) {
        finished = strokeCoarse(painter, history[i], cancel);
    }
    finished = finished && strokeAll(painter, vessels, scale, raster, cancel);
    painter.setRenderHint(QPainter::Antialiasing, true);
    for (std::size_t s = 0; s < sets_.size(); ++s) {
        const Shown& shown = sets_[s];
        for (std::size_t v = 0; finished && v < shown.tracks->vessels.size(); ++v) {
            const Prepared::Vessel& track = shown.tracks->vessels[v];
            const TrackSpan& span = spans[s][v];
            const std::size_t n = span.end - span.trail;
            finished = drawPoints(
                painter, std::span<const MapPoint>(track.xy).subspan(span.trail, n),
                std::span<const std::uint8_t>(track.ringed).subspan(span.trail, n), viewport,
                visible, PositionsOverlay::vesselColour(shown.firstColour + static_cast<int>(v)),
                scale, raster, cancel);
        }
    }
    // Each vessel's latest position, over every point.
    for (std::size_t s = 0; finished && s < sets_.size(); ++s) {
        const Shown& shown = sets_[s];
        for (std::size_t v = 0; v < shown.tracks->vessels.size(); ++v) {
            const TrackSpan& span = spans[s][v];
            if (!span.cut || span.end == 0) {
                continue;
            }
            const QPointF at = viewport.toPixel(shown.tracks->vessels[v].xy[span.end - 1]);
            if (visible.contains(at)) {
                drawLatest(painter, at,
                           PositionsOverlay::vesselColour(shown.firstColour + static_cast<int>(v)),
                           scale);
            }
        }
    }
    painter.restore();
    return finished;
}

}  // namespace pelagon
