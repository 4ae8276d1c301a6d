#include "simulation/ChannelMix.h"

#include <algorithm>
#include <cmath>

#include "simulation/Direction.h"

namespace halvane::simulation {

void Grow(ChannelMix& mix, std::size_t frames)
{
    for (auto& channel : mix) {
        if (channel.size() < frames) channel.resize(frames, 0.0);
    }
}

void AddPlaneWave(ChannelMix& mix, const PlacedValues& pulse, double amplitude, const std::array<double, 4>& gains)
{
    const auto frames = static_cast<std::ptrdiff_t>(mix[0].size());
    for (std::size_t i = 0; i < pulse.values.size(); ++i) {
        const std::ptrdiff_t n = pulse.first + static_cast<std::ptrdiff_t>(i);
        if (n < 0 || n >= frames) continue;
        const double v = amplitude * pulse.values[i];
        for (std::size_t c = 0; c < 4; ++c) mix[c][static_cast<std::size_t>(n)] += gains[c] * v;
    }
}

void AddChannels(ChannelMix& mix, std::ptrdiff_t first, const std::array<std::vector<double>, 4>& channels,
                 double amplitude)
{
    const auto frames = static_cast<std::ptrdiff_t>(mix[0].size());
    for (std::size_t c = 0; c < 4; ++c) {
        double* out = mix[c].data();
        const double* in = channels[c].data();
        for (std::size_t i = 0; i < channels[c].size(); ++i) {
            const std::ptrdiff_t n = first + static_cast<std::ptrdiff_t>(i);
            if (n >= 0 && n < frames) out[n] += amplitude * in[i];
        }
    }
}

void AddIsotropicNoise(ChannelMix& mix, const std::vector<double>& envelope, SplitMix64& random)
{
    const std::size_t frames = std::min(envelope.size(), mix[0].size());
    for (std::size_t n = 0; n < frames; ++n) {
        if (envelope[n] == 0) continue;
        const double s = envelope[n] * random.Bell();
        const double sinElevation = 2.0 * random.Uniform() - 1.0;
        const double azimuthRad = (2.0 * random.Uniform() - 1.0) * kPi;
        const std::array<double, 4> g = Sn3dGainsRad(azimuthRad, std::asin(sinElevation));
        for (std::size_t c = 0; c < 4; ++c) mix[c][n] += s * g[c];
    }
}

BFormatSignal Quantise(const ChannelMix& mix, double sampleRateHz, SampleFormat format)
{
    BFormatSignal signal;
    signal.SampleRateHz = sampleRateHz;
    std::array<std::vector<float>*, 4> out{&signal.W, &signal.Y, &signal.Z, &signal.X};
    for (std::size_t c = 0; c < 4; ++c) {
        out[c]->resize(mix[c].size());
        for (std::size_t n = 0; n < mix[c].size(); ++n) {
            const double v = std::clamp(mix[c][n], -1.0, 1.0);
            if (format == SampleFormat::Float32) {
                (*out[c])[n] = static_cast<float>(v);
            } else {
                const double step = std::clamp(std::nearbyint(v * 32768.0), -32768.0, 32767.0);
                (*out[c])[n] = static_cast<float>(step / 32768.0);
            }
        }
    }
    return signal;
}

std::size_t ClippedSamples(const ChannelMix& mix)
{
    std::size_t count = 0;
    for (const auto& channel : mix) {
        count += static_cast<std::size_t>(
            std::count_if(channel.begin(), channel.end(), [](double v) { return std::fabs(v) > 1.0; }));
    }
    return count;
}

}  // namespace halvane::simulation
