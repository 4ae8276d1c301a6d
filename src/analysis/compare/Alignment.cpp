#include "analysis/compare/Alignment.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <vector>

#include "analysis/room/RoomParameters.h"

namespace halvane {
namespace {

constexpr double kBeforeOnsetMs = 0.5;
constexpr double kAfterOnsetMs = 2.0;
constexpr double kSearchMs = 1.0;
constexpr int kSincHalfWidth = 32;
// A fraction of a frame below this is no shift at all: the samples stay as they are.
constexpr double kWholeFrame = 1e-9;

using Matrix = std::array<std::array<double, 3>, 3>;

double Correlation(const std::vector<float>& a, const std::vector<float>& b, std::ptrdiff_t first, std::ptrdiff_t last,
                   std::ptrdiff_t lag)
{
    double sum = 0;
    const auto sizeA = static_cast<std::ptrdiff_t>(a.size()), sizeB = static_cast<std::ptrdiff_t>(b.size());
    for (std::ptrdiff_t n = std::max<std::ptrdiff_t>(first, 0); n < std::min(last, sizeA); ++n) {
        const std::ptrdiff_t m = n + lag;
        if (m >= 0 && m < sizeB) sum += static_cast<double>(a[n]) * static_cast<double>(b[m]);
    }
    return sum;
}

// The Blackman-windowed sinc weights of the value `fraction` (0..1) of a frame after a frame.
std::array<double, 2 * kSincHalfWidth> SincWeights(double fraction)
{
    std::array<double, 2 * kSincHalfWidth> weights{};
    for (int k = 0; k < 2 * kSincHalfWidth; ++k) {
        const double x = static_cast<double>(k - kSincHalfWidth + 1) - fraction;
        const double sinc = x == 0 ? 1.0 : std::sin(std::numbers::pi * x) / (std::numbers::pi * x);
        const double phase = std::numbers::pi * (x + kSincHalfWidth) / kSincHalfWidth;  // 0..2 pi over the window
        weights[static_cast<std::size_t>(k)] = sinc * (0.42 - 0.5 * std::cos(phase) + 0.08 * std::cos(2 * phase));
    }
    return weights;
}

std::vector<float> ShiftedChannel(const std::vector<float>& channel, std::ptrdiff_t whole, double fraction,
                                  std::size_t frames)
{
    std::vector<float> out(frames, 0.0f);
    const auto size = static_cast<std::ptrdiff_t>(channel.size());
    if (fraction < kWholeFrame) {
        for (std::size_t n = 0; n < frames; ++n) {
            const std::ptrdiff_t m = static_cast<std::ptrdiff_t>(n) + whole;
            if (m >= 0 && m < size) out[n] = channel[static_cast<std::size_t>(m)];
        }
        return out;
    }
    const auto weights = SincWeights(fraction);
    for (std::size_t n = 0; n < frames; ++n) {
        const std::ptrdiff_t base = static_cast<std::ptrdiff_t>(n) + whole - kSincHalfWidth + 1;
        double sum = 0;
        for (std::size_t k = 0; k < weights.size(); ++k) {
            const std::ptrdiff_t m = base + static_cast<std::ptrdiff_t>(k);
            if (m >= 0 && m < size) sum += weights[k] * static_cast<double>(channel[static_cast<std::size_t>(m)]);
        }
        out[n] = static_cast<float>(sum);
    }
    return out;
}

// Rodrigues: the rotation about u x v taking the unit vector u onto v.
Matrix RotationTaking(const std::array<double, 3>& u, const std::array<double, 3>& v)
{
    const std::array<double, 3> axis = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2],
                                        u[0] * v[1] - u[1] * v[0]};
    const double sine = std::sqrt(axis[0] * axis[0] + axis[1] * axis[1] + axis[2] * axis[2]);
    const double cosine = u[0] * v[0] + u[1] * v[1] + u[2] * v[2];
    std::array<double, 3> k = axis;
    if (sine < 1e-12) {
        if (cosine > 0) return {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};
        // Opposite: a half turn about any axis square to u.
        k = std::fabs(u[2]) < 0.9 ? std::array<double, 3>{-u[1], u[0], 0} : std::array<double, 3>{0, -u[2], u[1]};
    }
    const double norm = std::sqrt(k[0] * k[0] + k[1] * k[1] + k[2] * k[2]);
    for (double& c : k) c /= norm;
    const double angle = std::atan2(sine, cosine), s = std::sin(angle), t = 1 - std::cos(angle);
    Matrix r{};
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) r[i][j] = t * k[i] * k[j] + (i == j ? std::cos(angle) : 0.0);
    }
    r[0][1] -= s * k[2];
    r[0][2] += s * k[1];
    r[1][0] += s * k[2];
    r[1][2] -= s * k[0];
    r[2][0] -= s * k[1];
    r[2][1] += s * k[0];
    return r;
}

