#include "app/AreaShading.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

#include <algorithm>
#include <array>
#include <cmath>
#include <map>

#include "query/PositionSet.h"
#include "render/MapLayer.h"
#include "render/ScreenGeometry.h"
#include "render/Viewport.h"
#include "store/FeatureStore.h"
#include "tracks/TrackTables.h"

namespace pelagon {

namespace {

constexpr int kShadeClasses = 5;

// The power of ten of a value's second significant digit.
double secondDigitStep(double v) {
    return std::pow(10.0, std::floor(std::log10(v)) - 1);
}

double roundTwoDigits(double v) {
    const double step = secondDigitStep(v);
    return std::round(v / step) * step;
}

double roundUpTwoDigits(double v) {
    const double step = secondDigitStep(v);
    // The tolerance keeps a value already at two digits (2.3 stored as 2.2999…) where it is.
    return std::ceil(v / step - 1e-9) * step;
}

QString breakText(double v) {
    if (v <= 0) {
        return QStringLiteral("0");
    }
    const int decimals = std::max(0, -static_cast<int>(std::floor(std::log10(v))) + 1);
    QString text = QString::number(v, 'f', decimals);
    if (text.contains(u'.')) {
        while (text.endsWith(u'0')) {
            text.chop(1);
        }
        if (text.endsWith(u'.')) {
            text.chop(1);
        }
    }
    return text;
}

// Yellow to deep red, light to dark (a common sequential scheme for counts).
constexpr std::array<QRgb, kShadeClasses> kShadeRamp = {0xffffb2, 0xfecc5c, 0xfd8d3c, 0xf03b20,
                                                        0xbd0026};
constexpr int kShadeAlpha = 165;  // the layer's outlines and labels still show through

class ShadePicture : public OverlayPicture {
public:
    explicit ShadePicture(std::shared_ptr<const AreaShade> shade) : shade_(std::move(shade)) {}

