#pragma once

#include <cstddef>
#include <span>
#include <string>

#include "values/AnalysisResults.h"
#include "values/Result.h"

namespace halvane {

// The results of one response's analyses as bytes, for another program that
// only shows them (halvane-batch hands them to halvane-picture): every number
// is read back bit for bit, not-a-number and -0 included.
//
// Layout: the 16 characters "halvane results\n", then named sections until
// the section "end":
//   name length  1 byte (1..255), then the name in ASCII
//   length       8 bytes, the payload's size in bytes
//   payload      as the section's name says
// Numbers are little-endian: doubles and floats as their IEEE 754 bits,
// integers in two's complement; a flag is one byte (0 or 1); a count or a
// text's length is 8 bytes, a text its bytes after it. The sections, each
// once, as EncodeResults writes them:
//   "response"           the input's name (text) and the band (4 bytes; 0 broadband)
//   "run"                skip, display and averaging window in ms
//   "intensity-windows"  count, then per window: index, start in ms, the
//                        32-bit flag, De, Ix, Iy, Iz as 64-bit integers and as floats
//   "direction-windows"  count, then per window: start in ms, the flags hasDirection,
//                        onMap and writesRow, the ten doubles of its DirectionView,
//                        I/D and Li
//   "arrivals"           floor, direction window and diffuseness limit, count,
//                        then per arrival time, level, Az, El, I/D, diffuseness
//   "surface-names"      (only with a room model) count, then per arrival
//                        its surface's name (text)
//   "room-parameters"    (only when computed) count, then per band: its label,
//                        its frequency (4 bytes), EDT .. LFC each as a flag and a
//                        double, the decay curve (start, count and times, count and
//                        levels, crossing, range), and the EDT, T20 and T30 fits
//                        each as a flag and slope, intercept, from, to
//   "energy-maps"        (only when made) the estimator (4 bytes: 0 beam, 1
//                        histogram), spot width, band (4 bytes), onset frame,
//                        onset, end of the decay, reference energy, count, then
//                        per map: its label, from, to (flag and double), the
//                        measured end, first and end frame, energy, the cell
//                        energies and the levels (count and doubles each),
//                        peak cell and peak level
//   "convention"         (only when the file's likeliest convention is not
//                        AmbiX/SN3D) the sentence saying so
//   "comparison"         (only for a comparison) B's name, the lag in ms,
//                        the rotation (flag and double), the calibrated flag;
//                        count, then per map: its label, from, to (flag and
//                        double), count and per cell a flag and a double; count,
//                        then per parameter: band, parameter, A, B and B-A (flag
//                        and double each), JND, relative and beyond flags, why not
//                        judged; count, then per arrival pair: the match (4
//                        bytes: 0 both, 1 only A, 2 only B), A's and B's arrival
//                        (a flag and the six doubles of "arrivals" each), the
//                        change (flag and double)
//   "end"                empty
// A reader skips a section whose name it does not know, so that a section
// added later does not break it. Every section but "surface-names",
// "room-parameters", "energy-maps", "convention" and "comparison" is required.
std::string EncodeResults(const AnalysisResults& results);

// The results back from EncodeResults' bytes. Fails, saying which section and
// why, for bytes that are not such results: another start, a section cut
// short or longer than its contents, a count larger than the bytes that
// follow, a section given twice, a required one missing, no "end". Never
// reads outside bytes, whatever they hold.
Result<AnalysisResults> DecodeResults(std::span<const std::byte> bytes);

}  // namespace halvane
