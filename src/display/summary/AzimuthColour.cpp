#include "display/summary/AzimuthColour.h"

#include <array>
#include <cmath>
#include <cstddef>

namespace halvane {
namespace {

// Every 15 degrees from the front to the left round to the right: the
// CIELAB colour of lightness 55 and chroma 50 at hue 30 + azimuth degrees,
// with the chroma reduced to what sRGB holds where it holds less (towards
// teal). Linear interpolation in between.
constexpr std::array<std::array<int, 3>, 24> kAzimuthStops = {{
    {209, 98, 91},   {201, 105, 72},  {189, 113, 56},  {173, 122, 44}, {155, 129, 39}, {134, 136, 41},
    {112, 142, 52},  {85, 146, 67},   {50, 149, 86},   {18, 150, 111}, {18, 148, 131}, {21, 147, 145},
    {20, 145, 157},  {23, 144, 169},  {23, 142, 181},  {24, 140, 196}, {26, 136, 217}, {93, 129, 215},
    {132, 120, 207}, {162, 111, 193}, {184, 102, 176}, {200, 96, 155}, {209, 92, 133}, {211, 93, 112},
}};
constexpr double kStopDeg = 360.0 / kAzimuthStops.size();

}  // namespace

QColor AzimuthColour(double azDeg)
{
    if (!std::isfinite(azDeg)) return QColor(128, 128, 128);
    double turn = std::fmod(azDeg, 360.0);
    if (turn < 0) turn += 360;
    const double position = turn / kStopDeg;
    const auto lower = static_cast<std::size_t>(std::floor(position)) % kAzimuthStops.size();
    const std::size_t upper = (lower + 1) % kAzimuthStops.size();
    const double t = position - std::floor(position);
    auto mix = [&](int channel) {
        return static_cast<int>(
            std::nearbyint(kAzimuthStops[lower][channel] * (1 - t) + kAzimuthStops[upper][channel] * t));
    };
    return QColor(mix(0), mix(1), mix(2));
}

}  // namespace halvane
