#include "simulation/SystemPulse.h"

#include <algorithm>
#include <cmath>

#include "simulation/BandLimited.h"
#include "simulation/Envelope.h"

namespace halvane::simulation {
namespace {

// The loudspeaker: flat from the high-pass corner to the low-pass edge.
constexpr double kHighCutHz = 16000.0;
constexpr double kHighCutShareOfRate = 0.36;  // keeps the band clear of the fractional delay's own edge
constexpr double kLowCutHz = 80.0;
constexpr double kLowPassHalfMs = 0.5;
constexpr double kRingMs = 20.0;  // how long the high-pass's ringing is kept
constexpr double kFadeMs = 5.0;   // the ringing's fade to zero at its end

// A measured pulse keeps its band up to here, below the fractional delay's own edge.
constexpr double kMeasuredTopHz = 20000.0;
constexpr double kMeasuredTopShareOfRate = 0.4;

std::vector<double> UnitEnergy(std::vector<double> values)
{
    double energy = 0;
    for (double v : values) energy += v * v;
    for (double& v : values) v /= std::sqrt(energy);
    return values;
}

// Second-order Butterworth high-pass (bilinear transform) run causally over
// the low-pass, then kept for kRingMs with its last kFadeMs faded out.
std::vector<double> HighPassed(const std::vector<double>& lowPass, double rateHz)
{
    const auto ring = static_cast<int>(std::nearbyint(kRingMs * rateHz / 1000.0));
    const auto fade = static_cast<int>(std::nearbyint(kFadeMs * rateHz / 1000.0));
    const double w0 = 2 * kPi * kLowCutHz / rateHz;
    const double alpha = std::sin(w0) / std::sqrt(2.0);
    const double a0 = 1 + alpha;
    const double b0 = (1 + std::cos(w0)) / 2 / a0, b1 = -(1 + std::cos(w0)) / a0, b2 = b0;
    const double a1 = -2 * std::cos(w0) / a0, a2 = (1 - alpha) / a0;
    std::vector<double> pulse(lowPass.size() + static_cast<std::size_t>(ring), 0.0);
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
    for (std::size_t n = 0; n < pulse.size(); ++n) {
        const double x0 = n < lowPass.size() ? lowPass[n] : 0.0;
        const double y0 = b0 * x0 + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
        x2 = x1;
        x1 = x0;
        y2 = y1;
        y1 = y0;
        pulse[n] = y0;
    }
    for (int i = 0; i < fade; ++i) {
        pulse[pulse.size() - 1 - static_cast<std::size_t>(i)] *= 0.5 - 0.5 * std::cos(kPi * i / fade);
    }
    return pulse;
}

}  // namespace

SystemPulse SystemPulse::Loudspeaker(double rateHz)
{
    SystemPulse pulse;
    pulse.m_name = "loudspeaker";
    pulse.m_rateHz = rateHz;
    const double cut = std::min(kHighCutHz, kHighCutShareOfRate * rateHz) / rateHz;
    const auto half = static_cast<int>(std::nearbyint(kLowPassHalfMs * rateHz / 1000.0));
    std::vector<double> lowPass(static_cast<std::size_t>(2 * half + 1));
    for (int k = -half; k <= half; ++k) {
        lowPass[static_cast<std::size_t>(k + half)] = 2 * cut * Sinc(2 * cut * k) * Blackman(k, half + 1);
    }
    pulse.m_tailColour = UnitEnergy(lowPass);
    pulse.m_w = HighPassed(lowPass, rateHz);
    double peak = 0;
    for (double v : pulse.m_w) peak = std::max(peak, std::fabs(v));
    for (double& v : pulse.m_w) v /= peak;
    pulse.m_peak = EnvelopePeakSamples(pulse.m_w);
    return pulse;
}

SystemPulse SystemPulse::Measured(const MeasuredPulse& measured, double rateHz)
{
    SystemPulse pulse;
    pulse.m_name = measured.name;
    pulse.m_rateHz = rateHz;
    const double topHz = std::min(kMeasuredTopHz, kMeasuredTopShareOfRate * std::min(rateHz, measured.rateHz));
    pulse.m_w = Resampled(measured.w, measured.rateHz, rateHz, topHz).values;
    std::array<std::vector<double>, 3> xyz;
    for (std::size_t axis = 0; axis < 3; ++axis)
        xyz[axis] = Resampled(measured.xyz[axis], measured.rateHz, rateHz, topHz).values;
    double peak = 0;
    for (double v : pulse.m_w) peak = std::max(peak, std::fabs(v));
    for (double& v : pulse.m_w) v /= peak;
    for (auto& channel : xyz)
        for (double& v : channel) v /= peak;

    // The direct sound's direction: its pseudo-intensity over the whole cut,
    // again after the low-pass, so that the off-axis part carries none of it.
    Vector3 intensity{0, 0, 0};
    for (std::size_t n = 0; n < pulse.m_w.size(); ++n)
        for (std::size_t axis = 0; axis < 3; ++axis) intensity[axis] += pulse.m_w[n] * xyz[axis][n];
    const double magnitude = std::sqrt(Dot(intensity, intensity));
    for (std::size_t axis = 0; axis < 3; ++axis) pulse.m_axis[axis] = intensity[axis] / magnitude;

    pulse.m_onAxis.resize(pulse.m_w.size());
    for (auto& channel : pulse.m_offAxis) channel.resize(pulse.m_w.size());
    for (std::size_t n = 0; n < pulse.m_w.size(); ++n) {
        const Vector3 d{xyz[0][n], xyz[1][n], xyz[2][n]};
        const double p = Dot(pulse.m_axis, d);
        pulse.m_onAxis[n] = p;
        for (std::size_t axis = 0; axis < 3; ++axis) pulse.m_offAxis[axis][n] = d[axis] - pulse.m_axis[axis] * p;
    }
    pulse.m_peak = EnvelopePeakSamples(pulse.m_w);
    pulse.m_tailColour = UnitEnergy(pulse.m_w);
    return pulse;
}

double SystemPulse::Energy() const
{
    double energy = 0;
    for (double v : m_w) energy += v * v;
    return energy;
}

PlacedPulse SystemPulse::Placed(double timeSamples, const WallFilter& filter) const
{
    const auto tail =
        filter.Flat() ? std::size_t{0} : static_cast<std::size_t>(std::nearbyint(kFilterTailMs * m_rateHz / 1000.0));
    const double shift = timeSamples - m_peak;
    PlacedPulse placed;
    PlacedValues w = Delayed(filter.Apply(m_w, tail), shift);
    placed.first = w.first;
    placed.w = std::move(w.values);
    if (Ideal()) return placed;
    placed.onAxis = Delayed(filter.Apply(m_onAxis, tail), shift).values;
    for (std::size_t axis = 0; axis < 3; ++axis)
        placed.offAxis[axis] = Delayed(filter.Apply(m_offAxis[axis], tail), shift).values;
    return placed;
}

std::array<std::vector<double>, 4> SystemPulse::Channels(const PlacedPulse& placed, const Vector3& u) const
{
    std::array<std::vector<double>, 4> channels;
    channels[0] = placed.w;
    for (std::size_t c = 1; c < 4; ++c) channels[c].resize(placed.w.size());
    // AmbiX order: W, Y, Z, X from x, y, z.
    constexpr std::array<std::size_t, 3> kChannelOf{3, 1, 2};
    if (Ideal()) {
        for (std::size_t axis = 0; axis < 3; ++axis)
            for (std::size_t i = 0; i < placed.w.size(); ++i) channels[kChannelOf[axis]][i] = u[axis] * placed.w[i];
        return channels;
    }
    const Rotation r = RotationTaking(m_axis, u);
    for (std::size_t i = 0; i < placed.w.size(); ++i) {
        const Vector3 turned = Rotate(r, {placed.offAxis[0][i], placed.offAxis[1][i], placed.offAxis[2][i]});
        for (std::size_t axis = 0; axis < 3; ++axis)
            channels[kChannelOf[axis]][i] = u[axis] * placed.onAxis[i] + turned[axis];
    }
    return channels;
}

}  // namespace halvane::simulation
