#include "ArrivalScore.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "simulation/Direction.h"
#include "simulation/Envelope.h"

namespace halvane::score {
namespace {

double AngleDeg(const Arrival& listed, const TrueArrival& truth)
{
    return simulation::AngleBetweenDeg({listed.azDeg, listed.elDeg}, {truth.azDeg, truth.elDeg});
}

bool Describes(const Arrival& listed, const TrueArrival& truth, const ScoreRules& rules)
{
    return TimeOffMs(truth, listed.timeMs) <= rules.timeToleranceMs &&
           AngleDeg(listed, truth) <= rules.directionToleranceDeg;
}

// For each true arrival, strongest first, the listed arrival it takes (listed.size() for none).
std::vector<std::size_t> Match(const std::vector<TrueArrival>& truth, const std::vector<Arrival>& listed,
                               const ScoreRules& rules)
{
    std::vector<std::size_t> order(truth.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return truth[a].levelDb > truth[b].levelDb; });
    std::vector<std::size_t> taken(truth.size(), listed.size());
    std::vector<bool> used(listed.size(), false);
    for (const bool describing : {true, false}) {
        for (std::size_t i : order) {
            if (taken[i] < listed.size()) continue;
            const TrueArrival& t = truth[i];
            auto better = [&](const Arrival& a, const Arrival& b) {
                if (describing) return std::fabs(a.levelDb - t.levelDb) < std::fabs(b.levelDb - t.levelDb);
                return TimeOffMs(t, a.timeMs) < TimeOffMs(t, b.timeMs);
            };
            std::size_t best = listed.size();
            for (std::size_t j = 0; j < listed.size(); ++j) {
                if (used[j] || TimeOffMs(t, listed[j].timeMs) > kMatchWindowMs) continue;
                if (describing && !Describes(listed[j], t, rules)) continue;
                if (best == listed.size() || better(listed[j], listed[best])) best = j;
            }
            if (best < listed.size()) used[best] = true;
            taken[i] = best;
        }
    }
    return taken;
}

// Listed rows that found nothing but lie close to a true arrival another row found.
void CountFragments(RoomScore& score, const std::vector<TrueArrival>& truth, const std::vector<Arrival>& listed,
                    const std::vector<std::size_t>& taken, const std::vector<bool>& found)
{
    std::vector<bool> finds(listed.size(), false);
    for (std::size_t i = 0; i < truth.size(); ++i)
        if (found[i]) finds[taken[i]] = true;
    for (std::size_t j = 0; j < listed.size(); ++j) {
        if (finds[j]) continue;
        for (std::size_t i = 0; i < truth.size(); ++i) {
            if (found[i] && TimeOffMs(truth[i], listed[j].timeMs) <= kFragmentWindowMs &&
                AngleDeg(listed[j], truth[i]) <= kFragmentAngleDeg) {
                ++score.fragments;
                score.fragmentArrivals.push_back(listed[j]);
                break;
            }
        }
    }
}

double PercentOf(int part, int whole) { return whole > 0 ? 100.0 * part / whole : 0.0; }

double ShareWithin(const std::vector<double>& values, double limit)
{
    const auto within = std::count_if(values.begin(), values.end(), [&](double v) { return v <= limit; });
    return values.empty() ? 0.0 : 100.0 * static_cast<double>(within) / static_cast<double>(values.size());
}

}  // namespace

double TimeOffMs(const TrueArrival& truth, double timeMs)
{
    const double lo = std::min(truth.timeMs, truth.envelopePeakMs), hi = std::max(truth.timeMs, truth.envelopePeakMs);
    return timeMs < lo ? lo - timeMs : (timeMs > hi ? timeMs - hi : 0.0);
}

std::vector<bool> Resolvable(const std::vector<TrueArrival>& truth)
{
    std::vector<bool> resolvable(truth.size(), false);
    for (std::size_t i = 0; i < truth.size(); ++i) {
        const TrueArrival& a = truth[i];
        bool ok = a.levelDb >= kCountedLevelDb && a.backgroundDb <= -kBackgroundMarginDb;
        for (std::size_t j = 0; ok && j < truth.size(); ++j) {
            if (j != i && std::fabs(truth[j].timeMs - a.timeMs) <= kMatchWindowMs &&
                truth[j].levelDb > a.levelDb - kNeighbourMarginDb) {
                ok = false;
            }
        }
        resolvable[i] = ok;
    }
    return resolvable;
}

