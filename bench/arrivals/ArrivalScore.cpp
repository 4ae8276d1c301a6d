#include "ArrivalScore.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>

namespace halvane::score {

double AngleBetweenDeg(double az1Deg, double el1Deg, double az2Deg, double el2Deg)
{
    constexpr double kRad = std::numbers::pi / 180.0;
    auto unit = [](double az, double el) {
        return std::array<double, 3>{std::cos(az) * std::cos(el), std::sin(az) * std::cos(el), std::sin(el)};
    };
    const auto a = unit(az1Deg * kRad, el1Deg * kRad), b = unit(az2Deg * kRad, el2Deg * kRad);
    // atan2 of the cross and dot products keeps small angles accurate.
    const double cx = a[1] * b[2] - a[2] * b[1], cy = a[2] * b[0] - a[0] * b[2], cz = a[0] * b[1] - a[1] * b[0];
    return std::atan2(std::sqrt(cx * cx + cy * cy + cz * cz), a[0] * b[0] + a[1] * b[1] + a[2] * b[2]) / kRad;
}

std::vector<bool> Resolvable(const std::vector<test::TrueArrival>& truth)
{
    std::vector<bool> resolvable(truth.size(), false);
    for (std::size_t i = 0; i < truth.size(); ++i) {
        const test::TrueArrival& a = truth[i];
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

RoomScore ScoreRoom(const std::string& name, const std::vector<test::TrueArrival>& truth,
                    const std::vector<Arrival>& listed)
{
    RoomScore score;
    score.name = name;
    std::vector<std::size_t> order(truth.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return truth[a].levelDb > truth[b].levelDb; });

    const std::vector<bool> resolvable = Resolvable(truth);
    std::vector<bool> taken(listed.size(), false);
    for (std::size_t i : order) {
        const test::TrueArrival& t = truth[i];
        // The listed arrival that describes it (time and direction within
        // tolerance, the closest level first), else the nearest in time.
        std::size_t best = listed.size();
        auto describes = [&](const Arrival& l) {
            return std::fabs(l.timeMs - t.timeMs) <= kTimeToleranceMs &&
                   AngleBetweenDeg(l.azDeg, l.elDeg, t.azDeg, t.elDeg) <= kDirectionToleranceDeg;
        };
        auto better = [&](const Arrival& a, const Arrival& b) {
            if (describes(a) != describes(b)) return describes(a);
            if (describes(a)) return std::fabs(a.levelDb - t.levelDb) < std::fabs(b.levelDb - t.levelDb);
            return std::fabs(a.timeMs - t.timeMs) < std::fabs(b.timeMs - t.timeMs);
        };
        for (std::size_t j = 0; j < listed.size(); ++j) {
            if (taken[j] || std::fabs(listed[j].timeMs - t.timeMs) > kMatchWindowMs) continue;
            if (best == listed.size() || better(listed[j], listed[best])) best = j;
        }
        MissedArrival outcome;
        outcome.truth = t;
        bool found = false;
        if (best < listed.size()) {
            taken[best] = true;
            const Arrival& l = listed[best];
            outcome.matched = true;
            outcome.timeErrorMs = l.timeMs - t.timeMs;
            outcome.directionErrorDeg = AngleBetweenDeg(l.azDeg, l.elDeg, t.azDeg, t.elDeg);
            found = std::fabs(outcome.timeErrorMs) <= kTimeToleranceMs &&
                    outcome.directionErrorDeg <= kDirectionToleranceDeg;
            if (found && resolvable[i]) {
                score.timeErrorsMs.push_back(std::fabs(outcome.timeErrorMs));
                score.directionErrorsDeg.push_back(outcome.directionErrorDeg);
                score.levelErrorsDb.push_back(std::fabs(l.levelDb - t.levelDb));
            }
        }
        if (t.levelDb >= kCountedLevelDb) {
            ++score.counted;
            if (found) ++score.countedFound;
        }
        if (resolvable[i]) {
            ++score.resolvable;
            if (found)
                ++score.resolvableFound;
            else
                score.missed.push_back(outcome);
        }
    }
    for (std::size_t j = 0; j < listed.size(); ++j) {
        if (listed[j].levelDb < kCountedLevelDb) continue;
        ++score.listedCounted;
        if (!taken[j]) {
            ++score.falseListed;
            score.falseArrivals.push_back(listed[j]);
        }
    }
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
    total.resolvable += room.resolvable;
    total.resolvableFound += room.resolvableFound;
    total.counted += room.counted;
    total.countedFound += room.countedFound;
    total.listedCounted += room.listedCounted;
    total.falseListed += room.falseListed;
    auto append = [](std::vector<double>& to, const std::vector<double>& from) {
        to.insert(to.end(), from.begin(), from.end());
    };
    append(total.timeErrorsMs, room.timeErrorsMs);
    append(total.directionErrorsDeg, room.directionErrorsDeg);
    append(total.levelErrorsDb, room.levelErrorsDb);
}

std::string Describe(const RoomScore& s, bool detailed)
{
    auto percent = [](int part, int whole) { return whole > 0 ? 100.0 * part / whole : 100.0; };
    char line[512];
    std::snprintf(line, sizeof line,
                  "%-28s resolvable %3d/%3d found %6.2f %% | false %2d/%3d %5.2f %% | all >= -20 dB found %3d/%3d "
                  "%6.2f %% | time ms %.4f %.4f | dir deg %.2f %.2f | level dB %.2f %.2f\n",
                  s.name.c_str(), s.resolvableFound, s.resolvable, percent(s.resolvableFound, s.resolvable),
                  s.falseListed, s.listedCounted, 100.0 - percent(s.listedCounted - s.falseListed, s.listedCounted),
                  s.countedFound, s.counted, percent(s.countedFound, s.counted), Percentile(s.timeErrorsMs, 0.5),
                  Percentile(s.timeErrorsMs, 0.95), Percentile(s.directionErrorsDeg, 0.5),
                  Percentile(s.directionErrorsDeg, 0.95), Percentile(s.levelErrorsDb, 0.5),
                  Percentile(s.levelErrorsDb, 0.95));
    std::string text = line;
    if (!detailed) return text;
    for (const MissedArrival& m : s.missed) {
        std::snprintf(line, sizeof line,
                      "    missed %9.3f ms %7.2f dB order %d az %7.2f el %6.2f background %6.1f dB: %s dt %.4f ms "
                      "dir %.2f deg\n",
                      m.truth.timeMs, m.truth.levelDb, m.truth.order, m.truth.azDeg, m.truth.elDeg,
                      m.truth.backgroundDb, m.matched ? "matched" : "nothing listed", m.timeErrorMs,
                      m.directionErrorDeg);
        text += line;
    }
    for (const Arrival& a : s.falseArrivals) {
        std::snprintf(line, sizeof line, "    false  %9.3f ms %7.2f dB az %7.2f el %6.2f diffuseness %.3f\n", a.timeMs,
                      a.levelDb, a.azDeg, a.elDeg, a.diffuseness);
        text += line;
    }
    return text;
}

}  // namespace halvane::score
