#include "OgrPointWalk.h"

#include <ogr_geometry.h>

#include <stdexcept>
#include <string>

namespace pelagon::bench {

namespace {

void walkCurve(const OGRSimpleCurve& curve, PointWalkTotals& totals) {
    const int count = curve.getNumPoints();
    double sum = 0;
    for (int i = 0; i < count; ++i) {
        sum += curve.getX(i) + curve.getY(i);
    }
    totals.coordinateSum += sum;
    totals.vertices += count;
    ++totals.rings;
}

}  // namespace

void walkPoints(const OGRGeometry& geometry, PointWalkTotals& totals) {
    switch (wkbFlatten(geometry.getGeometryType())) {
        case wkbPoint: {
            const OGRPoint* point = geometry.toPoint();
            if (!point->IsEmpty()) {
                totals.coordinateSum += point->getX() + point->getY();
                ++totals.vertices;
            }
            return;
        }
        case wkbLineString:
        case wkbLinearRing:
            walkCurve(*geometry.toSimpleCurve(), totals);
            return;
        case wkbPolygon:
            for (const OGRLinearRing* ring : *geometry.toPolygon()) {
                walkCurve(*ring, totals);
            }
            return;
        case wkbMultiPoint:
        case wkbMultiLineString:
        case wkbMultiPolygon:
        case wkbGeometryCollection:
            for (const OGRGeometry* part : *geometry.toGeometryCollection()) {
                walkPoints(*part, totals);
            }
            return;
        default:
            throw std::invalid_argument(std::string("cannot walk the points of a ") +
                                        geometry.getGeometryName());
    }
}

}  // namespace pelagon::bench
