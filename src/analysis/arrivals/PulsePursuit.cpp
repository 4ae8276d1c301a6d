#include "analysis/arrivals/PulsePursuit.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace halvane {
namespace {

enum ChannelIndex : std::size_t { kW = 0, kY = 1, kZ = 2, kX = 3 };

// A copy of the pulse that carries less energy in its window than what
// remains there once it is taken out is a fluctuation of the tail.
constexpr double kMinProminence = 1.0;
// A candidate that does not match the pulse that well still counts when its
// window stands this far out of the response around it (energy per sample,
// all four channels, over kContextMs either side beyond its own window): a
// reflection that a surface has filtered is found in several such steps,
// a fluctuation of the tail does not stand out.
constexpr double kStandOutRatio = 4.0;  // 6 dB
constexpr double kContextWindows = 10.0;
// Two refitting passes: the second changes times by well under 0.01 sample.
constexpr int kRefitPasses = 2;
// A copy whose removal, with its neighbours refitted, leaves the residual
// larger by less than this share of its own energy is redundant.
constexpr double kRedundantShare = 0.5;
// Each pulse position is refined to 1e-3 sample (20 ns at 48 kHz) by
// golden-section search.
constexpr double kOriginToleranceSamples = 1e-3;
// The matched filter keeps its running maxima per block of this many samples.
constexpr std::size_t kBlockSize = 256;

// The omnidirectional channel's correlation with the template at every
// integer centre, with the running maxima of its magnitude per block of
// samples so the strongest remaining candidate is found without a full scan.
// Masked samples are never candidates again.
class MatchedFilter {
public:
    MatchedFilter(const std::vector<double>& w, const PulseTemplate& pulse)
        : m_w(w), m_pulse(pulse), m_values(w.size(), 0.0), m_masked(w.size(), 0),
          m_blocks((w.size() + kBlockSize - 1) / kBlockSize)
    {
        Update(0, static_cast<std::ptrdiff_t>(w.size()) - 1);
    }

    // Recomputes the correlation at centres from..to after the channel changed.
    void Update(std::ptrdiff_t from, std::ptrdiff_t to)
    {
        const auto size = static_cast<std::ptrdiff_t>(m_w.size());
        from = std::max<std::ptrdiff_t>(from, 0);
        to = std::min(to, size - 1);
        if (from > to) return;
        const std::vector<double>& taps = m_pulse.Samples();
        const std::ptrdiff_t k = m_pulse.HalfLengthSamples();
        for (std::ptrdiff_t n = from; n <= to; ++n) {
            const std::ptrdiff_t lo = std::max(-k, -n);
            const std::ptrdiff_t hi = std::min(k, size - 1 - n);
            double sum = 0;
            for (std::ptrdiff_t i = lo; i <= hi; ++i) {
                sum += m_w[static_cast<std::size_t>(n + i)] * taps[static_cast<std::size_t>(i + k)];
            }
            m_values[static_cast<std::size_t>(n)] = sum;
        }
        RefreshBlocks(from, to);
    }

    void Mask(std::ptrdiff_t from, std::ptrdiff_t to)
    {
        from = std::max<std::ptrdiff_t>(from, 0);
        to = std::min(to, static_cast<std::ptrdiff_t>(m_w.size()) - 1);
        if (from > to) return;
        for (std::ptrdiff_t n = from; n <= to; ++n) m_masked[static_cast<std::size_t>(n)] = 1;
        RefreshBlocks(from, to);
    }

    // The unmasked centre of the largest correlation magnitude; false when every centre is masked.
    bool Strongest(std::ptrdiff_t& centre) const
    {
        double best = -1;
        for (const Block& block : m_blocks) {
            if (block.valid && block.magnitude > best) {
                best = block.magnitude;
                centre = block.index;
            }
        }
        return best >= 0;
    }

    double At(std::ptrdiff_t n) const
    {
        if (n < 0 || n >= static_cast<std::ptrdiff_t>(m_values.size())) return 0.0;
        return m_values[static_cast<std::size_t>(n)];
    }

private:
    struct Block {
        bool valid = false;
        double magnitude = 0;
        std::ptrdiff_t index = 0;
    };

