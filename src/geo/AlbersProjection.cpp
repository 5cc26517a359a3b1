#include "geo/AlbersProjection.h"

#include <cmath>

#include "geo/AlbersMath.h"

namespace pelagon {

std::optional<AlbersProjection> AlbersProjection::fromParameters(double centralLon,
                                                                 double originLat,
                                                                 double stdParallel1,
                                                                 double stdParallel2) {
    AlbersProjection p;
    p.CentralLon = centralLon;
    p.OriginLat = originLat;
    p.StdParallel1 = stdParallel1;
    p.StdParallel2 = stdParallel2;

    const double phi0 = DegToRad(originLat);
    const double phi1 = DegToRad(stdParallel1);
    const double phi2 = DegToRad(stdParallel2);
    const double m1 = AlbersM(phi1);
    const double m2 = AlbersM(phi2);
    const double q0 = AlbersQ(phi0);
    const double q1 = AlbersQ(phi1);
    const double q2 = AlbersQ(phi2);
    p.ConeN = AlbersCone(m1, m2, q1, q2);
    p.ConeC = m1 * m1 + p.ConeN * q1;
    p.Rho0 = kSemiMajorAxis * std::sqrt(p.ConeC - p.ConeN * q0) / p.ConeN;

    for (double v :
         {p.CentralLon, p.OriginLat, p.StdParallel1, p.StdParallel2, p.ConeN, p.ConeC, p.Rho0}) {
        if (!std::isfinite(v)) {
            return std::nullopt;
        }
    }
    return p;
}

bool AlbersProjection::AlbersToLatLong(double x, double Y, double& MapLon, double& MapLat) const {
    if (!std::isfinite(x) || !std::isfinite(Y)) {
        return false;
    }
    const double toDegrees = 180.0 / kPi;
    const double dy = Rho0 - Y;
    // The single-argument arctangent below only covers the side of the apex where the map lies.
    if (dy == 0.0 || (dy > 0.0) != (ConeN > 0.0)) {
        return false;
    }
    const double rho = std::sqrt(x * x + dy * dy);
    const double theta = std::atan(x / dy) * toDegrees;
    const double rn = rho * ConeN / kSemiMajorAxis;
    const double q = (ConeC - rn * rn) / ConeN;
    if (!(std::abs(q / 2.0) < 1.0)) {
        return false;
    }

    double phi = ASin(q / 2.0) * toDegrees;
    bool settled = false;
    for (int round = 0; round < kMaxRefineRounds; ++round) {
        const double phiR = (kPi / 180.0) * phi;
        const double s = std::sin(phiR);
        const double w = 1.0 - kRefineESquared * s * s;
        const double t = q / kRefineOneMinusESquared - s / w +
                         (1.0 / kTwoEccentricity) *
                             std::log((1.0 - kEccentricity * s) / (1.0 + kEccentricity * s));
        const double next = w * w / (2.0 * std::cos(phiR)) * t * toDegrees + phi;
        const double d = std::abs(phi - next);
        phi = next;
        if (d <= kLatitudeTolerance) {
            settled = true;
            break;
        }
        if (std::isnan(d)) {
            break;
        }
    }
    if (!settled || !std::isfinite(phi) || std::abs(phi) > 90.0) {
        return false;
    }

    double lon = theta / ConeN + CentralLon;
    if (lon < -180.0) {
        lon += 360.0;  // west of the 180th meridian reads as an east longitude
    }
    if (!std::isfinite(lon)) {
        return false;
    }
    MapLon = lon;
    MapLat = phi;
    return true;
}

bool AlbersProjection::LatLongToAlbers(double MapLon, double MapLat, double& x, double& Y) const {
    if (!std::isfinite(MapLon) || !std::isfinite(MapLat) || std::abs(MapLat) > 90.0) {
        return false;
    }
    const double q = refinedQ(DegToRad(MapLat));
    const double rho = kSemiMajorAxis * std::sqrt(ConeC - ConeN * q) / ConeN;
    const double theta = DegToRad(ConeN * std::remainder(MapLon - CentralLon, 360.0));
    const double px = rho * std::sin(theta);
    const double py = Rho0 - rho * std::cos(theta);
    if (!std::isfinite(px) || !std::isfinite(py)) {
        return false;
    }
    x = px;
    Y = py;
    return true;
}

}  // namespace pelagon