    bool draw(QPainter& painter, const Viewport& viewport,
              const std::atomic<bool>* cancel) const override {
        const FeatureStore& store = *shade_->store;
        const GridToSurface transform(store.frame(), viewport);
        const double margin = 8;
        const QRectF clip =
            QRectF(QPointF(0, 0), viewport.size()).adjusted(-margin, -margin, margin, margin);
        const ScreenGeometry geometry(transform, clip, store.frame(), viewport, 0.5);
        const MapRect view = viewport.extent();
        painter.save();
        painter.setRenderHint(QPainter::Antialiasing, true);
        painter.setPen(Qt::NoPen);
        std::vector<QPointF> points;
        std::vector<QPointF> scratch;
        int done = 0;
        for (const AreaShade::Area& area : shade_->areas) {
            if (cancel != nullptr && (++done & 63) == 0 && cancel->load()) {
                painter.restore();
                return false;
            }
            const int k = shade_->classes.classOf(area.hours);
            const auto f = static_cast<FeatureId>(area.feature);
            const MapRect box = store.featureBounds(f);
            if (k < 0 || box.left > view.right || box.right < view.left || box.bottom > view.top ||
                box.top < view.bottom) {
                continue;
            }
            QPainterPath path;
            path.setFillRule(Qt::OddEvenFill);
            for (std::uint32_t r = store.firstRing(f); r < store.endRing(f); ++r) {
                geometry.project(store.ring(r), store.ringChunks(r), true, points);
                geometry.clipPolygon(points, scratch);
                if (points.size() >= 3) {
                    path.addPolygon(QPolygonF(QList<QPointF>(points.begin(), points.end())));
                    path.closeSubpath();
                }
            }
            QColor fill = shade_->classes.colour(k);
            fill.setAlpha(kShadeAlpha);
            painter.fillPath(path, fill);
        }
        painter.restore();
        return true;
    }

private:
    std::shared_ptr<const AreaShade> shade_;
};

// Device pixels per logical pixel of the painter's device, so that the legend holds its size on
// printers.
double legendScale(const QPainter& painter) {
    const QPaintDevice* device = painter.device();
    return device != nullptr ? std::max(1.0, device->logicalDpiX() / 96.0) : 1.0;
}

QFont legendFont(const QPainter& painter, double scale, bool bold) {
    QFont font = painter.font();
    font.setPixelSize(static_cast<int>(std::lround(12 * scale)));
    font.setBold(bold);
    return font;
}

}  // namespace

int ShadeClasses::classOf(double hours) const {
    if (!(hours > 0)) {
        return -1;
    }
    for (std::size_t k = 0; k < upper.size(); ++k) {
        if (hours <= upper[k]) {
            return static_cast<int>(k);
        }
    }
    return upper.empty() ? -1 : static_cast<int>(upper.size()) - 1;
}

QString ShadeClasses::label(int k) const {
    const auto i = static_cast<std::size_t>(k);
    return QStringLiteral("%1–%2 h").arg(breakText(k == 0 ? 0.0 : upper[i - 1]),
                                         breakText(upper[i]));
}

QColor ShadeClasses::colour(int k) const {
    const int n = static_cast<int>(upper.size());
    const int at = n <= 1 ? kShadeClasses / 2 : k * (kShadeClasses - 1) / (n - 1);
    return QColor::fromRgb(
        kShadeRamp[static_cast<std::size_t>(std::clamp(at, 0, kShadeClasses - 1))]);
}

ShadeClasses shadeClasses(std::span<const double> hours) {
    std::vector<double> positive;
    for (const double h : hours) {
        if (h > 0) {
            positive.push_back(h);
        }
    }
    ShadeClasses classes;
    if (positive.empty()) {
        return classes;
    }
    std::sort(positive.begin(), positive.end());
    const std::size_t n = positive.size();
    const double top = roundUpTwoDigits(positive.back());
    for (std::size_t k = 1; k < kShadeClasses; ++k) {
        // Nearest rank: the smallest value with at least k/5 of the values at or below it.
        const std::size_t rank = (k * n + kShadeClasses - 1) / kShadeClasses;
        const double b = roundTwoDigits(positive[rank - 1]);
        const double lower = classes.upper.empty() ? 0.0 : classes.upper.back();
        // A break that would leave its class or the next one empty is left out.
        const bool below = std::upper_bound(positive.begin(), positive.end(), b) !=
                           std::upper_bound(positive.begin(), positive.end(), lower);
        if (b > lower && b < positive.back() && below) {
            classes.upper.push_back(b);
        }
    }
    classes.upper.push_back(top);
    return classes;
}

QString AreaShade::title() const {
    return QStringLiteral("%1, %2 (hours)")
        .arg(layerName, periodText.isEmpty() ? QStringLiteral("whole file") : periodText);
}

std::shared_ptr<const AreaShade> computeAreaShade(
    const PositionSet& set, const std::vector<std::shared_ptr<MapLayer>>& MapLayers,
    const ShadeRequest& request) {
    const tracks::TrackAreas areas(set.query, MapLayers);
    const auto& columns = areas.columns();
    const auto at = std::find(columns.begin(), columns.end(), request.column);
    if (at == columns.end()) {
        return nullptr;
    }
    tracks::TrackWork work;
    work.visits = false;
    work.wantHours = true;
    work.hours = request.hours;
    const tracks::TrackResults results = tracks::computeTracks(set, areas, work);
    std::map<std::int32_t, double> sums;
    for (const tracks::AreaHours& h : results.hours) {
        if (h.column == request.column && (request.hours.by == tracks::Period::Whole ||
                                           h.periodStartMs == request.periodStartMs)) {
            sums[h.area] += h.hours;
        }
    }
    auto shade = std::make_shared<AreaShade>();
    shade->layerName = set.query->columns()[static_cast<std::size_t>(request.column)].name;
    shade->periodText = request.periodText;
    shade->store =
        MapLayers[static_cast<std::size_t>(
                      set.query->columns()[static_cast<std::size_t>(request.column)].record)]
            ->store();
    std::vector<double> hours;
    for (const auto& [feature, sum] : sums) {
        shade->areas.push_back({feature, set.query->cellText(request.column, feature), sum});
        hours.push_back(sum);
    }
    shade->classes = shadeClasses(hours);
    return shade;
}

std::shared_ptr<const OverlayPicture> ShadeOverlay::picture() const {
    if (!shade_ || !shade_->store || shade_->classes.upper.empty()) {
        return nullptr;
    }
    return std::make_shared<ShadePicture>(shade_);
}

}  // namespace pelagon