double ReadDiffuseness(const BFormatSignal& signal, double timeMs, double windowMs)
{
    const double perMs = signal.SampleRateHz / 1000.0;
    return simulation::IntensityAround<std::vector<float>>({&signal.W, &signal.Y, &signal.Z, &signal.X}, 0,
                                                           timeMs * perMs, windowMs * perMs / 2)
        .Diffuseness();
}

RoomScore ScoreRoom(const std::string& name, const simulation::SimulatedResponse& response,
                    const std::vector<Arrival>& listed, const ScoreRules& rules)
{
    const std::vector<TrueArrival>& truth = response.arrivals;
    RoomScore score;
    score.name = name;
    score.rooms = 1;
    score.audioS = static_cast<double>(response.signal.Frames()) / response.signal.SampleRateHz;
    score.clippedSamples = response.clippedSamples;
    const std::vector<bool> resolvable = Resolvable(truth);
    const std::vector<std::size_t> taken = Match(truth, listed, rules);
    std::vector<bool> found(truth.size(), false);
    for (std::size_t i = 0; i < truth.size(); ++i) {
        const TrueArrival& t = truth[i];
        MissedArrival outcome;
        outcome.truth = t;
        if (taken[i] < listed.size()) {
            const Arrival& l = listed[taken[i]];
            outcome.matched = true;
            outcome.timeErrorMs = TimeOffMs(t, l.timeMs);
            outcome.directionErrorDeg = AngleDeg(l, t);
            found[i] = Describes(l, t, rules);
            if (found[i] && resolvable[i]) {
                score.timeErrorsMs.push_back(outcome.timeErrorMs);
                score.directionErrorsDeg.push_back(outcome.directionErrorDeg);
                score.levelErrorsDb.push_back(std::fabs(l.levelDb - t.levelDb));
            }
        }
        if (t.levelDb >= kCountedLevelDb) {
            ++score.counted;
            if (found[i]) ++score.countedFound;
        }
        if (!resolvable[i]) continue;
        ++score.resolvable;
        score.ownDiffuseness.push_back(t.ownDiffuseness);
        score.ownDirectionOffDeg.push_back(t.ownDirectionOffDeg);
        score.readDiffuseness.push_back(ReadDiffuseness(response.signal, t.envelopePeakMs, kMatchWindowMs));
        if (found[i])
            ++score.resolvableFound;
        else
            score.missed.push_back(outcome);
    }
    std::vector<bool> used(listed.size(), false);
    for (std::size_t i = 0; i < truth.size(); ++i)
        if (taken[i] < listed.size()) used[taken[i]] = true;
    score.listed = static_cast<int>(listed.size());
    for (std::size_t j = 0; j < listed.size(); ++j) {
        if (listed[j].levelDb < kCountedLevelDb) continue;
        ++score.listedCounted;
        if (!used[j]) {
            ++score.falseListed;
            score.falseArrivals.push_back(listed[j]);
        }
    }
    CountFragments(score, truth, listed, taken, found);
    const auto direct = std::find_if(truth.begin(), truth.end(), [](const TrueArrival& t) { return t.order == 0; });
    if (!listed.empty() && direct != truth.end() && TimeOffMs(*direct, listed.front().timeMs) <= rules.timeToleranceMs)
        score.firstRowDirect = 1;
    return score;
}

double Percentile(std::vector<double> values, double share)
{
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const double rank = std::ceil(share * static_cast<double>(values.size()));
    const auto index = static_cast<std::size_t>(std::clamp(rank, 1.0, static_cast<double>(values.size()))) - 1;
    return values[index];
}

