#include "analysis/room/OctaveBands.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>

namespace halvane {
namespace {

using Complex = std::complex<double>;

constexpr int kPrototypeOrder = OctaveBandFilter::kSectionCount;

// The octave ratio of the base-10 system and the half-octave factor that
// places the band edges.
const double kOctaveRatio = std::pow(10.0, 0.3);
const double kHalfOctaveRatio = std::pow(10.0, 0.15);

// Transfer function of one section at z = e^{j omega}.
Complex SectionResponse(const Biquad& section, double omega)
{
    const Complex zInv = std::polar(1.0, -omega);
    const Complex zInv2 = zInv * zInv;
    const Complex numerator = section.b0 + section.b1 * zInv + section.b2 * zInv2;
    const Complex denominator = 1.0 + section.a1 * zInv + section.a2 * zInv2;
    return numerator / denominator;
}

// Runs the cascade over count values from first, stepping by step (+1 forward,
// -1 backward), in place, from rest. Every section is a band-pass section,
// b = b0 (1, 0, -1), run in direct form I as
//   y[n] = (b0 (x[n] - x[n-2]) - a2 y[n-2]) - a1 y[n-1],
// which leaves a single multiply and subtract on the path from one output to
// the next; the three sections advance sample by sample so that their
// recursions overlap.
void RunCascade(const std::array<Biquad, kPrototypeOrder>& sections, double* first, std::size_t count,
                std::ptrdiff_t step)
{
    static_assert(kPrototypeOrder == 3);
    // Coefficients and states in named locals, so that they stay in registers.
    const double b0a = sections[0].b0, a1a = sections[0].a1, a2a = sections[0].a2;
    const double b0b = sections[1].b0, a1b = sections[1].a1, a2b = sections[1].a2;
    const double b0c = sections[2].b0, a1c = sections[2].a1, a2c = sections[2].a2;
    double xa1 = 0, xa2 = 0, ya1 = 0, ya2 = 0;
    double xb1 = 0, xb2 = 0, yb1 = 0, yb2 = 0;
    double xc1 = 0, xc2 = 0, yc1 = 0, yc2 = 0;
    double* value = first;
    for (std::size_t i = 0; i < count; ++i, value += step) {
        const double x = *value;
        const double ya = (b0a * (x - xa2) - a2a * ya2) - a1a * ya1;
        xa2 = xa1, xa1 = x, ya2 = ya1, ya1 = ya;
        const double yb = (b0b * (ya - xb2) - a2b * yb2) - a1b * yb1;
        xb2 = xb1, xb1 = ya, yb2 = yb1, yb1 = yb;
        const double yc = (b0c * (yb - xc2) - a2c * yc2) - a1c * yc1;
        xc2 = xc1, xc1 = yb, yc2 = yc1, yc1 = yc;
        *value = yc;
    }
}

// Frames over which the cascade's impulse response still holds more than
// 10^(-decayDb/10) of its energy. The response is followed until the slowest
// pole has decayed far below that (twice the frames it needs to fall by
// 240 dB in amplitude, which leaves room for the polynomial rise of the
// coinciding poles of a narrow band).
std::size_t DecayFrames(const std::array<Biquad, kPrototypeOrder>& sections, double decayDb)
{
    double slowestRadius = 0;
    for (const Biquad& q : sections) slowestRadius = std::max(slowestRadius, std::sqrt(q.a2));
    const double framesFor240Db = std::log(1e-12) / std::log(slowestRadius);
    const auto length = static_cast<std::size_t>(std::ceil(2 * framesFor240Db)) + 16;

    std::vector<double> response(length, 0.0);
    response[0] = 1.0;
    RunCascade(sections, response.data(), length, 1);

    double total = 0;
    for (double h : response) total += h * h;
    const double allowed = total * std::pow(10.0, -decayDb / 10.0);
    double tail = 0;
    std::size_t frames = length;
    while (frames > 1 && tail + response[frames - 1] * response[frames - 1] <= allowed) {
        tail += response[frames - 1] * response[frames - 1];
        --frames;
    }
    return frames;
}

// input in double precision with margin frames of silence on either side.
template <typename Sample> std::vector<double> Held(std::span<const Sample> input, std::size_t margin)
{
    std::vector<double> values;
    values.reserve(input.size() + 2 * margin);
    values.insert(values.end(), margin, 0.0);
    values.insert(values.end(), input.begin(), input.end());
    values.insert(values.end(), margin, 0.0);
    return values;
}

}  // namespace

std::optional<double> ExactMidBandHz(int nominalHz)
{
    // Octave steps from 1000 Hz: 1000 * G^x, G = 10^0.3.
    for (std::size_t i = 0; i < kOctaveBandsHz.size(); ++i) {
        if (kOctaveBandsHz[i] == nominalHz) {
            const int x = static_cast<int>(i) - 3;
            return 1000.0 * std::pow(10.0, 0.3 * x);
        }
    }
    return std::nullopt;
}

std::optional<OctaveBandFilter> OctaveBandFilter::Design(int nominalHz, double sampleRateHz)
{
    const std::optional<double> midBandHz = ExactMidBandHz(nominalHz);
    if (!midBandHz || !(sampleRateHz > 0 && sampleRateHz <= kMaxSampleRateHz)) return std::nullopt;
    const double lowerEdgeHz = *midBandHz / kHalfOctaveRatio;
    const double upperEdgeHz = *midBandHz * kHalfOctaveRatio;
    if (!(upperEdgeHz < sampleRateHz / 2)) return std::nullopt;

    // Analogue band edges pre-warped so that the bilinear transform puts the
    // digital edges exactly at the IEC edges.
    const double twoFs = 2 * sampleRateHz;
    const double lowerEdge = twoFs * std::tan(std::numbers::pi * lowerEdgeHz / sampleRateHz);
    const double upperEdge = twoFs * std::tan(std::numbers::pi * upperEdgeHz / sampleRateHz);
    const double centre = std::sqrt(lowerEdge * upperEdge);
    // The band-pass transform s_p = (s^2 + w0^2) / (B s) maps the band edges to
    // the prototype frequency (upper - lower) / B. The prototype's squared
    // magnitude 1 / (1 + W^(2N)), squared again by the backward pass, is 1/2
    // at W = (sqrt(2) - 1)^(1/(2N)): the bandwidth B puts that point on the edges.
    const double edgeInPrototype = std::pow(std::numbers::sqrt2 - 1, 1.0 / (2 * kPrototypeOrder));
    const double bandwidth = (upperEdge - lowerEdge) / edgeInPrototype;

    OctaveBandFilter filter;
    filter.m_nominalHz = nominalHz;
    filter.m_midBandHz = *midBandHz;
    filter.m_sampleRateHz = sampleRateHz;
    const double midBandOmega = 2 * std::numbers::pi * *midBandHz / sampleRateHz;
    for (int k = 0; k < kPrototypeOrder; ++k) {
        // Butterworth prototype pole on the left half of the unit circle.
        const Complex prototypePole =
            std::polar(1.0, std::numbers::pi * (2 * k + kPrototypeOrder + 1) / (2 * kPrototypeOrder));
        // Each prototype pole p gives the band-pass poles s^2 - p B s + w0^2 = 0;
        // of the pair the one above the real axis, with its conjugate from p*,
        // makes one real section.
        const Complex root = std::sqrt(prototypePole * prototypePole * bandwidth * bandwidth - 4 * centre * centre);
        Complex pole = (prototypePole * bandwidth + root) / 2.0;
        if (pole.imag() < 0) pole = (prototypePole * bandwidth - root) / 2.0;
        const Complex zPole = (twoFs + pole) / (twoFs - pole);
        Biquad& section = filter.m_sections[static_cast<std::size_t>(k)];
        // One zero at s = 0 and one at infinity: z = 1 and z = -1.
        section.b0 = 1;
        section.b1 = 0;
        section.b2 = -1;
        section.a1 = -2 * zPole.real();
        section.a2 = std::norm(zPole);
        // Unit gain at the exact mid-band frequency, section by section, which
        // also keeps the intermediate values at the input's scale.
        const double gain = std::abs(SectionResponse(section, midBandOmega));
        section.b0 /= gain;
        section.b2 /= gain;
    }
    filter.m_ringFrames = DecayFrames(filter.m_sections, kRingDecayDb);
    return filter;
}

double OctaveBandFilter::PassGain(double frequencyHz) const
{
    const double omega = 2 * std::numbers::pi * frequencyHz / m_sampleRateHz;
    double gain = 1;
    for (const Biquad& section : m_sections) gain *= std::abs(SectionResponse(section, omega));
    return gain;
}

double OctaveBandFilter::ZeroPhaseGain(double frequencyHz) const
{
    const double gain = PassGain(frequencyHz);
    return gain * gain;
}

void OctaveBandFilter::RunForwardBackward(std::vector<double>& values) const
{
    // The forward pass starts at rest where the input starts (the lead before
    // it is silent and would leave the state at rest) and runs on through the
    // ring-out; the backward pass starts at rest at the far end, where the
    // forward output has died away, and runs through the lead.
    RunCascade(m_sections, values.data() + m_ringFrames, values.size() - m_ringFrames, 1);
    RunCascade(m_sections, values.data() + values.size() - 1, values.size(), -1);
}

ZeroPhaseSequence OctaveBandFilter::FilterZeroPhase(std::span<const float> input) const
{
    ZeroPhaseSequence out;
    out.leadFrames = m_ringFrames;
    out.values = Held(input, m_ringFrames);
    RunForwardBackward(out.values);
    return out;
}

ZeroPhaseSequence OctaveBandFilter::FilterZeroPhase(std::span<const double> input) const
{
    ZeroPhaseSequence out;
    out.leadFrames = m_ringFrames;
    out.values = Held(input, m_ringFrames);
    RunForwardBackward(out.values);
    return out;
}

BFormatSignal FilterToOctaveBand(const BFormatSignal& signal, int nominalHz)
{
    BFormatSignal band;
    band.SampleRateHz = signal.SampleRateHz;
    const std::optional<OctaveBandFilter> filter = OctaveBandFilter::Design(nominalHz, signal.SampleRateHz);
    if (!filter) return band;
    auto filterChannel = [&filter](const std::vector<float>& channel) {
        const ZeroPhaseSequence held = filter->FilterZeroPhase(channel);
        const auto first = held.values.begin() + static_cast<std::ptrdiff_t>(held.leadFrames);
        std::vector<float> out(channel.size());
        std::transform(first, first + static_cast<std::ptrdiff_t>(channel.size()), out.begin(),
                       [](double v) { return static_cast<float>(v); });
        return out;
    };
    band.W = filterChannel(signal.W);
    band.Y = filterChannel(signal.Y);
    band.Z = filterChannel(signal.Z);
    band.X = filterChannel(signal.X);
    return band;
}

}  // namespace halvane
