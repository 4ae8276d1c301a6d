#include "demo/DemoRoom.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "simulation/BandLimited.h"
#include "simulation/ChannelMix.h"
#include "simulation/Direction.h"
#include "simulation/SplitMix64.h"

namespace halvane::demo {
namespace {

// The pulse: a Hann-windowed sinc, low-passed at a quarter of the sample rate (12 kHz),
// 24 samples either side of its centre (0.5 ms), placed at the exact fractional arrival time.
constexpr double kPulseBandwidth = 0.5;  // cut-off / (sample rate / 2)
constexpr int kPulseHalfWidthSamples = 24;

// The diffuse tail: begins with the direct sound, grows over kTailRiseMs and decays with a
// reverberation time of kReverberationTimeMs. Its level is kept far enough below the early
// reflections that each of their 5 ms windows stays strongly directional.
constexpr double kTailRiseMs = 60.0;
constexpr double kReverberationTimeMs = 900.0;
constexpr double kTailLevelReDirect = 0.006;  // RMS per channel re the direct peak, about -44 dB
constexpr std::uint64_t kTailSeed = 0x48616C76616E6521ULL;

// The surface a first-order image source is mirrored in; None for the source itself.
Surface SurfaceOf(const simulation::ImageSource& image)
{
    for (std::size_t s = 0; s < simulation::kSurfaceCount; ++s) {
        if (image.bounces[s] > 0) return static_cast<Surface>(s);
    }
    return Surface::None;
}

// The tail's RMS per sample: zero up to the direct sound.
std::vector<double> TailEnvelope(const DemoRoom& room, double startMs)
{
    constexpr double samplesPerMs = kDemoSampleRateHz / 1000.0;
    const double decayPerMs = std::log(1000.0) / kReverberationTimeMs;  // 60 dB of energy over the reverberation time
    std::vector<double> envelope(kDemoFrameCount, 0.0);
    for (std::size_t n = 0; n < kDemoFrameCount; ++n) {
        const double sinceStartMs = static_cast<double>(n) / samplesPerMs - startMs;
        if (sinceStartMs <= 0) continue;
        const double rise = std::min(1.0, sinceStartMs / kTailRiseMs);
        envelope[n] = room.directPeak * kTailLevelReDirect * rise * rise * std::exp(-decayPerMs * sinceStartMs);
    }
    return envelope;
}

}  // namespace

std::vector<Arrival> DemoArrivals(const DemoRoom& room)
{
    const double directPathM = simulation::Distance(room.hall.source, room.hall.listener);
    std::vector<Arrival> arrivals;
    // Image sources: the source itself and the source mirrored in each of the six surfaces.
    for (const simulation::ImageSource& image : simulation::ImageSources(room.hall, 0, 1)) {
        const simulation::ImageArrival a =
            simulation::ArrivalFrom(image, room.hall.listener, directPathM, room.speedOfSoundMPerS);
        Arrival arrival;
        arrival.surface = SurfaceOf(image);
        arrival.name = arrival.surface == Surface::None ? "direct" : simulation::SurfaceName(arrival.surface);
        arrival.pathM = a.pathM;
        arrival.timeMs = a.timeMs;
        arrival.azDeg = a.direction.azDeg;
        arrival.elDeg = a.direction.elDeg;
        arrival.amplitude = room.directPeak * a.amplitude;
        arrival.levelDb = a.levelDb;
        arrivals.push_back(arrival);
    }
    std::sort(arrivals.begin(), arrivals.end(), [](const Arrival& a, const Arrival& b) { return a.timeMs < b.timeMs; });
    return arrivals;
}

std::vector<float> RenderDemoImpulseResponse(const DemoRoom& room)
{
    constexpr double samplesPerMs = kDemoSampleRateHz / 1000.0;
    simulation::ChannelMix mix;
    simulation::Grow(mix, kDemoFrameCount);

    const std::vector<Arrival> arrivals = DemoArrivals(room);
    for (const Arrival& arrival : arrivals) {
        const simulation::PlacedValues pulse =
            simulation::HannSincAt(arrival.timeMs * samplesPerMs, kPulseBandwidth, kPulseHalfWidthSamples);
        simulation::AddPlaneWave(mix, pulse, arrival.amplitude, simulation::Sn3dGains({arrival.azDeg, arrival.elDeg}));
    }
    // Diffuse tail: each sample a plane wave from its own random direction, uniform over the sphere.
    simulation::SplitMix64 random(kTailSeed);
    simulation::AddIsotropicNoise(mix, TailEnvelope(room, arrivals.front().timeMs), random);

    std::vector<float> samples(kDemoFrameCount * kDemoChannelCount);
    for (std::size_t n = 0; n < kDemoFrameCount; ++n)
        for (std::size_t c = 0; c < 4; ++c) samples[n * 4 + c] = static_cast<float>(mix[c][n]);
    return samples;
}

std::string ArrivalTableText(const std::vector<Arrival>& arrivals)
{
    std::string text = "\"time (ms)\",\"Az\",\"El\",\"level (dB)\",\"arrival\"\r\n";
    char line[160];
    for (const Arrival& a : arrivals) {
        // Fixed decimals, printed through integers so no locale can change the separator.
        auto fixed = [](double value, int decimals) {
            const double scale = std::pow(10.0, decimals);
            const long long scaled = std::llround(std::fabs(value) * scale);
            const long long whole = scaled / static_cast<long long>(scale);
            const long long part = scaled % static_cast<long long>(scale);
            char buffer[48];
            std::snprintf(buffer, sizeof buffer, "%s%lld.%0*lld", (value < 0 && scaled != 0) ? "-" : "", whole,
                          decimals, part);
            return std::string(buffer);
        };
        std::snprintf(line, sizeof line, "%s,%s,%s,%s,\"%s\"\r\n", fixed(a.timeMs, 3).c_str(),
                      fixed(a.azDeg, 2).c_str(), fixed(a.elDeg, 2).c_str(), fixed(a.levelDb, 2).c_str(),
                      a.name.c_str());
        text += line;
    }
    return text;
}

}  // namespace halvane::demo