namespace pelagon {

QRectF ShadeOverlay::legendBox(const QPainter& painter, const Viewport& viewport) const {
    if (!shade_ || shade_->classes.upper.empty() || !viewport.isValid()) {
        return {};
    }
    const double scale = legendScale(painter);
    const QFontMetricsF title(legendFont(painter, scale, true), painter.device());
    const QFontMetricsF body(legendFont(painter, scale, false), painter.device());
    double width = title.horizontalAdvance(shade_->title());
    const double swatch = 18 * scale;
    for (std::size_t k = 0; k < shade_->classes.upper.size(); ++k) {
        width =
            std::max(width, swatch + 6 * scale +
                                body.horizontalAdvance(shade_->classes.label(static_cast<int>(k))));
    }
    const double pad = 5 * scale;
    const double rows = static_cast<double>(shade_->classes.upper.size());
    const QSizeF size(width + 2 * pad,
                      title.height() + rows * (body.height() + 2 * scale) + 3 * pad);
    // The lower right corner: the scale bar keeps the lower left, the time the upper left, and
    // the Positions windows open over the upper right.
    return QRectF(QPointF(viewport.size().width() - 8 * scale - size.width(),
                          viewport.size().height() - 8 * scale - size.height()),
                  size);
}

void ShadeOverlay::paint(QPainter& painter, const Viewport& viewport) const {
    const QRectF box = legendBox(painter, viewport);
    if (box.isEmpty()) {
        return;
    }
    const double scale = legendScale(painter);
    const double pad = 5 * scale;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(QColor(60, 60, 60), 1 * scale));
    painter.setBrush(QColor(255, 255, 255, 230));
    painter.drawRect(box);
    const QFont titleFont = legendFont(painter, scale, true);
    const QFont bodyFont = legendFont(painter, scale, false);
    const QFontMetricsF title(titleFont, painter.device());
    const QFontMetricsF body(bodyFont, painter.device());
    painter.setFont(titleFont);
    painter.setPen(Qt::black);
    double y = box.top() + pad;
    painter.drawText(QRectF(box.left() + pad, y, box.width() - 2 * pad, title.height()),
                     Qt::AlignLeft | Qt::AlignVCenter, shade_->title());
    y += title.height() + pad;
    painter.setFont(bodyFont);
    const double swatch = 18 * scale;
    for (std::size_t k = 0; k < shade_->classes.upper.size(); ++k) {
        const int c = static_cast<int>(k);
        const QRectF row(box.left() + pad, y, box.width() - 2 * pad, body.height());
        QColor fill = shade_->classes.colour(c);
        fill.setAlpha(kShadeAlpha);
        painter.setPen(QPen(QColor(90, 90, 90), 1 * scale));
        painter.setBrush(fill);
        painter.drawRect(
            QRectF(row.left(), row.top() + 1 * scale, swatch, row.height() - 2 * scale));
        painter.setPen(Qt::black);
        painter.drawText(row.adjusted(swatch + 6 * scale, 0, 0, 0),
                         Qt::AlignLeft | Qt::AlignVCenter, shade_->classes.label(c));
        y += body.height() + 2 * scale;
    }
    painter.restore();
}

}  // namespace pelagon
