#include "render/MapDecorations.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

#include <algorithm>
#include <cmath>

#include "geo/AlbersMath.h"
#include "render/Symbology.h"

namespace pelagon {

namespace {

// Longitude difference brought into (−180, 180].
double wrapDegrees(double d) {
    d = std::fmod(d, 360.0);
    if (d > 180.0) {
        d -= 360.0;
    } else if (d <= -180.0) {
        d += 360.0;
    }
    return d;
}

// Whole minutes of a longitude brought into (−180°, 180°].
int wrapMinutes(long long m) {
    m %= 21600;
    if (m > 10800) {
        m -= 21600;
    } else if (m <= -10800) {
        m += 21600;
    }
    return static_cast<int>(m);
}

QString groupedInteger(long long v) {
    QString digits = QString::number(std::llabs(v));
    for (qsizetype i = digits.size() - 3; i > 0; i -= 3) {
        digits.insert(i, QLatin1Char(','));
    }
    return v < 0 ? QLatin1Char('-') + digits : digits;
}

QFont decorationFont(double scale) {
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(std::max(1, static_cast<int>(std::lround(11.0 * scale))));
    return font;
}

// Text with a white halo, so it reads over any fill.
void haloText(QPainter& painter, QPointF baseline, const QString& text, const QFont& font,
              double scale) {
    QPainterPath path;
    path.addText(baseline, font, text);
    painter.setPen(
        QPen(QColor(255, 255, 255, 220), 3.0 * scale, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(path);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(40, 40, 70));
    painter.drawPath(path);
}

std::optional<QPointF> surfacePoint(const Viewport& viewport, const AlbersProjection& projection,
                                    double lon, double lat) {
    double x = 0;
    double y = 0;
    if (!projection.LatLongToAlbers(lon, lat, x, y)) {
        return std::nullopt;
    }
    return viewport.toPixel({x, y});
}

// Where a polyline first crosses a straight edge of the surface: along x = value (vertical) or
// y = value; the crossing must lie within [0, span] on the other axis.
std::optional<QPointF> crossing(const QPolygonF& line, bool vertical, double value, double span) {
    for (qsizetype i = 1; i < line.size(); ++i) {
        const QPointF a = line[i - 1];
        const QPointF b = line[i];
        const double av = vertical ? a.x() : a.y();
        const double bv = vertical ? b.x() : b.y();
        if ((av - value) * (bv - value) > 0 || av == bv) {
            continue;
        }
        const double t = (value - av) / (bv - av);
        const QPointF p = a + (b - a) * t;
        const double other = vertical ? p.y() : p.x();
        if (other >= 0 && other <= span) {
            return p;
        }
    }
    return std::nullopt;
}

void drawGraticule(QPainter& painter, const Viewport& viewport, const AlbersProjection& projection,
                   double scale) {
    const std::optional<GeoBounds> bounds = viewBounds(viewport, projection);
    if (!bounds) {
        return;
    }
    const int step =
        graticuleSpacing(bounds->latMax - bounds->latMin, bounds->dLonMax - bounds->dLonMin);
    const double lon0 = projection.CentralLon;
    const QSizeF size = viewport.size();
    const QFont font = decorationFont(scale);
    const QFontMetricsF metrics(font);
    const QPen linePen(QColor(60, 60, 110, 150), std::max(1.0, scale));
    constexpr int kSamples = 96;
    // Bounded loops: a degenerate view never draws thousands of lines.
    constexpr int kMostLines = 4 * kMaxGraticuleLines + 8;

    struct Label {
        QPointF at;
        QString text;
        bool meridian;
    };
    std::vector<Label> labels;

    const auto firstMultiple = [step](double degrees) {
        return static_cast<long long>(std::ceil(degrees * 60.0 / step - 1e-9)) * step;
    };
    // A parallel or meridian: kSamples + 1 points along it (t from 0 to 1) where the projection
    // places them, drawn when at least two are.
    const auto drawCurve = [&](const auto& pointAt) {
        QPolygonF line;
        for (int k = 0; k <= kSamples; ++k) {
            if (auto p = pointAt(static_cast<double>(k) / kSamples)) {
                line << *p;
            }
        }
        if (line.size() >= 2) {
            painter.setPen(linePen);
            painter.setBrush(Qt::NoBrush);
            painter.drawPolyline(line);
        }
        return line;
    };
    // Parallels.
    int drawn = 0;
    for (long long m = firstMultiple(bounds->latMin); m <= bounds->latMax * 60.0 + 1e-9;
         m += step) {
        if (++drawn > kMostLines) {
            break;
        }
        const double lat = static_cast<double>(m) / 60.0;
        const QPolygonF line = drawCurve([&](double t) {
            return surfacePoint(viewport, projection,
                                lon0 + bounds->dLonMin + (bounds->dLonMax - bounds->dLonMin) * t,
                                lat);
        });
        if (line.size() < 2) {
            continue;
        }
        const QString text = graticuleLabel(static_cast<int>(m), true);
        if (auto at = crossing(line, true, 0.0, size.height())) {
            labels.push_back({*at, text, false});
        } else if (auto right = crossing(line, true, size.width(), size.height())) {
            labels.push_back(
                {*right - QPointF(metrics.horizontalAdvance(text) + 4 * scale, 0), text, false});
        }
    }
    // Meridians, at absolute longitudes that are multiples of the step.
    drawn = 0;
    for (long long m = firstMultiple(lon0 + bounds->dLonMin);
         m <= (lon0 + bounds->dLonMax) * 60.0 + 1e-9; m += step) {
        if (++drawn > kMostLines * 2) {
            break;
        }
        const double lon = static_cast<double>(m) / 60.0;
        const QPolygonF line = drawCurve([&](double t) {
            return surfacePoint(viewport, projection, lon,
                                bounds->latMin + (bounds->latMax - bounds->latMin) * t);
        });
        if (line.size() < 2) {
            continue;
        }
        const QString text = graticuleLabel(wrapMinutes(m), false);
        if (auto at = crossing(line, false, size.height(), size.width())) {
            labels.push_back({*at, text, true});
        } else if (auto top = crossing(line, false, 0.0, size.width())) {
            labels.push_back({*top + QPointF(0, metrics.ascent() + 4 * scale), text, true});
        }
    }
    // Labels last, inside the edge they name.
    for (const Label& l : labels) {
        const double width = metrics.horizontalAdvance(l.text);
        QPointF baseline;
        if (l.meridian) {
            const double x =
                std::clamp(l.at.x() - width / 2, 2 * scale, size.width() - width - 2 * scale);
            baseline =
                QPointF(x, std::min(l.at.y(), size.height()) - metrics.descent() - 3 * scale);
        } else {
            const double y = std::clamp(l.at.y() + metrics.ascent() / 2, metrics.ascent() + scale,
                                        size.height() - metrics.descent() - scale);
            baseline = QPointF(std::max(l.at.x(), 0.0) + 3 * scale, y);
        }
        haloText(painter, baseline, l.text, font, scale);
    }
}

void drawScaleBar(QPainter& painter, const Viewport& viewport, const AlbersProjection& projection,
                  double scale) {
    const QSizeF size = viewport.size();
    const double maxWidth = std::max(40.0 * scale, size.width() / 4.0);
    const std::optional<ScaleBarLayout> layout = scaleBarLayout(viewport, projection, maxWidth);
    if (!layout || layout->nauticalMileWidth <= 0 || layout->kilometreWidth <= 0) {
        return;
    }
    const QFont font = decorationFont(scale);
    const QFontMetricsF metrics(font);
    const QString nmText = scaleBarText(layout->nauticalMiles, QStringLiteral("nm"));
    const QString kmText = scaleBarText(layout->kilometres, QStringLiteral("km"));
    const double pad = 5.0 * scale;
    const double barHeight = 5.0 * scale;
    const double gap = 6.0 * scale;
    const double rowHeight = std::max(barHeight, metrics.height());
    const double barsWidth = std::max(layout->nauticalMileWidth, layout->kilometreWidth);
    const double textWidth =
        std::max(metrics.horizontalAdvance(nmText), metrics.horizontalAdvance(kmText));
    const QRectF box(10.0 * scale, size.height() - 10.0 * scale - (2 * rowHeight + 3 * pad),
                     barsWidth + gap + textWidth + 2 * pad, 2 * rowHeight + 3 * pad);
    if (box.top() < 0 || box.right() > size.width()) {
        return;  // the view is too small for it
    }
    painter.setPen(QPen(QColor(120, 120, 120), std::max(0.5, 0.75 * scale)));
    painter.setBrush(QColor(255, 255, 255, 215));
    painter.drawRect(box);

    const auto bar = [&](double top, double width, const QString& text) {
        const QRectF whole(box.left() + pad, top + (rowHeight - barHeight) / 2, width, barHeight);
        // Two halves, dark then light, under one outline.
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(30, 30, 30));
        painter.drawRect(QRectF(whole.left(), whole.top(), width / 2, barHeight));
        painter.setBrush(Qt::white);
        painter.drawRect(QRectF(whole.left() + width / 2, whole.top(), width / 2, barHeight));
        painter.setPen(QPen(QColor(30, 30, 30), std::max(0.5, 0.75 * scale)));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(whole);
        painter.setFont(font);
        painter.setPen(QColor(30, 30, 30));
        painter.drawText(QPointF(box.left() + pad + barsWidth + gap,
                                 top + (rowHeight + metrics.ascent() - metrics.descent()) / 2),
                         text);
    };
    bar(box.top() + pad, layout->nauticalMileWidth, nmText);
    bar(box.top() + 2 * pad + rowHeight, layout->kilometreWidth, kmText);
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

const std::vector<int>& graticuleSpacings() {
    static const std::vector<int> spacings{600, 300, 60, 30, 10, 5, 1};
    return spacings;
}

int graticuleSpacing(double latSpan, double lonSpan) {
    const std::vector<int>& spacings = graticuleSpacings();
    for (auto it = spacings.rbegin(); it != spacings.rend(); ++it) {
        if (latSpan * 60.0 / *it <= kMaxGraticuleLines &&
            lonSpan * 60.0 / *it <= kMaxGraticuleLines) {
            return *it;
        }
    }
    return spacings.front();
}

QString graticuleLabel(int minutes, bool latitude) {
    const int whole = std::abs(minutes);
    QString text = QString::number(whole / 60) + QChar(0x00B0);
    if (whole % 60 != 0) {
        text += QString::number(whole % 60) + QChar(0x2032);
    }
    if (minutes == 0 || (!latitude && whole == 10800)) {
        return text;
    }
    if (latitude) {
        text += minutes > 0 ? QLatin1Char('N') : QLatin1Char('S');
    } else {
        text += minutes > 0 ? QLatin1Char('E') : QLatin1Char('W');
    }
    return text;
}

std::optional<GeoBounds> viewBounds(const Viewport& viewport, const AlbersProjection& projection) {
    if (!viewport.isValid()) {
        return std::nullopt;
    }
    const MapRect e = viewport.extent();
    GeoBounds b{INFINITY, -INFINITY, INFINITY, -INFINITY};
    bool any = false;
    const auto take = [&](double x, double y) {
        double lon = 0;
        double lat = 0;
        if (!projection.AlbersToLatLong(x, y, lon, lat)) {
            return;
        }
        const double d = wrapDegrees(lon - projection.CentralLon);
        b.latMin = std::min(b.latMin, lat);
        b.latMax = std::max(b.latMax, lat);
        b.dLonMin = std::min(b.dLonMin, d);
        b.dLonMax = std::max(b.dLonMax, d);
        any = true;
    };
    // The extremes of latitude and longitude lie on the edge of the view, unless a pole is in it.
    constexpr int kEdgeSamples = 64;
    for (int k = 0; k <= kEdgeSamples; ++k) {
        const double t = static_cast<double>(k) / kEdgeSamples;
        take(e.left + t * e.width(), e.bottom);
        take(e.left + t * e.width(), e.top);
        take(e.left, e.bottom + t * e.height());
        take(e.right, e.bottom + t * e.height());
    }
    take(e.center().x, e.center().y);
    for (const double poleLat : {90.0, -90.0}) {
        double x = 0;
        double y = 0;
        if (projection.LatLongToAlbers(projection.CentralLon, poleLat, x, y) &&
            e.contains({x, y})) {
            (poleLat > 0 ? b.latMax : b.latMin) = poleLat;
            b.dLonMin = -180.0;
            b.dLonMax = 180.0;
            any = true;
        }
    }
    if (!any) {
        return std::nullopt;
    }
    return b;
}

void drawMapDecorations(QPainter& painter, const Viewport& viewport,
                        const MapDecorations& decorations, double scale) {
    if (!decorations.any() || !viewport.isValid()) {
        return;
    }
    if (scale <= 0) {
        scale = symbology::deviceScale(painter);
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setClipRect(QRectF(QPointF(0, 0), viewport.size()),
                        painter.hasClipping() ? Qt::IntersectClip : Qt::ReplaceClip);
    if (decorations.graticule) {
        drawGraticule(painter, viewport, *decorations.projection, scale);
    }
    if (decorations.scaleBar) {
        drawScaleBar(painter, viewport, *decorations.projection, scale);
    }
    painter.restore();
}

}  // namespace pelagon
