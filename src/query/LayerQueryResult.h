#pragma once

#include <QString>

namespace pelagon {

// What the location query found in one layer.
struct LayerQueryResult {
    enum class Outcome {
        NotSearched,       // not queryable, or its file failed to load
        NoHit,             // searched, nothing at the point
        Hit,               // at least one feature at the point
        MissingAttribute,  // a hit on an attribute layer that lacks the attribute AttrField
    };

    Outcome outcome = Outcome::NotSearched;
    // For a hit on an attribute layer: the attribute value of the first feature found, as text.
    // A NULL database value is passed as an empty (or null) text.
    QString value;

    static LayerQueryResult notSearched() { return {}; }
    static LayerQueryResult noHit() { return {Outcome::NoHit, {}}; }
    static LayerQueryResult hit(const QString& value = QString()) { return {Outcome::Hit, value}; }
    static LayerQueryResult missingAttribute() { return {Outcome::MissingAttribute, {}}; }
};

}  // namespace pelagon
