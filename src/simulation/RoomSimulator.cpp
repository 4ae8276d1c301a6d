#include "simulation/RoomSimulator.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "simulation/Envelope.h"

namespace halvane::simulation {
namespace {

// A 60 dB decay of energy: exp(-ln(10^6) t / T).
const double kLn1e6 = std::log(1e6);

// The colour draws (wall filters, scattering) come from their own sequence,
// so that the tail and the noise stay the same whether or not they are on.
constexpr std::uint64_t kColourSeedOffset = 0x636F6C6F75720000ULL;

double DirectPathM(const Scene& scene) { return Distance(scene.source, scene.listener); }

double Db(double ratio) { return 10.0 * std::log10(ratio); }

}  // namespace

// One arrival as rendered: its truth (levels still absolute), its own
// energy, its four channels and its scattering in W, amplitude applied.
struct RoomSimulator::Rendered {
    TrueArrival truth;
    double ownEnergy = 0;
    double centreSamples = 0;
    std::ptrdiff_t first = 0;
    std::array<std::vector<double>, 4> channels;
    std::vector<double> scatteredW;  // empty without scattering
};

RoomSimulator::RoomSimulator(double sampleRateHz) : m_pulse(SystemPulse::Loudspeaker(sampleRateHz)) { }

RoomSimulator::RoomSimulator(SystemPulse pulse) : m_pulse(std::move(pulse)) { }

void RoomSimulator::AddPlaneWave(ChannelMix& mix, double timeMs, double azDeg, double elDeg, double amplitude) const
{
    const PlacedPulse placed = m_pulse.Placed(timeMs * SampleRateHz() / 1000.0, WallFilter{});
    const auto channels = m_pulse.Channels(placed, UnitVector({azDeg, elDeg}));
    const auto end = placed.first + static_cast<std::ptrdiff_t>(placed.w.size());
    if (end > 0) Grow(mix, static_cast<std::size_t>(end));
    AddChannels(mix, placed.first, channels, amplitude);
}

std::array<std::vector<double>, 4> RoomSimulator::Scattered(const PlacedPulse& placed, const Vector3& u,
                                                            const Scattering& scattering, SplitMix64& random) const
{
    const double perMs = SampleRateHz() / 1000.0;
    const double decayMs = scattering.minDecayMs + (scattering.maxDecayMs - scattering.minDecayMs) * random.Uniform();
    const double energyDb =
        scattering.minEnergyDb + (scattering.maxEnergyDb - scattering.minEnergyDb) * random.Uniform();
    const double spread = std::tan(scattering.spreadDeg / kDegPerRad);
    const auto reach = static_cast<std::size_t>(std::ceil(scattering.lengthMs * perMs));
    std::array<std::vector<double>, 4> sum;
    for (auto& channel : sum) channel.assign(placed.w.size() + reach, 0.0);
    for (int k = 0; k < scattering.copies; ++k) {
        const double delayMs = scattering.lengthMs * random.UniformAboveZero();
        const double weight = std::exp(-delayMs / decayMs) * random.Gaussian();
        Vector3 v = u;
        for (double& component : v) component += spread * random.Gaussian();
        const double norm = std::sqrt(Dot(v, v));
        for (double& component : v) component /= norm;
        const auto shift = std::min(reach, static_cast<std::size_t>(std::nearbyint(delayMs * perMs)));
        const auto copy = m_pulse.Channels(placed, v);
        for (std::size_t c = 0; c < 4; ++c)
            for (std::size_t i = 0; i < copy[c].size(); ++i) sum[c][i + shift] += weight * copy[c][i];
    }
    double pulseEnergy = 0, copiesEnergy = 0;
    for (double v : placed.w) pulseEnergy += v * v;
    for (double v : sum[0]) copiesEnergy += v * v;
    const double scale = copiesEnergy > 0 ? std::sqrt(std::pow(10.0, energyDb / 10.0) * pulseEnergy / copiesEnergy) : 0;
    for (auto& channel : sum)
        for (double& v : channel) v *= scale;
    return sum;
}

RoomSimulator::Rendered RoomSimulator::Render(const ImageSource& image, const Scene& scene,
                                              const SimulationOptions& options, SplitMix64& colourRandom) const
{
    const double perMs = SampleRateHz() / 1000.0;
    const ImageArrival geometry = ArrivalFrom(image, scene.listener, DirectPathM(scene), options.speedOfSoundMPerS);
    const bool reflected = image.order > 0;
    const WallFilter filter = options.wallFilters && reflected
                                  ? WallFilter::Drawn(SampleRateHz(), colourRandom, options.wallColour)
                                  : WallFilter{};
    const bool scattered = reflected && colourRandom.Uniform() < options.scatteredShare;
    const PlacedPulse placed = m_pulse.Placed(geometry.timeMs * perMs, filter);
    const Vector3 u = UnitVector(geometry.direction);

    Rendered r;
    r.first = placed.first;
    r.channels = m_pulse.Channels(placed, u);
    const double amplitude = options.directPeak * geometry.amplitude;
    if (scattered) {
        const auto copies = Scattered(placed, u, options.scattering, colourRandom);
        for (std::size_t c = 0; c < 4; ++c) {
            r.channels[c].resize(copies[c].size(), 0.0);
            for (std::size_t i = 0; i < copies[c].size(); ++i) r.channels[c][i] += copies[c][i];
        }
        r.scatteredW = copies[0];
        for (double& v : r.scatteredW) v *= amplitude;
    }
    for (auto& channel : r.channels)
        for (double& v : channel) v *= amplitude;

    const double half = options.levelWindowMs * perMs / 2.0;
    r.centreSamples = static_cast<double>(r.first) + EnvelopePeakSamples(r.channels[0]);
    r.ownEnergy = EnergyAround(r.channels[0], r.first, r.centreSamples, half);
    r.truth.timeMs = geometry.timeMs;
    r.truth.envelopePeakMs = r.centreSamples / perMs;
    r.truth.azDeg = geometry.direction.azDeg;
    r.truth.elDeg = geometry.direction.elDeg;
    r.truth.geometricLevelDb = geometry.levelDb;
    r.truth.order = image.order;
    r.truth.path = PathName(image.bounces);
    r.truth.scattered = scattered;
    const IntensityReading own = IntensityAround<std::vector<double>>(
        {&r.channels[0], &r.channels[1], &r.channels[2], &r.channels[3]}, r.first, r.centreSamples, half);
    r.truth.ownDiffuseness = own.Diffuseness();
    r.truth.ownDirectionOffDeg = AngleBetweenDeg(DirectionOf(own.intensity), geometry.direction);
    return r;
}

ChannelMix RoomSimulator::Background(const Scene& scene, const SimulationOptions& options, std::size_t frames) const
{
    ChannelMix background;
    Grow(background, frames);
    SplitMix64 random(options.seed);
    const double perMs = SampleRateHz() / 1000.0;
    if (options.diffuseTail && scene.tail) {
        const ReverberantTail& tail = *scene.tail;
        const double directMs = DirectPathM(scene) / options.speedOfSoundMPerS * 1000.0;
        // The reverberant energy spread over the exponential decay: the variance per sample at the direct sound.
        const double directEnergy = options.directPeak * options.directPeak * m_pulse.Energy();
        const double decaySamples = tail.reverberationTimeS * SampleRateHz() / kLn1e6;
        const double initialVariance = tail.reverberantToDirect * directEnergy / decaySamples;
        const double riseMs = std::max(tail.onsetMs - directMs, 1.0);

        // Isotropic field in SN3D: each figure-of-eight picks up a third of W's energy.
        ChannelMix white;
        Grow(white, frames);
        for (std::size_t n = 0; n < frames; ++n) {
            const double timeMs = static_cast<double>(n) / perMs;
            const double rise = std::clamp((timeMs - tail.onsetMs) / riseMs, 0.0, 1.0);
            const double variance = initialVariance * rise * std::exp(-(timeMs - directMs) * perMs / decaySamples);
            const double deviation = std::sqrt(variance);
            white[0][n] = deviation * random.Gaussian();
            for (std::size_t c = 1; c < 4; ++c) white[c][n] = deviation / std::sqrt(3.0) * random.Gaussian();
        }
        // Reverberation is the system's sound: give it the pulse's colour.
        const std::vector<double>& colour = m_pulse.TailColour();
        const auto half = static_cast<std::ptrdiff_t>(colour.size() / 2);
        const auto count = static_cast<std::ptrdiff_t>(colour.size());
        for (std::size_t c = 0; c < 4; ++c) {
            for (std::ptrdiff_t n = 0; n < static_cast<std::ptrdiff_t>(frames); ++n) {
                double sum = 0;
                for (std::ptrdiff_t k = -half; k < count - half; ++k) {
                    const std::ptrdiff_t m = n - k;
                    if (m >= 0 && m < static_cast<std::ptrdiff_t>(frames)) {
                        sum += colour[static_cast<std::size_t>(k + half)] * white[c][static_cast<std::size_t>(m)];
                    }
                }
                background[c][static_cast<std::size_t>(n)] = sum;
            }
        }
    }
    if (options.noiseDb) {
        const double deviation = options.directPeak * std::pow(10.0, *options.noiseDb / 20.0);
        for (std::size_t c = 0; c < 4; ++c) {
            for (std::size_t n = 0; n < frames; ++n) background[c][n] += deviation * random.Gaussian();
        }
    }
    return background;
}

SimulatedResponse RoomSimulator::Simulate(const ShoeboxRoom& room, const SimulationOptions& options) const
{
    return Simulate(ShoeboxScene(room, options.maxOrder, options.speedOfSoundMPerS), options);
}

SimulatedResponse RoomSimulator::Simulate(const Scene& scene, const SimulationOptions& options) const
{
    SimulatedResponse result;
    if (scene.tail && options.diffuseTail) result.reverberationTimeS = scene.tail->reverberationTimeS;
    const auto frames = static_cast<std::size_t>(std::nearbyint(options.durationS * SampleRateHz()));
    const double perMs = SampleRateHz() / 1000.0;
    const double half = options.levelWindowMs * perMs / 2.0;

    ChannelMix mix;
    Grow(mix, frames);
    SplitMix64 colourRandom(options.seed + kColourSeedOffset);
    std::vector<Rendered> rendered;
    double directEnergy = 0;
    for (const ImageSource& image : scene.images) {
        const double timeMs = Distance(image.position, scene.listener) / options.speedOfSoundMPerS * 1000.0;
        if (timeMs * perMs >= static_cast<double>(frames)) continue;
        Rendered r = Render(image, scene, options, colourRandom);
        AddChannels(mix, r.first, r.channels, 1.0);
        for (auto& channel : r.channels) std::vector<double>().swap(channel);
        if (image.order == 0) directEnergy = r.ownEnergy;
        rendered.push_back(std::move(r));
    }

    // Tail and noise go into their own channels first, so that each
    // arrival's background can be measured; the other arrivals' scattering
    // counts as background too.
    ChannelMix background = Background(scene, options, frames);
    std::vector<double> backgroundW = background[0];
    for (const Rendered& r : rendered) {
        for (std::size_t i = 0; i < r.scatteredW.size(); ++i) {
            const std::ptrdiff_t n = r.first + static_cast<std::ptrdiff_t>(i);
            if (n >= 0 && n < static_cast<std::ptrdiff_t>(frames))
                backgroundW[static_cast<std::size_t>(n)] += r.scatteredW[i];
        }
    }
    for (Rendered& r : rendered) {
        // Everything but the arrival's own scattering, over its window.
        double others = 0;
        const auto lo = std::max<std::ptrdiff_t>(0, static_cast<std::ptrdiff_t>(std::ceil(r.centreSamples - half)));
        const auto hi = std::min<std::ptrdiff_t>(static_cast<std::ptrdiff_t>(frames) - 1,
                                                 static_cast<std::ptrdiff_t>(std::floor(r.centreSamples + half)));
        for (std::ptrdiff_t n = lo; n <= hi; ++n) {
            const std::ptrdiff_t i = n - r.first;
            const bool own = i >= 0 && i < static_cast<std::ptrdiff_t>(r.scatteredW.size());
            const double v =
                backgroundW[static_cast<std::size_t>(n)] - (own ? r.scatteredW[static_cast<std::size_t>(i)] : 0.0);
            others += v * v;
        }
        r.truth.backgroundDb = Db(others / r.ownEnergy);
        r.truth.levelDb = directEnergy > 0 ? Db(r.ownEnergy / directEnergy) : r.truth.geometricLevelDb;
        result.arrivals.push_back(r.truth);
    }
    for (std::size_t c = 0; c < 4; ++c) {
        for (std::size_t n = 0; n < frames; ++n) mix[c][n] += background[c][n];
    }

    std::stable_sort(result.arrivals.begin(), result.arrivals.end(),
                     [](const TrueArrival& a, const TrueArrival& b) { return a.timeMs < b.timeMs; });
    result.clippedSamples = ClippedSamples(mix);
    result.signal = Quantise(mix, SampleRateHz(), options.format);
    return result;
}

}  // namespace halvane::simulation
