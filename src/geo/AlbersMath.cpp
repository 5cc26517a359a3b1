#include "geo/AlbersMath.h"

#include <cmath>

namespace pelagon {

double ASin(double x) {
    return std::atan(x / std::sqrt(1.0 - x * x));
}

double DegToRad(double d) {
    return d * kPi / 180.0;
}

double AlbersM(double phi) {
    const double es = kEccentricity * std::sin(phi);
    return std::cos(phi) / std::sqrt(1.0 - es * es);
}

double AlbersQ(double phi) {
    const double s = std::sin(phi);
    const double es = kEccentricity * s;
    return (1.0 - kEccentricity * kEccentricity) *
           (s / (1.0 - es * es) - (1.0 / kTwoEccentricity) * std::log((1.0 - es) / (1.0 + es)));
}

double AlbersCone(double m1, double m2, double q1, double q2) {
    return (m1 * m1 - m2 * m2) / (q2 - q1);
}

double refinedQ(double phi) {
    const double s = std::sin(phi);
    const double es = kEccentricity * s;
    return kRefineOneMinusESquared * (s / (1.0 - kRefineESquared * s * s) -
                                      (1.0 / kTwoEccentricity) * std::log((1.0 - es) / (1.0 + es)));
}

}  // namespace pelagon
