#pragma once

#include <ostream>
#include <vector>

#include "values/Arrival.h"
#include "values/SurfaceQuantities.h"

namespace halvane {

// The surface table: a header of quoted column names,
//
// "surface","normal Az","normal El","distance (m)","arrivals","times (ms)","energy (dB)"
//
// and, with a room model, a last column "name"; then one line per surface in
// the order found (nearest first): its number from 1 (the arrival table's
// "surface"), the direction of its normal (where its nearest point lies seen
// from the microphone, 2 decimals), its distance from the microphone (3
// decimals), how many arrivals it returned, their times from the file's
// first sample (3 decimals, separated by blanks) and their summed energy re
// the direct sound's (2 decimals), and the room model's wall it lies on
// (empty when it lies on none). A last line "none" gathers the arrivals that
// fit no surface (higher orders, SurfaceFindings::unplaced), its normal and
// distance empty; it is left out when there are none. CR LF after every line, "." as the decimal
// separator whatever the locale, numbers as the arrival table writes them.
void WriteSurfaceTable(std::ostream& out, const std::vector<Arrival>& arrivals, const SurfaceFindings& findings);

}  // namespace halvane
