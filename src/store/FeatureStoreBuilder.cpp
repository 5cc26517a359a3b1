#include "store/FeatureStoreBuilder.h"

#include <QFile>
#include <QFileInfo>

#include <gdal_priv.h>
#include <ogr_geometry.h>
#include <ogrsf_frmts.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <span>

#include "store/AttributeTable.h"
#include "store/DamageLedger.h"
#include "store/GdalErrorCapture.h"
#include "store/GeometryReader.h"
#include "store/ShapefileCheck.h"
#include "store/ShapefileView.h"
#include "store/SpatialIndex.h"
#include "store/WatchedShapefile.h"

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

// The extent of every geometry, by reading them all: for files whose header extent is missing
// or wrong.
std::optional<OGREnvelope> scanExtent(OGRLayer& layer,
                                      const std::function<bool(std::int64_t)>& skip) {
    OGREnvelope all;
    bool any = false;
    layer.ResetReading();
    while (OGRFeatureUniquePtr f{layer.GetNextFeature()}) {
        if (skip(f->GetFID())) {
            continue;
        }
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

}  // namespace

StoreOpenResult FeatureStoreBuilder::open(const QString& requested,
                                          const StoreOpenOptions& options) {
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
    const QFileInfo info(path);
    // The shapefile's three files checked against each other before OGR reads them: which
    // records OGR would read wrongly or not at all, which attribute rows cannot be proven the
    // shapes' own. The records are checked further as OGR reads them.
    std::shared_ptr<ShapefileChecker> checker;
    ShapefileCheck* check = nullptr;
    const bool shpFile =
        info.isFile() && info.suffix().compare(QLatin1String("shp"), Qt::CaseInsensitive) == 0;
    if (shpFile && options.crossCheck) {
        checker = std::make_shared<ShapefileChecker>(path, siblingFile(info, QStringLiteral("shx")),
                                                     siblingFile(info, QStringLiteral("dbf")));
        check = &checker->result();
        if (check->unreadable) {
            return unreadable(path, *check->unreadable);
        }
    }
    DamageLedger ledger(check, path);
    // Where the .shx or .dbf cannot serve as they stand, OGR reads a view of the files.
    std::shared_ptr<ShapefileView> view;
    auto makeView = [&] {
        ShapefileView::Files files;
        files.shp = check->restoredShp.isEmpty()
                        ? checker->shpBytes()
                        : std::as_bytes(std::span<const char>(
                              check->restoredShp.constData(),
                              static_cast<std::size_t>(check->restoredShp.size())));
        files.shx = check->restoredIndex.isEmpty()
                        ? readSmallFile(siblingFile(info, QStringLiteral("shx")))
                        : check->restoredIndex;
        if (check->attributesUsable && check->dbfRows) {
            files.dbfCopy = dbfCopy(checker->dbfBytes(), *check->dbfRows, check->records);
            files.dbf = std::as_bytes(std::span<const char>(
                files.dbfCopy.constData(), static_cast<std::size_t>(files.dbfCopy.size())));
        } else if (check->attributesUsable) {
            files.dbf = checker->dbfBytes();
        }
        files.cpg = readSmallFile(siblingFile(info, QStringLiteral("cpg")));
        files.prj = readSmallFile(siblingFile(info, QStringLiteral("prj")));
        view = std::make_shared<ShapefileView>(info.completeBaseName(), std::move(files), checker);
        checker->readsUnseen();
    };
    if (check && (!check->restoredIndex.isEmpty() || !check->attributesUsable || check->dbfRows)) {
        makeView();
    }
    // Otherwise OGR reads the files themselves, and the check sees each block it reads.
    std::shared_ptr<WatchedShapefile> watched;
    if (check && !view) {
        ShapefileChecker* c = checker.get();
        watched = std::make_shared<WatchedShapefile>(
            path, [c](WatchedShapefile::File file, std::int64_t at, std::span<const std::byte> b) {
                if (file == WatchedShapefile::File::Shp) {
                    c->seenShp(at, b);
                } else {
                    c->seenDbf(at, b);
                }
            });
    }
    bool recoded = true;  // OGR gives text recoded from the file's encoding
    auto openData = [&](bool recode) {
        const QByteArray nativePath = (view      ? view->path()
                                       : watched ? watched->path()
                                                 : path)
                                          .toUtf8();
        const char* noRecoding[] = {"ENCODING=", nullptr};
        return GDALDatasetUniquePtr(GDALDataset::Open(nativePath.constData(),
                                                      GDAL_OF_VECTOR | GDAL_OF_READONLY, nullptr,
                                                      recode ? nullptr : noRecoding));
    };
    GDALDatasetUniquePtr ds = openData(true);
    if (!ds) {
        QString why = QStringLiteral("it is not a vector data file that GDAL can read");
        if (capture.hasFailure()) {
            why += QStringLiteral(" (%1)").arg(capture.text());
        }
        return unreadable(path, why);
    }
    const bool shapefile =
        QString::fromUtf8(ds->GetDriver()->GetDescription()) == QLatin1String("ESRI Shapefile");
    if (shapefile && info.isFile() && !check) {
        const QString dbf = siblingFile(info, QStringLiteral("dbf"));
        if (dbf.isEmpty()) {
            return unreadable(path, QStringLiteral("its attribute table %1 is missing")
                                        .arg(info.completeBaseName() + QStringLiteral(".dbf")));
        }
        if (auto problem = checkDbf(dbf)) {
            return unreadable(path, *problem);
        }
    }
    if (check && shapefile && ds->GetLayerCount() > 0) {
        // Text in an encoding that cannot be read, or that is not a superset of ASCII (the field
        // names would change with it), is read as it stands.
        if (auto why = unusableEncoding(*ds->GetLayer(0))) {
            const bool fromCpg = !siblingFile(info, QStringLiteral("cpg")).isEmpty();
            ledger.note(*why, info.completeBaseName() +
                                  (fromCpg ? QStringLiteral(".cpg") : QStringLiteral(".dbf")));
            if (why->contains(QLatin1String("read as it stands"))) {
                ds = openData(false);
                recoded = false;
            }
            if (!ds) {
                return unreadable(path, QStringLiteral("it cannot be read without its encoding"));
            }
        }
    }
    auto skipRecord = [&](std::int64_t fid) { return ledger.knownBad(fid); };
    if (ds->GetLayerCount() < 1) {
        return unreadable(path, QStringLiteral("it holds no layer"));
    }
    OGRLayer& layer = *ds->GetLayer(0);
    if (const auto why = shapefile ? prjProblem(info, layer) : std::nullopt; why && check) {
        ledger.note(*why, info.completeBaseName() + QStringLiteral(".prj"));
    }
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
        if (auto e = scanExtent(layer, skipRecord)) {
            envelope = *e;
            haveExtent = true;
        }
        scanned = true;
    }
    if (capture.hasFailure() && !checker) {
        return unreadable(path, QStringLiteral("the data is damaged (%1)").arg(capture.text()));
    }
    capture.clear();  // a checked shapefile's failures are taken record by record below
    if (!haveExtent) {
        return unreadable(path, QStringLiteral("it holds no features with geometry"));
    }

    std::shared_ptr<FeatureStore> store(new FeatureStore);
    std::int64_t features = 0;  // features OGR gave in the last pass
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

    // When not one record lies in the header's box, the box is wrong rather than every record:
    // the layer is read again without it.
    bool useBox = true;
    bool boxTriedAgain = false;
    for (;;) {
        ledger.startPass();
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

        // A checked shapefile's vertices must lie in its header's box, give or take the
        // rounding of the writer that wrote it.
        std::optional<std::array<double, 4>> allowed;
        if (check && check->box && useBox) {
            const auto& b = *check->box;
            const double scale = std::max({std::abs(b[0]), std::abs(b[1]), std::abs(b[2]),
                                           std::abs(b[3]), b[2] - b[0], b[3] - b[1]});
            const double slack = scale * 1e-6 + s.frame_.step;
            allowed = std::array<double, 4>{b[0] - slack, b[1] - slack, b[2] + slack, b[3] + slack};
        }
        std::optional<GeometryReader> reader;
        auto makeReader = [&] {
            reader.emplace(s.vertices_, s.ringStarts_, RunBoxes{s.longRings_, s.chunkBoxes_}, *kind,
                           s.frame_);
            if (allowed) {
                reader->allowOnly((*allowed)[0], (*allowed)[1], (*allowed)[2], (*allowed)[3]);
            }
        };
        if (kind) {
            makeReader();
        }
        bool overflow = false;
        std::int64_t outside = 0;  // features left out for lying outside the header's box
        std::int64_t ordinal = 0;
        layer.ResetReading();
        while (OGRFeatureUniquePtr f{layer.GetNextFeature()}) {
            ++ordinal;
            const std::int64_t fid = f->GetFID();
            if (checker) {
                // OGR's geometry tells whether the record must be read to be sure of it, unless
                // the check found it sound in the block OGR read it in.
                const bool failed = capture.hasFailure();
                RecordSeen seen;
                if (!failed && !checker->proven(fid)) {
                    seen = FeatureStoreBuilder::countShape(f->GetGeometryRef());
                }
                checker->checkRecord(fid, failed ? nullptr : &seen);
                // A record the check found damaged is left out whatever OGR made of it; one
                // that OGR could not read is left out with OGR's reason.
                if (ledger.knownBad(fid)) {
                    capture.clear();
                    continue;
                }
                if (capture.hasFailure()) {
                    ledger.leaveOut(fid, ordinal, capture.text());
                    capture.clear();
                    continue;
                }
            } else if (capture.hasFailure()) {
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
                makeReader();
            }
            GridBox box;
            OGRwkbGeometryType offending = wkbUnknown;
            const std::size_t ringsBefore = s.ringStarts_.size();
            const std::size_t verticesBefore = s.vertices_.size();
            const std::size_t longBefore = s.longRings_.size();
            const std::size_t chunksBefore = s.chunkBoxes_.size();
            // A feature that cannot be kept whole is taken back out (and left out, with why).
            auto takeBack = [&](const QString& why) {
                s.vertices_.resize(verticesBefore);
                s.ringStarts_.resize(ringsBefore);
                s.longRings_.resize(longBefore);
                s.chunkBoxes_.resize(chunksBefore);
                if (!why.isEmpty()) {
                    ledger.leaveOut(fid, ordinal, why);
                }
            };
            const GeometryReader::Status status = reader->read(*g, box, offending);
            if ((status == GeometryReader::Status::WrongKind ||
                 status == GeometryReader::Status::Unsupported) &&
                checker) {
                // In a shapefile, a record of another shape type than its file's is damage
                // the check tells about; the record is left out.
                checker->examine(fid);
                if (ledger.knownBad(fid)) {
                    takeBack(QString());
                    continue;
                }
            }
            switch (status) {
                case GeometryReader::Status::Ok:
                    break;
                case GeometryReader::Status::Overflow:
                    overflow = true;
                    break;
                case GeometryReader::Status::BadCoordinate:
                    takeBack(QStringLiteral("a coordinate is not a finite number"));
                    continue;
                case GeometryReader::Status::OutsideBox:
                    ++outside;
                    takeBack(QStringLiteral("a vertex lies outside the box the .shp header gives"));
                    continue;
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
            identityFids = identityFids && fid == static_cast<std::int64_t>(s.boxes_.size());
            fids.push_back(fid);
            s.featureRings_.push_back(static_cast<std::uint32_t>(s.ringStarts_.size() - 1));
            s.boxes_.push_back(box);
            s.kind_ = *kind;
        }
        if (capture.hasFailure() && !checker) {
            return unreadable(path, QStringLiteral("the data is damaged near feature %1 (%2)")
                                        .arg(ordinal)
                                        .arg(capture.text()));
        }
        features = ordinal;
        if (checker) {
            // Records OGR did not give are checked too; a record found damaged after it was
            // read (bytes inserted before the next one) means reading again without it.
            checker->finish();
            if (std::any_of(fids.begin(), fids.end(),
                            [&](std::int64_t fid) { return ledger.knownBad(fid); })) {
                continue;
            }
        }
        // Read without the box, the layer may still have records inside it (a damaged file
        // can hide them from the first pass): the box then holds records after all, and what
        // lies outside it is left out as in any checked file.
        if (!useBox && !boxTriedAgain && check && check->box) {
            const auto& b = *check->box;
            const double scale = std::max({std::abs(b[0]), std::abs(b[1]), std::abs(b[2]),
                                           std::abs(b[3]), b[2] - b[0], b[3] - b[1]});
            const double slack = scale * 1e-6 + s.frame_.step;
            const bool anyInside =
                std::any_of(s.boxes_.begin(), s.boxes_.end(), [&](const GridBox& g) {
                    const MapRect r = s.frame_.toMap(g);
                    return r.left >= b[0] - slack && r.right <= b[2] + slack &&
                           r.bottom >= b[1] - slack && r.top <= b[3] + slack;
                });
            if (anyInside) {
                ledger.dropLastNote();
                useBox = true;
                boxTriedAgain = true;
                continue;
            }
        }
        if (allowed && outside > 0 && s.boxes_.empty() && !boxTriedAgain) {
            const std::array<double, 4> b = *check->box;
            ledger.note(QStringLiteral("the box its header gives (%1, %2 to %3, %4) holds none "
                                       "of its records and is ignored")
                            .arg(b[0])
                            .arg(b[1])
                            .arg(b[2])
                            .arg(b[3]));
            useBox = false;
            auto e = scanExtent(layer, skipRecord);
            if (!e || !finiteEnvelope(*e)) {
                return unreadable(path, QStringLiteral("its coordinates are out of range"));
            }
            envelope = *e;
            scanned = true;
            continue;
        }
        if (!overflow) {
            break;
        }
        if (scanned) {
            return unreadable(path, QStringLiteral("its coordinates are out of range"));
        }
        // The declared extent was wrong: measure the real one and read again.
        auto e = scanExtent(layer, skipRecord);
        if (!e || !finiteEnvelope(*e)) {
            return unreadable(path, QStringLiteral("its coordinates are out of range"));
        }
        envelope = *e;
        scanned = true;
    }

    if (watched) {
        watched->stop();
    }
    FeatureStore& s = *store;
    ledger.commit();
    StoreDamage damage = ledger.result(features);
    if (s.boxes_.empty()) {
        if (damage.leftOut > 0) {
            return unreadable(
                path, QStringLiteral("the data is damaged: %1").arg(damage.summary().chopped(1)));
        }
        return unreadable(path, QStringLiteral("it holds no features with geometry"));
    }
    s.path_ = path;
    s.damage_ = std::move(damage);
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
    s.makeRunGroups();

    s.index_ = std::make_unique<SpatialIndex>(s.boxes_);

    // Features whose attribute rows cannot be proven theirs are kept without attributes.
    AttributeLimits limits;
    limits.recode = recoded;
    if (check) {
        limits.none = !check->attributesUsable;
        limits.unusableFields = check->unusableFields;
        if (check->withoutAttributesCount() > 0) {
            limits.withoutAttributes.resize(s.boxes_.size(), 0);
            for (std::size_t f = 0; f < s.boxes_.size(); ++f) {
                const std::int64_t fid = identityFids ? static_cast<std::int64_t>(f) : fids[f];
                limits.withoutAttributes[f] = ledger.withoutAttributes(fid) ? 1 : 0;
            }
        }
    }
    if (identityFids) {
        fids.clear();
    }
    fids.shrink_to_fit();
    const std::size_t count = s.boxes_.size();
    std::shared_ptr<void> keepAlive = view;
    if (watched) {
        keepAlive = watched;
    }
    s.attributes_ = std::make_unique<AttributeTable>(ds.release(), std::move(fids), count,
                                                     std::move(limits), std::move(keepAlive));

    StoreOpenResult result;
    result.store = std::move(store);
    return result;
}

}  // namespace pelagon
