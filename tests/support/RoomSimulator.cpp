#include "support/RoomSimulator.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <limits>
#include <numbers>

namespace halvane::test {
namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kDegPerRad = 180.0 / kPi;

// The loudspeaker: flat from the high-pass corner to the low-pass edge.
constexpr double kHighCutHz = 16000.0;
constexpr double kHighCutShareOfRate = 0.36;  // keeps the band clear of the fractional delay's own edge
constexpr double kLowCutHz = 80.0;
constexpr double kLowPassHalfMs = 0.5;
constexpr double kRingMs = 20.0;  // how long the high-pass's ringing is kept
constexpr double kFadeMs = 5.0;   // the ringing's fade to zero at its end

// The fractional delay: a sinc windowed by a 4-term Blackman-Harris window
// of 32 samples either side. Its error stays below -80 dB up to 0.4 of the rate.
constexpr int kDelayHalfTaps = 32;

// A 60 dB decay of energy: exp(-ln(10^6) t / T).
const double kLn1e6 = std::log(1e6);

// SplitMix64: a sequence fixed by its definition, unlike the standard
// library's distributions, so the rooms are the same on every platform.
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
    // Uniform in (0, 1].
    double Uniform() { return (static_cast<double>(Next() >> 11) + 1.0) * 0x1.0p-53; }
    // Standard normal (Box-Muller, one value per pair of uniforms).
    double Gaussian() { return std::sqrt(-2.0 * std::log(Uniform())) * std::cos(2.0 * kPi * Uniform()); }

private:
    std::uint64_t m_state;
};

double Sinc(double x) { return x == 0.0 ? 1.0 : std::sin(kPi * x) / (kPi * x); }

double BlackmanHarris(double x, double halfWidth)
{
    if (std::fabs(x) >= halfWidth) return 0.0;
    const double phase = kPi * x / halfWidth;
    return 0.35875 + 0.48829 * std::cos(phase) + 0.14128 * std::cos(2 * phase) + 0.01168 * std::cos(3 * phase);
}

double Blackman(double x, double halfWidth)
{
    if (std::fabs(x) >= halfWidth) return 0.0;
    const double phase = kPi * x / halfWidth;
    return 0.42 + 0.5 * std::cos(phase) + 0.08 * std::cos(2 * phase);
}

// The energy envelope's peak of a pulse, in samples from its first value:
// the analytic signal from a plain DFT (independent of the analysis' own
// transform), searched on the integer samples near the largest value and then
// refined by golden section.
double EnvelopePeak(const std::vector<double>& pulse)
{
    std::size_t size = 1;
    while (size < 2 * pulse.size()) size <<= 1;
    std::vector<std::complex<double>> turn(size);
    for (std::size_t j = 0; j < size; ++j) {
        turn[j] = std::polar(1.0, -2.0 * kPi * static_cast<double>(j) / static_cast<double>(size));
    }
    const std::size_t half = size / 2;
    std::vector<std::complex<double>> spectrum(half + 1);
    for (std::size_t f = 0; f <= half; ++f) {
        std::complex<double> sum = 0;
        for (std::size_t n = 0; n < pulse.size(); ++n) sum += pulse[n] * turn[(f * n) % size];
        spectrum[f] = sum;
    }
    auto envelope = [&](double t) {
        std::complex<double> z = spectrum[0];
        for (std::size_t f = 1; f < half; ++f) {
            z +=
                2.0 * spectrum[f] * std::polar(1.0, 2.0 * kPi * static_cast<double>(f) * t / static_cast<double>(size));
        }
        z += spectrum[half] * std::polar(1.0, kPi * t);
        return std::norm(z);
    };
    std::size_t largest = 0;
    for (std::size_t n = 1; n < pulse.size(); ++n) {
        if (std::fabs(pulse[n]) > std::fabs(pulse[largest])) largest = n;
    }
    double best = static_cast<double>(largest);
    double bestEnergy = envelope(best);
    for (int offset = -8; offset <= 8; ++offset) {
        const double t = static_cast<double>(largest) + offset;
        const double e = envelope(t);
        if (e > bestEnergy) {
            bestEnergy = e;
            best = t;
        }
    }
    constexpr double kInverseGolden = 0.6180339887498949;
    double a = best - 1.0, b = best + 1.0;
    double c = b - kInverseGolden * (b - a), d = a + kInverseGolden * (b - a);
    double fc = envelope(c), fd = envelope(d);
    while (b - a > 1e-6) {
        if (fc > fd) {
            b = d;
            d = c;
            fd = fc;
            c = b - kInverseGolden * (b - a);
            fc = envelope(c);
        } else {
            a = c;
            c = d;
            fc = fd;
            d = a + kInverseGolden * (b - a);
            fd = envelope(d);
        }
    }
    return 0.5 * (a + b);
}

