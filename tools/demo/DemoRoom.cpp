#include "demo/DemoRoom.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <limits>
#include <numbers>

namespace halvane::demo {
namespace {

constexpr double kDegPerRad = 180.0 / std::numbers::pi;

// Amplitude reflection factors: plastered walls and ceiling reflect most; the floor is
// covered by seating and reflects less.
constexpr double kWallReflection = 0.85;
constexpr double kCeilingReflection = 0.8;
constexpr double kFloorReflection = 0.7;

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

// SplitMix64: a small generator whose sequence is fixed by its definition, unlike the
// standard library's distributions.
class SplitMix64 {
public:
    explicit SplitMix64(std::uint64_t seed) : m_state(seed) { }
    std::uint64_t Next()
    {
        std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    /// Uniform in [0, 1), 53 bits.
    double Uniform() { return static_cast<double>(Next() >> 11) * 0x1.0p-53; }
    /// Zero mean, unit variance, bell-shaped (sum of four uniforms).
    double Bell()
    {
        const double sum = Uniform() + Uniform() + Uniform() + Uniform();
        return (sum - 2.0) * std::sqrt(3.0);
    }

private:
    std::uint64_t m_state;
};

struct Gains {
    double w, y, z, x;
};

Gains EncodeSn3d(double azimuthRad, double elevationRad)
{
    const double cosEl = std::cos(elevationRad);
    return {1.0, std::sin(azimuthRad) * cosEl, std::sin(elevationRad), std::cos(azimuthRad) * cosEl};
}

double PulseAt(double offsetSamples)
{
    if (std::fabs(offsetSamples) >= kPulseHalfWidthSamples) return 0.0;
    const double arg = kPulseBandwidth * offsetSamples;
    const double sinc = arg == 0.0 ? 1.0 : std::sin(std::numbers::pi * arg) / (std::numbers::pi * arg);
    const double hann = 0.5 + 0.5 * std::cos(std::numbers::pi * offsetSamples / kPulseHalfWidthSamples);
    return sinc * hann;
}

Arrival MakeArrival(const DemoRoom& room, std::string name, Surface surface, const Point3& image, double factor,
                    double directPathM)
{
    const double dx = image.xM - room.microphone.xM;
    const double dy = image.yM - room.microphone.yM;
    const double dz = image.zM - room.microphone.zM;
    Arrival arrival;
    arrival.name = std::move(name);
    arrival.surface = surface;
    arrival.pathM = std::sqrt(dx * dx + dy * dy + dz * dz);
    arrival.timeMs = arrival.pathM / room.speedOfSoundMPerS * 1000.0;
    arrival.azimuthDeg = std::atan2(dy, dx) * kDegPerRad;
    arrival.elevationDeg = std::atan2(dz, std::hypot(dx, dy)) * kDegPerRad;
    const double relative = factor * (directPathM > 0 ? directPathM / arrival.pathM : 1.0);
    arrival.amplitude = room.directPeak * relative;
    arrival.levelDb = 20.0 * std::log10(relative);
    return arrival;
}

}  // namespace

std::vector<Arrival> DemoArrivals(const DemoRoom& room)
{
    const Point3& s = room.source;
    const Arrival direct = MakeArrival(room, "direct", Surface::None, s, 1.0, 0.0);
    const double r0 = direct.pathM;
    std::vector<Arrival> arrivals{direct};
    // Image sources: the source mirrored in each of the six surfaces.
    arrivals.push_back(MakeArrival(room, "front wall", Surface::FrontWall, {2 * room.lengthM - s.xM, s.yM, s.zM},
                                   kWallReflection, r0));
    arrivals.push_back(MakeArrival(room, "back wall", Surface::BackWall, {-s.xM, s.yM, s.zM}, kWallReflection, r0));
    arrivals.push_back(
        MakeArrival(room, "left wall", Surface::LeftWall, {s.xM, 2 * room.widthM - s.yM, s.zM}, kWallReflection, r0));
    arrivals.push_back(MakeArrival(room, "right wall", Surface::RightWall, {s.xM, -s.yM, s.zM}, kWallReflection, r0));
    arrivals.push_back(MakeArrival(room, "floor", Surface::Floor, {s.xM, s.yM, -s.zM}, kFloorReflection, r0));
    arrivals.push_back(
        MakeArrival(room, "ceiling", Surface::Ceiling, {s.xM, s.yM, 2 * room.heightM - s.zM}, kCeilingReflection, r0));
    std::sort(arrivals.begin(), arrivals.end(), [](const Arrival& a, const Arrival& b) { return a.timeMs < b.timeMs; });
    return arrivals;
}

std::vector<float> RenderDemoImpulseResponse(const DemoRoom& room)
{
    constexpr auto channels = static_cast<std::size_t>(kDemoChannelCount);
    constexpr double samplesPerMs = kDemoSampleRateHz / 1000.0;
    std::vector<double> mix(kDemoFrameCount * channels, 0.0);

    const std::vector<Arrival> arrivals = DemoArrivals(room);
    for (const Arrival& arrival : arrivals) {
        const Gains g = EncodeSn3d(arrival.azimuthDeg / kDegPerRad, arrival.elevationDeg / kDegPerRad);
        const double centre = arrival.timeMs * samplesPerMs;
        const auto first = static_cast<long>(std::ceil(centre - kPulseHalfWidthSamples));
        const auto last = static_cast<long>(std::floor(centre + kPulseHalfWidthSamples));
        for (long n = std::max(first, 0L); n <= last && n < static_cast<long>(kDemoFrameCount); ++n) {
            const double s = arrival.amplitude * PulseAt(static_cast<double>(n) - centre);
            double* frame = &mix[static_cast<std::size_t>(n) * channels];
            frame[0] += s * g.w;
            frame[1] += s * g.y;
            frame[2] += s * g.z;
            frame[3] += s * g.x;
        }
    }

    // Diffuse tail: each sample a plane wave from its own random direction, uniform over the sphere.
    SplitMix64 random(kTailSeed);
    const double startMs = arrivals.front().timeMs;
    const double decayPerMs = std::log(1000.0) / kReverberationTimeMs;  // 60 dB of energy over the reverberation time
    for (std::size_t n = 0; n < kDemoFrameCount; ++n) {
        const double sinceStartMs = static_cast<double>(n) / samplesPerMs - startMs;
        if (sinceStartMs <= 0) continue;
        const double rise = std::min(1.0, sinceStartMs / kTailRiseMs);
        const double envelope =
            room.directPeak * kTailLevelReDirect * rise * rise * std::exp(-decayPerMs * sinceStartMs);
        const double s = envelope * random.Bell();
        const double sinElevation = 2.0 * random.Uniform() - 1.0;
        const double azimuthRad = (2.0 * random.Uniform() - 1.0) * std::numbers::pi;
        const Gains g = EncodeSn3d(azimuthRad, std::asin(sinElevation));
        double* frame = &mix[n * channels];
        frame[0] += s * g.w;
        frame[1] += s * g.y;
        frame[2] += s * g.z;
        frame[3] += s * g.x;
    }

    std::vector<float> samples(mix.size());
    std::transform(mix.begin(), mix.end(), samples.begin(), [](double v) { return static_cast<float>(v); });
    return samples;
}

Surface SurfaceInDirection(const DemoRoom& room, double azimuthDeg, double elevationDeg, double* distanceM)
{
    const double az = azimuthDeg / kDegPerRad;
    const double el = elevationDeg / kDegPerRad;
    const double d[3] = {std::cos(el) * std::cos(az), std::cos(el) * std::sin(az), std::sin(el)};
    const double origin[3] = {room.microphone.xM, room.microphone.yM, room.microphone.zM};
    const double extent[3] = {room.lengthM, room.widthM, room.heightM};
    const Surface towardsHigh[3] = {Surface::FrontWall, Surface::LeftWall, Surface::Ceiling};
    const Surface towardsLow[3] = {Surface::BackWall, Surface::RightWall, Surface::Floor};

    Surface nearest = Surface::None;
    double nearestM = std::numeric_limits<double>::infinity();
    for (int axis = 0; axis < 3; ++axis) {
        if (d[axis] == 0.0) continue;
        const double planeM = d[axis] > 0 ? extent[axis] : 0.0;
        const double t = (planeM - origin[axis]) / d[axis];
        if (t >= 0 && t < nearestM) {
            nearestM = t;
            nearest = d[axis] > 0 ? towardsHigh[axis] : towardsLow[axis];
        }
    }
    if (distanceM) *distanceM = nearestM;
    return nearest;
}

std::string SurfaceName(Surface surface)
{
    switch (surface) {
    case Surface::FrontWall:
        return "front wall";
    case Surface::BackWall:
        return "back wall";
    case Surface::LeftWall:
        return "left wall";
    case Surface::RightWall:
        return "right wall";
    case Surface::Floor:
        return "floor";
    case Surface::Ceiling:
        return "ceiling";
    case Surface::None:
        break;
    }
    return "";
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
                      fixed(a.azimuthDeg, 2).c_str(), fixed(a.elevationDeg, 2).c_str(), fixed(a.levelDb, 2).c_str(),
                      a.name.c_str());
        text += line;
    }
    return text;
}

}  // namespace halvane::demo
