#pragma once

#include <optional>
#include <ostream>
#include <vector>

#include "BatchHost.h"

namespace halvane {

// The direct sound and the strong reflections of an impulse response, found
// in the averaging windows of the intensity pass.
struct Reflection {
    double timeMs = 0;        // window start, from the start of the file
    double delayMs = 0;       // after the direct sound
    double extraPathM = 0;    // delay times the speed of sound
    double levelDb = 0;       // energy re the direct sound's window
    double azDeg = 0;
    double elDeg = 0;
    double idDb = 0;          // intensity-to-energy ratio, -3.01 dB for a plane wave
    double diffuseness = 0;   // 1 - 2 |I| / De: 0 for a plane wave, 1 for a diffuse field
};

struct ReflectionOptions {
    double floorDb = 40;                   // how far below the direct sound a reflection may lie
    std::optional<double> temperatureC;    // air temperature; without it sound travels at 343 m/s
};

// 343 m/s, or 331.3 x sqrt(1 + T / 273.15) for an air temperature T in deg C.
double SpeedOfSoundMPerS(const std::optional<double>& temperatureC);

// The direct sound is the first window whose energy comes within 20 dB of the
// loudest window's; after it, every window whose energy is a local maximum
// (above the window before, not below the window after) and no more than
// floorDb below the direct sound. Windows without a direction (no intensity,
// or sums that are not finite) are passed over. averagingWindowMs converts
// window indices to times.
std::vector<Reflection> FindReflections(const std::vector<BatchHost::SummedWindow>& windows,
                                        double averagingWindowMs, const ReflectionOptions& options);

// The table: a header of quoted names, then one row per reflection, CR LF
// after every line, numbers with 15 significant digits and "." decimals.
void WriteReflectionTable(std::ostream& out, const std::vector<Reflection>& reflections);

}  // namespace halvane
