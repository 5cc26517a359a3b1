#pragma once

namespace pelagon {

// Constants of the projection arithmetic. They are used exactly as written, each in the step that
// names it: the e² and 1 − e² of the latitude refinement are these literals, not values derived
// from the eccentricity; only AlbersQ forms 1 − e·e from the eccentricity itself.
inline constexpr double kPi = 3.14159265358979;
inline constexpr double kSemiMajorAxis = 6378137.0;  // a, metres
inline constexpr double kEccentricity = 0.0818192214555232;
inline constexpr double kTwoEccentricity = 0.1636384429110464;
inline constexpr double kRefineESquared = 0.00669438;
inline constexpr double kRefineOneMinusESquared = 0.99330562;
inline constexpr double kLatitudeTolerance = 1e-7;  // degrees

// Arc sine in radians, as arctan(x / √(1 − x·x)); undefined (not finite) for |x| >= 1.
double ASin(double x);

// Degrees to radians with the literal π above.
double DegToRad(double d);

// m of a latitude phi (radians): cos φ / √(1 − (e·sin φ)²).
double AlbersM(double phi);

// q of a latitude phi (radians), with 1 − e·e formed from the eccentricity.
double AlbersQ(double phi);

// Cone constant n from m and q of the two standard parallels: (m1² − m2²) / (q2 − q1).
double AlbersCone(double m1, double m2, double q1, double q2);

// The q whose latitude the refinement of AlbersToLatLong settles on: q with the literal e² and
// 1 − e² of the refinement. It differs from AlbersQ by the mismatch between those literals and the
// square of the eccentricity (a few centimetres on the ground); the forward transform uses it so
// that converting a position back returns the same position.
double refinedQ(double phi);

}  // namespace pelagon
