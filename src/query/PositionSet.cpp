#include "query/PositionSet.h"

#include <QHash>

#include <algorithm>

#include "common/EchoText.h"
#include "positions/PositionsFile.h"
#include "query/PositionBatch.h"

namespace pelagon {

QByteArray PositionSet::table() const {
    const PositionTable writer(*query);
    QByteArray out = writer.header();
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const Row& row = rows[r];
        if (row.placed) {
            writer.appendRow(out, row.id, row.lonLat, row.xy, featuresOf(r), distancesOf(r));
        }
    }
    return out;
}

PositionSetLoad loadPositionSet(const QString& path, const QVector<LayerInfo>& LayerInfos,
                                const std::vector<std::shared_ptr<MapLayer>>& MapLayers,
                                const AlbersProjection* projection,
                                const PositionQuery::Options& options,
                                std::atomic<double>* progress, const std::atomic<bool>* cancel) {
    PositionSetLoad result;
    positions::OpenedPositions opened = positions::openPositions(path, nullptr);
    if (!opened.reader) {
        result.error = opened.error;
        return result;
    }
    positions::PositionReader& reader = *opened.reader;
    if (reader.units() == positions::Units::Degrees && projection == nullptr) {
        result.error = QStringLiteral(
                           "%1: the positions are in degrees, and the map's projection "
                           "could not be read to place them.")
                           .arg(reader.where());
        return result;
    }
    auto set = std::make_shared<PositionSet>();
    set->path = path;
    set->where = reader.where();
    auto query = std::make_shared<const PositionQuery>(LayerInfos, MapLayers, options);
    set->query = query;
    const std::size_t columns = query->columns().size();
    const std::size_t distanceColumns = query->distanceColumns().size();
    std::vector<bool> documentColumn(columns);
    for (std::size_t c = 0; c < columns; ++c) {
        documentColumn[c] = !query->columns()[c].attribute;
    }
    QHash<QString, int> vesselIndex;

    PositionBatchOptions batch;
    batch.cancel = cancel;
    const bool completed =
        runPositionBatch(reader, *query, projection, batch, [&](PositionChunk& chunk) {
            for (std::size_t r = 0; r < chunk.rows.size(); ++r) {
                positions::PositionRow& source = chunk.rows[r];
                const PlacedPosition& place = chunk.places[r];
                if (place.status == PlacedPosition::Status::Unreadable) {
                    if (set->leftOut.size() < kMaxListedProblems) {
                        set->leftOut.append(QStringLiteral("%1: %2").arg(
                            reader.rowName(source.line), source.problem));
                    }
                    ++set->leftOutCount;
                    continue;
                }
                PositionSet::Row row;
                row.line = source.line;
                row.id = std::move(source.id);
                row.vessel = QString::fromUtf8(source.vessel);
                row.time = QString::fromUtf8(source.time);
                if (!source.time.isEmpty()) {
                    row.timeMs = positions::parseIsoTime(source.time);
                    if (!row.timeMs && set->notes.size() < kMaxListedProblems) {
                        set->notes.append(
                            QStringLiteral("%1: the time '%2' is not an ISO 8601 date and "
                                           "time; the position is kept without it")
                                .arg(reader.rowName(source.line), echoLine(row.time)));
                    }
                }
                row.placed = place.status == PlacedPosition::Status::Placed;
                row.xy = place.xy;
                row.lonLat = place.lonLat;
                auto found = vesselIndex.constFind(row.vessel);
                if (found == vesselIndex.constEnd()) {
                    found = vesselIndex.insert(row.vessel, static_cast<int>(set->vessels.size()));
                    set->vessels.append(row.vessel);
                }
                row.vesselIndex = *found;
                const std::int32_t* features = chunk.features.data() + r * columns;
                for (std::size_t c = 0; c < columns; ++c) {
                    if (row.placed && documentColumn[c] && features[c] != PositionQuery::kNothing) {
                        row.inDocumentArea = true;
                    }
                }
                set->features.insert(set->features.end(), features, features + columns);
                const PositionQuery::Distance* d = chunk.distances.data() + r * distanceColumns;
                set->distances.insert(set->distances.end(), d, d + distanceColumns);
                set->rows.push_back(std::move(row));
            }
            if (progress != nullptr) {
                progress->store(reader.progress(), std::memory_order_relaxed);
            }
        });
    if (!completed) {
        return result;
    }
    if (!reader.failure().isEmpty()) {
        result.error = QStringLiteral("Cannot read %1: %2").arg(reader.where(), reader.failure());
        return result;
    }

    if (const QString notice = reader.notice(); !notice.isEmpty()) {
        set->notes.prepend(notice);
    }
    set->tracks.resize(static_cast<std::size_t>(set->vessels.size()));
    std::vector<bool> allTimed(set->tracks.size(), true);
    for (std::size_t r = 0; r < set->rows.size(); ++r) {
        const PositionSet::Row& row = set->rows[r];
        set->outsideCount += row.placed && row.lonLat ? 0 : 1;
        if (!row.placed) {
            continue;
        }
        const auto v = static_cast<std::size_t>(row.vesselIndex);
        set->tracks[v].push_back(static_cast<int>(r));
        allTimed[v] = allTimed[v] && row.timeMs.has_value();
    }
    for (std::size_t v = 0; v < set->tracks.size(); ++v) {
        if (allTimed[v]) {
            std::stable_sort(set->tracks[v].begin(), set->tracks[v].end(), [&](int a, int b) {
                return *set->rows[static_cast<std::size_t>(a)].timeMs <
                       *set->rows[static_cast<std::size_t>(b)].timeMs;
            });
        }
    }
    result.set = std::move(set);
    return result;
}

}  // namespace pelagon