Matrix RotationBetween(const Direction& from, const Direction& to)
{
    return RotationTaking(UnitVectorOf(from), UnitVectorOf(to));
}

}  // namespace

Result<double> DirectSoundLagFrames(const BFormatSignal& a, const BFormatSignal& b)
{
    if (a.SampleRateHz != b.SampleRateHz) return Failure{"the two responses have different sample rates"};
    const auto onsetA = FindResponseStart(a.W), onsetB = FindResponseStart(b.W);
    if (!onsetA || !onsetB) return Failure{"a response has no direct sound (silent, empty or not finite)"};
    const double rate = a.SampleRateHz;
    const auto frames = [rate](double ms) { return static_cast<std::ptrdiff_t>(std::ceil(ms / 1000 * rate)); };
    const auto first = static_cast<std::ptrdiff_t>(*onsetA) - frames(kBeforeOnsetMs);
    const auto last = static_cast<std::ptrdiff_t>(*onsetA) + frames(kAfterOnsetMs);
    const auto coarse = static_cast<std::ptrdiff_t>(*onsetB) - static_cast<std::ptrdiff_t>(*onsetA);
    std::ptrdiff_t best = coarse;
    double bestValue = -INFINITY;
    for (std::ptrdiff_t lag = coarse - frames(kSearchMs); lag <= coarse + frames(kSearchMs); ++lag) {
        const double value = Correlation(a.W, b.W, first, last, lag);
        if (value > bestValue) {
            bestValue = value;
            best = lag;
        }
    }
    const double before = Correlation(a.W, b.W, first, last, best - 1);
    const double after = Correlation(a.W, b.W, first, last, best + 1);
    const double curvature = before - 2 * bestValue + after;
    const double offset = curvature < 0 ? 0.5 * (before - after) / curvature : 0.0;
    return static_cast<double>(best) + std::clamp(offset, -0.5, 0.5);
}

BFormatSignal ShiftedEarlier(const BFormatSignal& signal, double lagFrames, std::size_t frames)
{
    const double whole = std::floor(lagFrames);
    const double fraction = lagFrames - whole;
    BFormatSignal out = signal;
    for (std::vector<float>* channel : {&out.W, &out.Y, &out.Z, &out.X}) {
        *channel = ShiftedChannel(*channel, static_cast<std::ptrdiff_t>(whole), fraction, frames);
    }
    return out;
}

BFormatSignal Turned(const BFormatSignal& signal, const Direction& from, const Direction& to)
{
    const Matrix r = RotationBetween(from, to);
    BFormatSignal out = signal;
    const std::size_t frames = std::min({signal.X.size(), signal.Y.size(), signal.Z.size()});
    for (std::size_t n = 0; n < frames; ++n) {
        const double v[3] = {signal.X[n], signal.Y[n], signal.Z[n]};
        out.X[n] = static_cast<float>(r[0][0] * v[0] + r[0][1] * v[1] + r[0][2] * v[2]);
        out.Y[n] = static_cast<float>(r[1][0] * v[0] + r[1][1] * v[1] + r[1][2] * v[2]);
        out.Z[n] = static_cast<float>(r[2][0] * v[0] + r[2][1] * v[1] + r[2][2] * v[2]);
    }
    return out;
}

Direction TurnedDirection(const Direction& d, const Direction& from, const Direction& to)
{
    const Matrix r = RotationBetween(from, to);
    const std::array<double, 3> u = UnitVectorOf(d);
    double v[3];
    for (int i = 0; i < 3; ++i) v[i] = r[i][0] * u[0] + r[i][1] * u[1] + r[i][2] * u[2];
    return DirectionOfIntensity(v[0], v[1], v[2]);
}

}  // namespace halvane
