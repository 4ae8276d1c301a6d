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

// The state of the three sections between two values: their last two inputs
// and outputs, all 0 at rest.
struct CascadeState {
    double xa1 = 0, xa2 = 0, ya1 = 0, ya2 = 0;
    double xb1 = 0, xb2 = 0, yb1 = 0, yb2 = 0;
    double xc1 = 0, xc2 = 0, yc1 = 0, yc2 = 0;
};

// Runs the cascade over count values from first, stepping by step (+1 forward,
// -1 backward, or a channel count over interleaved frames), in place, from
// state, which it leaves as the values end it: a run in pieces gives the same
// values as one run. Every section is a band-pass section, b = b0 (1, 0, -1),
// run in direct form I as
//   y[n] = (b0 (x[n] - x[n-2]) - a2 y[n-2]) - a1 y[n-1],
// which leaves a single multiply and subtract on the path from one output to
// the next; the three sections advance sample by sample so that their
// recursions overlap.
void RunCascade(const std::array<Biquad, kPrototypeOrder>& sections, double* first, std::size_t count,
                std::ptrdiff_t step, CascadeState& state)
{
    static_assert(kPrototypeOrder == 3);
    // Coefficients and states in named locals, so that they stay in registers.
    const double b0a = sections[0].b0, a1a = sections[0].a1, a2a = sections[0].a2;
    const double b0b = sections[1].b0, a1b = sections[1].a1, a2b = sections[1].a2;
    const double b0c = sections[2].b0, a1c = sections[2].a1, a2c = sections[2].a2;
    double xa1 = state.xa1, xa2 = state.xa2, ya1 = state.ya1, ya2 = state.ya2;
    double xb1 = state.xb1, xb2 = state.xb2, yb1 = state.yb1, yb2 = state.yb2;
    double xc1 = state.xc1, xc2 = state.xc2, yc1 = state.yc1, yc2 = state.yc2;
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
    state = {xa1, xa2, ya1, ya2, xb1, xb2, yb1, yb2, xc1, xc2, yc1, yc2};
}

// A state whose every value lies below kRestBelow (far below anything a
// float sample, or a sum of them, can carry) is set back to rest between
// blocks. A recursion left to itself decays into subnormal numbers and can
// stay there, cycling on the last bits, where every operation costs a
// hundred times more: a response that ends in digital silence minutes before
// its file does would otherwise take minutes to filter. No value of the
// output above 1e-280 changes.
constexpr double kRestBelow = 1e-290;

void SettleAtRest(CascadeState& state)
{
    const double values[] = {state.xa1, state.xa2, state.ya1, state.ya2, state.xb1, state.xb2,
                             state.yb1, state.yb2, state.xc1, state.xc2, state.yc1, state.yc2};
    for (const double v : values)
        if (!(std::fabs(v) < kRestBelow)) return;
    state = CascadeState{};
}

