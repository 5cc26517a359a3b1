#include "store/GeometryReader.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <cmath>
#include <memory>

namespace pelagon {

QString kindName(GeometryKind k) {
    switch (k) {
        case GeometryKind::Points:
            return QStringLiteral("points");
        case GeometryKind::Lines:
            return QStringLiteral("lines");
        case GeometryKind::Polygons:
            return QStringLiteral("polygons");
    }
    return {};
}

QString typeName(OGRwkbGeometryType t) {
    return QString::fromUtf8(OGRGeometryTypeToName(t));
}

std::optional<GeometryKind> kindOfType(OGRwkbGeometryType type) {
    switch (wkbFlatten(type)) {
        case wkbPoint:
        case wkbMultiPoint:
            return GeometryKind::Points;
        case wkbLineString:
        case wkbMultiLineString:
        case wkbCircularString:
        case wkbCompoundCurve:
        case wkbMultiCurve:
            return GeometryKind::Lines;
        case wkbPolygon:
        case wkbMultiPolygon:
        case wkbCurvePolygon:
        case wkbMultiSurface:
        case wkbTriangle:
            return GeometryKind::Polygons;
        default:
            return std::nullopt;
    }
}

// Layer types that say nothing about the features' kind; the first feature decides.
bool isOpenType(OGRwkbGeometryType type) {
    const auto flat = wkbFlatten(type);
    return flat == wkbUnknown || flat == wkbGeometryCollection;
}

// The kind of a feature's geometry, looking inside collections.
std::optional<GeometryKind> kindOfGeometry(const OGRGeometry& g) {
    if (wkbFlatten(g.getGeometryType()) == wkbGeometryCollection) {
        for (const OGRGeometry* member : *g.toGeometryCollection()) {
            if (auto k = kindOfGeometry(*member)) {
                return k;
            }
        }
        return std::nullopt;
    }
    return kindOfType(g.getGeometryType());
}

void RunBoxes::add(std::uint32_t r, std::span<const GridPoint> v, bool closed, bool points) {
    const std::size_t n = v.size();
    if (!wanted(n)) {
        return;
    }
    longRings.emplace_back(r, static_cast<std::uint32_t>(boxes.size()));
    const std::size_t items = closed || points ? n : n - 1;
    for (std::size_t begin = 0; begin < items; begin += K) {
        GridBox b;
        const std::size_t last = std::min<std::size_t>(begin + K, closed ? n : n - 1);
        for (std::size_t i = begin; i <= last; ++i) {
            b.add(v[i == n ? 0 : i]);
        }
        boxes.push_back(b);
    }
}

GeometryReader::Status GeometryReader::append(const OGRGeometry& g, OGRwkbGeometryType& offending) {
    const auto type = wkbFlatten(g.getGeometryType());
    if (g.IsEmpty()) {
        return Status::Ok;
    }
    switch (type) {
        case wkbPoint: {
            if (kind_ != GeometryKind::Points) {
                offending = type;
                return Status::WrongKind;
            }
            const OGRPoint* p = g.toPoint();
            const Status s = put(p->getX(), p->getY());
            if (s == Status::Ok) {
                ringStarts_.push_back(static_cast<std::uint32_t>(vertices_.size()));
            }
            return s;
        }
        case wkbMultiPoint: {
            if (kind_ != GeometryKind::Points) {
                offending = type;
                return Status::WrongKind;
            }
            // All points of one feature form one part, so long point lists get run boxes too.
            const std::size_t before = vertices_.size();
            for (const OGRPoint* p : *g.toMultiPoint()) {
                if (p->IsEmpty()) {
                    continue;
                }
                if (const Status s = put(p->getX(), p->getY()); s != Status::Ok) {
                    return s;
                }
            }
            if (vertices_.size() > before) {
                runs_.add(static_cast<std::uint32_t>(ringStarts_.size() - 1),
                          std::span<const GridPoint>(vertices_.data() + before,
                                                     vertices_.size() - before),
                          false, true);
                ringStarts_.push_back(static_cast<std::uint32_t>(vertices_.size()));
            }
            return Status::Ok;
        }
        case wkbLineString:
        case wkbLinearRing:
            if (kind_ != GeometryKind::Lines) {
                offending = type;
                return Status::WrongKind;
            }
            return addCurve(*g.toSimpleCurve(), false);
        case wkbPolygon:
        case wkbTriangle:
            if (kind_ != GeometryKind::Polygons) {
                offending = type;
                return Status::WrongKind;
            }
            for (const OGRCurve* ring : *g.toCurvePolygon()) {
                if (wkbFlatten(ring->getGeometryType()) != wkbLineString &&
                    wkbFlatten(ring->getGeometryType()) != wkbLinearRing) {
                    offending = type;
                    return Status::Unsupported;
                }
                if (const Status s = addCurve(*ring->toSimpleCurve(), true); s != Status::Ok) {
                    return s;
                }
            }
            return Status::Ok;
        case wkbMultiLineString:
        case wkbMultiPolygon:
        case wkbGeometryCollection:
            for (const OGRGeometry* member : *g.toGeometryCollection()) {
                if (const Status s = append(*member, offending); s != Status::Ok) {
                    return s;
                }
            }
            return Status::Ok;
        case wkbCircularString:
        case wkbCompoundCurve:
        case wkbCurvePolygon:
        case wkbMultiCurve:
        case wkbMultiSurface: {
            // Curved geometry is drawn as its line approximation.
            std::unique_ptr<OGRGeometry> linear(g.getLinearGeometry());
            if (!linear) {
                offending = type;
                return Status::Unsupported;
            }
            return append(*linear, offending);
        }
        default:
            offending = type;
            return Status::Unsupported;
    }
}

GeometryReader::Status GeometryReader::addCurve(const OGRSimpleCurve& c, bool closed) {
    int n = c.getNumPoints();
    if (n <= 0) {
        return Status::Ok;
    }
    if (closed && n >= 2 && c.getX(0) == c.getX(n - 1) && c.getY(0) == c.getY(n - 1)) {
        --n;  // the closing vertex is implied
    }
    // One pass converts and finds the ring's extremes, which decide whether it fits the grid
    // and give its box; a ring that does not fit is taken back out.
    const double ox = frame_.originX, oy = frame_.originY, inv = inverse_;
    const std::size_t base = vertices_.size();
    vertices_.resize(base + static_cast<std::size_t>(n));
    GridPoint* out = vertices_.data() + base;
    double loX = INFINITY, loY = INFINITY, hiX = -INFINITY, hiY = -INFINITY;
    bool nan = false;
    const std::size_t runMark = runs_.boxes.size(), ringMark = runs_.longRings.size();
#if defined(__SSE2__)
    // x and y side by side in one register: half the instructions of the plain loop, which
    // matters at millions of vertices.
    const __m128d origin = _mm_set_pd(oy, ox);
    const __m128d scale = _mm_set1_pd(inv);
    const __m128d top = _mm_set1_pd(kLimit), bottom = _mm_set1_pd(-kLimit);
    const __m128d half = _mm_set1_pd(0.5), sign = _mm_set1_pd(-0.0);
    __m128d low = _mm_set1_pd(INFINITY), high = _mm_set1_pd(-INFINITY), bad = _mm_setzero_pd();
    // The boxes of the runs of a long ring are gathered in the same pass (RunBoxes::add
    // says what they cover); rounding keeps order, so the box of the rounded vertices is the
    // rounded box.
    const bool longRing = RunBoxes::wanted(static_cast<std::size_t>(n));
    if (longRing) {
        runs_.longRings.emplace_back(static_cast<std::uint32_t>(ringStarts_.size() - 1),
                                     static_cast<std::uint32_t>(runs_.boxes.size()));
    }
    __m128d runLow = low, runHigh = high, first = low;
    bool gathering = false;
    // By value, so the run's bounds stay in registers in the loop.
    // Held inside the grid like the vertices: a ring out of range is only taken back out after
    // the pass, and its run boxes must still convert.
    auto emitRun = [this, top, bottom](__m128d lowest, __m128d highest) {
        double a[2], b[2];
        _mm_storeu_pd(a, _mm_min_pd(_mm_max_pd(lowest, bottom), top));
        _mm_storeu_pd(b, _mm_min_pd(_mm_max_pd(highest, bottom), top));
        runs_.boxes.push_back(
            GridBox{roundToInt(a[0]), roundToInt(a[1]), roundToInt(b[0]), roundToInt(b[1])});
    };
    for (int i = 0; i < n; ++i) {
        const __m128d g = _mm_mul_pd(_mm_sub_pd(_mm_set_pd(c.getY(i), c.getX(i)), origin), scale);
        low = _mm_min_pd(low, g);
        high = _mm_max_pd(high, g);
        bad = _mm_or_pd(bad, _mm_cmpunord_pd(g, g));
        // Held inside the grid (NaN becomes the lower limit), then rounded half away from
        // zero as roundToInt does.
        const __m128d held = _mm_min_pd(_mm_max_pd(g, bottom), top);
        const __m128d rounded = _mm_add_pd(held, _mm_or_pd(_mm_and_pd(held, sign), half));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + i), _mm_cvttpd_epi32(rounded));
        if (longRing) {
            if (gathering) {
                runLow = _mm_min_pd(runLow, g);
                runHigh = _mm_max_pd(runHigh, g);
            }
            if (i % RunBoxes::K == 0) {
                // This vertex ends the run before it and starts the next, unless it ends
                // an open line.
                if (gathering) {
                    emitRun(runLow, runHigh);
                }
                gathering = closed || i < n - 1;
                runLow = runHigh = g;
                if (i == 0) {
                    first = g;
                }
            }
        }
    }
    if (longRing && gathering) {
        if (closed) {
            runLow = _mm_min_pd(runLow, first);
            runHigh = _mm_max_pd(runHigh, first);
        }
        emitRun(runLow, runHigh);
    }
    double l[2], h[2];
    _mm_storeu_pd(l, low);
    _mm_storeu_pd(h, high);
    loX = l[0];
    loY = l[1];
    hiX = h[0];
    hiY = h[1];
    nan = _mm_movemask_pd(bad) != 0;
