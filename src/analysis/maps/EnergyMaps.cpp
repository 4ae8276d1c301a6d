#include "analysis/maps/EnergyMaps.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>

#include "analysis/maps/DirectionHistogram.h"
#include "analysis/maps/SpotKernel.h"
#include "analysis/maps/SteeredBeam.h"
#include "analysis/room/OctaveBands.h"
#include "analysis/room/RoomParameters.h"

namespace halvane {
namespace {

constexpr double kDirectToMs = 5;
constexpr double kEarlyToMs = 80;
constexpr double kMaxDirectionWindowMs = 100;
constexpr double kMinSpotWidthDeg = 0.5;
constexpr double kMaxSpotWidthDeg = 30;

// What the ranges of one response are measured against.
struct Timeline {
    double rateHz = 0;
    std::size_t frames = 0;
    std::size_t onset = 0;       // t = 0
    std::size_t leadFrames = 0;  // how far before the onset a range from 0 ms begins
    double decayEndMs = 0;       // after the onset
};

struct Span {
    std::size_t first = 0, end = 0;
    double toMs = 0;
};

Span Resolve(const TimeRange& range, const Timeline& timeline)
{
    Span span;
    span.toMs = range.toMs ? *range.toMs : std::max(range.fromMs, timeline.decayEndMs);
    // Past the file's end every time is the same; clamping first keeps the
    // frame counts in range for any finite time.
    const double fileMs = static_cast<double>(timeline.frames) * 1000 / timeline.rateHz;
    auto frameAt = [&](double ms) {
        return std::min(timeline.frames, timeline.onset + FramesBefore(std::min(ms, fileMs), timeline.rateHz));
    };
    span.first =
        range.fromMs == 0 ? timeline.onset - std::min(timeline.onset, timeline.leadFrames) : frameAt(range.fromMs);
    span.end = std::max(span.first, frameAt(span.toMs));
    return span;
}

std::optional<std::string> RangeProblem(const TimeRange& range)
{
    const bool closed = range.toMs.has_value();
    if (!std::isfinite(range.fromMs) || (closed && !std::isfinite(*range.toMs))) {
        return "a time range of the energy maps is not a finite number of ms";
    }
    if (range.fromMs < 0) return "a time range of the energy maps begins before the direct sound (below 0 ms)";
    if (closed && !(*range.toMs > range.fromMs)) return "a time range of the energy maps does not end after it begins";
    return std::nullopt;
}

std::optional<std::string> OptionsProblem(const EnergyMapOptions& options)
{
    for (const TimeRange& range : options.ranges) {
        if (auto problem = RangeProblem(range)) return problem;
    }
    if (!(options.directionWindowMs > 0 && options.directionWindowMs <= kMaxDirectionWindowMs)) {
        return "the direction window of the energy maps must lie above 0 and at most 100 ms";
    }
    if (!(options.spotWidthDeg >= kMinSpotWidthDeg && options.spotWidthDeg <= kMaxSpotWidthDeg)) {
        return "the spot width of the energy maps must lie from 0.5 to 30 degrees";
    }
    return std::nullopt;
}

// The cells' levels re the reference energy, and the peak.
void SetLevels(EnergyMap& map, double referenceEnergy)
{
    map.levelDb.resize(map.cellEnergy.size());
    for (std::size_t cell = 0; cell < map.cellEnergy.size(); ++cell) {
        const double energy = map.cellEnergy[cell];
        const double levelDb = energy > 0 ? 10 * std::log10(energy / referenceEnergy) : kEnergyMapFloorDb;
        map.levelDb[cell] = std::max(kEnergyMapFloorDb, levelDb);
    }
    const auto peak = std::max_element(map.cellEnergy.begin(), map.cellEnergy.end());
    map.peakCell = static_cast<std::size_t>(peak - map.cellEnergy.begin());
    map.peakDb = map.levelDb[map.peakCell];
}

double EnergyOfW(const BFormatSignal& signal, const Span& span)
{
    double energy = 0;
    for (std::size_t n = span.first; n < span.end; ++n) energy += static_cast<double>(signal.W[n]) * signal.W[n];
    return energy;
}

// The cell energies of every span, by the estimator asked for.
std::vector<std::vector<double>> CellEnergies(const BFormatSignal& signal, const std::vector<Span>& spans,
                                              const EnergyMapOptions& options)
{
    std::vector<std::vector<double>> maps;
    if (options.estimator == MapEstimator::Beam) {
        for (const Span& span : spans) maps.push_back(SteeredBeamMap(signal, span.first, span.end));
        return maps;
    }
    std::size_t first = signal.Frames(), end = 0;
    for (const Span& span : spans) {
        if (span.end == span.first) continue;
        first = std::min(first, span.first);
        end = std::max(end, span.end);
    }
    const double windowFrames = std::nearbyint(options.directionWindowMs * signal.SampleRateHz / 1000);
    const auto halfWindow = static_cast<std::size_t>(std::max(0.0, windowFrames) / 2);
    const DirectionHistogram histogram(signal, first, std::max(first, end), halfWindow);
    const SpotKernel kernel(options.spotWidthDeg);
    for (const Span& span : spans) maps.push_back(histogram.Map(span.first, span.end, kernel));
    return maps;
}

}  // namespace

std::vector<TimeRange> DefaultTimeRanges()
{
    return {DirectTimeRange(), {"early", kDirectToMs, kEarlyToMs}, {"late", kEarlyToMs, std::nullopt}};
}

TimeRange DirectTimeRange() { return {"direct", 0, kDirectToMs}; }

Result<EnergyMapSet> ComputeEnergyMaps(const BFormatSignal& signal, const EnergyMapOptions& options)
{
    return ComputeEnergyMaps(signal, options, ComputeBandParameters(signal, options.bandHz));
}

Result<EnergyMapSet> ComputeEnergyMaps(const BFormatSignal& signal, const EnergyMapOptions& options,
                                       const std::vector<BandParameters>& computed)
{
    for (const BandParameters& band : computed) {
        if (band.nominalHz == options.bandHz) return ComputeEnergyMaps(signal, options, band);
    }
    return ComputeEnergyMaps(signal, options);
}

Result<EnergyMapSet> ComputeEnergyMaps(const BFormatSignal& signal, const EnergyMapOptions& options,
                                       const BandParameters& bandParameters)
{
    // The caller keeps signal alive for the call: shared without an owner.
    const std::shared_ptr<const BFormatSignal> response(std::shared_ptr<const BFormatSignal>(), &signal);
    if (auto problem = OptionsProblem(options)) return Failure{*problem};
    Result<EnergyMapBand> band = PrepareEnergyMapBand(response, options.bandHz, bandParameters);
    if (!band) return Failure{band.Message()};
    return ComputeEnergyMaps(*band, options);
}

Result<EnergyMapBand> PrepareEnergyMapBand(std::shared_ptr<const BFormatSignal> response, int bandHz,
                                           const BandParameters& bandParameters)
{
    const double rate = response->SampleRateHz;
    if (!(rate > 0 && rate <= kMaxSampleRateHz)) {
        return Failure{"the sample rate does not allow energy maps"};
    }
    const std::optional<std::size_t> onset = FindResponseStart(response->W);
    if (!onset) return Failure{"the response has no direct sound to measure the energy maps from (W is silent)"};

    EnergyMapBand band;
    band.bandHz = bandHz;
    band.onsetFrame = *onset;
    band.decayEndMs = bandParameters.decay.crossingS * 1000;
    band.signal = std::move(response);
    if (bandHz != kBroadband) {
        if (!ExactMidBandHz(bandHz)) {
            return Failure{"there is no octave band at " + std::to_string(bandHz) +
                           " Hz (the bands are 125, 250, 500, 1000, 2000 and 4000 Hz)"};
        }
        const std::optional<OctaveBandFilter> filter = OctaveBandFilter::Design(bandHz, rate);
        if (!filter) {
            return Failure{"the " + std::to_string(bandHz) + " Hz band cannot be analysed at this sample rate"};
        }
        band.signal = std::make_shared<const BFormatSignal>(FilterToOctaveBand(*band.signal, bandHz));
        band.leadFrames = filter->RingFrames();
    }
    return band;
}

Result<EnergyMapSet> ComputeEnergyMaps(const EnergyMapBand& band, const EnergyMapOptions& options)
{
    if (auto problem = OptionsProblem(options)) return Failure{*problem};
    const BFormatSignal& analysed = *band.signal;
    Timeline timeline;
    timeline.rateHz = analysed.SampleRateHz;
    timeline.onset = band.onsetFrame;
    timeline.leadFrames = band.leadFrames;
    timeline.decayEndMs = band.decayEndMs;
    timeline.frames = std::min({analysed.W.size(), analysed.Y.size(), analysed.Z.size(), analysed.X.size()});

    EnergyMapSet set;
    set.estimator = options.estimator;
    set.spotWidthDeg = options.estimator == MapEstimator::Histogram ? options.spotWidthDeg : 0;
    set.bandHz = band.bandHz;
    set.onsetFrame = timeline.onset;
    set.onsetMs = static_cast<double>(timeline.onset) * 1000 / timeline.rateHz;
    set.decayEndMs = timeline.decayEndMs;

    // The ranges asked for, and the direct range last: the levels' reference.
    std::vector<TimeRange> ranges = options.ranges.empty() ? DefaultTimeRanges() : options.ranges;
    std::vector<Span> spans;
    for (const TimeRange& range : ranges) spans.push_back(Resolve(range, timeline));
    spans.push_back(Resolve(DirectTimeRange(), timeline));
    std::vector<std::vector<double>> cells = CellEnergies(analysed, spans, options);

    const std::vector<double>& direct = cells.back();
    set.referenceEnergy = *std::max_element(direct.begin(), direct.end());
    if (!(set.referenceEnergy > 0) || !std::isfinite(set.referenceEnergy)) {
        return Failure{"the direct sound (0 to 5 ms) has no energy to refer the energy maps to"};
    }
    for (std::size_t r = 0; r < ranges.size(); ++r) {
        EnergyMap map;
        map.range = ranges[r];
        map.toMs = spans[r].toMs;
        map.firstFrame = spans[r].first;
        map.endFrame = spans[r].end;
        map.energy = EnergyOfW(analysed, spans[r]);
        map.cellEnergy = std::move(cells[r]);
        SetLevels(map, set.referenceEnergy);
        set.maps.push_back(std::move(map));
    }
    return set;
}

}  // namespace halvane
