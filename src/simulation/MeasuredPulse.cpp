#include "simulation/MeasuredPulse.h"

#include <cmath>

#include "simulation/Envelope.h"

namespace halvane::simulation {
namespace {

constexpr double kPeakSearchMs = 5.0;

// 0 at the cut's ends, rising over fade samples by half a Hann window, 1 between.
double Taper(double fromEdge, double fade)
{
    if (fromEdge >= fade) return 1.0;
    if (fromEdge <= 0) return 0.0;
    return 0.5 - 0.5 * std::cos(kPi * fromEdge / fade);
}

// W's energy envelope peak near its largest sample, in samples from the start.
double DirectPeakSamples(const BFormatSignal& recording)
{
    std::size_t largest = 0;
    for (std::size_t n = 1; n < recording.W.size(); ++n) {
        if (std::fabs(recording.W[n]) > std::fabs(recording.W[largest])) largest = n;
    }
    const auto reach = static_cast<std::size_t>(kPeakSearchMs * recording.SampleRateHz / 1000.0);
    const std::size_t from = largest > reach ? largest - reach : 0;
    const std::size_t to = std::min(recording.W.size(), largest + reach + 1);
    const std::vector<double> around(recording.W.begin() + static_cast<std::ptrdiff_t>(from),
                                     recording.W.begin() + static_cast<std::ptrdiff_t>(to));
    return static_cast<double>(from) + EnvelopePeakSamples(around);
}

}  // namespace

Result<MeasuredPulse> CutDirectPulse(const BFormatSignal& recording, const PulseCut& cut, std::string name)
{
    const double rate = recording.SampleRateHz;
    if (!(rate > 0) || recording.W.empty()) return Failure{name + ": no samples to cut a pulse from"};
    const double peak = DirectPeakSamples(recording);
    const double perMs = rate / 1000.0;
    const auto first = static_cast<std::ptrdiff_t>(std::ceil(peak - cut.beforeMs * perMs));
    const auto last = static_cast<std::ptrdiff_t>(std::floor(peak + cut.afterMs * perMs));
    if (first < 0 || last >= static_cast<std::ptrdiff_t>(recording.W.size()))
        return Failure{name + ": the direct sound's cut does not fit inside the recording"};

    MeasuredPulse pulse;
    pulse.name = std::move(name);
    pulse.rateHz = rate;
    const double fade = cut.fadeMs * perMs;
    const std::array<const std::vector<float>*, 3> dipoles{&recording.X, &recording.Y, &recording.Z};
    Vector3 intensity{0, 0, 0};
    for (std::ptrdiff_t n = first; n <= last; ++n) {
        const double t = static_cast<double>(n);
        const double gain =
            Taper(t - (peak - cut.beforeMs * perMs), fade) * Taper(peak + cut.afterMs * perMs - t, fade);
        const auto at = static_cast<std::size_t>(n);
        const double w = gain * recording.W[at];
        pulse.w.push_back(w);
        for (std::size_t axis = 0; axis < 3; ++axis) {
            const double d = gain * (*dipoles[axis])[at];
            pulse.xyz[axis].push_back(d);
            intensity[axis] += w * d;
        }
    }
    const double magnitude = std::sqrt(Dot(intensity, intensity));
    if (!(magnitude > 0)) return Failure{pulse.name + ": the direct sound has no direction"};
    for (std::size_t axis = 0; axis < 3; ++axis) pulse.axis[axis] = intensity[axis] / magnitude;
    pulse.peakSamples = peak - static_cast<double>(first);
    return pulse;
}

}  // namespace halvane::simulation
