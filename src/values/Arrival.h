#pragma once

namespace halvane {

// One arrival: the direct sound or a reflection (analysis/arrivals/Arrivals.h
// finds them, report/ArrivalTable.h writes them, the summary picture plots
// them). This header includes nothing of the program's own.
struct Arrival {
    double timeMs = 0;   // the peak of its energy envelope, from the file's first sample (sample 0 at 0 ms)
    double levelDb = 0;  // peak energy re the direct sound's (0 for the direct sound itself)
    double azDeg = 0;
    double elDeg = 0;
    double idDb = 0;         // 10 log10(|I| / De) over the direction window: -3.01 dB for a plane wave
    double diffuseness = 0;  // 1 - 2 |I| / De over the direction window: 0 for a plane wave, 1 for a diffuse field
};

}  // namespace halvane
