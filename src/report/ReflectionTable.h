#pragma once

#include <ostream>
#include <vector>

namespace halvane {

// One row of the reflection list: the direct sound or a reflection.
struct Reflection {
    double timeMs = 0;        // from the start of the file
    double delayMs = 0;       // after the direct sound
    double extraPathM = 0;    // delay times the speed of sound
    double levelDb = 0;       // energy re the direct sound
    double azDeg = 0;
    double elDeg = 0;
    double idDb = 0;          // intensity-to-energy ratio, -3.01 dB for a plane wave
    double diffuseness = 0;   // 1 - 2 |I| / De: 0 for a plane wave, 1 for a diffuse field
};

// The reflection list: a header of quoted names, then one row per
// reflection, CR LF after every line, numbers with 15 significant digits and
// "." decimals.
void WriteReflectionTable(std::ostream& out, const std::vector<Reflection>& reflections);

}  // namespace halvane
