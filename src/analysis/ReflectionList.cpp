#include "analysis/ReflectionList.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "analysis/DirectSound.h"
#include "analysis/DirectionQuantities.h"

namespace halvane {

double SpeedOfSoundMPerS(const std::optional<double>& temperatureC)
{
    if (!temperatureC) return 343.0;
    return 331.3 * std::sqrt(1.0 + *temperatureC / 273.15);
}

std::vector<Reflection> FindReflections(std::span<const RunSummary::SummedWindow> windows,
                                        const ReflectionOptions& options)
{
    std::vector<double> energy(windows.size(), 0.0);
    double peak = 0;
    for (std::size_t i = 0; i < windows.size(); ++i) {
        const double de = windows[i].sums.De();
        energy[i] = std::isfinite(de) && de > 0 ? de : 0.0;
        peak = std::max(peak, energy[i]);
    }
    std::vector<Reflection> found;
    if (!(peak > 0)) return found;

    // Window i as a reflection, timed and levelled against the direct sound's window.
    auto describe = [&](std::size_t i, std::size_t direct) -> std::optional<Reflection> {
        const double timeMs = windows[i].timeMs;
        const DirectionQuantities q = ComputeDirection(windows[i].sums, timeMs);
        if (!q.hasDirection) return std::nullopt;
        Reflection r;
        r.timeMs = timeMs;
        r.delayMs = timeMs - windows[direct].timeMs;
        r.extraPathM = r.delayMs / 1000.0 * SpeedOfSoundMPerS(options.temperatureC);
        r.levelDb = TenLog10(energy[i] / energy[direct]);
        r.azDeg = q.view.Az;
        r.elDeg = q.view.El;
        r.idDb = TenLog10(q.view.IntensityMagnitude / q.view.De);
        r.diffuseness = 1.0 - 2.0 * q.view.IntensityMagnitude / q.view.De;
        return r;
    };

    // The direct sound, among the windows that have a direction.
    DirectSoundFinder finder;
    for (std::size_t i = 0; i < windows.size(); ++i) {
        finder.Add(energy[i], ComputeDirection(windows[i].sums, windows[i].timeMs).hasDirection);
    }
    const std::optional<std::size_t> directWindow = finder.DirectWindow();
    if (!directWindow) return found;
    const std::size_t direct = *directWindow;
    found.push_back(*describe(direct, direct));

    const double lowest = energy[direct] * std::pow(10.0, -options.floorDb / 10.0);
    for (std::size_t i = direct + 1; i < windows.size(); ++i) {
        const bool rises = energy[i] > energy[i - 1];
        const bool holds = i + 1 == windows.size() || energy[i] >= energy[i + 1];
        if (!rises || !holds || energy[i] < lowest) continue;
        if (auto r = describe(i, direct)) found.push_back(*r);
    }
    return found;
}

}  // namespace halvane
