#include "app/TrackPicture.h"

#include <QImage>
#include <QLineF>
#include <QPaintEngine>
#include <QPainter>
#include <QPen>
#include <QPolygonF>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "app/PositionsOverlay.h"
#include "app/TrackLines.h"
#include "app/TrackRaster.h"
#include "query/PositionSet.h"
#include "render/Viewport.h"

namespace pelagon {

namespace {

constexpr double kTrailPenPx = 2.5;  // width of a trail's line
constexpr double kLatestPx = 13;     // diameter of a vessel's latest position under a time cut
constexpr int kHistoryAlpha = 110;   // the line before a trail: the vessel's colour, paler

// Lines antialiased at their full width, joined where they meet, in short polylines: Qt strokes
// a long polyline that crosses itself in time that grows with the square of its crossings.
bool strokeFine(QPainter& painter, const track::VesselLines& vessel, double scale,
                const std::atomic<bool>* cancel) {
    constexpr std::size_t kPolylineSegments = 16;
    QPen pen(vessel.colour, vessel.pen * scale, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.setPen(pen);
    painter.setRenderHint(QPainter::Antialiasing, true);
    QPolygonF run;
    for (std::size_t i = 0; i < vessel.lines.size(); ++i) {
        if (i % track::kCancelEvery == track::kCancelEvery - 1 && track::cancelled(cancel)) {
            return false;
        }
        const PixelLine& line = vessel.lines[i];
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
bool strokeCoarse(QPainter& painter, const track::VesselLines& vessel,
                  const std::atomic<bool>* cancel) {
    QPen pen(vessel.colour, 1);
    pen.setCosmetic(true);
    painter.setPen(pen);
    painter.setRenderHint(QPainter::Antialiasing, false);
    std::vector<QLineF> lines;  // Qt's own, a chunk at a time
    for (std::size_t i = 0; i < vessel.lines.size(); i += track::kCancelEvery) {
        if (track::cancelled(cancel)) {
            return false;
        }
        const std::size_t n = std::min<std::size_t>(track::kCancelEvery, vessel.lines.size() - i);
        lines.clear();
        for (std::size_t k = i; k < i + n; ++k) {
            lines.emplace_back(vessel.lines[k].p1(), vessel.lines[k].p2());
        }
        painter.drawLines(lines.data(), static_cast<int>(n));
    }
    return true;
}

// How the lines of a frame are drawn: antialiased at their full width where that would take
// about kFineSeconds at most; beyond that one pixel wide without antialiasing, by LineRaster on
// raster surfaces the painter paints as they are (plain), by Qt elsewhere (printers, vector
// files).
enum class LineStyle { Fine, Banded, Coarse };

LineStyle lineStyle(const std::vector<track::VesselLines>& vessels, bool raster, bool plain) {
    constexpr double kFineSeconds = 0.04;
    constexpr double kFineSecondsPerSegment = 1.3e-6;  // measured, Qt's raster engine
    constexpr double kFineSecondsPerPixel = 4e-7;
    double segments = 0;
    for (const track::VesselLines& v : vessels) {
        segments += static_cast<double>(v.lines.size());
    }
    // The lines' length only counts where their number leaves time for them.
    double length = 0;
    for (std::size_t v = 0; v < vessels.size() && kFineSecondsPerSegment * segments <= kFineSeconds;
         ++v) {
        for (const PixelLine& line : vessels[v].lines) {
            length += QLineF(line.p1(), line.p2()).length();
        }
    }
    if (!raster ||
        kFineSecondsPerSegment * segments + kFineSecondsPerPixel * length <= kFineSeconds) {
        return LineStyle::Fine;
    }
    return plain && vessels.size() < 0xffff ? LineStyle::Banded : LineStyle::Coarse;
}

// Where the positions of every set lie in the device pixels of the viewport: the convex hull of
// their hulls, mapped (x to the right, y downwards). A set without a hull has no position
// placed, and so no line.
LineRaster::Reach reachOf(const std::vector<TrackPicture::Shown>& sets, const Viewport& viewport,
                          double ratio) {
    std::vector<MapPoint> corners;
    for (const TrackPicture::Shown& shown : sets) {
        corners.insert(corners.end(), shown.tracks->hull.begin(), shown.tracks->hull.end());
    }
    if (sets.size() > 1) {
        corners = track::convexHull(corners);
    }
    const track::PixelMapping toPixel(viewport);
    LineRaster::Reach reach;
    for (const MapPoint& p : corners) {
        reach.corners.push_back(toPixel(p) * ratio);
    }
    return reach;
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

std::shared_ptr<const TrackPicture::Prepared> TrackPicture::Prepared::of(const PositionSet& set) {
    auto prepared = std::make_shared<Prepared>();
    prepared->vessels.resize(set.tracks.size());
    std::vector<MapPoint> placed;
    for (std::size_t v = 0; v < set.tracks.size(); ++v) {
        Vessel& vessel = prepared->vessels[v];
        bool timed = true;
        for (const int r : set.tracks[v]) {
            const PositionSet::Row& row = set.rows[static_cast<std::size_t>(r)];
            vessel.xy.push_back(row.xy);
            if (std::isfinite(row.xy.x) && std::isfinite(row.xy.y)) {
                placed.push_back(row.xy);
            }
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
    prepared->hull = track::convexHull(track::hullCandidates(placed));
    return prepared;
}

TrackPicture::TrackPicture(std::vector<Shown> sets, std::optional<TimeCut> cut,
                           std::shared_ptr<History> history)
    : sets_(std::move(sets)), cut_(cut), history_(std::move(history)) {
    for (Shown& shown : sets_) {
        if (!shown.tracks) {
            shown.tracks = Prepared::of(*shown.set);
        }
    }
}

namespace {

// A frame's tracks made ready for its surface: all that is left is to draw them, in the order
// the picture draws them.
struct TrackFrame : PreparedPicture {
    bool draw(QPainter& painter, const std::atomic<bool>* cancel) const override;

    bool empty = true;  // nothing to draw
    double scale = 1;
    bool raster = false;
    // The pale lines before the trails: a layer drawn as it is, or lines to stroke.
    QImage historyLayer;
    std::vector<track::VesselLines> historyLines;
    LineStyle style = LineStyle::Fine;
    std::vector<track::VesselLines> vessels;  // where their lines are stroked
    std::vector<track::LineBand> bands;       // where they are banded
    std::vector<track::VesselPoints> points;
    std::vector<std::pair<QPointF, QColor>> latest;  // each vessel's latest position
};

bool TrackFrame::draw(QPainter& painter, const std::atomic<bool>* cancel) const {
    if (empty) {
        return true;
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setBrush(Qt::NoBrush);
    if (!historyLayer.isNull()) {
        painter.drawImage(QPointF(0, 0), historyLayer);
    }
    bool finished = std::all_of(historyLines.begin(), historyLines.end(),
                                [&](const auto& v) { return strokeCoarse(painter, v, cancel); });
    if (finished && style == LineStyle::Banded) {
        track::drawBands(painter, bands);
    } else if (finished) {
        finished = std::all_of(vessels.begin(), vessels.end(), [&](const auto& v) {
            return style == LineStyle::Fine ? strokeFine(painter, v, scale, cancel)
                                            : strokeCoarse(painter, v, cancel);
        });
    }
    painter.setRenderHint(QPainter::Antialiasing, true);
    finished = finished && !track::cancelled(cancel);
    finished = finished && track::drawPoints(painter, points, scale, raster, cancel);
    // Each vessel's latest position, over every point.
    for (std::size_t i = 0; finished && i < latest.size(); ++i) {
        drawLatest(painter, latest[i].first, latest[i].second, scale);
    }
    painter.restore();
    return finished;
}

}  // namespace

bool TrackPicture::prepareHistory(const PictureSurface& surface, const Viewport& viewport,
                                  const QRectF& box,
                                  const std::vector<std::vector<std::size_t>>& ends,
                                  const std::atomic<bool>* cancel, QImage& layered,
                                  std::vector<track::VesselLines>& stroked) const {
    // Lines pale and a pixel wide, the fastest to draw, from the given positions on: each
    // vessel's clipped lines are handed to take as soon as they are clipped, so that a layer
    // never holds more than one vessel's at a time. False when cancelled.
    const auto clip = [&](const std::vector<std::vector<std::size_t>>& from,
                          const std::function<void(track::VesselLines &&)>& take) {
        for (std::size_t s = 0; s < sets_.size(); ++s) {
            for (std::size_t v = 0; v < ends[s].size(); ++v) {
                const std::size_t first = from.empty() ? 0 : from[s][v];
                if (ends[s][v] < first + 2) {
                    continue;
                }
                track::VesselLines lines;
                lines.colour =
                    PositionsOverlay::vesselColour(sets_[s].firstColour + static_cast<int>(v));
                lines.colour.setAlpha(kHistoryAlpha);
                const std::span<const MapPoint> xy(sets_[s].tracks->vessels[v].xy);
                if (!track::clipTrack(xy.subspan(first, ends[s][v] - first), viewport, box, lines,
                                      cancel)) {
                    return false;
                }
                take(std::move(lines));
            }
        }
        return true;
    };
    if (std::all_of(ends.begin(), ends.end(), [](const std::vector<std::size_t>& e) {
            return std::all_of(e.begin(), e.end(), [](std::size_t n) { return n < 2; });
        })) {
        return true;  // no trail has anything before it
    }
    if (!history_ || !surface.known || !surface.raster || !surface.plain) {
        return clip({}, [&](track::VesselLines&& lines) { stroked.push_back(std::move(lines)); });
    }
    // The layer as last drawn where the view is the same and every part only grew: the
    // segments from one position before each part's last end on are added.
    QImage layer;
    std::vector<std::vector<std::size_t>> from;
    {
        const std::lock_guard lock(history_->mutex);
        bool grown = !history_->image.isNull() && history_->size == viewport.size() &&
                     history_->extent == viewport.extent() &&
                     history_->image.size() == surface.pixels &&
                     history_->ends.size() == ends.size();
        for (std::size_t s = 0; grown && s < ends.size(); ++s) {
            grown = history_->ends[s].size() == ends[s].size();
            for (std::size_t v = 0; grown && v < ends[s].size(); ++v) {
                grown = history_->ends[s][v] <= ends[s][v];
            }
        }
        if (grown) {
            layer = history_->image.copy();
            from = history_->ends;
            for (auto& vessels : from) {
                for (std::size_t& f : vessels) {
                    f = f > 0 ? f - 1 : 0;
                }
            }
        }
    }
    if (layer.isNull()) {
        layer = QImage(surface.pixels, QImage::Format_ARGB32_Premultiplied);
        layer.fill(Qt::transparent);
    }
    layer.setDevicePixelRatio(surface.ratio);
    {
        QPainter on(&layer);
        if (!clip(from, [&](track::VesselLines&& lines) { strokeCoarse(on, lines, nullptr); })) {
            return false;
        }
    }
    layered = layer;
    const std::lock_guard lock(history_->mutex);
    history_->image = layer;
    history_->size = viewport.size();
    history_->extent = viewport.extent();
    history_->ends = ends;
    return true;
}

bool TrackPicture::draw(QPainter& painter, const Viewport& viewport,
                        const std::atomic<bool>* cancel) const {
    const std::unique_ptr<PreparedPicture> frame =
        prepare(PictureSurface::of(painter), viewport, cancel);
    return frame && frame->draw(painter, cancel);
}

std::unique_ptr<PreparedPicture> TrackPicture::prepare(const PictureSurface& surface,
                                                       const Viewport& viewport,
                                                       const std::atomic<bool>* cancel) const {
    auto prepared = std::make_unique<TrackFrame>();
    if (sets_.empty() || !viewport.isValid()) {
        return prepared;
    }
    prepared->empty = false;
    const double scale = surface.known ? std::max(1.0, surface.dpi / 96.0) : 1.0;
    const bool raster = surface.raster;
    prepared->scale = scale;
    prepared->raster = raster;
    // Lines are clipped a little outside the view so that their ends and joins never show;
    // points are kept where their rings reach into it.
    const QRectF view(QPointF(0, 0), viewport.size());
    const double lineMargin = 4 * track::kTrackPenPx * scale;
    const QRectF lineBox = view.adjusted(-lineMargin, -lineMargin, lineMargin, lineMargin);
    const double pointMargin = track::kTrackRingPx * scale;
    const QRectF visible = view.adjusted(-pointMargin, -pointMargin, pointMargin, pointMargin);

    // Lines of every file first, under every point: the parts before the trails, then the
    // trails (or the whole tracks without one). Each vessel's points are those of its trail
    // (or whole track): the positions its line is drawn through, but the one before the trail.
    std::vector<track::VesselLines>& vessels = prepared->vessels;
    std::vector<std::span<const MapPoint>> tracks;  // the part of each that is drawn in full
    std::vector<track::VesselPoints>& points = prepared->points;
    std::vector<std::pair<std::span<const MapPoint>, std::span<const std::uint8_t>>> shownParts;
    std::vector<std::size_t> lineOf;  // per vessel's points: its line, or none (SIZE_MAX)
    std::vector<std::vector<std::size_t>> ends(sets_.size());  // of the parts before the trails
    for (std::size_t s = 0; s < sets_.size(); ++s) {
        const Shown& shown = sets_[s];
        for (std::size_t v = 0; v < shown.tracks->vessels.size(); ++v) {
            const Prepared::Vessel& track = shown.tracks->vessels[v];
            const TrackSpan span = spanAt(track, cut_);
            const QColor colour =
                PositionsOverlay::vesselColour(shown.firstColour + static_cast<int>(v));
            if (span.cut && span.end > 0) {
                prepared->latest.emplace_back(viewport.toPixel(track.xy[span.end - 1]), colour);
            }
            const std::size_t n = span.end - span.trail;
            points.emplace_back().colour = colour;
            shownParts.emplace_back(
                std::span<const MapPoint>(track.xy).subspan(span.trail, n),
                std::span<const std::uint8_t>(track.ringed).subspan(span.trail, n));
            lineOf.push_back(SIZE_MAX);
            // The trail begins with the segment that ends in its first position.
            const std::size_t trailFrom = span.trail > 0 ? span.trail - 1 : 0;
            ends[s].push_back(span.trail >= 2 ? span.trail : 0);
            if (span.end < trailFrom + 2) {
                continue;
            }
            track::VesselLines lines;
            lines.colour = colour;
            lines.pen = span.cut && cut_->trailMs > 0 ? kTrailPenPx : track::kTrackPenPx;
            lineOf.back() = vessels.size();
            vessels.push_back(std::move(lines));
            tracks.emplace_back(track.xy.data() + trailFrom, span.end - trailFrom);
        }
    }
    std::erase_if(prepared->latest, [&](const auto& at) { return !visible.contains(at.first); });
    // Sprites stamped on whole pixels of the frame's own: those hidden need not be.
    const bool hiddenLeftOut = raster && surface.plain && surface.known && surface.ratio == 1.0;
    // Every vessel's positions are mapped once, for its line and its points, on every core,
    // the last vessel first: the hidden points are left out from the top down on a thread of
    // their own, each vessel as soon as it is done.
    std::optional<SpriteCover> cover;
    const std::unique_ptr<std::atomic<bool>[]> gathered(new std::atomic<bool>[points.size()] {});
    std::future<void> pointsFound = std::async(std::launch::async, [&] {
        if (hiddenLeftOut) {
            cover = track::leaveOutHidden(
                points, surface.pixels,
                [&](std::size_t i) { gathered[i].wait(false, std::memory_order_acquire); }, cancel);
        }
    });
    track::inParallel(points.size(), [&](std::size_t k) {
        const std::size_t i = points.size() - 1 - k;
        const auto& [shownTrack, ringed] = shownParts[i];
        if (lineOf[i] == SIZE_MAX) {
            track::collectPoints(shownTrack, ringed, viewport, visible, raster, scale, points[i],
                                 cancel);
        } else {
            // The line's positions are the points' and, where a trail is cut, one before them.
            const std::size_t line = lineOf[i];
            const std::size_t before = tracks[line].size() - shownTrack.size();
            track::clipTrack(
                tracks[line], viewport, lineBox, vessels[line], cancel,
                [&](std::size_t first, const double* xs, const double* ys, std::size_t n) {
                    const std::size_t skip = first < before ? std::min(n, before - first) : 0;
                    track::placePoints(xs + skip, ys + skip, ringed.data() + first + skip - before,
                                       n - skip, visible, raster, scale, points[i]);
                });
            track::makeSprites(points[i], scale);
        }
        gathered[i].store(true, std::memory_order_release);
        gathered[i].notify_all();
    });
    std::erase_if(vessels, [](const track::VesselLines& v) { return v.lines.empty(); });
    bool finished =
        !track::cancelled(cancel) && prepareHistory(surface, viewport, lineBox, ends, cancel,
                                                    prepared->historyLayer, prepared->historyLines);
    prepared->style = lineStyle(vessels, raster, surface.plain);
    if (finished && prepared->style == LineStyle::Banded) {
        // Lines beneath the points' opaque middles need not be drawn: the raster waits for the
        // points and leaves those pixels out.
        pointsFound.wait();
        std::optional<std::vector<track::LineBand>> bands = track::rasteriseBands(
            surface.pixels, surface.ratio, vessels, reachOf(sets_, viewport, surface.ratio),
            cover ? &*cover : nullptr, cancel);
        finished = bands.has_value();
        if (bands) {
            prepared->bands = std::move(*bands);
        }
        vessels.clear();
    }
    pointsFound.wait();
    if (!finished || track::cancelled(cancel)) {
        return nullptr;
    }
    return prepared;
}

}  // namespace pelagon
