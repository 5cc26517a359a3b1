#include "render/ResultSet.h"

namespace pelagon {

ResultSet::ResultSet(std::shared_ptr<const FeatureStore> store, std::vector<FeatureId> features,
                     QString error)
    : store_(std::move(store)), features_(std::move(features)), error_(std::move(error)) {}

std::optional<QString> ResultSet::value(const QString& field, int i) const {
    if (!store_ || i < 0 || i >= count()) {
        return std::nullopt;
    }
    return store_->attributeText(features_[static_cast<std::size_t>(i)], field);
}

bool ResultSet::hasField(const QString& field) const {
    return store_ && store_->fieldIndex(field) >= 0;
}

}  // namespace pelagon
