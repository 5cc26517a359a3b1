#include "render/MapDecorations.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

#include "geo/AlbersMath.h"
#include "render/Graticule.h"
#include "render/Symbology.h"

namespace pelagon {

namespace {

QString groupedInteger(long long v) {
    QString digits = QString::number(std::llabs(v));
    for (qsizetype i = digits.size() - 3; i > 0; i -= 3) {
        digits.insert(i, QLatin1Char(','));
    }
    return v < 0 ? QLatin1Char('-') + digits : digits;
}

// Text with a white halo, so it reads over any fill. The halo is an outline; the text is
// drawn as text, so that a PDF or SVG keeps it as words one can search and copy.
void haloText(QPainter& painter, QPointF baseline, const QString& text, const QFont& font,
              double scale) {
    QPainterPath path;
    path.addText(baseline, font, text);
    painter.setPen(
        QPen(QColor(255, 255, 255, 220), 3.0 * scale, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(path);
    painter.setFont(font);
    painter.setPen(QColor(40, 40, 70));
    painter.drawText(baseline, text);
}

// The scale bar's pieces: its box against the bottom-left corner and its two bars.
struct ScaleBarPlacement {
    QRectF box;
    ScaleBarLayout layout;
    QString nmText, kmText;
    double pad = 0, barHeight = 0, gap = 0, rowHeight = 0, barsWidth = 0;
};

std::optional<ScaleBarPlacement> placeScaleBar(const Viewport& viewport,
                                               const AlbersProjection& projection, double scale) {
    const QSizeF size = viewport.size();
    const double maxWidth = std::max(40.0 * scale, size.width() / 4.0);
    const std::optional<ScaleBarLayout> layout = scaleBarLayout(viewport, projection, maxWidth);
    if (!layout || layout->nauticalMileWidth <= 0 || layout->kilometreWidth <= 0) {
        return std::nullopt;
    }
    const QFontMetricsF metrics(decorationFont(scale));
    ScaleBarPlacement p;
    p.layout = *layout;
    p.nmText = scaleBarText(layout->nauticalMiles, QStringLiteral("nm"));
    p.kmText = scaleBarText(layout->kilometres, QStringLiteral("km"));
    p.pad = 5.0 * scale;
    p.barHeight = 5.0 * scale;
    p.gap = 6.0 * scale;
    p.rowHeight = std::max(p.barHeight, metrics.height());
    p.barsWidth = std::max(layout->nauticalMileWidth, layout->kilometreWidth);
    const double textWidth =
        std::max(metrics.horizontalAdvance(p.nmText), metrics.horizontalAdvance(p.kmText));
    p.box = QRectF(10.0 * scale, size.height() - 10.0 * scale - (2 * p.rowHeight + 3 * p.pad),
                   p.barsWidth + p.gap + textWidth + 2 * p.pad, 2 * p.rowHeight + 3 * p.pad);
    if (p.box.top() < 0 || p.box.right() > size.width()) {
        return std::nullopt;  // the view is too small for it
    }
    return p;
}

void drawScaleBar(QPainter& painter, const ScaleBarPlacement& p, double scale) {
    const QFont font = decorationFont(scale);
    const QFontMetricsF metrics(font);
    painter.setPen(QPen(QColor(120, 120, 120), std::max(0.5, 0.75 * scale)));
    painter.setBrush(QColor(255, 255, 255, 215));
    painter.drawRect(p.box);

    const auto bar = [&](double top, double width, const QString& text) {
        const QRectF whole(p.box.left() + p.pad, top + (p.rowHeight - p.barHeight) / 2, width,
                           p.barHeight);
        // Two halves, dark then light, under one outline.
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(30, 30, 30));
        painter.drawRect(QRectF(whole.left(), whole.top(), width / 2, p.barHeight));
        painter.setBrush(Qt::white);
        painter.drawRect(QRectF(whole.left() + width / 2, whole.top(), width / 2, p.barHeight));
        painter.setPen(QPen(QColor(30, 30, 30), std::max(0.5, 0.75 * scale)));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(whole);
        painter.setFont(font);
        painter.setPen(QColor(30, 30, 30));
        painter.drawText(QPointF(p.box.left() + p.pad + p.barsWidth + p.gap,
                                 top + (p.rowHeight + metrics.ascent() - metrics.descent()) / 2),
                         text);
    };
    bar(p.box.top() + p.pad, p.layout.nauticalMileWidth, p.nmText);
    bar(p.box.top() + 2 * p.pad + p.rowHeight, p.layout.kilometreWidth, p.kmText);
}

void drawGraticule(QPainter& painter, const GraticuleLayout& layout, double scale) {
    painter.setPen(QPen(QColor(60, 60, 110, 150), std::max(1.0, scale)));
    painter.setBrush(Qt::NoBrush);
    for (const QPolygonF& line : layout.lines) {
        painter.drawPolyline(line);
    }
    const QFont font = decorationFont(scale);
    for (const GraticuleLabel& l : layout.labels) {
        haloText(painter, l.baseline, l.text, font, scale);
    }
}

}  // namespace

double roundLengthAtMost(double limit) {
    if (!(limit > 0) || !std::isfinite(limit)) {
        return 0;
    }
    const double power = std::pow(10.0, std::floor(std::log10(limit)));
    for (const double m : {5.0, 2.0, 1.0}) {
        if (m * power <= limit * (1 + 1e-12)) {
            return m * power;
        }
    }
    return power / 2;  // not reached: 1 × power is at most limit
}

std::optional<double> parallelScale(const AlbersProjection& projection, MapPoint at) {
    double lon = 0;
    double lat = 0;
    if (!projection.AlbersToLatLong(at.x, at.y, lon, lat)) {
        return std::nullopt;
    }
    const double phi = DegToRad(lat);
    const double cosPhi = std::cos(phi);
    if (cosPhi < 1e-6) {
        return std::nullopt;
    }
    // A short step either side along the parallel, measured on the plane and on the ellipsoid
    // (radius of the parallel N·cos φ).
    constexpr double kStep = 0.005;  // degrees
    double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    if (!projection.LatLongToAlbers(lon - kStep, lat, x1, y1) ||
        !projection.LatLongToAlbers(lon + kStep, lat, x2, y2)) {
        return std::nullopt;
    }
    const double sinPhi = std::sin(phi);
    const double n =
        kSemiMajorAxis / std::sqrt(1.0 - kEccentricity * kEccentricity * sinPhi * sinPhi);
    const double ground = n * cosPhi * DegToRad(2 * kStep);
    const double plane = std::hypot(x2 - x1, y2 - y1);
    if (!(ground > 0) || !std::isfinite(plane)) {
        return std::nullopt;
    }
    return plane / ground;
}

std::optional<ScaleBarLayout> scaleBarLayout(const Viewport& viewport,
                                             const AlbersProjection& projection, double maxWidth) {
    if (!viewport.isValid() || !(maxWidth > 0)) {
        return std::nullopt;
    }
    const std::optional<double> k = parallelScale(projection, viewport.extent().center());
    if (!k) {
        return std::nullopt;
    }
    // Surface units per metre on the ground.
    const double perMetre = *k / viewport.mapUnitsPerPixel();
    ScaleBarLayout out;
    out.nauticalMiles = roundLengthAtMost(maxWidth / (perMetre * kMetresPerNauticalMile));
    out.nauticalMileWidth = out.nauticalMiles * kMetresPerNauticalMile * perMetre;
    out.kilometres = roundLengthAtMost(maxWidth / (perMetre * 1000.0));
    out.kilometreWidth = out.kilometres * 1000.0 * perMetre;
    return out;
}

QString scaleBarText(double value, const QString& unit) {
    QString number;
    if (value >= 1.0) {
        number = groupedInteger(std::llround(value));
    } else {
        number = QString::number(value, 'g', 6);
    }
    return number + QLatin1Char(' ') + unit;
}

std::optional<QRectF> scaleBarBox(const Viewport& viewport, const AlbersProjection& projection,
                                  double scale) {
    if (!viewport.isValid()) {
        return std::nullopt;
    }
    const std::optional<ScaleBarPlacement> p = placeScaleBar(viewport, projection, scale);
    return p ? std::optional<QRectF>(p->box) : std::nullopt;
}

double outputDecorationScale(QSizeF output, QSizeF shown) {
    if (output.isEmpty() || shown.isEmpty()) {
        return 1.0;
    }
    return std::max(1.0,
                    std::min(output.width() / shown.width(), output.height() / shown.height()));
}

void drawMapDecorations(QPainter& painter, const Viewport& viewport,
                        const MapDecorations& decorations, double scale) {
    if (!decorations.any() || !viewport.isValid()) {
        return;
    }
    if (scale <= 0) {
        scale = symbology::deviceScale(painter);
    }
    const AlbersProjection& projection = *decorations.projection;
    std::optional<ScaleBarPlacement> bar;
    if (decorations.scaleBar) {
        bar = placeScaleBar(viewport, projection, scale);
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setClipRect(QRectF(QPointF(0, 0), viewport.size()),
                        painter.hasClipping() ? Qt::IntersectClip : Qt::ReplaceClip);
    if (decorations.graticule) {
        // The labels keep clear of the scale bar, which is drawn over the lines.
        drawGraticule(painter,
                      graticuleLayout(viewport, projection, scale,
                                      bar ? std::optional<QRectF>(bar->box) : std::nullopt),
                      scale);
    }
    if (bar) {
        drawScaleBar(painter, *bar, scale);
    }
    painter.restore();
}

}  // namespace pelagon
