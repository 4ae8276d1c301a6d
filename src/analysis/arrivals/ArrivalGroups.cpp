#include "analysis/arrivals/ArrivalGroups.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

#include "analysis/arrivals/ShortFilters.h"
#include "values/SoundField.h"

namespace halvane {
namespace {

enum ChannelIndex : std::size_t { kW = 0 };

// Copies this close in time to another copy of one arrival, from directions
// this close, are part of it: a surface has filtered and widened its pulse.
constexpr double kGroupLinkMs = 0.5;
constexpr double kGroupAngleDeg = 15.0;
// Weaker copies than this, this close to a stronger arrival, from any
// direction, are what is left of it once its pulse is taken out: the pulse
// of a reflection, and the figure-of-eights' pulses, differ a little from the
// direct sound's omni pulse.
constexpr double kRemainderDb = 15.0;
constexpr double kRemainderReachMs = 1.5;

// A copy as the grouping sees it: its time (the peak of its energy envelope),
// its amplitude in W and the direction of its own window's intensity.
struct Placed {
    const PulseCopy* copy;
    double timeSamples;
    double amplitude;
    std::array<double, 3> direction;  // unit vector
    double diffuseness;               // of the same window
};

double Cosine(const std::array<double, 3>& a, const std::array<double, 3>& b)
{
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

std::vector<Placed> PlaceCopies(const PulsePursuit& pursuit, const PulseTemplate& pulse)
{
    std::vector<Placed> placed;
    for (const PulseCopy& c : pursuit.Copies()) {
        const double amplitude = std::fabs(c.amplitude[kW]);
        const double timeSamples = c.originSamples + pulse.PeakOffsetSamples();
        WindowIntensity alone;
        if (!(amplitude > 0) || !pursuit.Intensity(timeSamples, {&c}, alone)) continue;
        const double magnitude = alone.Magnitude();
        std::array<double, 3> direction{0, 0, 0};
        if (magnitude > 0) direction = {alone.ix / magnitude, alone.iy / magnitude, alone.iz / magnitude};
        const double diffuseness = alone.de > 0 ? Diffuseness(magnitude, alone.de) : 1.0;
        placed.push_back({&c, timeSamples, amplitude, direction, diffuseness});
    }
    // Strongest first: every group is headed by its strongest copy.
    std::stable_sort(placed.begin(), placed.end(),
                     [](const Placed& a, const Placed& b) { return a.amplitude > b.amplitude; });
    return placed;
}

// The copies of one arrival, its head (strongest) first, and what stronger
// arrivals nearby left of themselves that joined it: those count in its
// energy and direction, not in its time.
struct Group {
    std::vector<const Placed*> copies;
    std::vector<const Placed*> remainders;
    const Placed& Head() const { return *copies.front(); }
};

// Copies this close to an arrival's strongest are part of it when either's
// direction is unclear (its window more diffuse than kClearDiffuseness): a
// measured pulse's own parts, whose figure-of-eight response differs from the
// omni's, point every way. Copies with clear directions that differ stay
// apart however close.
constexpr double kSameArrivalMs = 0.25;
constexpr double kClearDiffuseness = 0.1;

bool JoinsGroup(const Group& group, const Placed& c, double rateHz)
{
    const Placed& head = group.Head();
    const bool unclear = head.diffuseness > kClearDiffuseness || c.diffuseness > kClearDiffuseness;
    if (unclear && std::fabs(c.timeSamples - head.timeSamples) <= kSameArrivalMs * rateHz / 1000.0) return true;
    if (Cosine(head.direction, c.direction) < std::cos(RadiansFromDegrees(kGroupAngleDeg))) return false;
    const double link = kGroupLinkMs * rateHz / 1000.0;
    return std::any_of(group.copies.begin(), group.copies.end(),
                       [&](const Placed* m) { return std::fabs(m->timeSamples - c.timeSamples) <= link; });
}

double GroupEnergy(const Group& group)
{
    double energy = 0;
    for (const Placed* p : group.copies) energy += p->amplitude * p->amplitude;
    return energy;
}

// A group far weaker than a stronger one close to it is what that one
// leaves behind once its pulse is taken out: it joins it.
void JoinRemainders(std::vector<Group>& groups, double rateHz)
{
    const double reach = kRemainderReachMs * rateHz / 1000.0;
    const double ratio = std::pow(10.0, kRemainderDb / 10.0);
    std::vector<double> energies;
    for (const Group& g : groups) energies.push_back(GroupEnergy(g));
    // Weakest first, each into the strongest group near enough.
    std::vector<std::size_t> order(groups.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return energies[a] < energies[b]; });
    std::vector<bool> joined(groups.size(), false);
    for (const std::size_t j : order) {
        std::optional<std::size_t> into;
        for (std::size_t i = 0; i < groups.size(); ++i) {
            if (i == j || joined[i] || energies[i] < ratio * energies[j]) continue;
            if (std::fabs(groups[i].Head().timeSamples - groups[j].Head().timeSamples) > reach) continue;
            if (!into || energies[i] > energies[*into]) into = i;
        }
        if (!into) continue;
        std::vector<const Placed*>& remainders = groups[*into].remainders;
        remainders.insert(remainders.end(), groups[j].copies.begin(), groups[j].copies.end());
        remainders.insert(remainders.end(), groups[j].remainders.begin(), groups[j].remainders.end());
        energies[*into] += energies[j];
        joined[j] = true;
    }
    std::vector<Group> kept;
    for (std::size_t i = 0; i < groups.size(); ++i) {
        if (!joined[i]) kept.push_back(std::move(groups[i]));
    }
    groups = std::move(kept);
}

// Each copy, strongest first, joins the first group (strongest head first)
// it belongs to, else heads a group of its own; then the remainders join
// their arrivals.
std::vector<Group> GroupCopies(const std::vector<Placed>& placed, double rateHz)
{
    std::vector<Group> groups;
    for (const Placed& c : placed) {
        auto group =
            std::find_if(groups.begin(), groups.end(), [&](const Group& g) { return JoinsGroup(g, c, rateHz); });
        if (group != groups.end()) {
            group->copies.push_back(&c);
        } else {
            groups.push_back({{&c}, {}});
        }
    }
    JoinRemainders(groups, rateHz);
    return groups;
}

// How far an arrival stands out of the response around it: W's energy over
// the level window at its time, over the median of the same energy from
// kContextFromMs to kContextToMs before and after it, in dB. A reflection
// stands out of the tail and of its neighbours however diffuse its window
// reads; the tail's own peaks do not.
constexpr double kContextFromMs = 1.0, kContextToMs = 5.0;

double StandOutDb(const std::vector<double>& levelEnergy, double timeSamples, double rateHz)
{
    const auto size = static_cast<std::ptrdiff_t>(levelEnergy.size());
    const auto at = static_cast<std::ptrdiff_t>(std::nearbyint(timeSamples));
    // No further than the stretch reaches, whatever rate a header claims.
    const auto reach = [&](double ms) {
        return static_cast<std::ptrdiff_t>(std::min(std::nearbyint(ms * rateHz / 1000.0), static_cast<double>(size)));
    };
    const std::ptrdiff_t from = reach(kContextFromMs), to = reach(kContextToMs);
    if (at < 0 || at >= size) return 0.0;
    std::vector<double> context;
    for (std::ptrdiff_t d = std::max<std::ptrdiff_t>(1, from); d <= to; ++d) {
        if (at - d >= 0) context.push_back(levelEnergy[static_cast<std::size_t>(at - d)]);
        if (at + d < size) context.push_back(levelEnergy[static_cast<std::size_t>(at + d)]);
    }
    if (context.empty()) return 0.0;
    const auto middle = context.begin() + static_cast<std::ptrdiff_t>(context.size() / 2);
    std::nth_element(context.begin(), middle, context.end());
    const double own = levelEnergy[static_cast<std::size_t>(at)];
    if (!(*middle > 0)) return own > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    return 10.0 * std::log10(own / *middle);
}

// The peak of the energy envelope of a group's copies in W together: where a
// smeared reflection's energy lies, which its strongest copy need not mark.
// A lone copy's is the template's own. Searched on a quarter-sample grid
// over the copies' span, then refined by golden section.
double EnvelopePeak(const PulseTemplate& pulse, const Group& group)
{
    if (group.copies.size() == 1) return group.Head().timeSamples;
    auto energy = [&](double t) {
        double value = 0, quadrature = 0;
        for (const Placed* p : group.copies) {
            const double offset = t - p->copy->originSamples;
            value += p->copy->amplitude[kW] * pulse.ValueAt(offset);
            quadrature += p->copy->amplitude[kW] * pulse.QuadratureAt(offset);
        }
        return value * value + quadrature * quadrature;
    };
    double from = group.Head().timeSamples, to = from;
    for (const Placed* p : group.copies) {
        from = std::min(from, p->timeSamples);
        to = std::max(to, p->timeSamples);
    }
    constexpr double kStep = 0.25;
    double best = group.Head().timeSamples, bestEnergy = energy(best);
    for (double t = from; t <= to; t += kStep) {
        if (const double e = energy(t); e > bestEnergy) {
            best = t;
            bestEnergy = e;
        }
    }
    constexpr double kInverseGolden = 0.6180339887498949;
    double a = best - kStep, b = best + kStep;
    while (b - a > 1e-3) {
        const double c = b - kInverseGolden * (b - a), d = a + kInverseGolden * (b - a);
        if (energy(c) > energy(d)) {
            b = d;
        } else {
            a = c;
        }
    }
    return 0.5 * (a + b);
}

// longestSamples bounds the level window: the stretch pursued, whatever rate
// a header claims.
std::optional<Candidate> Describe(const PulsePursuit& pursuit, const PulseTemplate& pulse, const Group& group,
                                  double rateHz, double longestSamples)
{
    std::vector<const PulseCopy*> copies;
    for (const Placed* p : group.copies) copies.push_back(p->copy);
    for (const Placed* p : group.remainders) copies.push_back(p->copy);
    const double timeSamples = EnvelopePeak(pulse, group);
    WindowIntensity intensity, level;
    const double levelHalf = std::min(kLevelWindowMs * rateHz / 2000.0, longestSamples);
    if (!pursuit.Intensity(timeSamples, copies, intensity) ||
        !pursuit.Intensity(timeSamples, levelHalf, copies, level)) {
        return std::nullopt;
    }
    // The level window where the arrival's energy is largest near its time: a
    // reflection that a surface smeared carries its energy on after its pulse.
    const auto shift = static_cast<std::ptrdiff_t>(std::floor(levelHalf));
    for (std::ptrdiff_t d = -shift; d <= shift; ++d) {
        WindowIntensity shifted;
        if (d != 0 && pursuit.Intensity(timeSamples + static_cast<double>(d), levelHalf, copies, shifted)) {
            level.ww = std::max(level.ww, shifted.ww);
        }
    }
    const double magnitude = intensity.Magnitude();
    if (!(magnitude > 0 && intensity.de > 0 && level.ww > 0)) return std::nullopt;
    // The direction: the figure-of-eights read against the arrival's own omni
    // pulse, so that tail, noise and what no copy explains, which do not
    // correlate with it, barely turn it; they count in the diffuseness.
    WindowIntensity own;
    pursuit.Intensity(timeSamples, pursuit.HalfWindowSamples(), copies, own, PulsePursuit::Sums::OwnOmni);
    const WindowIntensity& pointing = own.Magnitude() > 0 ? own : intensity;
    Candidate candidate;
    Arrival& arrival = candidate.arrival;
    arrival.timeMs = timeSamples / rateHz * 1000.0;
    const Direction direction = DirectionOfIntensity(pointing.ix, pointing.iy, pointing.iz);
    arrival.azDeg = direction.azDeg;
    arrival.elDeg = direction.elDeg;
    arrival.idDb = 10.0 * std::log10(magnitude / intensity.de);
    arrival.diffuseness = Diffuseness(magnitude, intensity.de);
    candidate.energy = level.ww;
    return candidate;
}

}  // namespace

// The arrivals found, described, in time order; the direct sound's marked.
std::vector<Candidate> Candidates(const Pursued& pursued, const std::vector<double>& levelEnergy, double rateHz,
                                  double centreSamples)
{
    const std::vector<Placed> placed = PlaceCopies(*pursued.pursuit, *pursued.pulse);
    const std::vector<Group> groups = GroupCopies(placed, rateHz);
    // The direct sound is the arrival of the copy at the pulse's own place.
    const Group* directGroup = nullptr;
    double nearest = 0;
    for (const Group& g : groups) {
        for (const Placed* p : g.copies) {
            const double distance = std::fabs(p->copy->originSamples - centreSamples);
            if (!directGroup || distance < nearest) {
                directGroup = &g;
                nearest = distance;
            }
        }
    }
    std::vector<Candidate> candidates;
    for (const Group& g : groups) {
        std::optional<Candidate> c =
            Describe(*pursued.pursuit, *pursued.pulse, g, rateHz, static_cast<double>(levelEnergy.size()));
        if (!c && &g == directGroup) return {};
        if (!c) continue;
        c->direct = &g == directGroup;
        c->standOutDb = StandOutDb(levelEnergy, c->arrival.timeMs * rateHz / 1000.0, rateHz);
        candidates.push_back(*c);
    }
    std::sort(candidates.begin(), candidates.end(),
              [](const Candidate& a, const Candidate& b) { return a.arrival.timeMs < b.arrival.timeMs; });
    return candidates;
}

}  // namespace halvane
