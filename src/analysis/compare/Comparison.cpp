#include "analysis/compare/Comparison.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "analysis/compare/Alignment.h"
#include "analysis/room/RoomParameters.h"
#include "values/MapGrid.h"

namespace halvane {
namespace {

// The just noticeable differences of ISO 3382-1 (Table A.1); C50 and LFC
// take those of their neighbours C80 and LF.
struct ParameterRule {
    const char* name;
    std::optional<double> BandParameters::*value;
    double jnd;
    bool relative;
};
constexpr ParameterRule kRules[] = {
    {"EDT (s)", &BandParameters::edtS, 0.05, true}, {"T20 (s)", &BandParameters::t20S, 0.05, true},
    {"T30 (s)", &BandParameters::t30S, 0.05, true}, {"C50 (dB)", &BandParameters::c50Db, 1, false},
    {"C80 (dB)", &BandParameters::c80Db, 1, false}, {"D50", &BandParameters::d50, 0.05, false},
    {"Ts (ms)", &BandParameters::tsMs, 10, false},  {"LF", &BandParameters::lf, 0.05, false},
    {"LFC", &BandParameters::lfc, 0.05, false},
};

// The energy of W over 0.5 ms centred on timeMs (from the first frame).
double DirectEnergy(const BFormatSignal& signal, double timeMs)
{
    const double rate = signal.SampleRateHz;
    const auto centre = static_cast<std::ptrdiff_t>(std::nearbyint(timeMs / 1000 * rate));
    const auto half = static_cast<std::ptrdiff_t>(std::nearbyint(0.25 / 1000 * rate));
    double energy = 0;
    for (std::ptrdiff_t n = std::max<std::ptrdiff_t>(0, centre - half);
         n <= centre + half && n < static_cast<std::ptrdiff_t>(signal.W.size()); ++n)
        energy += static_cast<double>(signal.W[static_cast<std::size_t>(n)]) * signal.W[static_cast<std::size_t>(n)];
    return energy;
}

// The share of the energy before the clarity's limit, from the clarity in dB.
double EarlyShare(double clarityDb) { return 1 / (1 + std::pow(10.0, -clarityDb / 10)); }

bool StraightDecay(const BandParameters& band)
{
    return !band.t20S || !band.t30S || 100 * (*band.t30S / *band.t20S - 1) <= kStraightDecayPercent;
}

// Why a parameter of two bands is not judged by its JND; empty when it is.
std::string NotJudged(const ParameterRule& rule, const BandParameters& a, const BandParameters& b)
{
    const bool reverberation = rule.value == &BandParameters::t20S || rule.value == &BandParameters::t30S;
    if (reverberation && (!StraightDecay(a) || !StraightDecay(b))) return "curved decay";
    const bool clarity = rule.value == &BandParameters::c50Db || rule.value == &BandParameters::c80Db;
    constexpr double kShareJnd = 0.05;  // D50's
    if (clarity && (a.*rule.value) && (b.*rule.value) &&
        std::fabs(EarlyShare(*(b.*rule.value)) - EarlyShare(*(a.*rule.value))) <= kShareJnd)
        return "no audible late energy";
    return "";
}

struct Candidate {
    std::size_t a, b;
    double cost;
};

// B's arrivals turned as its signal was.
void TurnArrivals(std::vector<Arrival>& arrivals, const Direction& from, const Direction& to)
{
    for (Arrival& arrival : arrivals) {
        const Direction d = TurnedDirection({arrival.azDeg, arrival.elDeg}, from, to);
        arrival.azDeg = d.azDeg;
        arrival.elDeg = d.elDeg;
    }
}

}  // namespace

std::vector<ParameterDifference> CompareParameters(const std::vector<BandParameters>& a,
                                                   const std::vector<BandParameters>& b)
{
    std::vector<ParameterDifference> rows;
    for (const BandParameters& bandA : a) {
        const auto bandB =
            std::find_if(b.begin(), b.end(), [&](const BandParameters& p) { return p.band == bandA.band; });
        if (bandB == b.end()) continue;
        for (const ParameterRule& rule : kRules) {
            ParameterDifference row;
            row.band = bandA.band;
            row.parameter = rule.name;
            row.a = bandA.*rule.value;
            row.b = (*bandB).*rule.value;
            row.jnd = rule.jnd;
            row.relativeJnd = rule.relative;
            if (row.a && row.b) {
                row.difference = *row.b - *row.a;
                const double limit = rule.relative ? rule.jnd * std::fabs(*row.a) : rule.jnd;
                row.beyondJnd = std::fabs(*row.difference) > limit;
                // A difference within the JND needs no reason for not being flagged.
                if (row.beyondJnd) row.notJudged = NotJudged(rule, bandA, *bandB);
                if (!row.notJudged.empty()) row.beyondJnd = false;
            }
            rows.push_back(row);
        }
    }
    return rows;
}

std::vector<ArrivalPair> MatchArrivals(const std::vector<Arrival>& a, const std::vector<Arrival>& b,
                                       double levelOffsetDb)
{
    std::vector<Candidate> candidates;
    for (std::size_t i = 0; i < a.size(); ++i) {
        for (std::size_t j = 0; j < b.size(); ++j) {
            const double apartMs = std::fabs(a[i].timeMs - b[j].timeMs);
            const double apartDeg = AngleBetweenDeg({a[i].azDeg, a[i].elDeg}, {b[j].azDeg, b[j].elDeg});
            if (apartMs <= kMatchMs && apartDeg <= kMatchDeg)
                candidates.push_back({i, j, apartMs / kMatchMs + apartDeg / kMatchDeg});
        }
    }
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const Candidate& x, const Candidate& y) { return x.cost < y.cost; });
    std::vector<std::optional<std::size_t>> partnerOfA(a.size());
    std::vector<bool> takenB(b.size(), false);
    for (const Candidate& c : candidates) {
        if (partnerOfA[c.a] || takenB[c.b]) continue;
        partnerOfA[c.a] = c.b;
        takenB[c.b] = true;
    }
    std::vector<ArrivalPair> pairs;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (!partnerOfA[i]) {
            pairs.push_back({ArrivalMatch::OnlyA, a[i], std::nullopt, std::nullopt});
            continue;
        }
        const Arrival& other = b[*partnerOfA[i]];
        pairs.push_back({ArrivalMatch::Both, a[i], other, other.levelDb - a[i].levelDb + levelOffsetDb});
    }
    for (std::size_t j = 0; j < b.size(); ++j) {
        if (!takenB[j]) pairs.push_back({ArrivalMatch::OnlyB, std::nullopt, b[j], std::nullopt});
    }
    std::stable_sort(pairs.begin(), pairs.end(), [](const ArrivalPair& x, const ArrivalPair& y) {
        return (x.a ? x.a->timeMs : x.b->timeMs) < (y.a ? y.a->timeMs : y.b->timeMs);
    });
    return pairs;
}

