#pragma once

#include <optional>

namespace pelagon {

// The projection state of a map: the four parameters read from ProjPars.alb and the cone
// constants derived from them. Map coordinates are metres of an Albers equal-area conic plane with
// no false easting or northing: (0, 0) lies on the central meridian at the latitude of origin.
struct AlbersProjection {
    double CentralLon = 0.0;    // degrees, east positive
    double OriginLat = 0.0;     // degrees, north positive
    double StdParallel1 = 0.0;  // degrees
    double StdParallel2 = 0.0;  // degrees
    double ConeN = 0.0;         // cone constant n
    double ConeC = 0.0;         // constant C
    double Rho0 = 0.0;          // radius of the latitude of origin, metres

    // Derives the cone constants from the four parameters. Returns nullopt when a parameter or a
    // derived constant is not finite (equal standard parallels, for example, divide by zero).
    static std::optional<AlbersProjection> fromParameters(double centralLon, double originLat,
                                                          double stdParallel1, double stdParallel2);

    // Map point (x easting, Y northing, metres) to longitude and latitude in decimal degrees.
    // A longitude below -180 has 360 added; exactly -180 stays. Returns false, leaving MapLon and
    // MapLat unchanged, for a point with no position: at or beyond the apex of the cone (Rho0 - Y
    // is 0 or of the other sign than ConeN), beyond a pole (|q / 2| >= 1), where the latitude does
    // not settle within kMaxRefineRounds rounds, or where anything is not finite.
    bool AlbersToLatLong(double x, double Y, double& MapLon, double& MapLat) const;

    // Longitude and latitude in decimal degrees to a map point; the inverse of AlbersToLatLong
    // (converting the result back gives the position within a fraction of a millimetre). Any
    // longitude is accepted and taken the short way round from the central meridian. Returns
    // false, leaving x and Y unchanged, for a latitude beyond ±90 or a result that is not finite.
    bool LatLongToAlbers(double MapLon, double MapLat, double& x, double& Y) const;

    // Bound on the rounds of the latitude refinement. Points of a map settle in three or four
    // rounds; the refinement slows down towards a pole, where it needs at most 25 rounds (within
    // 1e-7 degree of it). A point beyond a pole has no latitude and never settles.
    static constexpr int kMaxRefineRounds = 50;
};

}  // namespace pelagon
