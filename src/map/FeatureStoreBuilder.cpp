#include "map/FeatureStoreBuilder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <gdal_priv.h>
#include <ogr_geometry.h>
#include <ogrsf_frmts.h>

#include <cmath>
#include <limits>
#include <mutex>
#include <optional>
#include <span>

#include "map/AttributeTable.h"
#include "map/GdalErrorCapture.h"
#include "map/SpatialIndex.h"

namespace pelagon {

namespace {

void registerDrivers() {
    static std::once_flag once;
    std::call_once(once, [] { GDALAllRegister(); });
}

StoreOpenResult unreadable(const QString& path, const QString& problem) {
    StoreOpenResult r;
    r.error.kind = StoreError::Kind::Unreadable;
    r.error.path = path;
    r.error.message = QStringLiteral("The layer file %1 cannot be read: %2.").arg(path, problem);
    return r;
}

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

// Where the boxes of the runs of long rings go (FeatureStore::ringChunks).
struct RunBoxes {
    std::vector<std::pair<std::uint32_t, std::uint32_t>>& longRings;
    std::vector<GridBox>& boxes;

    static constexpr std::size_t K = FeatureStore::kChunkEdges;
    static bool wanted(std::size_t vertices) { return vertices > 2 * K; }

    // The runs of ring r from its vertices. A run's box covers both ends of its edges: the
    // vertex after the run too, and for a closed ring the first vertex after the last. Points
    // are runs of K points and the point after.
    void add(std::uint32_t r, std::span<const GridPoint> v, bool closed, bool points) {
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
};

// Fills the store's arrays from OGR geometries.
class GeometryReader {
public:
    enum class Status { Ok, Overflow, BadCoordinate, WrongKind, Unsupported };

    GeometryReader(FeatureStore::VertexArray& vertices, std::vector<std::uint32_t>& ringStarts,
                   RunBoxes runs, GeometryKind kind, GridFrame frame)
        : vertices_(vertices),
          ringStarts_(ringStarts),
          runs_(runs),
          kind_(kind),
          frame_(frame),
          inverse_(1.0 / frame.step) {}

