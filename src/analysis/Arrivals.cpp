#include "analysis/Arrivals.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <numbers>

#include "analysis/PulseTemplate.h"

// The arrivals are found by matching pursuit with a measured pulse: the
// direct sound is taken as the template of the system's pulse, and the
// omnidirectional channel is explained, strongest part first, as a sum of
// delayed and scaled copies of it; each copy found is fitted in all four
// channels and taken out of them before the next search (the CLEAN method of
// radio astronomy, applied to a room response). Side lobes and ripples of a
// pulse go out with it, and an arrival less than a pulse width behind a
// stronger one is found in what the stronger one leaves.
//
// Direction and diffuseness follow the spatial decomposition method and DirAC:
// the pseudo-intensity W times (X, Y, Z) summed over a short window centred
// on the arrival gives the direction, and 1 - 2 |I| / De over the same window
// (SN3D: De = W^2 + X^2 + Y^2 + Z^2) its diffuseness, here computed on the
// arrival alone plus what no arrival explains (reverberant tail and noise),
// so that a strong neighbour does not pull the direction.

namespace halvane {
namespace {

constexpr double kDegPerRad = 180.0 / std::numbers::pi;

// The direct sound is the earliest arrival within this distance of the strongest.
constexpr double kDirectSearchDb = 20.0;
// The search goes this much deeper than the floor, so that an arrival whose
// first estimate falls just below the floor still gets its refined level.
constexpr double kSearchMarginDb = 1.0;
// A copy of the pulse that carries less energy in the direction window than
// what remains there once it is taken out is a fluctuation of the tail.
constexpr double kMinProminence = 1.0;
// What is left of a strong arrival after its pulse is taken out (the pulse
// shapes of direct sound and reflections differ a little) lies at least this
// far below it; weaker fits within a pulse length of it are that remainder.
constexpr double kRippleDb = 30.0;
// Refitting every arrival with all the others taken out, strongest first,
// corrects the first estimates of arrivals that overlapped a weaker one not
// yet found; the second pass changes times by well under 0.01 sample.
constexpr int kRefitPasses = 2;
// Each pulse position is refined to 1e-4 sample by golden-section search.
constexpr double kOriginToleranceSamples = 1e-4;
constexpr std::size_t kBlockSize = 256;

enum ChannelIndex : std::size_t { kW = 0, kY = 1, kZ = 2, kX = 3 };
using Channels = std::array<std::vector<double>, 4>;

// One copy of the pulse: where its centre lies and its amplitude in each
// channel (W, Y, Z, X).
struct Component {
    double originSamples = 0;
    std::array<double, 4> amplitude{};
};

struct Intensity {
    double ix = 0, iy = 0, iz = 0, de = 0;
    double Magnitude() const { return std::sqrt(ix * ix + iy * iy + iz * iz); }
};

Channels CleanCopy(const BFormatSignal& signal)
{
    const std::size_t frames = std::min({signal.W.size(), signal.Y.size(), signal.Z.size(), signal.X.size()});
    const std::array<const std::vector<float>*, 4> source{&signal.W, &signal.Y, &signal.Z, &signal.X};
    Channels channels;
    for (std::size_t c = 0; c < 4; ++c) {
        channels[c].resize(frames);
        for (std::size_t n = 0; n < frames; ++n) {
            const double v = (*source[c])[n];
            channels[c][n] = std::isfinite(v) ? v : 0.0;
        }
    }
    return channels;
}

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
        for (auto b = static_cast<std::size_t>(from) / kBlockSize; b <= static_cast<std::size_t>(to) / kBlockSize; ++b) {
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

// The whole matching pursuit over one response.
class Pursuit {
public:
    Pursuit(Channels channels, const PulseTemplate& pulse, double halfWindowSamples)
        : m_residual(std::move(channels)), m_pulse(pulse), m_halfWindow(halfWindowSamples)
    {
    }

    // Takes out copies of the pulse, strongest first, until the strongest
    // remaining correlation means an amplitude below stopAmplitude.
    void Run(double stopAmplitude)
    {
        MatchedFilter filter(m_residual[kW], m_pulse);
        const double energy = m_pulse.Energy();
        const auto frames = static_cast<std::ptrdiff_t>(m_residual[kW].size());
        const auto mask = static_cast<std::ptrdiff_t>(std::max(1.0, std::ceil(m_halfWindow)));
        const std::ptrdiff_t k = m_pulse.HalfLengthSamples();
        // Every rejection masks a sample, every acceptance lowers the residual:
        // the bound only guards against a pathological input.
        const std::ptrdiff_t maxSteps = 4 * frames + 64;
        std::ptrdiff_t centre = 0;
        for (std::ptrdiff_t step = 0; step < maxSteps && filter.Strongest(centre); ++step) {
            const double correlation = filter.At(centre);
            if (!(std::fabs(correlation) / energy >= stopAmplitude)) break;

            const double origin = RefineOrigin(ParabolicPeak(filter, centre), correlation >= 0 ? 1.0 : -1.0);
            const Component component = Fit(origin);
            if (!Prominent(component)) {
                filter.Mask(centre - mask, centre + mask);
                continue;
            }
            Subtract(component, 1.0);
            m_components.push_back(component);
            filter.Update(static_cast<std::ptrdiff_t>(std::floor(origin)) - 2 * k,
                          static_cast<std::ptrdiff_t>(std::ceil(origin)) + 2 * k);
        }
    }

    // Refits every copy with all the others taken out, strongest first.
    void Refit()
    {
        std::vector<std::size_t> order(m_components.size());
        for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
        std::sort(order.begin(), order.end(), [this](std::size_t a, std::size_t b) {
            return std::fabs(m_components[a].amplitude[kW]) > std::fabs(m_components[b].amplitude[kW]);
        });
        for (int pass = 0; pass < kRefitPasses; ++pass) {
            for (std::size_t i : order) {
                Component& component = m_components[i];
                Subtract(component, -1.0);
                const double sign = component.amplitude[kW] >= 0 ? 1.0 : -1.0;
                component = Fit(RefineOrigin(component.originSamples, sign));
                Subtract(component, 1.0);
            }
        }
    }

    const std::vector<Component>& Components() const { return m_components; }

    // The pseudo-intensity over the direction window centred on timeSamples,
    // of the residual plus, when given, one copy of the pulse. False when the
    // window lies outside the response.
    bool WindowIntensity(double timeSamples, const Component* added, Intensity& intensity) const
    {
        const auto frames = static_cast<std::ptrdiff_t>(m_residual[kW].size());
        auto lo = static_cast<std::ptrdiff_t>(std::ceil(timeSamples - m_halfWindow));
        auto hi = static_cast<std::ptrdiff_t>(std::floor(timeSamples + m_halfWindow));
        if (lo > hi) lo = hi = static_cast<std::ptrdiff_t>(std::nearbyint(timeSamples));
        lo = std::max<std::ptrdiff_t>(lo, 0);
        hi = std::min(hi, frames - 1);
        if (lo > hi) return false;
        intensity = {};
        for (std::ptrdiff_t n = lo; n <= hi; ++n) {
            std::array<double, 4> v{};
            const double shape = added ? m_pulse.ValueAt(static_cast<double>(n) - added->originSamples) : 0.0;
            for (std::size_t c = 0; c < 4; ++c) {
                v[c] = m_residual[c][static_cast<std::size_t>(n)] + (added ? added->amplitude[c] * shape : 0.0);
            }
            intensity.ix += v[kW] * v[kX];
            intensity.iy += v[kW] * v[kY];
            intensity.iz += v[kW] * v[kZ];
            intensity.de += v[kW] * v[kW] + v[kX] * v[kX] + v[kY] * v[kY] + v[kZ] * v[kZ];
        }
        return true;
    }

private:
    // The integer centre moved to the vertex of the parabola through its
    // neighbours' correlations, no further than half a sample.
    static double ParabolicPeak(const MatchedFilter& filter, std::ptrdiff_t centre)
    {
        const double before = filter.At(centre - 1), at = filter.At(centre), after = filter.At(centre + 1);
        const double curvature = (before - 2.0 * at + after) * (at >= 0 ? 1.0 : -1.0);
        if (!(curvature < 0)) return static_cast<double>(centre);
        const double shift = 0.5 * (before - after) / (before - 2.0 * at + after);
        return static_cast<double>(centre) + std::clamp(shift, -0.5, 0.5);
    }

    double Correlation(double origin) const
    {
        std::ptrdiff_t first = 0;
        m_pulse.Place(origin, first, m_placed);
        const std::vector<double>& w = m_residual[kW];
        double sum = 0;
        for (std::size_t i = 0; i < m_placed.size(); ++i) {
            const std::ptrdiff_t n = first + static_cast<std::ptrdiff_t>(i);
            if (n >= 0 && n < static_cast<std::ptrdiff_t>(w.size())) sum += w[static_cast<std::size_t>(n)] * m_placed[i];
        }
        return sum;
    }

    // The centre within half a sample of start where sign times the
    // correlation is largest (golden-section search; the correlation of a
    // band-limited pulse with itself has a single maximum that close).
    double RefineOrigin(double start, double sign) const
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

    // The least-squares amplitude of the pulse at origin in each channel.
    Component Fit(double origin) const
    {
        Component component;
        component.originSamples = origin;
        std::ptrdiff_t first = 0;
        m_pulse.Place(origin, first, m_placed);
        std::array<double, 4> dot{};
        double energy = 0;
        for (std::size_t i = 0; i < m_placed.size(); ++i) {
            const std::ptrdiff_t n = first + static_cast<std::ptrdiff_t>(i);
            const double p = m_placed[i];
            energy += p * p;
            if (n < 0 || n >= static_cast<std::ptrdiff_t>(m_residual[kW].size())) continue;
            for (std::size_t c = 0; c < 4; ++c) dot[c] += m_residual[c][static_cast<std::size_t>(n)] * p;
        }
        if (energy > 0) {
            for (std::size_t c = 0; c < 4; ++c) component.amplitude[c] = dot[c] / energy;
        }
        return component;
    }

    // True when the copy carries more energy in its direction window than
    // what would remain there once it is taken out.
    bool Prominent(const Component& component) const
    {
        const double centre = component.originSamples + m_pulse.PeakOffsetSamples();
        const auto frames = static_cast<std::ptrdiff_t>(m_residual[kW].size());
        const auto lo = std::max<std::ptrdiff_t>(0, static_cast<std::ptrdiff_t>(std::ceil(centre - m_halfWindow)));
        const auto hi = std::min(frames - 1, static_cast<std::ptrdiff_t>(std::floor(centre + m_halfWindow)));
        double model = 0, remainder = 0;
        for (std::ptrdiff_t n = lo; n <= hi; ++n) {
            const double shape = m_pulse.ValueAt(static_cast<double>(n) - component.originSamples);
            for (std::size_t c = 0; c < 4; ++c) {
                const double fitted = component.amplitude[c] * shape;
                const double left = m_residual[c][static_cast<std::size_t>(n)] - fitted;
                model += fitted * fitted;
                remainder += left * left;
            }
        }
        return model > 0 && model >= kMinProminence * remainder;
    }

    // Takes the copy out of the residual (scale 1) or puts it back (-1).
    void Subtract(const Component& component, double scale)
    {
        std::ptrdiff_t first = 0;
        m_pulse.Place(component.originSamples, first, m_placed);
        const auto frames = static_cast<std::ptrdiff_t>(m_residual[kW].size());
        for (std::size_t i = 0; i < m_placed.size(); ++i) {
            const std::ptrdiff_t n = first + static_cast<std::ptrdiff_t>(i);
            if (n < 0 || n >= frames) continue;
            for (std::size_t c = 0; c < 4; ++c) {
                m_residual[c][static_cast<std::size_t>(n)] -= scale * component.amplitude[c] * m_placed[i];
            }
        }
    }

    Channels m_residual;
    const PulseTemplate& m_pulse;
    double m_halfWindow;
    std::vector<Component> m_components;
    mutable std::vector<double> m_placed;  // scratch for one placed copy of the pulse
};

bool ValidOptions(const ArrivalOptions& options)
{
    return std::isfinite(options.directionWindowMs) && options.directionWindowMs > 0 &&
           std::isfinite(options.maxDiffuseness) && options.maxDiffuseness >= 0 && std::isfinite(options.floorDb) &&
           options.floorDb > 0 && std::isfinite(options.pulseHalfLengthMs) && options.pulseHalfLengthMs > 0;
}

}  // namespace

std::vector<Arrival> FindArrivals(const BFormatSignal& signal, const ArrivalOptions& options)
{
    std::vector<Arrival> arrivals;
    const double rateHz = signal.SampleRateHz;
    if (!(std::isfinite(rateHz) && rateHz > 0) || !ValidOptions(options)) return arrivals;

    Channels channels = CleanCopy(signal);
    const std::vector<double>& w = channels[kW];
    if (w.empty()) return arrivals;
    std::size_t strongest = 0;
    for (std::size_t n = 1; n < w.size(); ++n) {
        if (std::fabs(w[n]) > std::fabs(w[strongest])) strongest = n;
    }
    if (w[strongest] == 0.0) return arrivals;

    // Lengths in samples; a huge value is as good as the whole file.
    const double frames = static_cast<double>(w.size());
    const double halfLength = std::min(std::nearbyint(options.pulseHalfLengthMs * rateHz / 1000.0), frames);
    const double halfWindow = std::min(options.directionWindowMs * rateHz / 2000.0, frames);
    const PulseTemplate pulse(w, static_cast<std::ptrdiff_t>(strongest), static_cast<std::ptrdiff_t>(halfLength));
    if (!(pulse.Energy() > 0)) return arrivals;

    Pursuit pursuit(std::move(channels), pulse, halfWindow);
    // The template is the strongest arrival itself: its fitted amplitude is 1.
    pursuit.Run(std::pow(10.0, -(options.floorDb + kSearchMarginDb) / 20.0));
    pursuit.Refit();

    std::vector<Component> components = pursuit.Components();
    std::sort(components.begin(), components.end(),
              [](const Component& a, const Component& b) { return a.originSamples < b.originSamples; });

    // Every copy that is neither a ripple of a much stronger neighbour nor
    // diffuse tail, described.
    struct Candidate {
        double amplitude;
        Arrival arrival;
    };
    std::vector<Candidate> candidates;
    const double rippleRatio = std::pow(10.0, kRippleDb / 20.0);
    const auto reach = static_cast<double>(pulse.HalfLengthSamples());
    for (const Component& c : components) {
        const double amplitude = std::fabs(c.amplitude[kW]);
        const bool ripple = std::any_of(components.begin(), components.end(), [&](const Component& other) {
            return std::fabs(other.originSamples - c.originSamples) <= reach &&
                   std::fabs(other.amplitude[kW]) >= rippleRatio * amplitude;
        });
        if (ripple || !(amplitude > 0)) continue;

        const double timeSamples = c.originSamples + pulse.PeakOffsetSamples();
        Intensity intensity;
        if (!pursuit.WindowIntensity(timeSamples, &c, intensity)) continue;
        const double magnitude = intensity.Magnitude();
        if (!(magnitude > 0 && intensity.de > 0)) continue;
        const double diffuseness = 1.0 - 2.0 * magnitude / intensity.de;
        if (diffuseness > options.maxDiffuseness) continue;

        Arrival arrival;
        arrival.timeMs = timeSamples / rateHz * 1000.0;
        arrival.azDeg = std::atan2(intensity.iy, intensity.ix) * kDegPerRad;
        arrival.elDeg = std::asin(std::clamp(intensity.iz / magnitude, -1.0, 1.0)) * kDegPerRad;
        arrival.idDb = 10.0 * std::log10(magnitude / intensity.de);
        arrival.diffuseness = diffuseness;
        candidates.push_back({amplitude, arrival});
    }
    if (candidates.empty()) return arrivals;

    double largest = 0;
    for (const Candidate& c : candidates) largest = std::max(largest, c.amplitude);
    std::size_t direct = 0;
    while (candidates[direct].amplitude < largest * std::pow(10.0, -kDirectSearchDb / 20.0)) ++direct;
    const double directAmplitude = candidates[direct].amplitude;
    const double lowest = directAmplitude * std::pow(10.0, -options.floorDb / 20.0);
    for (std::size_t j = direct; j < candidates.size(); ++j) {
        if (candidates[j].amplitude < lowest) continue;
        Arrival arrival = candidates[j].arrival;
        arrival.levelDb = 20.0 * std::log10(candidates[j].amplitude / directAmplitude);
        arrivals.push_back(arrival);
    }
    return arrivals;
}

}  // namespace halvane
