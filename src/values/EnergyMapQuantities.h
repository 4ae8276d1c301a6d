#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace halvane {

// The plain values of the directional energy maps (analysis/maps/EnergyMaps.h
// computes them, report/EnergyMapTable.h writes them). The cells are those of
// values/MapGrid.h. This header includes nothing of the program's own.

// A stretch of the response, in ms after the direct sound's onset (see
// analysis/maps/EnergyMaps.h for where 0 lies): the frames whose time t
// satisfies fromMs <= t < toMs, so that a frame exactly at a range's edge
// belongs to the range that begins there. No toMs: up to the end of the decay.
struct TimeRange {
    std::string label;  // "direct", "early", "late"; empty for a range without a name
    double fromMs = 0;
    std::optional<double> toMs;
};

// How the energy of a range is spread over directions.
enum class MapEstimator {
    // A first-order max-rE beam steered to every cell: one plane wave is a
    // spot about 55 degrees across (the angle whose cosine is the beam's r_E,
    // 1/sqrt(3)), an isotropic diffuse field is flat.
    Beam,
    // Each frame's energy at its pseudo-intensity direction, spread by a
    // narrow kernel: one plane wave is a spot a few degrees across.
    Histogram,
};

struct EnergyMap {
    TimeRange range;
    // The range as measured: its end in ms after the onset (the end of the
    // decay for an open range, never before fromMs), and the frames of the
    // signal it holds, [firstFrame, endFrame).
    double toMs = 0;
    std::size_t firstFrame = 0;
    std::size_t endFrame = 0;
    // The sum of W^2 over the range's frames (full scale 1).
    double energy = 0;
    // Per cell: the energy arriving from around the cell's direction, scaled
    // so that the mean over the sphere (each cell weighted by its solid angle)
    // is the range's energy. An isotropic diffuse field gives energy in every
    // cell. kMapCells values (all 0 for a range with no frames).
    std::vector<double> cellEnergy;
    // Per cell: 10 log10 of cellEnergy over the reference peak (see
    // EnergyMapSet), never below kEnergyMapFloorDb (the floor for a cell with
    // no energy, or less than that).
    std::vector<double> levelDb;
    std::size_t peakCell = 0;  // the cell of the largest energy (the first of equals)
    double peakDb = 0;         // levelDb there
};

inline constexpr double kEnergyMapFloorDb = -100;

struct EnergyMapSet {
    MapEstimator estimator = MapEstimator::Beam;
    double spotWidthDeg = 0;  // the histogram's kernel width as asked (0 for the beam)
    int bandHz = 0;           // an octave band of analysis/room/OctaveBands.h, or 0 for the unfiltered response
    // The direct sound's onset (t = 0 of every range), in frames and in ms
    // from the file's first frame, and the end of the decay in ms after it.
    std::size_t onsetFrame = 0;
    double onsetMs = 0;
    double decayEndMs = 0;
    // The peak cell energy of the direct range's map (0 to 5 ms) of the same
    // estimator and band: 0 dB on every map of the set.
    double referenceEnergy = 0;
    std::vector<EnergyMap> maps;  // one per range asked for, in that order
};

}  // namespace halvane
