#include "display/UserScale.h"

#include <cmath>
#include <limits>

namespace halvane {

namespace {

// Positions within this distance of an edge count as on it: the scale's
// arithmetic may land a hair beside an edge that the user value names exactly.
constexpr double EdgeTolerancePx = 1e-6;

// Pixel positions beyond this are off any drawing area by far; keeping them
// well inside int range lets callers add widths without overflow.
constexpr double FarOffPx = 1e8;

std::optional<int> PixelIndex(double px, int areaPx)
{
    if (!std::isfinite(px) || std::fabs(px) > FarOffPx) {
        return std::nullopt;
    }
    if (px < 0 && px > -EdgeTolerancePx) {
        return 0;
    }
    if (px >= areaPx && px < areaPx + EdgeTolerancePx) {
        return areaPx - 1;
    }
    return static_cast<int>(std::floor(px));
}

std::optional<int> ClampedPixelIndex(double px, int areaPx)
{
    if (std::isnan(px)) {
        return std::nullopt;
    }
    if (px < -1) {
        return -1;
    }
    if (px > areaPx) {
        return areaPx;
    }
    return PixelIndex(px, areaPx);
}

}  // namespace

double UserScale::ToPixelX(double x) const { return (x - Left) * AreaWidthPx / Width; }

double UserScale::ToPixelY(double y) const { return (y - Top) * AreaHeightPx / Height; }

std::optional<int> UserScale::ColumnOf(double x) const { return PixelIndex(ToPixelX(x), AreaWidthPx); }

std::optional<int> UserScale::RowOf(double y) const { return PixelIndex(ToPixelY(y), AreaHeightPx); }

std::optional<int> UserScale::ClampedColumnOf(double x) const { return ClampedPixelIndex(ToPixelX(x), AreaWidthPx); }

std::optional<int> UserScale::ClampedRowOf(double y) const { return ClampedPixelIndex(ToPixelY(y), AreaHeightPx); }

double UserScale::ToUserX(double px) const
{
    if (AreaWidthPx <= 0) {
        return std::numeric_limits<double>::quiet_NaN();
    }
    return Left + px * Width / AreaWidthPx;
}

double UserScale::ToUserY(double py) const
{
    if (AreaHeightPx <= 0) {
        return std::numeric_limits<double>::quiet_NaN();
    }
    return Top + py * Height / AreaHeightPx;
}

double UserScale::PixelsPerUnitX() const { return AreaWidthPx / std::fabs(Width); }

}  // namespace halvane
