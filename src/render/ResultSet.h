#pragma once

#include <QString>

#include <memory>
#include <optional>
#include <vector>

#include "store/FeatureStore.h"

namespace pelagon {

// The features a layer search found, in file order, with access to their attributes.
class ResultSet {
public:
    ResultSet() = default;
    ResultSet(std::shared_ptr<const FeatureStore> store, std::vector<FeatureId> features,
              QString error = {});

    int count() const { return static_cast<int>(features_.size()); }
    const std::vector<FeatureId>& features() const { return features_; }

    // The value of a field of found feature i (the first by default) as text, empty for NULL;
    // nullopt when the layer has no such field or there is no feature i.
    std::optional<QString> value(const QString& field, int i = 0) const;
    bool hasField(const QString& field) const;

    // Why the search found nothing when it could not be made (a bad filter, an unknown
    // relation); empty otherwise.
    const QString& error() const { return error_; }

private:
    std::shared_ptr<const FeatureStore> store_;
    std::vector<FeatureId> features_;
    QString error_;
};

}  // namespace pelagon