    void RefreshBlocks(std::ptrdiff_t from, std::ptrdiff_t to)
    {
        const auto last = static_cast<std::size_t>(to) / kBlockSize;
        for (auto b = static_cast<std::size_t>(from) / kBlockSize; b <= last; ++b) {
            Block block;
            const std::size_t end = std::min(m_values.size(), (b + 1) * kBlockSize);
            for (std::size_t n = b * kBlockSize; n < end; ++n) {
                if (m_masked[n]) continue;
                const double magnitude = std::fabs(m_values[n]);
                if (!block.valid || magnitude > block.magnitude) {
                    block = {true, magnitude, static_cast<std::ptrdiff_t>(n)};
                }
            }
            m_blocks[b] = block;
        }
    }

    const std::vector<double>& m_w;
    const PulseTemplate& m_pulse;
    std::vector<double> m_values;
    std::vector<std::uint8_t> m_masked;
    std::vector<Block> m_blocks;
};

// The integer centre moved to the vertex of the parabola through its
// neighbours' correlations, no further than half a sample.
double ParabolicPeak(const MatchedFilter& filter, std::ptrdiff_t centre)
{
    const double before = filter.At(centre - 1), at = filter.At(centre), after = filter.At(centre + 1);
    const double curvature = (before - 2.0 * at + after) * (at >= 0 ? 1.0 : -1.0);
    if (!(curvature < 0)) return static_cast<double>(centre);
    const double shift = 0.5 * (before - after) / (before - 2.0 * at + after);
    return static_cast<double>(centre) + std::clamp(shift, -0.5, 0.5);
}

}  // namespace

PulsePursuit::PulsePursuit(std::array<std::vector<double>, 4> channels, const PulseTemplate& pulse,
                           const PulseTemplate& dipolePulse, double halfWindowSamples)
    : m_residual(std::move(channels)), m_pulse(pulse), m_dipole(dipolePulse), m_halfWindow(halfWindowSamples)
{
}

void PulsePursuit::Run(double stopAmplitude, std::size_t maxCopies, const Cancellation& stop)
{
    // A candidate costs a few pulse lengths of multiply-adds; this many lie
    // well inside the time between two polls.
    constexpr std::ptrdiff_t kStepsPerPoll = 64;
    MatchedFilter filter(m_residual[kW], m_pulse);
    const double energy = m_pulse.Energy();
    const auto frames = static_cast<std::ptrdiff_t>(m_residual[kW].size());
    // A rejected candidate's window holds nothing stronger than it: no later,
    // weaker candidate there can do better.
    const auto mask = static_cast<std::ptrdiff_t>(std::max(1.0, std::ceil(m_halfWindow)));
    const std::ptrdiff_t k = m_pulse.HalfLengthSamples();
    // Every rejection masks a sample, every acceptance lowers the residual:
    // the bound only guards against a pathological input.
    const std::ptrdiff_t maxSteps = 4 * frames + 64;
    std::ptrdiff_t centre = 0;
    for (std::ptrdiff_t step = 0; step < maxSteps && m_copies.size() < maxCopies && filter.Strongest(centre); ++step) {
        if (step % kStepsPerPoll == 0 && stop.Requested()) break;
        const double correlation = filter.At(centre);
        if (!(std::fabs(correlation) / energy >= stopAmplitude)) break;

        const double origin = RefineOrigin(ParabolicPeak(filter, centre), correlation >= 0 ? 1.0 : -1.0);
        const PulseCopy copy = Fit(origin);
        if (Prominence(copy) < kMinProminence && StandOut(origin + m_pulse.PeakOffsetSamples()) < kStandOutRatio) {
            filter.Mask(centre - mask, centre + mask);
            continue;
        }
        Subtract(copy, 1.0);
        m_copies.push_back(copy);
        filter.Update(static_cast<std::ptrdiff_t>(std::floor(origin)) - 2 * k,
                      static_cast<std::ptrdiff_t>(std::ceil(origin)) + 2 * k);
    }
}