void Accumulate(RoomScore& total, const RoomScore& room)
{
    total.rooms += room.rooms;
    total.resolvable += room.resolvable;
    total.resolvableFound += room.resolvableFound;
    total.counted += room.counted;
    total.countedFound += room.countedFound;
    total.listed += room.listed;
    total.listedCounted += room.listedCounted;
    total.falseListed += room.falseListed;
    total.fragments += room.fragments;
    total.firstRowDirect += room.firstRowDirect;
    total.audioS += room.audioS;
    total.findS += room.findS;
    total.clippedSamples += room.clippedSamples;
    auto append = [](std::vector<double>& to, const std::vector<double>& from) {
        to.insert(to.end(), from.begin(), from.end());
    };
    append(total.timeErrorsMs, room.timeErrorsMs);
    append(total.directionErrorsDeg, room.directionErrorsDeg);
    append(total.levelErrorsDb, room.levelErrorsDb);
    append(total.ownDiffuseness, room.ownDiffuseness);
    append(total.readDiffuseness, room.readDiffuseness);
    append(total.ownDirectionOffDeg, room.ownDirectionOffDeg);
}

std::string TableHeading()
{
    return "room                                   resolvable found | false >=-20dB | level err dB | 1st  | fragments "
           "| time ms      | dir deg | diffuseness   | FindArrivals\n"
           "                                         n     %        |   n     %     |  med   p95   | row  |   n    %  "
           "|  med   p95   | med p95 | own   read    | ms per s\n";
}

std::string Describe(const RoomScore& s, bool detailed)
{
    char line[640];
    std::snprintf(line, sizeof line,
                  "%-36s %3d/%3d %6.2f | %3d/%3d %5.2f | %5.2f %5.2f | %-4s | %3d %5.2f | %.3f %.3f | %.1f %.1f | "
                  "%.2f  %.2f    | %7.1f%s\n",
                  s.name.c_str(), s.resolvableFound, s.resolvable, PercentOf(s.resolvableFound, s.resolvable),
                  s.falseListed, s.listedCounted, PercentOf(s.falseListed, s.listedCounted),
                  Percentile(s.levelErrorsDb, 0.5), Percentile(s.levelErrorsDb, 0.95),
                  s.firstRowDirect == s.rooms ? "yes" : "NO", s.fragments, PercentOf(s.fragments, s.listed),
                  Percentile(s.timeErrorsMs, 0.5), Percentile(s.timeErrorsMs, 0.95),
                  Percentile(s.directionErrorsDeg, 0.5), Percentile(s.directionErrorsDeg, 0.95),
                  Percentile(s.ownDiffuseness, 0.5), Percentile(s.readDiffuseness, 0.5),
                  s.audioS > 0 ? 1000.0 * s.findS / s.audioS : 0.0, s.clippedSamples > 0 ? "  clipped" : "");
    std::string text = line;
    if (!detailed) return text;
    for (const MissedArrival& m : s.missed) {
        std::snprintf(line, sizeof line,
                      "    missed   %9.3f ms (peak %9.3f) %7.2f dB az %7.2f el %6.2f %-22s background %6.1f dB "
                      "diffuseness %.2f, own direction off %.1f deg: %s off %.4f ms %.2f deg\n",
                      m.truth.timeMs, m.truth.envelopePeakMs, m.truth.levelDb, m.truth.azDeg, m.truth.elDeg,
                      m.truth.path.c_str(), m.truth.backgroundDb, m.truth.ownDiffuseness, m.truth.ownDirectionOffDeg,
                      m.matched ? "matched" : "nothing listed", m.timeErrorMs, m.directionErrorDeg);
        text += line;
    }
    auto rows = [&](const char* kind, const std::vector<Arrival>& list) {
        for (const Arrival& a : list) {
            std::snprintf(line, sizeof line, "    %-8s %9.3f ms %7.2f dB az %7.2f el %6.2f diffuseness %.3f\n", kind,
                          a.timeMs, a.levelDb, a.azDeg, a.elDeg, a.diffuseness);
            text += line;
        }
    };
    rows("false", s.falseArrivals);
    rows("fragment", s.fragmentArrivals);
    return text;
}

