#include "app/AreaShading.h"

#include <QFileInfo>
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

QString AreaShade::choice() const {
    return QStringLiteral("%1, %2").arg(
        periodText.isEmpty() ? QStringLiteral("whole file") : periodText,
        speedText.isEmpty() ? QStringLiteral("every speed") : speedText);
}

QString AreaShade::caption() const {
    return QStringLiteral("Hours of %1, %2").arg(fileName, choice());
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
    const auto& column = set.query->columns()[static_cast<std::size_t>(request.column)];
    shade->layerName = column.name;
    shade->record = column.record;
    shade->fileName = QFileInfo(set.path).fileName();
    shade->periodText = request.periodText;
    if (request.hours.speedRange) {
        shade->speedText = QStringLiteral("%1–%2\u00a0kn")
                               .arg(QString::number(request.hours.minKnots),
                                    QString::number(request.hours.maxKnots));
    }
    shade->store = MapLayers[static_cast<std::size_t>(column.record)]->store();
    std::vector<double> hours;
    for (const auto& [feature, sum] : sums) {
        // The tables list an area a vessel was in at other speeds too, with no hours.
        if (!(sum > 0)) {
            continue;
        }
        shade->areas.push_back({feature, set.query->cellText(request.column, feature), sum});
        hours.push_back(sum);
    }
    shade->classes = shadeClasses(hours);
    return shade;
}

QColor ShadeFill::fill(const ShadeClasses& classes, int k) {
    QColor colour = classes.colour(k);
    colour.setAlpha(kShadeAlpha);
    return colour;
}

bool ShadeFill::draw(QPainter& painter, const Viewport& viewport, const QRectF& clip,
                     const std::atomic<bool>* cancel) const {
    if (!shade_->store || shade_->classes.upper.empty()) {
        return true;
    }
    const FeatureStore& store = *shade_->store;
    const GridToSurface transform(store.frame(), viewport);
    const ScreenGeometry geometry(transform, clip, store.frame(), viewport, 0.5);
    const MapPoint topLeft = viewport.toMap(clip.topLeft());
    const MapPoint bottomRight = viewport.toMap(clip.bottomRight());
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
        if (k < 0 || box.left > bottomRight.x || box.right < topLeft.x || box.bottom > topLeft.y ||
            box.top < bottomRight.y) {
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
        painter.fillPath(path, fill(shade_->classes, k));
    }
    painter.restore();
    return true;
}

QRectF paintShadeLegend(QPainter& painter, const QSizeF& surface, const AreaShade& shade) {
    if (shade.classes.upper.empty() || surface.isEmpty()) {
        return {};
    }
    const double scale = legendScale(painter);
    const QFont titleFont = legendFont(painter, scale, true);
    const QFont bodyFont = legendFont(painter, scale, false);
    const QFontMetricsF title(titleFont, painter.device());
    const QFontMetricsF body(bodyFont, painter.device());
    const double swatch = 18 * scale;
    const double pad = 5 * scale;
    const double rowHeight = body.height() + 2 * scale;
    const std::size_t classes = shade.classes.upper.size();
    double width =
        std::max(title.horizontalAdvance(shade.layerName), body.horizontalAdvance(shade.caption()));
    for (std::size_t k = 0; k < classes; ++k) {
        width =
            std::max(width, swatch + 6 * scale +
                                body.horizontalAdvance(shade.classes.label(static_cast<int>(k))));
    }
    const QSizeF size(width + 2 * pad, title.height() + body.height() +
                                           static_cast<double>(classes) * rowHeight + 3 * pad);
    // The lower right corner: the scale bar keeps the lower left and the time the upper left.
    const QRectF box(QPointF(surface.width() - 8 * scale - size.width(),
                             surface.height() - 8 * scale - size.height()),
                     size);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(QColor(60, 60, 60), 1 * scale));
    painter.setBrush(QColor(255, 255, 255, 230));
    painter.drawRect(box);
    const double left = box.left() + pad;
    const double right = box.width() - 2 * pad;
    double y = box.top() + pad;
    painter.setPen(Qt::black);
    painter.setFont(titleFont);
    painter.drawText(QRectF(left, y, right, title.height()), Qt::AlignLeft | Qt::AlignVCenter,
                     shade.layerName);
    y += title.height();
    painter.setFont(bodyFont);
    painter.drawText(QRectF(left, y, right, body.height()), Qt::AlignLeft | Qt::AlignVCenter,
                     shade.caption());
    y += body.height() + pad;
    for (std::size_t k = 0; k < classes; ++k) {
        const int c = static_cast<int>(k);
        const QRectF row(left, y, right, body.height());
        painter.setPen(QPen(QColor(90, 90, 90), 1 * scale));
        painter.setBrush(ShadeFill::fill(shade.classes, c));
        painter.drawRect(
            QRectF(row.left(), row.top() + 1 * scale, swatch, row.height() - 2 * scale));
        painter.setPen(Qt::black);
        painter.drawText(row.adjusted(swatch + 6 * scale, 0, 0, 0),
                         Qt::AlignLeft | Qt::AlignVCenter, shade.classes.label(c));
        y += rowHeight;
    }
    painter.restore();
    return box;
}

}  // namespace pelagon
