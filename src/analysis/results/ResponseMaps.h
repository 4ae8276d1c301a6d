#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "analysis/maps/EnergyMaps.h"
#include "bformat/BFormatSignal.h"
#include "values/EnergyMapQuantities.h"
#include "values/Result.h"
#include "values/RoomQuantities.h"

namespace halvane {

// The energy maps the results window shows, one time range at a time, of an
// analysed response (analysis/maps/EnergyMaps.h says what a map holds and
// where its times lie). Each band is filtered once and each map computed
// once: a change of the range, the estimator or the band computes only the
// map asked for (and, for a band not yet seen, that band's filtering), and a
// map asked for again comes back as it was.

// One map: a time range of one band by one estimator.
struct MapRequest {
    TimeRange range = DirectTimeRange();
    MapEstimator estimator = MapEstimator::Beam;
    int bandHz = kBroadband;

    bool operator==(const MapRequest& other) const;
};

// The energy-time curve of W in a band around the maps' ranges: the energy
// of W in bins of binMs, in dB re the loudest bin (kEnergyMapFloorDb for a
// silent bin and at least that), bin i covering [fromMs + i binMs,
// fromMs + (i + 1) binMs) in ms after the direct sound's onset. It begins
// kCurveLeadMs before the onset (at the file's first frame at the latest)
// and ends with the decay or kCurveLeastMs after the onset, whichever is
// later, or with the file.
inline constexpr double kCurveBinMs = 0.5;
inline constexpr double kCurveLeadMs = 5;
inline constexpr double kCurveLeastMs = 100;
struct EnergyTimeCurve {
    double binMs = kCurveBinMs;
    double fromMs = 0;
    std::vector<double> levelDb;

    double ToMs() const { return fromMs + binMs * static_cast<double>(levelDb.size()); }
};

// A map as shown: the set holds the one map asked for, with the onset and
// the end of the decay it was measured against.
struct ShownMap {
    MapRequest request;
    EnergyMapSet set;
    EnergyTimeCurve curve;  // of the map's band

    const EnergyMap& Map() const { return set.maps.front(); }
};

class ResponseMaps {
public:
    // The response's signal and its room parameters (ComputeRoomParameters),
    // whose decay curves give each band's end of the decay; a band missing
    // from them is computed when it is first asked for.
    ResponseMaps(std::shared_ptr<const BFormatSignal> signal, std::vector<BandParameters> bands);

    // The map asked for, computed now when it is not yet known. Safe to call
    // from any thread; calls made together take their turns. Fails, saying
    // why, as ComputeEnergyMaps does (a range out of order, a band too high
    // for the rate, a silent direct sound).
    Result<std::shared_ptr<const ShownMap>> Compute(const MapRequest& request);
    // The map asked for when it is known already, without computing; null
    // when it is not.
    std::shared_ptr<const ShownMap> Known(const MapRequest& request) const;

private:
    struct Band {
        EnergyMapBand prepared;
        EnergyTimeCurve curve;
    };
    Result<std::shared_ptr<const Band>> BandOf(int bandHz);

    std::shared_ptr<const BFormatSignal> m_signal;
    std::vector<BandParameters> m_bands;
    mutable std::mutex m_mutex;
    std::map<int, std::shared_ptr<const Band>> m_prepared;
    std::vector<std::shared_ptr<const ShownMap>> m_known;  // the latest last, a few dozen at most
};

// The energy-time curve of band's W, as EnergyTimeCurve says.
EnergyTimeCurve ComputeEnergyTimeCurve(const EnergyMapBand& band);

}  // namespace halvane
