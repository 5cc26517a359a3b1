#include "app/PositionsOverlay.h"

#include <QDateTime>
#include <QFontMetricsF>
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

void PositionsOverlay::add(std::shared_ptr<const PositionSet> set, int firstColour,
                           std::shared_ptr<const TrackPicture::Prepared> tracks) {
    if (set) {
        if (!tracks) {
            tracks = TrackPicture::Prepared::of(*set);
        }
        sets_.push_back({std::move(set), firstColour, std::move(tracks)});
        history_ = std::make_shared<TrackPicture::History>();
        picture_ = std::make_shared<TrackPicture>(sets_, cut_, history_);
    }
}

void PositionsOverlay::remove(const PositionSet* set) {
    std::erase_if(sets_, [set](const Shown& s) { return s.set.get() == set; });
    history_ = std::make_shared<TrackPicture::History>();
    picture_ = sets_.empty() ? nullptr : std::make_shared<TrackPicture>(sets_, cut_, history_);
    if (visit_.set == set) {
        visit_ = {};
    }
    if (markSet_ == set) {
        markSet_ = nullptr;
        markRow_ = -1;
    }
}

void PositionsOverlay::setTimeCut(std::optional<TrackPicture::TimeCut> cut) {
    cut_ = cut;
    picture_ = sets_.empty() ? nullptr : std::make_shared<TrackPicture>(sets_, cut_, history_);
}

QString PositionsOverlay::timeText(qint64 ms) {
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC).toString(Qt::ISODate);
}

std::shared_ptr<const OverlayPicture> PositionsOverlay::picture() const {
    return picture_;
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
    // The chosen visit: its part of the track, wide, over a white edge.
    for (const Shown& shown : sets_) {
        if (shown.set.get() != visit_.set || visit_.vessel < 0 ||
            static_cast<std::size_t>(visit_.vessel) >= shown.tracks->vessels.size()) {
            continue;
        }
        const TrackPicture::Prepared::Vessel& track =
            shown.tracks->vessels[static_cast<std::size_t>(visit_.vessel)];
        QPolygonF line;
        line.append(viewport.toPixel(visit_.enter));
        if (track.timeMs.size() == track.xy.size()) {
            const auto from = std::upper_bound(track.timeMs.begin(), track.timeMs.end(),
                                               visit_.enterMs);
            const auto to = std::lower_bound(from, track.timeMs.end(), visit_.exitMs);
            for (auto it = from; it != to; ++it) {
                line.append(viewport.toPixel(track.xy[static_cast<std::size_t>(
                    it - track.timeMs.begin())]));
            }
        }
        line.append(viewport.toPixel(visit_.exit));
        const QColor colour = visit_.document ? kRingColour : QColor(20, 20, 20);
        for (const auto& [c, width] :
             {std::pair{QColor(Qt::white), 7.0}, std::pair{colour, 3.5}}) {
            painter.setPen(QPen(c, width * scale, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            painter.drawPolyline(line);
        }
        // The entry point ringed, leaving the vessel's own mark inside it in sight.
        const double r = 9 * scale;
        painter.setPen(QPen(Qt::white, 5 * scale));
        painter.drawEllipse(line.front(), r, r);
        painter.setPen(QPen(colour, 2.5 * scale));
        painter.drawEllipse(line.front(), r, r);
    }
    // The time the tracks are cut at, in a box in the upper left corner.
    if (cut_) {
        QFont font = painter.font();
        font.setPixelSize(static_cast<int>(std::lround(13 * scale)));
        font.setBold(true);
        painter.setFont(font);
        const QString text = timeText(cut_->atMs);
        const QFontMetricsF metrics(font, painter.device());
        const double pad = 4 * scale;
        const QRectF box(QPointF(8 * scale, 8 * scale),
                         QSizeF(metrics.horizontalAdvance(text) + 2 * pad,
                                metrics.height() + 2 * pad));
        painter.setPen(QPen(QColor(60, 60, 60), 1 * scale));
        painter.setBrush(QColor(255, 255, 255, 225));
        painter.drawRect(box);
        painter.setPen(Qt::black);
        painter.drawText(box, Qt::AlignCenter, text);
    }
    painter.restore();
}

}  // namespace pelagon
