#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "common/MapTypes.h"
#include "mapdef/LayerInfo.h"
#include "query/PositionQuery.h"

class QIODevice;

namespace pelagon {

struct AlbersProjection;
class MapLayer;

// The positions of one file as the viewer shows them: every row that could be read, where it
// lies, what the location query found there and how far it is from the boundaries.
struct PositionSet {
    struct Row {
        qint64 line = 0;                 // line in the file (GPX: the point's number)
        QByteArray id;                   // UTF-8, as the table writes it
        QString vessel;                  // empty when the file names none
        QString time;                    // as written
        std::optional<qint64> timeMs;    // the time in milliseconds since 1970 (UTC), when it reads
        bool placed = false;             // false: degrees outside the map's projection
        MapPoint xy;                     // on the map's plane, when placed
        std::optional<MapPoint> lonLat;  // degrees (x = longitude, y = latitude)
        int vesselIndex = 0;             // index into vessels
        bool inDocumentArea = false;     // lies in an area of a document layer
    };

    QString path;   // the file, as opened
    QString where;  // the file as messages name it
    std::shared_ptr<const PositionQuery> query;
    std::vector<Row> rows;
    std::vector<std::int32_t> features;              // rows × query->columns()
    std::vector<PositionQuery::Distance> distances;  // rows × query->distanceColumns()
    QStringList vessels;  // in the order they first appear; "" for positions without one
    // Per vessel, its placed rows in time order: by time where every one of them has a time,
    // in file order otherwise.
    std::vector<std::vector<int>> tracks;
    // Rows that could not be read, "line 7: the x value 'abc' is not a number", in file order;
    // and what was kept with a note ("line 9: the time '…' is not an ISO 8601 time").
    QStringList leftOut;
    QStringList notes;
    qint64 leftOutCount = 0;
    qint64 outsideCount = 0;  // rows without degrees: outside the map's projection

    const std::int32_t* featuresOf(std::size_t row) const {
        return features.data() + row * query->columns().size();
    }
    const PositionQuery::Distance* distancesOf(std::size_t row) const {
        return distances.data() + row * query->distanceColumns().size();
    }

    // The table `pelagon-cli query --csv` writes for the file (with --distances when the query
    // has distances): the header and the placed rows.
    QByteArray table() const;
};

struct PositionSetLoad {
    std::shared_ptr<PositionSet> set;  // null when the file cannot be read
    QString error;                     // naming the file and the problem, when set is null
};

// Reads a positions file (see openPositions), places every row on the map and asks the query
// there on every processor core. progress, when given, receives the share done from 0 to 1
// (from the loading thread); cancel stops the work (the result then has no set and no error).
// At most kMaxListedProblems problems are listed; leftOutCount counts them all.
constexpr int kMaxListedProblems = 200;
PositionSetLoad loadPositionSet(const QString& path, const QVector<LayerInfo>& LayerInfos,
                                const std::vector<std::shared_ptr<MapLayer>>& MapLayers,
                                const AlbersProjection* projection,
                                const PositionQuery::Options& options,
                                std::atomic<double>* progress = nullptr,
                                const std::atomic<bool>* cancel = nullptr);

}  // namespace pelagon