    // Appends the rings of one feature; box receives their box.
    Status read(const OGRGeometry& g, GridBox& box, OGRwkbGeometryType& offending) {
        box_ = GridBox{};
        const Status s = append(g, offending);
        box = box_;
        return s;
    }

private:
    Status append(const OGRGeometry& g, OGRwkbGeometryType& offending) {
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

    // Reads a whole ring or line straight from the curve's own point array onto the grid.
    Status addCurve(const OGRSimpleCurve& c, bool closed) {
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
        auto emitRun = [this](__m128d lowest, __m128d highest) {
            double a[2], b[2];
            _mm_storeu_pd(a, lowest);
            _mm_storeu_pd(b, highest);
            runs_.boxes.push_back(
                GridBox{roundToInt(a[0]), roundToInt(a[1]), roundToInt(b[0]), roundToInt(b[1])});
        };
        for (int i = 0; i < n; ++i) {
            const __m128d g =
                _mm_mul_pd(_mm_sub_pd(_mm_set_pd(c.getY(i), c.getX(i)), origin), scale);
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
        if (nan || !(loX >= -kLimit && hiX <= kLimit && loY >= -kLimit && hiY <= kLimit)) {
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

    Status rangeProblem(const OGRSimpleCurve& c, int n) const {
        for (int i = 0; i < n; ++i) {
            if (!std::isfinite(c.getX(i)) || !std::isfinite(c.getY(i))) {
                return Status::BadCoordinate;
            }
        }
        return Status::Overflow;
    }

    Status put(double x, double y) {
        const double gx = (x - frame_.originX) * inverse_;
        const double gy = (y - frame_.originY) * inverse_;
        if (!(gx >= -kLimit && gx <= kLimit && gy >= -kLimit && gy <= kLimit)) {
            return std::isfinite(x) && std::isfinite(y) ? Status::Overflow : Status::BadCoordinate;
        }
        const GridPoint p{roundToInt(gx), roundToInt(gy)};
        vertices_.push_back(p);
        box_.add(p);
        return Status::Ok;
    }

    // Rounds half away from zero; a plain conversion, not a library call per vertex.
    static std::int32_t roundToInt(double v) {
        return static_cast<std::int32_t>(v + std::copysign(0.5, v));
    }

    static constexpr double kLimit = 2147483000.0;

    FeatureStore::VertexArray& vertices_;
    std::vector<std::uint32_t>& ringStarts_;
    RunBoxes runs_;
    GeometryKind kind_;
    GridFrame frame_;
    double inverse_;
    GridBox box_;
};

// The extent of every geometry, by reading them all: for files whose header extent is missing
// or wrong.
std::optional<OGREnvelope> scanExtent(OGRLayer& layer) {
    OGREnvelope all;
    bool any = false;
    layer.ResetReading();
    while (OGRFeatureUniquePtr f{layer.GetNextFeature()}) {
        const OGRGeometry* g = f->GetGeometryRef();
        if (g == nullptr || g->IsEmpty()) {
            continue;
        }
        OGREnvelope e;
        g->getEnvelope(&e);
        if (!std::isfinite(e.MinX) || !std::isfinite(e.MaxX) || !std::isfinite(e.MinY) ||
            !std::isfinite(e.MaxY)) {
            continue;
        }
        all.Merge(e);
        any = true;
    }
    if (!any) {
        return std::nullopt;
    }
    return all;
}

bool finiteEnvelope(const OGREnvelope& e) {
    return std::isfinite(e.MinX) && std::isfinite(e.MaxX) && std::isfinite(e.MinY) &&
           std::isfinite(e.MaxY) && e.MinX <= e.MaxX && e.MinY <= e.MaxY;
}

QString siblingFile(const QFileInfo& file, const QString& extension) {
    const QDir dir = file.absoluteDir();
    const QString wanted = file.completeBaseName() + QLatin1Char('.') + extension;
    if (QFileInfo(dir.filePath(wanted)).isFile()) {
        return dir.filePath(wanted);
    }
    const QStringList entries = dir.entryList(QDir::Files);
    for (const QString& e : entries) {
        if (e.compare(wanted, Qt::CaseInsensitive) == 0) {
            return dir.filePath(e);
        }
    }
    return {};
}

// The size a dBASE file must have by its own header; OGR reads the records only when they are
// asked for, so a cut-off attribute table is caught here instead of at the first query.
std::optional<QString> checkDbf(const QString& dbfPath) {
    QFile file(dbfPath);
    if (!file.open(QIODevice::ReadOnly)) {
        return QStringLiteral("its attribute table %1 cannot be opened").arg(dbfPath);
    }
    const QByteArray header = file.read(12);
    if (header.size() < 12) {
        return QStringLiteral("its attribute table %1 is truncated").arg(dbfPath);
    }
    const auto u8 = [&](int i) { return static_cast<quint64>(static_cast<quint8>(header[i])); };
    const quint64 records = u8(4) | u8(5) << 8 | u8(6) << 16 | u8(7) << 24;
    const quint64 headerLength = u8(8) | u8(9) << 8;
    const quint64 recordLength = u8(10) | u8(11) << 8;
    if (headerLength < 32 ||
        static_cast<quint64>(file.size()) < headerLength + records * recordLength) {
        return QStringLiteral("its attribute table %1 is truncated").arg(dbfPath);
    }
    return std::nullopt;
}

}  // namespace

QString FeatureStoreBuilder::resolveDataFile(const QString& path) {
    if (path.isEmpty()) {
        return {};
    }
    if (path.startsWith(QLatin1String("/vsi"))) {
        return path;  // GDAL's virtual file systems: let OGR decide
    }
    const QFileInfo given(path);
    if (given.isFile() || (given.isDir() && !given.suffix().isEmpty())) {
        return given.absoluteFilePath();
    }
    const QFileInfo withShp(path + QStringLiteral(".shp"));
    if (withShp.isFile()) {
        return withShp.absoluteFilePath();
    }
    // Map folders made on other systems may spell file names in another letter case.
    const QString name = given.fileName();
    const QDir dir = given.absoluteDir();
    if (name.isEmpty() || !dir.exists()) {
        return {};
    }
    QString viaShp;
    const QStringList entries = dir.entryList(QDir::Files);
    for (const QString& e : entries) {
        if (e.compare(name, Qt::CaseInsensitive) == 0) {
            return dir.absoluteFilePath(e);
        }
        if (e.compare(name + QStringLiteral(".shp"), Qt::CaseInsensitive) == 0) {
            viaShp = dir.absoluteFilePath(e);
        }
    }
    return viaShp;
}

StoreOpenResult FeatureStoreBuilder::open(const QString& requested) {
    const QString path = resolveDataFile(requested);
    if (path.isEmpty()) {
        StoreOpenResult r;
        r.error.kind = StoreError::Kind::NotFound;
        r.error.path = requested;
        r.error.message = QStringLiteral("The layer file %1 does not exist.").arg(requested);
        return r;
    }
    registerDrivers();
    GdalErrorCapture capture;

    const QByteArray nativePath = path.toUtf8();
    GDALDatasetUniquePtr ds(
        GDALDataset::Open(nativePath.constData(), GDAL_OF_VECTOR | GDAL_OF_READONLY));
    if (!ds) {
        QString why = QStringLiteral("it is not a vector data file that GDAL can read");
        if (capture.hasFailure()) {
            why += QStringLiteral(" (%1)").arg(capture.text());
        }
        return unreadable(path, why);
    }
    const bool shapefile =
        QString::fromUtf8(ds->GetDriver()->GetDescription()) == QLatin1String("ESRI Shapefile");
    const QFileInfo info(path);
    if (shapefile && info.isFile()) {
        const QString dbf = siblingFile(info, QStringLiteral("dbf"));
        if (dbf.isEmpty()) {
            return unreadable(path, QStringLiteral("its attribute table %1 is missing")
                                        .arg(info.completeBaseName() + QStringLiteral(".dbf")));
        }
        if (auto problem = checkDbf(dbf)) {
            return unreadable(path, *problem);
        }
    }
    if (ds->GetLayerCount() < 1) {
        return unreadable(path, QStringLiteral("it holds no layer"));
    }
    OGRLayer& layer = *ds->GetLayer(0);
    const OGRwkbGeometryType layerType = layer.GetGeomType();
    if (wkbFlatten(layerType) == wkbNone) {
        return unreadable(path, QStringLiteral("it holds no geometry"));
    }
    std::optional<GeometryKind> kind = kindOfType(layerType);
    if (!kind && !isOpenType(layerType)) {
        return unreadable(path, QStringLiteral("its geometry type %1 is not one the map draws")
                                    .arg(typeName(layerType)));
    }

    // Geometry only: attribute values stay in the file until asked for.
    {
        std::vector<QByteArray> names;
        OGRFeatureDefn* defn = layer.GetLayerDefn();
        for (int i = 0; i < defn->GetFieldCount(); ++i) {
            names.emplace_back(defn->GetFieldDefn(i)->GetNameRef());
        }
        std::vector<const char*> ignored;
        for (const QByteArray& n : names) {
            ignored.push_back(n.constData());
        }
        ignored.push_back("OGR_STYLE");
        ignored.push_back(nullptr);
        layer.SetIgnoredFields(ignored.data());
    }

    OGREnvelope envelope;
    bool haveExtent = layer.GetExtent(&envelope, FALSE) == OGRERR_NONE && finiteEnvelope(envelope);
    bool scanned = false;
    if (!haveExtent) {
        if (auto e = scanExtent(layer)) {
            envelope = *e;
            haveExtent = true;
        }
        scanned = true;
    }
    if (capture.hasFailure()) {
        return unreadable(path, QStringLiteral("the data is damaged (%1)").arg(capture.text()));
    }
    if (!haveExtent) {
        return unreadable(path, QStringLiteral("it holds no features with geometry"));
    }

    std::shared_ptr<FeatureStore> store(new FeatureStore);
    std::vector<std::int64_t> fids;
    bool identityFids = true;

    // A shapefile record spends 16 bytes per vertex and at least 56 bytes besides, and a
    // polygon's closing vertex is not kept: that sizes the vertex array well enough that it
    // needs no copy at the end.
    const GIntBig featureGuess = layer.GetFeatureCount(FALSE);
    std::size_t vertexGuess = 0;
    if (shapefile && info.isFile()) {
        const qint64 records = std::max<GIntBig>(featureGuess, 0);
        qint64 guess = (info.size() - 100 - 56 * records) / 16;
        if (kind == GeometryKind::Polygons) {
            guess -= records;
        }
        vertexGuess = static_cast<std::size_t>(std::max<qint64>(guess, 0));
    }

    for (;;) {
        FeatureStore& s = *store;
        s.frame_ = GridFrame::forExtent(envelope.MinX, envelope.MinY, envelope.MaxX, envelope.MaxY);
        s.vertices_.clear();
        s.ringStarts_.assign(1, 0);
        s.featureRings_.assign(1, 0);
        s.boxes_.clear();
        s.longRings_.clear();
        s.chunkBoxes_.clear();
        fids.clear();
        identityFids = true;
        s.vertices_.reserve(vertexGuess);
        if (featureGuess > 0) {
            s.boxes_.reserve(static_cast<std::size_t>(featureGuess));
            s.featureRings_.reserve(static_cast<std::size_t>(featureGuess) + 1);
            s.ringStarts_.reserve(static_cast<std::size_t>(featureGuess) + 1);
            fids.reserve(static_cast<std::size_t>(featureGuess));
        }

        std::optional<GeometryReader> reader;
        if (kind) {
            reader.emplace(s.vertices_, s.ringStarts_, RunBoxes{s.longRings_, s.chunkBoxes_}, *kind,
                           s.frame_);
        }
        bool overflow = false;
        std::int64_t ordinal = 0;
        layer.ResetReading();
        while (OGRFeatureUniquePtr f{layer.GetNextFeature()}) {
            ++ordinal;
            if (capture.hasFailure()) {
                break;
            }
            const OGRGeometry* g = f->GetGeometryRef();
            if (g == nullptr || g->IsEmpty()) {
                continue;  // features without geometry are not drawn and not searched
            }
            if (!kind) {
                kind = kindOfGeometry(*g);
                if (!kind) {
                    return unreadable(path,
                                      QStringLiteral("feature %1 has the geometry type %2, which "
                                                     "the map does not draw")
                                          .arg(ordinal)
                                          .arg(typeName(g->getGeometryType())));
                }
                reader.emplace(s.vertices_, s.ringStarts_, RunBoxes{s.longRings_, s.chunkBoxes_},
                               *kind, s.frame_);
            }
            GridBox box;
            OGRwkbGeometryType offending = wkbUnknown;
            const std::size_t ringsBefore = s.ringStarts_.size();
            switch (reader->read(*g, box, offending)) {
                case GeometryReader::Status::Ok:
                    break;
                case GeometryReader::Status::Overflow:
                    overflow = true;
                    break;
                case GeometryReader::Status::BadCoordinate:
                    return unreadable(path,
                                      QStringLiteral("feature %1 has coordinates that are not "
                                                     "numbers")
                                          .arg(ordinal));
                case GeometryReader::Status::WrongKind:
                    return unreadable(
                        path, QStringLiteral("feature %1 is of type %2, but the layer holds %3")
                                  .arg(ordinal)
                                  .arg(typeName(offending), kindName(*kind)));
                case GeometryReader::Status::Unsupported:
                    return unreadable(
                        path, QStringLiteral("feature %1 has the geometry type %2, which the "
                                             "map does not draw")
                                  .arg(ordinal)
                                  .arg(typeName(offending)));
            }
            if (overflow) {
                break;
            }
            if (s.ringStarts_.size() == ringsBefore) {
                continue;  // only empty parts
            }
            if (s.vertices_.size() > std::numeric_limits<std::uint32_t>::max() - 1 ||
                s.boxes_.size() >= std::numeric_limits<std::uint32_t>::max() - 1) {
                return unreadable(path, QStringLiteral("it holds more vertices than the map can "
                                                       "keep"));
            }
            const std::int64_t fid = f->GetFID();
            identityFids = identityFids && fid == static_cast<std::int64_t>(s.boxes_.size());
            fids.push_back(fid);
            s.featureRings_.push_back(static_cast<std::uint32_t>(s.ringStarts_.size() - 1));
            s.boxes_.push_back(box);
            s.kind_ = *kind;
        }
        if (capture.hasFailure()) {
            return unreadable(path, QStringLiteral("the data is damaged near feature %1 (%2)")
                                        .arg(ordinal)
                                        .arg(capture.text()));
        }
        if (!overflow) {
            break;
        }
        if (scanned) {
            return unreadable(path, QStringLiteral("its coordinates are out of range"));
        }
        // The declared extent was wrong: measure the real one and read again.
        auto e = scanExtent(layer);
        if (!e || !finiteEnvelope(*e)) {
            return unreadable(path, QStringLiteral("its coordinates are out of range"));
        }
        envelope = *e;
        scanned = true;
    }

    FeatureStore& s = *store;
    if (s.boxes_.empty()) {
        return unreadable(path, QStringLiteral("it holds no features with geometry"));
    }
    s.path_ = path;
    s.kind_ = *kind;
    // Arrays sized well in advance are left as they are; others give back what they overshot.
    auto trim = [](auto& v) {
        if (v.capacity() > v.size() + v.size() / 16) {
            v.shrink_to_fit();
        }
    };
    trim(s.vertices_);
    trim(s.ringStarts_);
    trim(s.featureRings_);
    trim(s.boxes_);
    s.anchors_ = std::make_unique<std::atomic<std::uint64_t>[]>(s.boxes_.size());
    for (const GridBox& b : s.boxes_) {
        s.gridExtent_.add(b);
    }
    s.longRings_.emplace_back(std::numeric_limits<std::uint32_t>::max(),
                              static_cast<std::uint32_t>(s.chunkBoxes_.size()));
    s.longRings_.shrink_to_fit();
    s.chunkBoxes_.shrink_to_fit();

    s.index_ = std::make_unique<SpatialIndex>(s.boxes_);

    if (identityFids) {
        fids.clear();
    }
    fids.shrink_to_fit();
    const std::size_t count = s.boxes_.size();
    s.attributes_ = std::make_unique<AttributeTable>(ds.release(), std::move(fids), count);

    StoreOpenResult result;
    result.store = std::move(store);
    return result;
}

}  // namespace pelagon