std::vector<MapDifference> CompareMaps(const EnergyMapSet& a, const EnergyMapSet& b, bool calibrated,
                                       double maskBelowDb)
{
    // Calibrated, B's cells are read against A's reference: its levels move by the ratio of the references.
    const double offsetDb = calibrated && a.referenceEnergy > 0 && b.referenceEnergy > 0
                                ? 10 * std::log10(b.referenceEnergy / a.referenceEnergy)
                                : 0.0;
    std::vector<MapDifference> differences;
    for (std::size_t m = 0; m < a.maps.size() && m < b.maps.size(); ++m) {
        MapDifference difference{a.maps[m].range, std::vector<std::optional<double>>(kMapCells)};
        for (std::size_t cell = 0; cell < kMapCells; ++cell) {
            const double levelA = a.maps[m].levelDb[cell], levelB = b.maps[m].levelDb[cell];
            if (levelA < -maskBelowDb && levelB < -maskBelowDb) continue;
            difference.differenceDb[cell] = levelB + offsetDb - levelA;
        }
        differences.push_back(std::move(difference));
    }
    return differences;
}

Result<Comparison> CompareResponses(const BFormatSignal& a, const BFormatSignal& b, const ComparisonOptions& options,
                                    const Cancellation& stop)
{
    const Result<double> lag = DirectSoundLagFrames(a, b);
    if (!lag) return Failure{lag.Message()};
    Comparison comparison;
    comparison.lagMs = *lag / a.SampleRateHz * 1000;
    comparison.calibrated = options.calibrated;
    BFormatSignal aligned = ShiftedEarlier(b, *lag, b.Frames());
    const std::vector<Arrival> arrivalsA = FindArrivals(a, options.arrivals);
    std::vector<Arrival> arrivalsB = FindArrivals(aligned, options.arrivals);
    if (arrivalsA.empty() || arrivalsB.empty()) return Failure{"a response has no direct sound to compare from"};
    if (stop.Requested()) return Failure{kCancelledMessage};
    if (options.turn) {
        const Direction from{arrivalsB.front().azDeg, arrivalsB.front().elDeg};
        const Direction to{arrivalsA.front().azDeg, arrivalsA.front().elDeg};
        comparison.rotationDeg = AngleBetweenDeg(from, to);
        aligned = Turned(aligned, from, to);
        TurnArrivals(arrivalsB, from, to);
    }
    const double levelOffsetDb = options.calibrated ? 10 * std::log10(DirectEnergy(aligned, arrivalsB.front().timeMs) /
                                                                      DirectEnergy(a, arrivalsA.front().timeMs))
                                                    : 0.0;
    comparison.arrivals = MatchArrivals(arrivalsA, arrivalsB, levelOffsetDb);

    const Result<EnergyMapSet> mapsA = ComputeEnergyMaps(a, options.maps);
    if (!mapsA) return Failure{"A: " + mapsA.Message()};
    const Result<EnergyMapSet> mapsB = ComputeEnergyMaps(aligned, options.maps);
    if (!mapsB) return Failure{"B: " + mapsB.Message()};
    comparison.maps = CompareMaps(*mapsA, *mapsB, options.calibrated, options.maskBelowDb);
    if (stop.Requested()) return Failure{kCancelledMessage};

    const std::vector<BandParameters> parametersA = ComputeRoomParameters(a, stop);
    const std::vector<BandParameters> parametersB = ComputeRoomParameters(aligned, stop);
    if (stop.Requested()) return Failure{kCancelledMessage};
    comparison.parameters = CompareParameters(parametersA, parametersB);
    return comparison;
}

}  // namespace halvane
