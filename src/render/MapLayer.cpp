#include "render/MapLayer.h"

namespace pelagon {

bool MapLayer::setDataFile(const QString& path) {
    setData(path, FeatureStore::open(path));
    return valid();
}

void MapLayer::setData(const QString& path, StoreOpenResult opened) {
    dataFile_ = path;
    store_ = std::move(opened.store);
    error_ = store_ ? StoreError{} : std::move(opened.error);
    if (store_) {
        switch (store_->kind()) {
            case GeometryKind::Points:
                symbol_.setKind(SymbolKind::Marker);
                break;
            case GeometryKind::Lines:
                symbol_.setKind(SymbolKind::Line);
                break;
            case GeometryKind::Polygons:
                symbol_.setKind(SymbolKind::Fill);
                break;
        }
    }
}

int MapLayer::shapeType() const {
    if (!store_) {
        return 0;
    }
    switch (store_->kind()) {
        case GeometryKind::Points:
            return kPoints;
        case GeometryKind::Lines:
            return kLines;
        case GeometryKind::Polygons:
            return kAreas;
    }
    return 0;
}

MapRect MapLayer::extent() const {
    return store_ ? store_->extent() : MapRect{};
}

ResultSet MapLayer::searchShape(MapPoint point, int relation, const QString& filter,
                                double tolerance) const {
    if (!store_) {
        return ResultSet({}, {}, QStringLiteral("The layer %1 is not loaded.").arg(dataFile_));
    }
    if (relation != kSearchAtPoint) {
        return ResultSet(store_, {},
                         QStringLiteral("Search relation %1 is not known; %2 finds the features "
                                        "at a point.")
                             .arg(relation)
                             .arg(kSearchAtPoint));
    }
    std::vector<FeatureId> found = store_->searchPoint(point, tolerance);
    if (!filter.trimmed().isEmpty() && !found.empty()) {
        QString error;
        auto kept = store_->filterByAttributes(found, filter, &error);
        if (!kept) {
            return ResultSet(store_, {}, error);
        }
        found = std::move(*kept);
    }
    return ResultSet(store_, std::move(found));
}

}  // namespace pelagon