#else
    for (int i = 0; i < n; ++i) {
        const double gx = (c.getX(i) - ox) * inv, gy = (c.getY(i) - oy) * inv;
        loX = std::min(loX, gx);
        hiX = std::max(hiX, gx);
        loY = std::min(loY, gy);
        hiY = std::max(hiY, gy);
        nan |= (gx != gx) | (gy != gy);
        // Held inside the grid, so the conversion is defined for a point that fails below
        // (NaN too).
        out[i] = GridPoint{roundToInt(std::min(kLimit, std::max(-kLimit, gx))),
                           roundToInt(std::min(kLimit, std::max(-kLimit, gy)))};
    }
#endif
    // The range test also rejects infinity.
    if (nan || !(loX >= -kLimit && hiX <= kLimit && loY >= -kLimit && hiY <= kLimit) ||
        outside(loX, loY, hiX, hiY)) {
        vertices_.resize(base);
        runs_.boxes.resize(runMark);
        runs_.longRings.resize(ringMark);
        return rangeProblem(c, n);
    }
#if !defined(__SSE2__)
    runs_.add(static_cast<std::uint32_t>(ringStarts_.size() - 1),
              std::span<const GridPoint>(out, static_cast<std::size_t>(n)), closed, false);
#endif
    const double lo[] = {loX, loY};
    const double hi[] = {hiX, hiY};
    box_.add(GridPoint{roundToInt(lo[0]), roundToInt(lo[1])});
    box_.add(GridPoint{roundToInt(hi[0]), roundToInt(hi[1])});
    ringStarts_.push_back(static_cast<std::uint32_t>(vertices_.size()));
    return Status::Ok;
}

// Why a ring that failed the range tests did: a coordinate that is not a finite number, else
// one out of range (OutsideBox when a box is set: it is the narrower limit).
GeometryReader::Status GeometryReader::rangeProblem(const OGRSimpleCurve& c, int n) const {
    for (int i = 0; i < n; ++i) {
        if (!std::isfinite(c.getX(i)) || !std::isfinite(c.getY(i))) {
            return Status::BadCoordinate;
        }
    }
    return limited_ ? Status::OutsideBox : Status::Overflow;
}

GeometryReader::Status GeometryReader::put(double x, double y) {
    const double gx = (x - frame_.originX) * inverse_;
    const double gy = (y - frame_.originY) * inverse_;
    if (!(gx >= -kLimit && gx <= kLimit && gy >= -kLimit && gy <= kLimit) ||
        outside(gx, gy, gx, gy)) {
        if (!std::isfinite(x) || !std::isfinite(y)) {
            return Status::BadCoordinate;
        }
        return limited_ ? Status::OutsideBox : Status::Overflow;
    }
    const GridPoint p{roundToInt(gx), roundToInt(gy)};
    vertices_.push_back(p);
    box_.add(p);
    return Status::Ok;
}

}  // namespace pelagon