// The same from rest.
void RunCascade(const std::array<Biquad, kPrototypeOrder>& sections, double* first, std::size_t count,
                std::ptrdiff_t step)
{
    CascadeState rest;
    RunCascade(sections, first, count, step, rest);
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

void OctaveBandFilter::RunForwardBackward(std::vector<double>& values, const Cancellation& cancellation) const
{
    // The forward pass starts at rest where the input starts (the lead before
    // it is silent and would leave the state at rest) and runs on through the
    // ring-out; the backward pass starts at rest at the far end, where the
    // forward output has died away, and runs through the lead.
    // Both run in blocks of kBlockFrames counted from the input's first
    // frame, settling at rest between blocks as FilterZeroPhaseInBlocks does,
    // so that both give the same values.
    const std::size_t total = values.size() - m_ringFrames;  // from the input's first frame to the end
    CascadeState forward;
    for (std::size_t first = 0; first < total; first += kBlockFrames) {
        if (cancellation.Requested()) return;
        const std::size_t count = std::min(kBlockFrames, total - first);
        RunCascade(m_sections, values.data() + m_ringFrames + first, count, 1, forward);
        SettleAtRest(forward);
    }
    // Backward: the last (shorter) block first, then whole blocks, through
    // the lead before the input's first frame.
    CascadeState backward;
    std::ptrdiff_t end = static_cast<std::ptrdiff_t>(values.size());  // one past the block, in values
    const auto lead = static_cast<std::ptrdiff_t>(m_ringFrames);
    const auto blockFrames = static_cast<std::ptrdiff_t>(kBlockFrames);
    std::ptrdiff_t blockStart =
        lead + static_cast<std::ptrdiff_t>((total == 0 ? 0 : (total - 1) / kBlockFrames) * kBlockFrames);
    while (end > 0) {
        if (cancellation.Requested()) return;
        const std::ptrdiff_t start = std::max<std::ptrdiff_t>(blockStart, 0);
        RunCascade(m_sections, values.data() + end - 1, static_cast<std::size_t>(end - start), -1, backward);
        SettleAtRest(backward);
        end = start;
        blockStart -= blockFrames;
    }
}

ZeroPhaseSequence OctaveBandFilter::FilterZeroPhase(std::span<const float> input,
                                                    const Cancellation& cancellation) const
{
    ZeroPhaseSequence out;
    out.leadFrames = m_ringFrames;
    out.values = Held(input, m_ringFrames);
    RunForwardBackward(out.values, cancellation);
    return out;
}

ZeroPhaseSequence OctaveBandFilter::FilterZeroPhase(std::span<const double> input,
                                                    const Cancellation& cancellation) const
{
    ZeroPhaseSequence out;
    out.leadFrames = m_ringFrames;
    out.values = Held(input, m_ringFrames);
    RunForwardBackward(out.values, cancellation);
    return out;
}

bool OctaveBandFilter::FilterZeroPhaseInBlocks(std::size_t frames, std::size_t channels, const FrameBlockSource& read,
                                               const FrameBlockSink& write, const Cancellation& cancellation) const
{
    const std::size_t total = frames + m_ringFrames;  // the forward pass: the input and its ring-out
    const std::size_t blocks = (total + kBlockFrames - 1) / kBlockFrames;
    const auto stride = static_cast<std::ptrdiff_t>(channels);
    std::vector<CascadeState> notes(blocks * channels);
    std::vector<double> block(kBlockFrames * channels);
    // The block from frame first: count frames of input, silent past its end.
    auto load = [&](std::size_t first, std::size_t count) {
        std::fill(block.begin(), block.begin() + static_cast<std::ptrdiff_t>(count * channels), 0.0);
        const std::size_t input = first < frames ? std::min(count, frames - first) : 0;
        if (input > 0) read(first, std::span<double>(block).first(input * channels));
    };

    std::vector<CascadeState> forward(channels);
    for (std::size_t b = 0; b < blocks; ++b) {
        if (cancellation.Requested()) return false;
        const std::size_t first = b * kBlockFrames;
        const std::size_t count = std::min(kBlockFrames, total - first);
        load(first, count);
        for (std::size_t c = 0; c < channels; ++c) {
            notes[b * channels + c] = forward[c];
            RunCascade(m_sections, block.data() + c, count, stride, forward[c]);
            SettleAtRest(forward[c]);
        }
    }
    std::vector<CascadeState> backward(channels);
    for (std::size_t b = blocks; b-- > 0;) {
        if (cancellation.Requested()) return false;
        const std::size_t first = b * kBlockFrames;
        const std::size_t count = std::min(kBlockFrames, total - first);
        load(first, count);
        for (std::size_t c = 0; c < channels; ++c) {
            CascadeState again = notes[b * channels + c];
            RunCascade(m_sections, block.data() + c, count, stride, again);
            RunCascade(m_sections, block.data() + (count - 1) * channels + c, count, -stride, backward[c]);
            SettleAtRest(backward[c]);
        }
        const std::size_t output = first < frames ? std::min(count, frames - first) : 0;
        if (output > 0) write(first, std::span<const double>(block).first(output * channels));
    }
    return true;
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
