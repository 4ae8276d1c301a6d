#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "bformat/BFormatSignal.h"
#include "values/EnergyMapQuantities.h"
#include "values/Result.h"
#include "values/RoomQuantities.h"

namespace halvane {

// Directional energy maps of a first-order Ambisonic impulse response
// (AmbiX order W, Y, Z, X, SN3D, full scale +-1): for each time range, the
// energy of the response arriving from every cell of values/MapGrid.h.
//
// Time. t = 0 of every range is the direct sound's onset: the start of the
// response as the room parameters find it (FindResponseStart,
// analysis/room/RoomParameters.h: the first frame of the unfiltered W whose square
// reaches 1/100 of the largest square, ISO 3382-1 Annex A), the same in
// every band. Frame n lies at t = (n - onset) / rate, so the onset frame is at
// exactly 0 ms; a range holds the frames with fromMs <= t < toMs, as the room
// parameters' energy windows do: the frame at exactly 5 ms is early, not
// direct. The end of the decay is the room parameters' crossing point in the
// same band (EnergyDecay, Lundeby's method): where the late decay of W meets
// the noise, or where no decay is found, the end of the sounding response
// less the band's ringing. An open range (no toMs) ends there; every range
// ends with the file.
//
// Bands. With bandHz one of kOctaveBandsHz, the maps are those of the
// response filtered to that band (zero phase, FilterToOctaveBand), and a range
// that begins at 0 ms begins instead where the pre-ringing of an arrival at
// the onset begins (OctaveBandFilter::RingFrames() earlier, at the file's
// first frame at the earliest), as the room parameters' early sums do.
//
// Estimators, over the frames of a range, b = (W, Y, Z, X) per frame:
// - Beam: C = sum of b b^T (4 x 4). For the cell centre's unit vector u,
//   y = (1, u_y, u_z, u_x) and the first-order max-rE weights
//   w = (1, sqrt 3, sqrt 3, sqrt 3), the cell holds (w y)^T C (w y): the
//   energy through the beam 1 + sqrt(3) cos(angle to the cell). That is
//   scaled by C_WW / (C_WW + C_YY + C_ZZ + C_XX), which makes the map's exact
//   mean over the sphere the range's energy C_WW (the grid's sum differs from
//   it by the midpoint rule's error, far below 0.01 dB).
// - Histogram, in the manner of the spatial decomposition method: the energy
//   W[n]^2 of each frame is placed at the direction of the pseudo-intensity
//   W (X, Y, Z) summed over directionWindowMs centred on the frame (an odd
//   count of frames, at least 1; frames beyond the file count as silent),
//   into the cell holding it; a frame whose intensity is exactly 0 spreads
//   its energy evenly over the sphere. The cells are then smoothed with the
//   von Mises-Fisher kernel exp(k (cos(angle) - 1)), k = 1 / s^2 for
//   s = spotWidthDeg in radians (about a Gaussian of standard deviation s),
//   left out where it is more than 50 dB down and scaled per row so that
//   each cell's energy is spread without gain or loss. A plane wave is a
//   spot about 2.4 s across at -3 dB, at the centre of its cell (at most
//   1.5 degrees from its true direction).
// In both, a cell's value is energy scaled so that the map's mean over the
// sphere (cells weighted by solid angle) is the range's energy: an isotropic
// diffuse field gives the range's energy in every cell.
//
// Levels are in dB re the peak cell of the direct range's map (0 to 5 ms, of
// the same estimator and band), whatever ranges are asked for: the same dB
// is the same energy per direction in every range, and relative to the
// direct sound in every band and file.
//
// Fails, saying why, for a sample rate not in (0, kMaxSampleRateHz], a
// response with no onset (silent, empty, or W not finite), a direct range
// with no energy, a range that is not finite or has fromMs < 0 or
// toMs <= fromMs, a direction window or spot width out of range, and a band
// that is not one of kOctaveBandsHz or lies too high for the rate.

struct EnergyMapOptions {
    std::vector<TimeRange> ranges;  // empty: DefaultTimeRanges()
    MapEstimator estimator = MapEstimator::Beam;
    int bandHz = kBroadband;
    double directionWindowMs = 0.5;  // the histogram's intensity window, (0, 100]
    double spotWidthDeg = 4;         // the histogram's kernel width, [0.5, 30]
};

// Direct 0-5 ms, early 5-80 ms, late 80 ms to the end of the decay.
std::vector<TimeRange> DefaultTimeRanges();

// The direct range that every map's levels refer to: 0-5 ms.
TimeRange DirectTimeRange();

Result<EnergyMapSet> ComputeEnergyMaps(const BFormatSignal& signal, const EnergyMapOptions& options);

// The same with the room parameters of options.bandHz already computed from
// signal (ComputeBandParameters), whose decay curve gives the end of the decay.
Result<EnergyMapSet> ComputeEnergyMaps(const BFormatSignal& signal, const EnergyMapOptions& options,
                                       const BandParameters& bandParameters);

// One band of a response made ready for its maps: the band's signal,
// filtered once, and the times its ranges are measured against. Maps of any
// ranges and either estimator are then made from it without filtering again
// (a viewer that changes the range or the estimator recomputes only those).
struct EnergyMapBand {
    int bandHz = kBroadband;
    // The band's signal (the response itself for kBroadband), channels cut
    // to the shortest.
    std::shared_ptr<const BFormatSignal> signal;
    std::size_t onsetFrame = 0;  // t = 0, found in the unfiltered W
    std::size_t leadFrames = 0;  // how far before the onset a range from 0 ms begins (the band's pre-ringing)
    double decayEndMs = 0;       // after the onset
};

// Prepares bandHz (kBroadband or one of kOctaveBandsHz) of response, with
// that band's room parameters (ComputeBandParameters) for the end of the
// decay. Fails, as ComputeEnergyMaps does, for a rate out of range, a
// response with no onset, or a band that does not exist or lies too high for
// the rate.
Result<EnergyMapBand> PrepareEnergyMapBand(std::shared_ptr<const BFormatSignal> response, int bandHz,
                                           const BandParameters& bandParameters);

// The maps of options' ranges and estimator in band (options.bandHz is not
// read: the band is band's). Fails as ComputeEnergyMaps does for the ranges,
// the options and a direct range with no energy.
Result<EnergyMapSet> ComputeEnergyMaps(const EnergyMapBand& band, const EnergyMapOptions& options);

// The same with the room parameters already computed for some bands
// (ComputeRoomParameters): options.bandHz's row gives the end of the decay
// when it is there (nominalHz kBroadband for the unfiltered response), else
// it is computed as the first form does.
Result<EnergyMapSet> ComputeEnergyMaps(const BFormatSignal& signal, const EnergyMapOptions& options,
                                       const std::vector<BandParameters>& computed);

}  // namespace halvane
