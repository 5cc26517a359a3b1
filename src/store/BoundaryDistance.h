#pragma once

#include <optional>

#include "common/MapTypes.h"
#include "store/FeatureStore.h"

namespace pelagon {

// The distance, in map units, from a point to the nearest boundary of a feature: to the nearest
// edge of any of its rings (shells and holes alike), or to the nearest of its lines or points.
// Runs of long rings whose boxes lie further than the best distance found so far are skipped.
double distanceToBoundary(const FeatureStore& store, FeatureId f, MapPoint p);

// A feature and how far it is from a point.
struct FeatureDistance {
    FeatureId feature = 0;
    double distance = 0;  // map units
};

// The feature of the layer nearest to a point (for polygons: the nearest boundary of an area
// that does not contain it, or of one that does), by distance to its boundary, no further than
// maxDistance. The search widens from the point, so near features cost little whatever the
// layer's size. Nothing for an empty layer or when nothing lies within maxDistance.
std::optional<FeatureDistance> nearestFeature(const FeatureStore& store, MapPoint p,
                                              double maxDistance);

// How far a point lies from the areas of a polygon layer.
struct AreaDistance {
    bool inside = false;  // the point lies in an area (its boundary included)
    // The area that contains the point (the first in file order), or the nearest one.
    FeatureId area = 0;
    // Map units from the point to that area's nearest boundary.
    double distance = 0;
};

// For a point in an area of the layer: that area (the first that contains it, as searchPoint
// finds it) and the distance to its nearest boundary; for a point in none: the nearest area and
// the distance to it. Nothing for a layer that holds no areas, or a point that is not finite.
std::optional<AreaDistance> distanceToAreas(const FeatureStore& store, MapPoint p);

}  // namespace pelagon
