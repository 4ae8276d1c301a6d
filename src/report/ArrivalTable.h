#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "values/Arrival.h"
#include "values/SurfaceQuantities.h"

namespace halvane {

// The arrival table: a header of quoted column names, then one row per
// arrival in the order given (FindArrivals gives time order, the direct sound
// first), CR LF after every line, "." as the decimal separator whatever the
// locale:
//
// "time (ms)","delay (ms)","extra path (m)","level (dB)","Az","El","I/D (dB)","diffuseness"
//
// and, when directDistanceM is given, a last column "distance (m)": the
// source-receiver distance plus the arrival's extra path, the distance of the
// image source it comes from.
//
// time: from the file's first sample, 3 decimals (a microsecond). delay:
// after the first row's time, 3 decimals. extra path: delay times
// speedOfSoundMPerS, in metres, 3 decimals. level, Az, El, I/D: 2 decimals.
// diffuseness: 3 decimals. distance: 3 decimals. Values are rounded half to
// even at the last decimal, "-" only before a value that does not round to
// zero; a value that is not finite is written NaN, Infinity or -Infinity.
// An empty list writes the header alone.
//
// With surfaces (analysis/surfaces/Surfaces.h, one row per arrival), three
// columns more: "reflector (m)","normal Az","normal El", each arrival's
// reflector (the distance of the plane bisecting its source and image source,
// 3 decimals, and the direction of its normal, 2 decimals; empty for the
// direct sound), then "surface": the number of the surface it belongs to in
// the surface table (from 1), "none" for an arrival that fits no surface,
// empty for the direct sound. With a room model two more, "order" (0 for the
// direct sound) and "path" (the walls on its way, quoted: "floor, left"),
// empty for an arrival the model does not give.
void WriteArrivalTable(std::ostream& out, const std::vector<Arrival>& arrivals, double speedOfSoundMPerS,
                       std::optional<double> directDistanceM, const SurfaceFindings* surfaces = nullptr);

// One number with a fixed count of decimals (0..9) as the table writes it.
std::string FormatArrivalNumber(double value, int decimals);

}  // namespace halvane
