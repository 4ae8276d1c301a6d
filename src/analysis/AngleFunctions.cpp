#include "analysis/AngleFunctions.h"

#include <cmath>

namespace halvane {
namespace {

// x / sqrt(1 - x*x), or nothing where the square root or the quotient fails.
std::optional<double> SineOverCosine(double x)
{
    const double square = x * x;
    const double complement = 1.0 - square;
    if (std::isnan(x) || complement < 0.0) return std::nullopt;
    const double quotient = x / std::sqrt(complement);
    if (!std::isfinite(quotient)) return std::nullopt;
    return quotient;
}

}  // namespace

std::optional<double> atan2(double y, double x)
{
    if (std::isnan(x) || std::isnan(y)) return std::nullopt;
    if (std::fabs(x) >= kAngleThreshold) {
        const double quotient = y / x;
        if (!std::isfinite(quotient)) return std::nullopt;
        const double r = std::atan(quotient);
        if (x >= 0.0) return r;
        if (y >= 0.0) return r + kPi;
        return r - kPi;
    }
    if (std::fabs(y) < kAngleThreshold) return 0.0;
    if (y > 0.0) return kHalfPi;
    return -kHalfPi;
}

std::optional<double> ACos(double x)
{
    if (x == 1.0) return 0.0;
    if (x == -1.0) return kPi;
    const auto ratio = SineOverCosine(x);
    if (!ratio) return std::nullopt;
    return kHalfPi - std::atan(*ratio);
}

std::optional<double> ASin(double x)
{
    if (x == 1.0) return kHalfPi;
    if (x == -1.0) return -kHalfPi;
    const auto ratio = SineOverCosine(x);
    if (!ratio) return std::nullopt;
    return std::atan(*ratio);
}

}  // namespace halvane
