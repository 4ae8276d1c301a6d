#include "convert/DirectSoundCheck.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>

namespace halvane::convert {
namespace {

constexpr double kDegPerRad = 180.0 / std::numbers::pi;
constexpr double kDirectWithinDb = 20.0;
constexpr double kDirectSearchMs = 10.0;

std::string Degrees(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.0f", value);
    return text;
}

}  // namespace

std::vector<WindowSums> SumWindows(std::span<const float> wyzx, std::size_t framesPerWindow)
{
    std::vector<WindowSums> windows;
    if (framesPerWindow == 0) return windows;
    const std::size_t frameCount = wyzx.size() / 4;
    for (std::size_t start = 0; start < frameCount; start += framesPerWindow) {
        WindowSums sums;
        const std::size_t end = std::min(frameCount, start + framesPerWindow);
        for (std::size_t frame = start; frame < end; ++frame) {
            const double w = wyzx[4 * frame];
            const double y = wyzx[4 * frame + 1];
            const double z = wyzx[4 * frame + 2];
            const double x = wyzx[4 * frame + 3];
            sums.energy += w * w + x * x + y * y + z * z;
            sums.ix += x * w;
            sums.iy += y * w;
            sums.iz += z * w;
        }
        windows.push_back(sums);
    }
    return windows;
}

std::optional<Direction> DirectionOf(const WindowSums& sums)
{
    const double magnitude = std::sqrt(sums.ix * sums.ix + sums.iy * sums.iy + sums.iz * sums.iz);
    if (!(magnitude > 0) || !std::isfinite(magnitude)) return std::nullopt;
    Direction direction;
    direction.azimuthDeg = std::atan2(sums.iy, sums.ix) * kDegPerRad;
    if (direction.azimuthDeg == -180.0) direction.azimuthDeg = 180.0;
    direction.elevationDeg = std::asin(std::clamp(sums.iz / magnitude, -1.0, 1.0)) * kDegPerRad;
    return direction;
}

std::optional<DirectSoundEstimate> EstimateDirectSound(std::span<const float> wyzx, std::uint32_t sampleRateHz)
{
    if (sampleRateHz == 0) return std::nullopt;
    const auto framesPerWindow =
        std::max<std::size_t>(1, static_cast<std::size_t>(std::llround(sampleRateHz * kCheckWindowMs / 1000.0)));
    const std::vector<WindowSums> windows = SumWindows(wyzx, framesPerWindow);

    double peakEnergy = 0;
    for (const WindowSums& w : windows)
        if (std::isfinite(w.energy)) peakEnergy = std::max(peakEnergy, w.energy);
    if (!(peakEnergy > 0)) return std::nullopt;

    const double threshold = peakEnergy * std::pow(10.0, -kDirectWithinDb / 10.0);
    std::size_t first = 0;
    while (!(std::isfinite(windows[first].energy) && windows[first].energy >= threshold)) ++first;
    const auto searchWindows = static_cast<std::size_t>(std::llround(kDirectSearchMs / kCheckWindowMs));
    std::size_t loudest = first;
    for (std::size_t k = first + 1; k < windows.size() && k <= first + searchWindows; ++k)
        if (std::isfinite(windows[k].energy) && windows[k].energy > windows[loudest].energy) loudest = k;

    const auto direction = DirectionOf(windows[loudest]);
    if (!direction) return std::nullopt;
    DirectSoundEstimate estimate;
    estimate.windowIndex = loudest;
    estimate.startMs = static_cast<double>(loudest * framesPerWindow) * 1000.0 / sampleRateHz;
    estimate.direction = *direction;
    return estimate;
}

std::vector<std::string> ConventionSlipWarnings(const DirectSoundEstimate& estimate)
{
    std::vector<std::string> warnings;
    const std::string where = "the direct sound (window at " + Degrees(estimate.startMs) + " ms) arrives from Az " +
                              Degrees(estimate.direction.azimuthDeg) + ", El " +
                              Degrees(estimate.direction.elevationDeg) + " degrees";
    if (std::fabs(estimate.direction.azimuthDeg) > kBehindAzimuthDeg)
        warnings.push_back(where + ", from behind: if the source stood in front of the microphone, check --order "
                                   "and the sign of X");
    if (estimate.direction.elevationDeg < kBelowHorizonDeg)
        warnings.push_back(where + ", from well below the horizon: if the source was not below the microphone, "
                                   "check --order and the sign of Z");
    if (estimate.direction.elevationDeg > kOverheadDeg)
        warnings.push_back(where + ", from nearly overhead: if the source was not above the microphone, check "
                                   "--order (W, X, Y, Z files need --order fuma)");
    return warnings;
}

}  // namespace halvane::convert
