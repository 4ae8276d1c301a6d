#include "analysis/results/ResponseMaps.h"

#include <algorithm>
#include <cmath>

#include "analysis/room/RoomParameters.h"

namespace halvane {
namespace {

// Maps kept for asking again: every range, estimator and band a person is
// likely to go back and forth between, at 130 kB a map.
constexpr std::size_t kKnownMaps = 32;

bool SameRange(const TimeRange& a, const TimeRange& b)
{
    return a.label == b.label && a.fromMs == b.fromMs && a.toMs == b.toMs;
}

}  // namespace

bool MapRequest::operator==(const MapRequest& other) const
{
    return SameRange(range, other.range) && estimator == other.estimator && bandHz == other.bandHz;
}

EnergyTimeCurve ComputeEnergyTimeCurve(const EnergyMapBand& band)
{
    const std::vector<float>& w = band.signal->W;
    const double rate = band.signal->SampleRateHz;
    const auto binFrames = static_cast<std::size_t>(std::max(1.0, std::nearbyint(kCurveBinMs * rate / 1000)));
    const std::size_t lead = std::min(band.onsetFrame, FramesBefore(kCurveLeadMs, rate));
    const std::size_t first = band.onsetFrame - lead;
    const double toMs = std::max(band.decayEndMs, kCurveLeastMs);
    const std::size_t end = std::min(w.size(), band.onsetFrame + FramesBefore(toMs, rate));

    EnergyTimeCurve curve;
    curve.binMs = static_cast<double>(binFrames) * 1000 / rate;
    curve.fromMs = -static_cast<double>(lead) * 1000 / rate;
    std::vector<double> energy;
    for (std::size_t bin = first; bin < end; bin += binFrames) {
        double sum = 0;
        for (std::size_t n = bin; n < std::min(end, bin + binFrames); ++n) sum += static_cast<double>(w[n]) * w[n];
        energy.push_back(sum);
    }
    const double loudest = energy.empty() ? 0 : *std::max_element(energy.begin(), energy.end());
    for (const double e : energy) {
        const double levelDb = e > 0 && loudest > 0 ? 10 * std::log10(e / loudest) : kEnergyMapFloorDb;
        curve.levelDb.push_back(std::max(kEnergyMapFloorDb, levelDb));
    }
    return curve;
}

ResponseMaps::ResponseMaps(std::shared_ptr<const BFormatSignal> signal, std::vector<BandParameters> bands)
    : m_signal(std::move(signal)), m_bands(std::move(bands))
{
}

std::shared_ptr<const ShownMap> ResponseMaps::Known(const MapRequest& request) const
{
    const std::lock_guard lock(m_mutex);
    const auto known = std::find_if(m_known.begin(), m_known.end(),
                                    [&request](const auto& shown) { return shown->request == request; });
    return known == m_known.end() ? nullptr : *known;
}

Result<std::shared_ptr<const ResponseMaps::Band>> ResponseMaps::BandOf(int bandHz)
{
    if (const auto prepared = m_prepared.find(bandHz); prepared != m_prepared.end()) return prepared->second;
    const auto parameters = std::find_if(m_bands.begin(), m_bands.end(),
                                         [bandHz](const BandParameters& band) { return band.nominalHz == bandHz; });
    const BandParameters computed =
        parameters == m_bands.end() ? ComputeBandParameters(*m_signal, bandHz) : BandParameters{};
    Result<EnergyMapBand> prepared =
        PrepareEnergyMapBand(m_signal, bandHz, parameters == m_bands.end() ? computed : *parameters);
    if (!prepared) return Failure{prepared.Message()};
    auto band = std::make_shared<Band>();
    band->curve = ComputeEnergyTimeCurve(*prepared);
    band->prepared = std::move(*prepared);
    m_prepared.emplace(bandHz, band);
    return std::shared_ptr<const Band>(band);
}

Result<std::shared_ptr<const ShownMap>> ResponseMaps::Compute(const MapRequest& request)
{
    if (auto known = Known(request)) return known;
    const std::lock_guard lock(m_mutex);
    Result<std::shared_ptr<const Band>> band = BandOf(request.bandHz);
    if (!band) return Failure{band.Message()};
    EnergyMapOptions options;
    options.ranges = {request.range};
    options.estimator = request.estimator;
    options.bandHz = request.bandHz;
    Result<EnergyMapSet> set = ComputeEnergyMaps((*band)->prepared, options);
    if (!set) return Failure{set.Message()};
    auto shown = std::make_shared<ShownMap>();
    shown->request = request;
    shown->set = std::move(*set);
    shown->curve = (*band)->curve;
    if (m_known.size() == kKnownMaps) m_known.erase(m_known.begin());
    m_known.push_back(shown);
    return std::shared_ptr<const ShownMap>(shown);
}

}  // namespace halvane
