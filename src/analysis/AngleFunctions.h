#pragma once

#include <optional>

namespace halvane {

// The angle functions of the direction pass, in radians, built from the
// one-argument arc tangent and a square root only. They carry their own
// constants, which are NOT the correctly rounded pi and pi/2: every angle
// that passes through them shows it in its last digits (a source straight to
// the left comes out at 90.0000000000003 degrees), and the tables depend on it.
//
// Each function returns nothing where the arithmetic fails: a not-a-number
// argument, an overflowing quotient, or a square root of a negative number
// (ACos and ASin outside [-1, 1]; there is no clamping here).

inline constexpr double kAngleThreshold = 1e-7;
inline constexpr double kPi = 3.14159265358979;
inline constexpr double kHalfPi = 1.5707963267949;

// Angle of the point (x, y), numerator first, in (-kPi, kPi]. |x| below 1e-7
// counts as zero: then 0 if |y| is below 1e-7 too, else +-kHalfPi by the sign of y.
std::optional<double> atan2(double y, double x);

// Arc cosine in [0, kPi]; exactly 1 and -1 give 0 and kPi.
std::optional<double> ACos(double x);

// Arc sine in [-kHalfPi, kHalfPi]; exactly 1 and -1 give +-kHalfPi.
std::optional<double> ASin(double x);

}  // namespace halvane
