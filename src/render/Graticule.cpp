#include "render/Graticule.h"

#include <QFontMetricsF>

#include <algorithm>
#include <array>
#include <cmath>

namespace pelagon {

namespace {

constexpr int kSecondsAround = 1296000;  // 360°
constexpr double kSlack = 1e-9;          // in units of the spacing: a line on the bound is in
// Bounded loops: a degenerate view never draws thousands of lines.
constexpr int kMostGraticuleLines = 4 * kMaxGraticuleLines + 8;

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

// Whole seconds of a longitude brought into (−180°, 180°].
int wrapSeconds(long long m) {
    m %= kSecondsAround;
    if (m > kSecondsAround / 2) {
        m -= kSecondsAround;
    } else if (m <= -kSecondsAround / 2) {
        m += kSecondsAround;
    }
    return static_cast<int>(m);
}

// The multiples of step (seconds of arc) from lowDegrees to highDegrees, bounds included: the first
// and the last, first > last when there is none.
std::pair<long long, long long> multiplesWithin(double lowDegrees, double highDegrees, int step) {
    const long long first =
        static_cast<long long>(std::ceil(lowDegrees * 3600.0 / step - kSlack)) * step;
    const long long last =
        static_cast<long long>(std::floor(highDegrees * 3600.0 / step + kSlack)) * step;
    return {first, last};
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

enum class Edge { Left, Right, Top, Bottom };

// Where a polyline crosses an edge of a surface of this size, in the order of the line.
std::vector<QPointF> edgeCrossings(const QPolygonF& line, Edge edge, QSizeF size) {
    const bool vertical = edge == Edge::Left || edge == Edge::Right;
    const double value = edge == Edge::Left || edge == Edge::Top ? 0.0
                         : vertical                              ? size.width()
                                                                 : size.height();
    const double span = vertical ? size.height() : size.width();
    std::vector<QPointF> out;
    for (qsizetype i = 1; i < line.size(); ++i) {
        const QPointF a = line[i - 1];
        const QPointF b = line[i];
        const double av = vertical ? a.x() : a.y();
        const double bv = vertical ? b.x() : b.y();
        if ((av - value) * (bv - value) > 0 || av == bv) {
            continue;
        }
        const QPointF p = a + (b - a) * ((value - av) / (bv - av));
        const double other = vertical ? p.y() : p.x();
        if (other >= 0 && other <= span) {
            out.push_back(p);
        }
    }
    return out;
}

// Places labels so that none covers another or the box kept clear.
class LabelPlacer {
public:
    LabelPlacer(QSizeF size, double scale, const std::optional<QRectF>& keepClear)
        : size_(size),
          font_(decorationFont(scale)),
          metrics_(font_),
          halo_(1.5 * scale),
          gap_(4.0 * scale),
          margin_(2.0 * scale),
          keepClear_(keepClear) {}

    // The first free place for text on the line, trying the edges in order.
    std::optional<GraticuleLabel> place(const QPolygonF& line, const QString& text, bool meridian,
                                        const std::array<Edge, 4>& edges) {
        const QSizeF box(metrics_.horizontalAdvance(text) + 2 * halo_,
                         metrics_.ascent() + metrics_.descent() + 2 * halo_);
        if (box.width() + 2 * margin_ > size_.width() ||
            box.height() + 2 * margin_ > size_.height()) {
            return std::nullopt;
        }
        for (const Edge edge : edges) {
            for (const QPointF& at : edgeCrossings(line, edge, size_)) {
                const QRectF rect = boxAt(edge, at, box);
                if (free(rect)) {
                    placed_.push_back(rect);
                    return GraticuleLabel{
                        text, rect.topLeft() + QPointF(halo_, halo_ + metrics_.ascent()), rect,
                        meridian};
                }
            }
        }
        return std::nullopt;
    }

private:
    // Against the edge, centred on where the line meets it, moved inside the view.
    QRectF boxAt(Edge edge, QPointF at, QSizeF box) const {
        double left = at.x() - box.width() / 2;
        double top = at.y() - box.height() / 2;
        switch (edge) {
            case Edge::Left:
                left = margin_;
                break;
            case Edge::Right:
                left = size_.width() - margin_ - box.width();
                break;
            case Edge::Top:
                top = margin_;
                break;
            case Edge::Bottom:
                top = size_.height() - margin_ - box.height();
                break;
        }
        left = std::clamp(left, margin_, size_.width() - margin_ - box.width());
        top = std::clamp(top, margin_, size_.height() - margin_ - box.height());
        return {QPointF(left, top), box};
    }

    bool free(const QRectF& rect) const {
        const QRectF spaced = rect.adjusted(-gap_, -gap_, gap_, gap_);
        if (keepClear_ && spaced.intersects(*keepClear_)) {
            return false;
        }
        return std::none_of(placed_.begin(), placed_.end(),
                            [&](const QRectF& other) { return spaced.intersects(other); });
    }

    QSizeF size_;
    QFont font_;
    QFontMetricsF metrics_;
    double halo_, gap_, margin_;
    std::optional<QRectF> keepClear_;
    std::vector<QRectF> placed_;
};

}  // namespace

QFont decorationFont(double scale) {
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(std::max(1, static_cast<int>(std::lround(11.0 * scale))));
    // The same glyphs on screen, in images and in PDF and SVG text, where no hinting applies.
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

const std::vector<int>& graticuleSpacings() {
    static const std::vector<int> spacings{36000, 18000, 3600, 1800, 600, 300, 60, 30, 10, 5, 1};
    return spacings;
}

GraticuleCount graticuleCount(const GeoBounds& bounds, double centralLon, int seconds) {
    GraticuleCount count;
    const auto [firstLat, lastLat] =
        multiplesWithin(std::max(bounds.latMin, -90.0), std::min(bounds.latMax, 90.0), seconds);
    for (long long m = firstLat; m <= lastLat; m += seconds) {
        count.parallels += std::llabs(m) < kSecondsAround / 4 ? 1 : 0;
    }
    const double lonLow = centralLon + bounds.dLonMin;
    const double lonHigh = centralLon + bounds.dLonMax;
    if ((lonHigh - lonLow) * 3600.0 >= kSecondsAround - seconds * kSlack) {
        count.meridians = kSecondsAround / seconds;
    } else {
        const auto [first, last] = multiplesWithin(lonLow, lonHigh, seconds);
        count.meridians = static_cast<int>(std::max(0LL, (last - first) / seconds + 1));
    }
    return count;
}

int graticuleSpacing(const GeoBounds& bounds, double centralLon) {
    const std::vector<int>& spacings = graticuleSpacings();
    // The finest spacing with at most the most lines each way ...
    int fewLines = spacings.front();
    for (auto it = spacings.rbegin(); it != spacings.rend(); ++it) {
        const GraticuleCount c = graticuleCount(bounds, centralLon, *it);
        if (c.parallels <= kMaxGraticuleLines && c.meridians <= kMaxGraticuleLines) {
            fewLines = *it;
            break;
        }
    }
    // ... unless it leaves too few one way: then the coarsest with enough each way.
    for (const int s : spacings) {
        if (s > fewLines) {
            continue;
        }
        const GraticuleCount c = graticuleCount(bounds, centralLon, s);
        if (c.parallels >= kMinGraticuleLines && c.meridians >= kMinGraticuleLines) {
            return s;
        }
    }
    return spacings.back();
}

QString graticuleLabel(int seconds, bool latitude) {
    const int whole = std::abs(seconds);
    QString text = QString::number(whole / 3600) + QChar(0x00B0);
    if (whole % 3600 != 0) {
        text += QString::number(whole / 60 % 60) + QChar(0x2032);
    }
    if (whole % 60 != 0) {
        text += QString::number(whole % 60) + QChar(0x2033);
    }
    if (seconds == 0 || (!latitude && whole == kSecondsAround / 2)) {
        return text;
    }
    if (latitude) {
        text += seconds > 0 ? QLatin1Char('N') : QLatin1Char('S');
    } else {
        text += seconds > 0 ? QLatin1Char('E') : QLatin1Char('W');
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

int GraticuleLayout::labelledParallels() const {
    return static_cast<int>(
        std::count_if(labels.begin(), labels.end(), [](const auto& l) { return !l.meridian; }));
}

int GraticuleLayout::labelledMeridians() const {
    return static_cast<int>(labels.size()) - labelledParallels();
}

namespace {

// The graticule of one spacing (seconds of arc): its lines and the labels that find a free place.
GraticuleLayout graticuleAt(const Viewport& viewport, const AlbersProjection& projection,
                            const GeoBounds& bounds, int step, double scale,
                            const std::optional<QRectF>& keepClear) {
    GraticuleLayout out;
    out.spacing = step;
    const double lon0 = projection.CentralLon;
    constexpr int kSamples = 96;

    // A parallel or meridian: kSamples + 1 points along it (t from 0 to 1) where the projection
    // places them.
    const auto curve = [&](const auto& pointAt) {
        QPolygonF line;
        for (int k = 0; k <= kSamples; ++k) {
            if (auto p = pointAt(static_cast<double>(k) / kSamples)) {
                line << *p;
            }
        }
        return line;
    };
    struct Line {
        QPolygonF points;
        QString text;
    };
    std::vector<Line> parallels;
    std::vector<Line> meridians;
    const auto [firstLat, lastLat] = multiplesWithin(bounds.latMin, bounds.latMax, step);
    for (long long m = firstLat; m <= lastLat && std::ssize(parallels) < kMostGraticuleLines;
         m += step) {
        if (std::llabs(m) >= kSecondsAround / 4) {
            continue;  // a pole is a point
        }
        const double lat = static_cast<double>(m) / 3600.0;
        QPolygonF line = curve([&](double t) {
            return surfacePoint(viewport, projection,
                                lon0 + bounds.dLonMin + (bounds.dLonMax - bounds.dLonMin) * t, lat);
        });
        if (line.size() >= 2) {
            parallels.push_back({std::move(line), graticuleLabel(static_cast<int>(m), true)});
        }
    }
    // Meridians, at absolute longitudes that are multiples of the step; 360° of them at most.
    const auto [firstLon, lastLon] =
        multiplesWithin(lon0 + bounds.dLonMin, lon0 + bounds.dLonMax, step);
    for (long long m = firstLon; m <= std::min(lastLon, firstLon + kSecondsAround - step) &&
                                 std::ssize(meridians) < 2 * kMostGraticuleLines;
         m += step) {
        const double lon = static_cast<double>(m) / 3600.0;
        QPolygonF line = curve([&](double t) {
            return surfacePoint(viewport, projection, lon,
                                bounds.latMin + (bounds.latMax - bounds.latMin) * t);
        });
        if (line.size() >= 2) {
            meridians.push_back({std::move(line), graticuleLabel(wrapSeconds(m), false)});
        }
    }

    LabelPlacer placer(viewport.size(), scale, keepClear);
    for (const Line& l : parallels) {
        if (auto label = placer.place(l.points, l.text, false,
                                      {Edge::Left, Edge::Right, Edge::Top, Edge::Bottom})) {
            out.labels.push_back(*label);
        }
        out.lines.push_back(l.points);
    }
    for (const Line& l : meridians) {
        if (auto label = placer.place(l.points, l.text, true,
                                      {Edge::Bottom, Edge::Top, Edge::Left, Edge::Right})) {
            out.labels.push_back(*label);
        }
        out.lines.push_back(l.points);
    }
    return out;
}

bool labelsEnough(const GraticuleLayout& layout) {
    return layout.labelledParallels() >= kMinGraticuleLines &&
           layout.labelledMeridians() >= kMinGraticuleLines;
}

}  // namespace

GraticuleLayout graticuleLayout(const Viewport& viewport, const AlbersProjection& projection,
                                double scale, const std::optional<QRectF>& keepClear) {
    const std::optional<GeoBounds> bounds = viewBounds(viewport, projection);
    if (!bounds) {
        return {};
    }
    const int chosen = graticuleSpacing(*bounds, projection.CentralLon);
    GraticuleLayout out = graticuleAt(viewport, projection, *bounds, chosen, scale, keepClear);
    // Two lines one way may lie within the view while one of them only cuts a corner, where its
    // label finds no free place (a small window, the scale bar's box): then the next finer
    // spacing that labels two each way, as long as it draws no more lines than a layout holds.
    for (const int s : graticuleSpacings()) {
        if (labelsEnough(out)) {
            break;
        }
        if (s >= chosen) {
            continue;
        }
        const GraticuleCount c = graticuleCount(*bounds, projection.CentralLon, s);
        if (c.parallels > kMostGraticuleLines || c.meridians > 2 * kMostGraticuleLines) {
            break;
        }
        GraticuleLayout finer = graticuleAt(viewport, projection, *bounds, s, scale, keepClear);
        if (labelsEnough(finer)) {
            out = std::move(finer);
        }
    }
    return out;
}

}  // namespace pelagon