struct Gains {
    double w, y, z, x;
};

Gains EncodeSn3d(double azDeg, double elDeg)
{
    const double az = azDeg / kDegPerRad, el = elDeg / kDegPerRad;
    return {1.0, std::sin(az) * std::cos(el), std::sin(el), std::cos(az) * std::cos(el)};
}

struct ImageSource {
    RoomPoint position;
    double factor = 1;
    int order = 0;
};

// Every image source of the given order range: along each axis the source
// mirrored p times and shifted by n room lengths, x = (1 - 2p) xs + 2 n L,
// which meets the wall at 0 |n - p| times and the wall at L |n| times.
std::vector<ImageSource> ImageSources(const ShoeboxRoom& room, int minOrder, int maxOrder)
{
    std::vector<ImageSource> images;
    const int reach = maxOrder / 2 + 1;
    const std::array<double, 3> extent{room.lengthM, room.widthM, room.heightM};
    const std::array<double, 3> source{room.source.xM, room.source.yM, room.source.zM};
    const std::array<double, 3> lowFactor{room.backWall, room.rightWall, room.floor};
    const std::array<double, 3> highFactor{room.frontWall, room.leftWall, room.ceiling};
    for (int px = 0; px <= 1; ++px)
        for (int py = 0; py <= 1; ++py)
            for (int pz = 0; pz <= 1; ++pz)
                for (int nx = -reach; nx <= reach; ++nx)
                    for (int ny = -reach; ny <= reach; ++ny)
                        for (int nz = -reach; nz <= reach; ++nz) {
                            const std::array<int, 3> p{px, py, pz}, n{nx, ny, nz};
                            ImageSource image;
                            std::array<double, 3> at{};
                            for (int axis = 0; axis < 3; ++axis) {
                                const int low = std::abs(n[axis] - p[axis]), high = std::abs(n[axis]);
                                image.order += low + high;
                                image.factor *= std::pow(lowFactor[axis], low) * std::pow(highFactor[axis], high);
                                at[axis] = (1 - 2 * p[axis]) * source[axis] + 2.0 * n[axis] * extent[axis];
                            }
                            if (image.order < minOrder || image.order > maxOrder) continue;
                            image.position = {at[0], at[1], at[2]};
                            images.push_back(image);
                        }
    return images;
}

double Distance(const RoomPoint& a, const RoomPoint& b)
{
    return std::sqrt((a.xM - b.xM) * (a.xM - b.xM) + (a.yM - b.yM) * (a.yM - b.yM) + (a.zM - b.zM) * (a.zM - b.zM));
}

void Grow(ChannelMix& mix, std::size_t frames)
{
    for (auto& channel : mix) {
        if (channel.size() < frames) channel.resize(frames, 0.0);
    }
}

}  // namespace

double ReverberationTimeS(const ShoeboxRoom& room)
{
    const double l = room.lengthM, w = room.widthM, h = room.heightM;
    auto absorption = [](double factor) { return 1.0 - factor * factor; };
    const double area = w * h * (absorption(room.backWall) + absorption(room.frontWall)) +
                        l * h * (absorption(room.rightWall) + absorption(room.leftWall)) +
                        l * w * (absorption(room.floor) + absorption(room.ceiling));
    return area > 0 ? 0.161 * l * w * h / area : std::numeric_limits<double>::infinity();
}

