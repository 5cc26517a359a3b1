// The order the tables list visits and hours in: by vessel, time, the layer's order in the map
// and the area's text.
#include "tracks/AreaVisits.h"

#include <QByteArray>

#include <algorithm>
#include <utility>
#include <vector>

#include "store/FeatureStore.h"

namespace pelagon::tracks {

AreaOrder::AreaOrder(const TrackAreas& areas) {
    const PositionQuery& q = areas.query();
    const auto& columns = q.columns();
    columnRank_.resize(columns.size());
    areaRank_.resize(columns.size());
    for (std::size_t c = 0; c < columns.size(); ++c) {
        columnRank_[c] = columns[c].record;
    }
    for (std::size_t k = 0; k < areas.columns().size(); ++k) {
        const int c = areas.columns()[k];
        const auto n = static_cast<std::int32_t>(areas.store(k).featureCount());
        std::vector<std::pair<QByteArray, std::int32_t>> texts;
        texts.reserve(static_cast<std::size_t>(n));
        for (std::int32_t f = 0; f < n; ++f) {
            texts.emplace_back(q.cellText(c, f).toUtf8(), f);
        }
        std::sort(texts.begin(), texts.end());
        std::vector<std::int32_t>& rank = areaRank_[static_cast<std::size_t>(c)];
        rank.resize(static_cast<std::size_t>(n));
        for (std::size_t i = 0; i < texts.size(); ++i) {
            rank[static_cast<std::size_t>(texts[i].second)] = static_cast<std::int32_t>(i);
        }
    }
}

bool AreaOrder::less(int ca, std::int32_t a, int cb, std::int32_t b) const {
    if (ca != cb) {
        return columnRank_[static_cast<std::size_t>(ca)] <
               columnRank_[static_cast<std::size_t>(cb)];
    }
    const auto& rank = areaRank_[static_cast<std::size_t>(ca)];
    return rank[static_cast<std::size_t>(a)] < rank[static_cast<std::size_t>(b)];
}

namespace {

// By vessel (vesselOrder[vessel] gives its place; empty when all are of one vessel), then the
// time key, then the layer's order in the map and the area's text.
template <typename Row, typename TimeKey>
void sortRows(std::vector<Row>& rows, const AreaOrder& ranks,
              std::span<const std::int32_t> vesselOrder, TimeKey time) {
    std::stable_sort(rows.begin(), rows.end(), [&](const Row& a, const Row& b) {
        if (!vesselOrder.empty()) {
            const auto va = vesselOrder[static_cast<std::size_t>(a.vessel)];
            const auto vb = vesselOrder[static_cast<std::size_t>(b.vessel)];
            if (va != vb) {
                return va < vb;
            }
        }
        if (time(a) != time(b)) {
            return time(a) < time(b);
        }
        return ranks.less(a.column, a.area, b.column, b.area);
    });
}

}  // namespace

void sortVisits(std::vector<Visit>& visits, const AreaOrder& ranks,
                std::span<const std::int32_t> vesselOrder) {
    sortRows(visits, ranks, vesselOrder, [](const Visit& v) { return v.enterMs; });
}

void sortHours(std::vector<AreaHours>& hours, const AreaOrder& ranks,
               std::span<const std::int32_t> vesselOrder) {
    sortRows(hours, ranks, vesselOrder, [](const AreaHours& h) { return h.periodStartMs; });
}

}  // namespace pelagon::tracks
