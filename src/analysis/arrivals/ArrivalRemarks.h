#pragma once

#include <string>
#include <vector>

#include "analysis/arrivals/Arrivals.h"

namespace halvane {

// What a reader of an arrival list should know about it beyond its rows, one
// clause each (no capital, no full stop), in this order: the input does not
// look like an impulse response; the direct sound clipped; later arrivals
// stronger than the direct sound were left out (how many, the strongest's dB
// above it with 1 decimal and its time in ms with 3). Empty when there is
// nothing to say. halvane-batch adds them to its line for the list, the
// results window shows them under its table.
std::vector<std::string> ArrivalRemarks(const ArrivalFindings& findings);

}  // namespace halvane