std::string DescribeTruth(const std::vector<TrueArrival>& truth)
{
    const std::vector<bool> resolvable = Resolvable(truth);
    std::string text;
    char line[320];
    for (std::size_t i = 0; i < truth.size(); ++i) {
        const TrueArrival& t = truth[i];
        if (t.levelDb < kCountedLevelDb) continue;
        std::snprintf(line, sizeof line,
                      "    %s %9.3f ms peak %+6.3f ms %7.2f dB (unfiltered %7.2f) az %7.2f el %6.2f background "
                      "%6.1f dB diffuseness %.2f, own direction off %4.1f deg, %s%s\n",
                      resolvable[i] ? "R" : " ", t.timeMs, t.envelopePeakMs - t.timeMs, t.levelDb, t.geometricLevelDb,
                      t.azDeg, t.elDeg, t.backgroundDb, t.ownDiffuseness, t.ownDirectionOffDeg, t.path.c_str(),
                      t.scattered ? " (scattered)" : "");
        text += line;
    }
    return text;
}

std::string DescribeTotal(const RoomScore& s, const Goals& goals, const ScoreRules& rules)
{
    const double found = PercentOf(s.resolvableFound, s.resolvable);
    const double falseShare = PercentOf(s.falseListed, s.listedCounted);
    const double median = Percentile(s.levelErrorsDb, 0.5), p95 = Percentile(s.levelErrorsDb, 0.95);
    const double fragments = PercentOf(s.fragments, s.listed);
    auto mark = [](bool met) { return met ? "met" : "NOT MET"; };
    char text[1200];
    std::snprintf(
        text, sizeof text,
        "%s, %d rooms, %.1f s of audio:\n"
        "  resolvable found          %6.2f %% (%d of %d)   goal >= %.0f %%   %s\n"
        "  false rows >= -20 dB      %6.2f %% (%d of %d)   goal <= %.0f %%   %s\n"
        "  level error median        %6.2f dB               goal <= %.0f dB  %s\n"
        "  level error 95th pct      %6.2f dB               goal <= %.0f dB  %s\n"
        "  first row direct          %d of %d rooms          goal every room %s\n"
        "  fragments                 %6.2f %% (%d of %d)   goal <= %.0f %%   %s\n"
        "  diffuseness of resolvable arrivals: own median %.2f (5-95 %% %.2f-%.2f), read in the response "
        "median %.2f (%.2f-%.2f)\n"
        "  their own signal alone, over 0.5 ms, reads a direction off the image source's by median %.1f, "
        "95th pct %.1f deg; within %.0f deg for %.1f %%\n"
        "  FindArrivals              %6.1f ms per second of audio (%.2f s in all)\n",
        s.name.c_str(), s.rooms, s.audioS, found, s.resolvableFound, s.resolvable, goals.foundPercent,
        mark(found >= goals.foundPercent), falseShare, s.falseListed, s.listedCounted, goals.falsePercent,
        mark(falseShare <= goals.falsePercent), median, goals.medianLevelDb, mark(median <= goals.medianLevelDb), p95,
        goals.p95LevelDb, mark(p95 <= goals.p95LevelDb), s.firstRowDirect, s.rooms, mark(s.firstRowDirect == s.rooms),
        fragments, s.fragments, s.listed, goals.fragmentPercent, mark(fragments <= goals.fragmentPercent),
        Percentile(s.ownDiffuseness, 0.5), Percentile(s.ownDiffuseness, 0.05), Percentile(s.ownDiffuseness, 0.95),
        Percentile(s.readDiffuseness, 0.5), Percentile(s.readDiffuseness, 0.05), Percentile(s.readDiffuseness, 0.95),
        Percentile(s.ownDirectionOffDeg, 0.5), Percentile(s.ownDirectionOffDeg, 0.95), rules.directionToleranceDeg,
        ShareWithin(s.ownDirectionOffDeg, rules.directionToleranceDeg),
        s.audioS > 0 ? 1000.0 * s.findS / s.audioS : 0.0, s.findS);
    return text;
}

}  // namespace halvane::score
