#include "analysis/room/RoomParameters.h"

#include <cstdio>

#include <algorithm>
#include <cmath>

#include "analysis/room/OctaveBands.h"

namespace halvane {
namespace {

constexpr double kStartEnergyRatio = 0.01;  // 20 dB below the maximum

// The fit ranges of ISO 3382-1 and the decay range each needs: the bottom of
// the fit at least 10 dB above the noise.
constexpr double kEdtFromDb = 0, kEdtToDb = -10, kEdtMinRangeDb = 20;
constexpr double kT20FromDb = -5, kT20ToDb = -25, kT20MinRangeDb = 35;
constexpr double kT30FromDb = -5, kT30ToDb = -35, kT30MinRangeDb = 45;

constexpr double kLateralFromMs = 5;
constexpr double kDefinitionMs = 50;
constexpr double kClarityMs = 80;

// Lundeby's first averaging interval: 10 ms, or four periods of the band's
// mid-band frequency where that is longer, so that an interval smooths the
// band's own oscillation.
constexpr double kFirstIntervalMinS = 0.010;
constexpr double kFirstIntervalPeriods = 4;

constexpr double kCurveStepS = 0.001;

bool AllFinite(std::span<const float> values)
{
    return std::all_of(values.begin(), values.end(), [](float v) { return std::isfinite(v); });
}

// One past the last frame that is not exactly zero: a simulated response may
// end in digital silence, which is no noise floor.
std::size_t SoundingEnd(std::span<const float> values)
{
    std::size_t end = values.size();
    while (end > 0 && values[end - 1] == 0) --end;
    return end;
}

}  // namespace

std::size_t FramesBefore(double ms, double sampleRateHz)
{
    return static_cast<std::size_t>(std::ceil(ms * sampleRateHz / 1000));
}

std::optional<std::size_t> FindResponseStart(std::span<const float> omni)
{
    double peak = 0;
    for (float v : omni) {
        if (!std::isfinite(v)) return std::nullopt;
        peak = std::max(peak, static_cast<double>(v) * v);
    }
    if (!(peak > 0)) return std::nullopt;
    const double threshold = peak * kStartEnergyRatio;
    for (std::size_t n = 0; n < omni.size(); ++n) {
        if (static_cast<double>(omni[n]) * omni[n] >= threshold) return n;
    }
    return std::nullopt;
}

namespace {

// What every band of one response shares, found once.
struct ResponseFacts {
    std::size_t start = 0;        // the start of the response, ISO 3382-1 Annex A
    std::size_t soundingEnd = 0;  // one past the last frame of W that is not exactly 0
    bool lateralUsable = false;   // Y has W's length and only finite values
};

// values in the band (filtered zero phase, with the filter's pre-ringing and
// ring-out), or as they are for the broadband response.
ZeroPhaseSequence InBand(const std::optional<OctaveBandFilter>& filter, std::span<const float> values,
                         const Cancellation& cancellation = Cancellation::Never())
{
    if (filter) return filter->FilterZeroPhase(values, cancellation);
    ZeroPhaseSequence plain;
    plain.values.assign(values.begin(), values.end());
    return plain;
}

// The pre-ringing of an arrival at the start: the energy of the ring frames
// of w before it, the earliest (smallest) first, and its first moment in
// frames from the start (negative).
struct LeadIn {
    double energy = 0;
    double moment = 0;
};
LeadIn PreRinging(const ZeroPhaseSequence& w, std::size_t start)
{
    LeadIn lead;
    for (std::size_t back = w.leadFrames; back > 0; --back) {
        const double e = w.values[w.leadFrames + start - back] * w.values[w.leadFrames + start - back];
        lead.energy += e;
        lead.moment -= static_cast<double>(back) * e;
    }
    return lead;
}

// LF and LFC from W in the band (w) and Y, filtered here only over the
// stretch whose output reaches 5 to 80 ms; nothing when W's early energy is 0.
struct LateralFractions {
    double lf = 0;
    double lfc = 0;
};
std::optional<LateralFractions> LateralOf(const BFormatSignal& signal, const std::optional<OctaveBandFilter>& filter,
                                          const ZeroPhaseSequence& w, std::size_t start, double leadEnergy)
{
    const double rate = signal.SampleRateHz;
    const std::size_t frames = signal.W.size();
    const std::size_t ring = w.leadFrames;
    auto wAt = [&w](std::size_t frame) { return w.values[w.leadFrames + frame]; };
    const std::size_t lateralFrom = FramesBefore(kLateralFromMs, rate);
    const std::size_t clarityEnd = FramesBefore(kClarityMs, rate);
    double wEarly = leadEnergy;
    for (std::size_t frame = start; frame < start + clarityEnd; ++frame) wEarly += wAt(frame) * wAt(frame);
    const std::size_t segmentFirst = start + lateralFrom > ring ? start + lateralFrom - ring : 0;
    const std::size_t segmentEnd = std::min(frames, start + clarityEnd + ring);
    const ZeroPhaseSequence y =
        InBand(filter, std::span<const float>(signal.Y.data() + segmentFirst, segmentEnd - segmentFirst));
    double lateral = 0, lateralCosine = 0;
    for (std::size_t frame = start + lateralFrom; frame < start + clarityEnd; ++frame) {
        const double yValue = y.values[y.leadFrames + frame - segmentFirst];
        lateral += yValue * yValue;
        lateralCosine += std::abs(yValue * wAt(frame));
    }
    if (!(wEarly > 0)) return std::nullopt;
    return LateralFractions{lateral / wEarly, lateralCosine / wEarly};
}

// The decay of W in the band, followed from the start to the last sounding
// frame, less the frames whose band output already feels the end of the
// input. The squared values take over w's storage.
EnergyDecay DecayOf(ZeroPhaseSequence w, const std::optional<OctaveBandFilter>& filter, const ResponseFacts& facts,
                    double rate)
{
    const std::size_t start = facts.start;
    const std::size_t ring = w.leadFrames;
    const std::size_t decayEnd = facts.soundingEnd > start + ring ? facts.soundingEnd - ring : start;
    std::vector<double> energy = std::move(w.values);
    const std::size_t offset = w.leadFrames + start;
    for (std::size_t i = 0; i < decayEnd - start; ++i) energy[i] = energy[offset + i] * energy[offset + i];
    energy.resize(decayEnd - start);
    double firstIntervalS = kFirstIntervalMinS;
    if (filter) firstIntervalS = std::max(firstIntervalS, kFirstIntervalPeriods / filter->MidBandHz());
    return EnergyDecay(std::move(energy), rate,
                       static_cast<std::size_t>(std::max(1.0, std::nearbyint(firstIntervalS * rate))));
}

// The decay curve for plotting, EDT, T20 and T30 with their lines.
void AddDecayAndReverberation(BandParameters& row, const EnergyDecay& decay, std::size_t start, double rate)
{
    row.decay.startS = static_cast<double>(start) / rate;
    decay.Curve(static_cast<std::size_t>(std::max(1.0, std::nearbyint(kCurveStepS * rate))), row.decay.timeS,
                row.decay.levelDb);
    row.decay.crossingS = decay.CrossingFrame() / rate;
    row.decay.decayRangeDb = decay.DecayRangeDb();

    const EnergyDecay::FitRange ranges[] = {{kEdtFromDb, kEdtToDb}, {kT20FromDb, kT20ToDb}, {kT30FromDb, kT30ToDb}};
    const std::vector<std::optional<DecayFit>> fits = decay.Fit(ranges);
    auto reverberation = [&decay](const std::optional<DecayFit>& fit, double minRangeDb, std::optional<double>& timeS,
                                  std::optional<DecayFit>& line) {
        if (decay.DecayRangeDb() < minRangeDb || !fit || !(fit->slopeDbPerS < 0)) return;
        timeS = -60 / fit->slopeDbPerS;
        line = fit;
    };
    reverberation(fits[0], kEdtMinRangeDb, row.edtS, row.edtFit);
    reverberation(fits[1], kT20MinRangeDb, row.t20S, row.t20Fit);
    reverberation(fits[2], kT30MinRangeDb, row.t30S, row.t30Fit);
}

// C50, D50, C80 and the centre time, from the decay (the late energy noise
// removed) and the pre-ringing; nothing without a decay.
void AddEnergyRatios(BandParameters& row, const EnergyDecay& decay, const LeadIn& lead, std::size_t start,
                     std::size_t frames, double rate)
{
    if (!decay.Found()) return;
    const double total = lead.energy + decay.Remaining(0);
    auto earlyLate = [&](std::size_t limit, std::optional<double>& clarityDb, std::optional<double>* definition) {
        if (start + limit > frames) return;
        const double late = decay.Remaining(limit);
        const double early = total - late;
        if (early > 0 && late > 0) clarityDb = 10 * std::log10(early / late);
        if (definition) *definition = early / total;
    };
    earlyLate(FramesBefore(kDefinitionMs, rate), row.c50Db, &row.d50);
    earlyLate(FramesBefore(kClarityMs, rate), row.c80Db, nullptr);
    row.tsMs = (lead.moment + decay.FirstMoment()) / total / rate * 1000;
}

BandParameters BandOf(const BFormatSignal& signal, int nominalHz, const std::optional<ResponseFacts>& facts,
                      const Cancellation& cancellation = Cancellation::Never())
{
    BandParameters row;
    row.nominalHz = nominalHz;
    row.band = nominalHz == kBroadband ? "all" : std::to_string(nominalHz);
    const double rate = signal.SampleRateHz;
    if (!(rate > 0 && rate <= kMaxSampleRateHz) || !facts) return row;
    std::optional<OctaveBandFilter> filter;
    if (nominalHz != kBroadband) {
        filter = OctaveBandFilter::Design(nominalHz, rate);
        if (!filter) return row;
    }
    const std::size_t start = facts->start;
    const std::size_t frames = signal.W.size();

    ZeroPhaseSequence w = InBand(filter, signal.W, cancellation);
    if (cancellation.Requested()) return row;
    const LeadIn lead = PreRinging(w, start);
    if (start + FramesBefore(kClarityMs, rate) <= frames && facts->lateralUsable) {
        if (const auto lateral = LateralOf(signal, filter, w, start, lead.energy)) {
            row.lf = lateral->lf;
            row.lfc = lateral->lfc;
        }
    }
    const EnergyDecay decay = DecayOf(std::move(w), filter, *facts, rate);
    AddDecayAndReverberation(row, decay, start, rate);
    AddEnergyRatios(row, decay, lead, start, frames, rate);
    return row;
}

std::optional<ResponseFacts> FactsOf(const BFormatSignal& signal)
{
    const std::optional<std::size_t> start = FindResponseStart(signal.W);
    if (!start) return std::nullopt;
    ResponseFacts facts;
    facts.start = *start;
    facts.soundingEnd = SoundingEnd(signal.W);
    facts.lateralUsable = signal.Y.size() == signal.W.size() && AllFinite(signal.Y);
    return facts;
}

}  // namespace

BandParameters ComputeBandParameters(const BFormatSignal& signal, int nominalHz)
{
    return BandOf(signal, nominalHz, FactsOf(signal));
}

std::vector<BandParameters> ComputeRoomParameters(const BFormatSignal& signal, const Cancellation& cancellation)
{
    const std::optional<ResponseFacts> facts = FactsOf(signal);
    std::vector<BandParameters> rows;
    for (int nominalHz : kOctaveBandsHz) {
        if (cancellation.Requested()) return rows;
        rows.push_back(BandOf(signal, nominalHz, facts, cancellation));
    }
    if (cancellation.Requested()) return rows;
    rows.push_back(BandOf(signal, kBroadband, facts, cancellation));
    return rows;
}

std::vector<std::string> ImpossibleValues(const std::vector<BandParameters>& rows)
{
    struct Check {
        const char* name;
        std::optional<double> BandParameters::*value;
        bool fraction;  // else a time, which must be above 0
    };
    static constexpr Check kChecks[] = {
        {"EDT", &BandParameters::edtS, false}, {"T20", &BandParameters::t20S, false},
        {"T30", &BandParameters::t30S, false}, {"D50", &BandParameters::d50, true},
        {"Ts", &BandParameters::tsMs, false},  {"LF", &BandParameters::lf, true},
        {"LFC", &BandParameters::lfc, true},
    };
    std::vector<std::string> found;
    for (const BandParameters& row : rows) {
        for (const Check& check : kChecks) {
            const std::optional<double>& value = row.*check.value;
            if (!value) continue;
            const bool possible = check.fraction ? (*value >= 0 && *value <= 1) : *value > 0;
            if (possible) continue;
            char text[32];
            std::snprintf(text, sizeof text, "%.3g", *value);
            found.push_back(
                std::string(check.name) + " " + text +
                (row.nominalHz == kBroadband ? " in the whole response" : " in the " + row.band + " Hz band"));
        }
    }
    return found;
}

}  // namespace halvane
