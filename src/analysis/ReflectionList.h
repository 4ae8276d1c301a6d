#pragma once

#include <optional>
#include <span>
#include <vector>

#include "analysis/RunSummary.h"
#include "report/ReflectionTable.h"

namespace halvane {

// The direct sound and the strong reflections of an impulse response, found
// in the averaging windows of the intensity pass.
struct ReflectionOptions {
    double floorDb = 40;                   // how far below the direct sound a reflection may lie
    std::optional<double> temperatureC;    // air temperature; without it sound travels at 343 m/s
};

// 343 m/s, or 331.3 x sqrt(1 + T / 273.15) for an air temperature T in deg C.
double SpeedOfSoundMPerS(const std::optional<double>& temperatureC);

// The direct sound is found by analysis/DirectSound.h among the windows that
// have a direction; after it, every window whose energy is a local maximum
// (above the window before, not below the window after) and no more than
// floorDb below the direct sound. Windows without a direction (no intensity,
// or sums that are not finite) are passed over. Windows carry their own times.
std::vector<Reflection> FindReflections(std::span<const RunSummary::SummedWindow> windows,
                                        const ReflectionOptions& options);

}  // namespace halvane
