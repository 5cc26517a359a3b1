#include "app/PositionsOverlay.h"

#include <QPainter>
#include <QPen>
#include <QPolygonF>

#include <algorithm>
#include <cmath>

#include "query/PositionSet.h"
#include "render/Viewport.h"

namespace pelagon {

const QColor PositionsOverlay::kRingColour(220, 0, 0);

namespace {

constexpr double kPointPx = 6;  // diameter of a position's point
constexpr double kRingPx = 12;  // outer diameter of the red ring
constexpr double kMarkPx = 22;  // the chosen position's ring

// Device pixels per logical pixel of the painter's device, so that sizes hold on printers.
double pixelScale(const QPainter& painter) {
    const QPaintDevice* device = painter.device();
    return device != nullptr ? std::max(1.0, device->logicalDpiX() / 96.0) : 1.0;
}

}  // namespace

QColor PositionsOverlay::vesselColour(int index) {
    // Golden-angle steps round the hue circle, leaving out the reds next to the rings.
    const double hue = 25.0 + std::fmod(index * 137.50776, 310.0);
    const int value = index % 2 == 0 ? 205 : 150;
    return QColor::fromHsv(static_cast<int>(hue) % 360, 230, value);
}

void PositionsOverlay::add(std::shared_ptr<const PositionSet> set, int firstColour) {
    if (set) {
        sets_.push_back({std::move(set), firstColour});
    }
}

void PositionsOverlay::remove(const PositionSet* set) {
    std::erase_if(sets_, [set](const Shown& s) { return s.set.get() == set; });
    if (markSet_ == set) {
        markSet_ = nullptr;
        markRow_ = -1;
    }
}

void PositionsOverlay::setMark(const PositionSet* set, int row) {
    markSet_ = row >= 0 ? set : nullptr;
    markRow_ = set != nullptr ? row : -1;
}

void PositionsOverlay::paint(QPainter& painter, const Viewport& viewport) const {
    if (sets_.empty() || !viewport.isValid()) {
        return;
    }
    const double scale = pixelScale(painter);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setBrush(Qt::NoBrush);
    // Points outside the view (with room for their rings) are not drawn.
    const double margin = kMarkPx * scale;
    const QRectF visible =
        QRectF(QPointF(0, 0), viewport.size()).adjusted(-margin, -margin, margin, margin);

    for (const Shown& shown : sets_) {
        const PositionSet& set = *shown.set;
        // Tracks first, under every point.
        for (std::size_t v = 0; v < set.tracks.size(); ++v) {
            const std::vector<int>& track = set.tracks[v];
            if (track.size() < 2) {
                continue;
            }
            QPolygonF line;
            line.reserve(static_cast<qsizetype>(track.size()));
            for (const int r : track) {
                line.append(viewport.toPixel(set.rows[static_cast<std::size_t>(r)].xy));
            }
            QPen pen(vesselColour(shown.firstColour + static_cast<int>(v)), 1.5 * scale);
            pen.setJoinStyle(Qt::RoundJoin);
            painter.setPen(pen);
            painter.drawPolyline(line);
        }
        // Points, a vessel at a time; rings under the points they surround.
        for (std::size_t v = 0; v < set.tracks.size(); ++v) {
            QPolygonF plain;
            QPolygonF ringed;
            for (const int r : set.tracks[v]) {
                const PositionSet::Row& row = set.rows[static_cast<std::size_t>(r)];
                const QPointF p = viewport.toPixel(row.xy);
                if (!visible.contains(p)) {
                    continue;
                }
                (row.inDocumentArea ? ringed : plain).append(p);
            }
            const QColor colour = vesselColour(shown.firstColour + static_cast<int>(v));
            QPen pen(Qt::SolidPattern, 1, Qt::SolidLine, Qt::RoundCap);
            if (!ringed.isEmpty()) {
                pen.setColor(kRingColour);
                pen.setWidthF(kRingPx * scale);
                painter.setPen(pen);
                painter.drawPoints(ringed);
                pen.setColor(Qt::white);
                pen.setWidthF((kRingPx - 3) * scale);
                painter.setPen(pen);
                painter.drawPoints(ringed);
            }
            pen.setColor(colour.darker(160));
            pen.setWidthF((kPointPx + 1.5) * scale);
            painter.setPen(pen);
            painter.drawPoints(plain);
            painter.drawPoints(ringed);
            pen.setColor(colour);
            pen.setWidthF(kPointPx * scale);
            painter.setPen(pen);
            painter.drawPoints(plain);
            painter.drawPoints(ringed);
        }
    }

    // The chosen position: black and white rings with cross hairs, seen on any map colour.
    if (markSet_ != nullptr && markRow_ >= 0 &&
        static_cast<std::size_t>(markRow_) < markSet_->rows.size()) {
        const PositionSet::Row& row = markSet_->rows[static_cast<std::size_t>(markRow_)];
        const bool shown = std::any_of(sets_.begin(), sets_.end(),
                                       [&](const Shown& s) { return s.set.get() == markSet_; });
        if (shown && row.placed) {
            const QPointF p = viewport.toPixel(row.xy);
            const double r = kMarkPx / 2 * scale;
            for (const auto& [colour, width] :
                 {std::pair{QColor(Qt::white), 4.0}, std::pair{QColor(Qt::black), 2.0}}) {
                painter.setPen(QPen(colour, width * scale));
                painter.drawEllipse(p, r, r);
                painter.drawLine(p + QPointF(-2 * r, 0), p + QPointF(-r, 0));
                painter.drawLine(p + QPointF(r, 0), p + QPointF(2 * r, 0));
                painter.drawLine(p + QPointF(0, -2 * r), p + QPointF(0, -r));
                painter.drawLine(p + QPointF(0, r), p + QPointF(0, 2 * r));
            }
        }
    }
    painter.restore();
}

}  // namespace pelagon