void PulsePursuit::Refit()
{
    std::vector<std::size_t> order(m_copies.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::sort(order.begin(), order.end(), [this](std::size_t a, std::size_t b) {
        return std::fabs(m_copies[a].amplitude[kW]) > std::fabs(m_copies[b].amplitude[kW]);
    });
    for (int pass = 0; pass < kRefitPasses; ++pass) {
        for (std::size_t i : order) {
            PulseCopy& copy = m_copies[i];
            Subtract(copy, -1.0);
            const double sign = copy.amplitude[kW] >= 0 ? 1.0 : -1.0;
            copy = Fit(RefineOrigin(copy.originSamples, sign));
            Subtract(copy, 1.0);
        }
    }
}

void PulsePursuit::Prune()
{
    std::vector<std::size_t> order(m_copies.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::sort(order.begin(), order.end(), [this](std::size_t a, std::size_t b) {
        return std::fabs(m_copies[a].amplitude[kW]) < std::fabs(m_copies[b].amplitude[kW]);
    });
    const auto reach = static_cast<double>(2 * m_pulse.HalfLengthSamples());
    std::vector<bool> dropped(m_copies.size(), false);
    for (std::size_t j : order) {
        const PulseCopy removed = m_copies[j];
        std::vector<std::size_t> neighbours;
        for (std::size_t i = 0; i < m_copies.size(); ++i) {
            if (i != j && !dropped[i] && std::fabs(m_copies[i].originSamples - removed.originSamples) <= reach) {
                neighbours.push_back(i);
            }
        }
        if (neighbours.empty()) continue;
        const auto from = static_cast<std::ptrdiff_t>(std::floor(removed.originSamples - 1.5 * reach));
        const auto to = static_cast<std::ptrdiff_t>(std::ceil(removed.originSamples + 1.5 * reach));
        const double before = ResidualEnergy(from, to);
        const double own = CopyEnergy(removed);

        std::sort(neighbours.begin(), neighbours.end(), [this](std::size_t a, std::size_t b) {
            return std::fabs(m_copies[a].amplitude[kW]) > std::fabs(m_copies[b].amplitude[kW]);
        });
        std::vector<PulseCopy> kept;
        for (std::size_t i : neighbours) kept.push_back(m_copies[i]);
        Subtract(removed, -1.0);
        for (std::size_t i : neighbours) {
            PulseCopy& c = m_copies[i];
            Subtract(c, -1.0);
            c = Fit(RefineOrigin(c.originSamples, c.amplitude[kW] >= 0 ? 1.0 : -1.0));
            Subtract(c, 1.0);
        }
        if (ResidualEnergy(from, to) - before < kRedundantShare * own) {
            dropped[j] = true;
            continue;
        }
        // Needed after all: everything back as it was.
        for (std::size_t n = 0; n < neighbours.size(); ++n) {
            Subtract(m_copies[neighbours[n]], -1.0);
            m_copies[neighbours[n]] = kept[n];
            Subtract(kept[n], 1.0);
        }
        Subtract(removed, 1.0);
    }
    std::vector<PulseCopy> remaining;
    for (std::size_t i = 0; i < m_copies.size(); ++i) {
        if (!dropped[i]) remaining.push_back(m_copies[i]);
    }
    m_copies = std::move(remaining);
}

bool PulsePursuit::Intensity(double timeSamples, const std::vector<const PulseCopy*>& added,
                             WindowIntensity& intensity) const
{
    return Intensity(timeSamples, m_halfWindow, added, intensity);
}

bool PulsePursuit::Intensity(double timeSamples, double halfWindowSamples, const std::vector<const PulseCopy*>& added,
                             WindowIntensity& intensity, Sums sums) const
{
    const auto frames = static_cast<std::ptrdiff_t>(m_residual[kW].size());
    auto lo = static_cast<std::ptrdiff_t>(std::ceil(timeSamples - halfWindowSamples));
    auto hi = static_cast<std::ptrdiff_t>(std::floor(timeSamples + halfWindowSamples));
    if (lo > hi) lo = hi = static_cast<std::ptrdiff_t>(std::nearbyint(timeSamples));
    lo = std::max<std::ptrdiff_t>(lo, 0);
    hi = std::min(hi, frames - 1);
    if (lo > hi) return false;
    intensity = {};
    for (std::ptrdiff_t n = lo; n <= hi; ++n) {
        std::array<double, 4> v{};
        for (std::size_t c = sums == Sums::OwnOmni ? 1 : 0; c < 4; ++c)
            v[c] = m_residual[c][static_cast<std::size_t>(n)];
        for (const PulseCopy* copy : added) {
            const double offset = static_cast<double>(n) - copy->originSamples;
            const double omni = m_pulse.ValueAt(offset), dipole = m_dipole.ValueAt(offset);
            v[kW] += copy->amplitude[kW] * omni;
            for (std::size_t c = 1; c < 4; ++c) v[c] += copy->amplitude[c] * dipole;
        }
        intensity.ix += v[kW] * v[kX];
        intensity.iy += v[kW] * v[kY];
        intensity.iz += v[kW] * v[kZ];
        intensity.de += v[kW] * v[kW] + v[kX] * v[kX] + v[kY] * v[kY] + v[kZ] * v[kZ];
        intensity.ww += v[kW] * v[kW];
    }
    return true;
}

double PulsePursuit::Correlation(double origin) const
{
    std::ptrdiff_t first = 0;
    m_pulse.Place(origin, first, m_placed);
    const std::vector<double>& w = m_residual[kW];
    double sum = 0;
    for (std::size_t i = 0; i < m_placed.size(); ++i) {
        const std::ptrdiff_t n = first + static_cast<std::ptrdiff_t>(i);
        if (n >= 0 && n < static_cast<std::ptrdiff_t>(w.size())) {
            sum += w[static_cast<std::size_t>(n)] * m_placed[i];
        }
    }
    return sum;
}

// The centre within half a sample of start where sign times the
// correlation is largest (golden-section search; the correlation of a
// band-limited pulse with itself has a single maximum that close).
double PulsePursuit::RefineOrigin(double start, double sign) const
{
    constexpr double kInverseGolden = 0.6180339887498949;
    double a = start - 0.5, b = start + 0.5;
    double c = b - kInverseGolden * (b - a), d = a + kInverseGolden * (b - a);
    double fc = sign * Correlation(c), fd = sign * Correlation(d);
    while (b - a > kOriginToleranceSamples) {
        if (fc > fd) {
            b = d;
            d = c;
            fd = fc;
            c = b - kInverseGolden * (b - a);
            fc = sign * Correlation(c);
        } else {
            a = c;
            c = d;
            fc = fd;
            d = a + kInverseGolden * (b - a);
            fd = sign * Correlation(d);
        }
    }
    return 0.5 * (a + b);
}

// The least-squares amplitude of the pulse at origin in each channel: the
// omni pulse's in W, the figure-of-eight pulse's in Y, Z and X.
PulseCopy PulsePursuit::Fit(double origin) const
{
    PulseCopy copy;
    copy.originSamples = origin;
    for (const std::size_t channel : {std::size_t{0}, std::size_t{1}}) {
        std::ptrdiff_t first = 0;
        PulseOf(channel).Place(origin, first, m_placed);
        std::array<double, 4> dot{};
        double energy = 0;
        for (std::size_t i = 0; i < m_placed.size(); ++i) {
            const std::ptrdiff_t n = first + static_cast<std::ptrdiff_t>(i);
            const double p = m_placed[i];
            energy += p * p;
            if (n < 0 || n >= static_cast<std::ptrdiff_t>(m_residual[kW].size())) continue;
            for (std::size_t c = 0; c < 4; ++c) dot[c] += m_residual[c][static_cast<std::size_t>(n)] * p;
        }
        if (!(energy > 0)) continue;
        if (channel == kW) {
            copy.amplitude[kW] = dot[kW] / energy;
        } else {
            for (std::size_t c = 1; c < 4; ++c) copy.amplitude[c] = dot[c] / energy;
        }
    }
    return copy;
}

// The copy's energy in its window over what would remain there once it is
// taken out (all four channels).
double PulsePursuit::Prominence(const PulseCopy& copy) const
{
    const double centre = copy.originSamples + m_pulse.PeakOffsetSamples();
    const auto frames = static_cast<std::ptrdiff_t>(m_residual[kW].size());
    const auto lo = std::max<std::ptrdiff_t>(0, static_cast<std::ptrdiff_t>(std::ceil(centre - m_halfWindow)));
    const auto hi = std::min(frames - 1, static_cast<std::ptrdiff_t>(std::floor(centre + m_halfWindow)));
    double model = 0, remainder = 0;
    for (std::ptrdiff_t n = lo; n <= hi; ++n) {
        const double offset = static_cast<double>(n) - copy.originSamples;
        const double omni = m_pulse.ValueAt(offset), dipole = m_dipole.ValueAt(offset);
        for (std::size_t c = 0; c < 4; ++c) {
            const double fitted = copy.amplitude[c] * (c == kW ? omni : dipole);
            const double left = m_residual[c][static_cast<std::size_t>(n)] - fitted;
            model += fitted * fitted;
            remainder += left * left;
        }
    }
    if (!(model > 0)) return 0.0;
    return remainder > 0 ? model / remainder : std::numeric_limits<double>::infinity();
}

// The residual's energy per sample over the window centred on timeSamples,
// over its energy per sample in the context around the window.
double PulsePursuit::StandOut(double timeSamples) const
{
    const auto frames = static_cast<std::ptrdiff_t>(m_residual[kW].size());
    const double reach = kContextWindows * std::max(1.0, m_halfWindow);
    const auto from = std::max<std::ptrdiff_t>(0, static_cast<std::ptrdiff_t>(std::ceil(timeSamples - reach)));
    const auto to = std::min(frames - 1, static_cast<std::ptrdiff_t>(std::floor(timeSamples + reach)));
    double inside = 0, outside = 0;
    std::size_t insideCount = 0, outsideCount = 0;
    for (std::ptrdiff_t n = from; n <= to; ++n) {
        double e = 0;
        for (const auto& channel : m_residual)
            e += channel[static_cast<std::size_t>(n)] * channel[static_cast<std::size_t>(n)];
        if (std::fabs(static_cast<double>(n) - timeSamples) <= std::max(0.5, m_halfWindow)) {
            inside += e;
            ++insideCount;
        } else {
            outside += e;
            ++outsideCount;
        }
    }
    if (insideCount == 0 || !(inside > 0)) return 0.0;
    if (outsideCount == 0 || !(outside > 0)) return std::numeric_limits<double>::infinity();
    return (inside / static_cast<double>(insideCount)) / (outside / static_cast<double>(outsideCount));
}

double PulsePursuit::ResidualEnergy(std::ptrdiff_t from, std::ptrdiff_t to) const
{
    from = std::max<std::ptrdiff_t>(from, 0);
    to = std::min(to, static_cast<std::ptrdiff_t>(m_residual[kW].size()) - 1);
    double sum = 0;
    for (const auto& channel : m_residual) {
        for (std::ptrdiff_t n = from; n <= to; ++n) {
            const double v = channel[static_cast<std::size_t>(n)];
            sum += v * v;
        }
    }
    return sum;
}

double PulsePursuit::CopyEnergy(const PulseCopy& copy) const
{
    double energy = 0;
    for (std::size_t c = 0; c < 4; ++c) {
        std::ptrdiff_t first = 0;
        PulseOf(c).Place(copy.originSamples, first, m_placed);
        double shape = 0;
        for (double p : m_placed) shape += p * p;
        energy += shape * copy.amplitude[c] * copy.amplitude[c];
    }
    return energy;
}

// Takes the copy out of the residual (scale 1) or puts it back (-1).
void PulsePursuit::Subtract(const PulseCopy& copy, double scale)
{
    const auto frames = static_cast<std::ptrdiff_t>(m_residual[kW].size());
    for (const std::size_t channel : {std::size_t{0}, std::size_t{1}}) {
        std::ptrdiff_t first = 0;
        PulseOf(channel).Place(copy.originSamples, first, m_placed);
        const std::size_t from = channel == kW ? 0 : 1, to = channel == kW ? 1 : 4;
        for (std::size_t i = 0; i < m_placed.size(); ++i) {
            const std::ptrdiff_t n = first + static_cast<std::ptrdiff_t>(i);
            if (n < 0 || n >= frames) continue;
            for (std::size_t c = from; c < to; ++c) {
                m_residual[c][static_cast<std::size_t>(n)] -= scale * copy.amplitude[c] * m_placed[i];
            }
        }
    }
}

}  // namespace halvane