BFormatSignal Quantise(const ChannelMix& mix, double sampleRateHz, SampleFormat format)
{
    BFormatSignal signal;
    signal.SampleRateHz = sampleRateHz;
    std::array<std::vector<float>*, 4> out{&signal.W, &signal.Y, &signal.Z, &signal.X};
    for (std::size_t c = 0; c < 4; ++c) {
        out[c]->resize(mix[c].size());
        for (std::size_t n = 0; n < mix[c].size(); ++n) {
            const double v = mix[c][n];
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

RoomSimulator::RoomSimulator(double sampleRateHz) : m_rateHz(sampleRateHz)
{
    const double cut = std::min(kHighCutHz, kHighCutShareOfRate * sampleRateHz) / sampleRateHz;
    const auto half = static_cast<int>(std::nearbyint(kLowPassHalfMs * sampleRateHz / 1000.0));
    const auto ring = static_cast<int>(std::nearbyint(kRingMs * sampleRateHz / 1000.0));
    const auto fade = static_cast<int>(std::nearbyint(kFadeMs * sampleRateHz / 1000.0));

    std::vector<double> lowPass(static_cast<std::size_t>(2 * half + 1));
    for (int k = -half; k <= half; ++k) {
        lowPass[static_cast<std::size_t>(k + half)] = 2 * cut * Sinc(2 * cut * k) * Blackman(k, half + 1);
    }
    double bandEnergy = 0;
    for (double v : lowPass) bandEnergy += v * v;
    m_band = lowPass;
    for (double& v : m_band) v /= std::sqrt(bandEnergy);

    // Second-order Butterworth high-pass (bilinear transform), run causally.
    const double w0 = 2 * kPi * kLowCutHz / sampleRateHz;
    const double alpha = std::sin(w0) / std::sqrt(2.0);
    const double a0 = 1 + alpha;
    const double b0 = (1 + std::cos(w0)) / 2 / a0, b1 = -(1 + std::cos(w0)) / a0, b2 = b0;
    const double a1 = -2 * std::cos(w0) / a0, a2 = (1 - alpha) / a0;
    m_pulse.assign(lowPass.size() + static_cast<std::size_t>(ring), 0.0);
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
    for (std::size_t n = 0; n < m_pulse.size(); ++n) {
        const double x0 = n < lowPass.size() ? lowPass[n] : 0.0;
        const double y0 = b0 * x0 + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
        x2 = x1;
        x1 = x0;
        y2 = y1;
        y1 = y0;
        m_pulse[n] = y0;
    }
    for (int i = 0; i < fade; ++i) {
        m_pulse[m_pulse.size() - 1 - static_cast<std::size_t>(i)] *= 0.5 - 0.5 * std::cos(kPi * i / fade);
    }
    double peak = 0;
    for (double v : m_pulse) peak = std::max(peak, std::fabs(v));
    for (double& v : m_pulse) v /= peak;
    m_pulsePeak = EnvelopePeak(m_pulse);
}

void RoomSimulator::Delayed(double timeSamples, std::ptrdiff_t& first, std::vector<double>& values) const
{
    const double shift = timeSamples - m_pulsePeak;
    const double whole = std::floor(shift);
    const double fraction = shift - whole;
    std::array<double, 2 * kDelayHalfTaps> kernel{};
    for (int j = -kDelayHalfTaps + 1; j <= kDelayHalfTaps; ++j) {
        kernel[static_cast<std::size_t>(j + kDelayHalfTaps - 1)] =
            Sinc(j - fraction) * BlackmanHarris(j - fraction, kDelayHalfTaps);
    }
    first = static_cast<std::ptrdiff_t>(whole) - kDelayHalfTaps + 1;
    values.assign(m_pulse.size() + kernel.size() - 1, 0.0);
    for (std::size_t k = 0; k < m_pulse.size(); ++k) {
        for (std::size_t j = 0; j < kernel.size(); ++j) values[k + j] += m_pulse[k] * kernel[j];
    }
}

void RoomSimulator::AddPlaneWave(ChannelMix& mix, double timeMs, double azDeg, double elDeg, double amplitude) const
{
    std::ptrdiff_t first = 0;
    std::vector<double> values;
    Delayed(timeMs * m_rateHz / 1000.0, first, values);
    const Gains g = EncodeSn3d(azDeg, elDeg);
    const std::array<double, 4> gains{g.w, g.y, g.z, g.x};
    const auto end = first + static_cast<std::ptrdiff_t>(values.size());
    if (end > 0) Grow(mix, static_cast<std::size_t>(end));
    for (std::size_t i = 0; i < values.size(); ++i) {
        const std::ptrdiff_t n = first + static_cast<std::ptrdiff_t>(i);
        if (n < 0) continue;
        for (std::size_t c = 0; c < 4; ++c) mix[c][static_cast<std::size_t>(n)] += amplitude * gains[c] * values[i];
    }
}

SimulatedResponse RoomSimulator::Simulate(const ShoeboxRoom& room, const SimulationOptions& options) const
{
    SimulatedResponse result;
    result.reverberationTimeS = ReverberationTimeS(room);
    const auto frames = static_cast<std::size_t>(std::nearbyint(options.durationS * m_rateHz));
    const double samplesPerMs = m_rateHz / 1000.0;
    const double directPathM = Distance(room.source, room.listener);
    const double halfWindow = options.backgroundWindowMs * samplesPerMs / 2.0;

    ChannelMix mix;
    Grow(mix, frames);
    // Each arrival's own energy in W over its background window.
    std::vector<double> ownEnergy;
    std::vector<ImageSource> images = ImageSources(room, 0, options.maxOrder);
    for (const ImageSource& image : images) {
        const double pathM = Distance(image.position, room.listener);
        TrueArrival arrival;
        arrival.timeMs = pathM / options.speedOfSoundMPerS * 1000.0;
        if (arrival.timeMs * samplesPerMs >= static_cast<double>(frames)) continue;
        const double dx = image.position.xM - room.listener.xM, dy = image.position.yM - room.listener.yM,
                     dz = image.position.zM - room.listener.zM;
        arrival.azDeg = std::atan2(dy, dx) * kDegPerRad;
        arrival.elDeg = std::atan2(dz, std::hypot(dx, dy)) * kDegPerRad;
        const double relative = image.factor * directPathM / pathM;
        arrival.levelDb = 20.0 * std::log10(relative);
        arrival.order = image.order;

        const double centre = arrival.timeMs * samplesPerMs;
        std::ptrdiff_t first = 0;
        std::vector<double> values;
        Delayed(centre, first, values);
        const double amplitude = options.directPeak * relative;
        const Gains g = EncodeSn3d(arrival.azDeg, arrival.elDeg);
        const std::array<double, 4> gains{g.w, g.y, g.z, g.x};
        double energy = 0;
        for (std::size_t i = 0; i < values.size(); ++i) {
            const std::ptrdiff_t n = first + static_cast<std::ptrdiff_t>(i);
            const double v = amplitude * values[i];
            if (std::fabs(static_cast<double>(n) - centre) <= halfWindow) energy += v * v;
            if (n < 0 || n >= static_cast<std::ptrdiff_t>(frames)) continue;
            for (std::size_t c = 0; c < 4; ++c) mix[c][static_cast<std::size_t>(n)] += gains[c] * v;
        }
        result.arrivals.push_back(arrival);
        ownEnergy.push_back(energy);
    }

    // Tail and noise go into their own channels first, so that each arrival's
    // background can be measured.
    ChannelMix background;
    Grow(background, frames);
    SplitMix64 random(options.seed);
    if (options.diffuseTail && std::isfinite(result.reverberationTimeS)) {
        const double directMs = directPathM / options.speedOfSoundMPerS * 1000.0;
        double onsetMs = std::numeric_limits<double>::infinity();
        for (const ImageSource& image : ImageSources(room, options.maxOrder + 1, options.maxOrder + 1)) {
            onsetMs = std::min(onsetMs, Distance(image.position, room.listener) / options.speedOfSoundMPerS * 1000.0);
        }
        // Sabine's reverberant-to-direct energy ratio, 16 pi r^2 / A, spread
        // over the exponential decay: the variance per sample at the direct sound.
        const double area = 0.161 * room.lengthM * room.widthM * room.heightM / result.reverberationTimeS;
        const double ratio = 16.0 * kPi * directPathM * directPathM / area;
        double pulseEnergy = 0;
        for (double v : m_pulse) pulseEnergy += v * v;
        const double directEnergy = options.directPeak * options.directPeak * pulseEnergy;
        const double decaySamples = result.reverberationTimeS * m_rateHz / kLn1e6;
        const double initialVariance = ratio * directEnergy / decaySamples;
        const double riseMs = std::max(onsetMs - directMs, 1.0);

        // Isotropic field in SN3D: each figure-of-eight picks up a third of W's energy.
        ChannelMix white;
        Grow(white, frames);
        for (std::size_t n = 0; n < frames; ++n) {
            const double timeMs = static_cast<double>(n) / samplesPerMs;
            const double rise = std::clamp((timeMs - onsetMs) / riseMs, 0.0, 1.0);
            const double variance =
                initialVariance * rise * std::exp(-(timeMs - directMs) * samplesPerMs / decaySamples);
            const double deviation = std::sqrt(variance);
            white[0][n] = deviation * random.Gaussian();
            for (std::size_t c = 1; c < 4; ++c) white[c][n] = deviation / std::sqrt(3.0) * random.Gaussian();
        }
        // Reverberation is the loudspeaker's sound: give it the pulse's band.
        const auto half = static_cast<std::ptrdiff_t>(m_band.size() / 2);
        for (std::size_t c = 0; c < 4; ++c) {
            for (std::ptrdiff_t n = 0; n < static_cast<std::ptrdiff_t>(frames); ++n) {
                double sum = 0;
                for (std::ptrdiff_t k = -half; k <= half; ++k) {
                    const std::ptrdiff_t m = n - k;
                    if (m >= 0 && m < static_cast<std::ptrdiff_t>(frames)) {
                        sum += m_band[static_cast<std::size_t>(k + half)] * white[c][static_cast<std::size_t>(m)];
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

    for (std::size_t i = 0; i < result.arrivals.size(); ++i) {
        const double centre = result.arrivals[i].timeMs * samplesPerMs;
        double energy = 0;
        const auto lo = static_cast<std::ptrdiff_t>(std::ceil(centre - halfWindow));
        const auto hi = static_cast<std::ptrdiff_t>(std::floor(centre + halfWindow));
        for (std::ptrdiff_t n = std::max<std::ptrdiff_t>(lo, 0); n <= hi && n < static_cast<std::ptrdiff_t>(frames);
             ++n) {
            energy += background[0][static_cast<std::size_t>(n)] * background[0][static_cast<std::size_t>(n)];
        }
        result.arrivals[i].backgroundDb = 10.0 * std::log10(energy / ownEnergy[i]);
    }
    for (std::size_t c = 0; c < 4; ++c) {
        for (std::size_t n = 0; n < frames; ++n) mix[c][n] += background[c][n];
    }

    std::sort(result.arrivals.begin(), result.arrivals.end(),
              [](const TrueArrival& a, const TrueArrival& b) { return a.timeMs < b.timeMs; });
    result.signal = Quantise(mix, m_rateHz, options.format);
    return result;
}

}  // namespace halvane::test
