#include "analysis/arrivals/PulseTemplate.h"

#include "analysis/arrivals/Fourier.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>

namespace halvane {
namespace {

// The fine grid: 32 points per sample. Linear interpolation between them
// leaves an error of about (pi f / (32 fs))^2 / 2 of the value, below -60 dB
// for everything under 0.45 times the sample rate.
constexpr std::ptrdiff_t kOversampling = 32;
// A lobe of the envelope this much higher than the one before it (in
// energy) is the next arrival: a measured pulse's own lobes do not fall
// evenly, one may rise a little over the last.
constexpr double kLobeRise = 10.0;  // 10 dB

// The analytic signal of values (zero-padded to a power of two at least twice
// their count), and, when fine is given, the values interpolated on a grid
// kOversampling times finer; both start at values[0].
Spectrum Analytic(const std::vector<double>& values, std::vector<double>* fine)
{
    std::size_t padded = 1;
    while (padded < 2 * values.size()) padded <<= 1;
    Spectrum spectrum(padded);
    for (std::size_t i = 0; i < values.size(); ++i) spectrum[i] = values[i];
    Transform(spectrum, false);

    const std::size_t scale = fine ? static_cast<std::size_t>(kOversampling) : 1;
    const std::size_t size = padded * scale;
    const std::size_t nyquist = padded / 2;
    Spectrum analytic(size);
    analytic[0] = spectrum[0];
    for (std::size_t f = 1; f < nyquist; ++f) analytic[f] = 2.0 * spectrum[f];
    analytic[nyquist] = spectrum[nyquist];
    if (fine) {
        // Zero-padding the spectrum: band-limited interpolation of the values.
        Spectrum full(size);
        full[0] = spectrum[0];
        for (std::size_t f = 1; f < nyquist; ++f) {
            full[f] = spectrum[f];
            full[size - f] = spectrum[padded - f];
        }
        full[nyquist] = 0.5 * spectrum[nyquist];
        full[size - nyquist] = 0.5 * spectrum[nyquist];
        Transform(full, true);
        fine->resize(size);
        for (std::size_t j = 0; j < size; ++j) (*fine)[j] = full[j].real() * static_cast<double>(scale);
    }
    Transform(analytic, true);
    for (auto& v : analytic) v *= static_cast<double>(scale);
    return analytic;
}

// How far the pulse reaches from its peak at index peak of the energy
// envelope, walking in direction step (+1 or -1), at most limit samples. A
// pulse's ringing and side lobes fall lobe by lobe; a lobe higher than the one
// before it (by more than kLobeRise) is the next arrival, and the pulse ends
// in the valley before it.
// Lobes more than 60 dB down are noise and never end the pulse.
std::ptrdiff_t Reach(const std::vector<double>& envelope, std::ptrdiff_t peak, std::ptrdiff_t step,
                     std::ptrdiff_t limit)
{
    const double relevant = envelope[static_cast<std::size_t>(peak)] * 1e-6;
    double lobe = envelope[static_cast<std::size_t>(peak)];
    double valley = lobe;
    std::ptrdiff_t valleyAt = 0;
    bool falling = true;
    for (std::ptrdiff_t i = 1; i <= limit; ++i) {
        const double e = envelope[static_cast<std::size_t>(peak + step * i)];
        const double before = envelope[static_cast<std::size_t>(peak + step * (i - 1))];
        if (falling) {
            if (e < valley) {
                valley = e;
                valleyAt = i;
            }
            if (e > before) falling = false;
        }
        if (!falling) {
            if (e > kLobeRise * lobe && e > relevant) return valleyAt;
            if (e < before) {
                // Past the top of this lobe: it is the one the next must exceed.
                lobe = before;
                falling = true;
                valley = e;
                valleyAt = i;
            }
        }
    }
    return limit;
}

}  // namespace

PulseTemplate::PulseTemplate(std::span<const double> w, std::ptrdiff_t centre, std::ptrdiff_t halfLengthSamples,
                             bool endAtNextArrival, std::ptrdiff_t reachBefore, std::ptrdiff_t reachAfter)
    : m_halfLength(std::max<std::ptrdiff_t>(1, halfLengthSamples))
{
    const std::ptrdiff_t k = m_halfLength;
    const auto size = static_cast<std::ptrdiff_t>(w.size());
    auto sample = [&](std::ptrdiff_t n) { return n >= 0 && n < size ? w[static_cast<std::size_t>(n)] : 0.0; };

    // The envelope over twice the longest span, faded at its far ends only, to
    // see where the pulse ends on either side.
    std::vector<double> wide(static_cast<std::size_t>(4 * k + 1));
    for (std::ptrdiff_t i = -2 * k; i <= 2 * k; ++i) {
        const double distance = std::fabs(static_cast<double>(i));
        const double fade = distance <= k ? 1.0 : 0.5 + 0.5 * std::cos(std::numbers::pi * (distance - k) / k);
        wide[static_cast<std::size_t>(i + 2 * k)] = sample(centre + i) * fade;
    }
    const Spectrum wideAnalytic = Analytic(wide, nullptr);
    std::vector<double> envelope(wide.size());
    for (std::size_t i = 0; i < wide.size(); ++i) envelope[i] = std::norm(wideAnalytic[i]);
    // The envelope's peak near the largest sample (within a quarter span).
    std::ptrdiff_t peak = 2 * k;
    for (std::ptrdiff_t i = 2 * k - k / 4; i <= 2 * k + k / 4; ++i) {
        if (envelope[static_cast<std::size_t>(i)] > envelope[static_cast<std::size_t>(peak)]) peak = i;
    }
    const std::ptrdiff_t lobeBefore = endAtNextArrival ? std::min(k, Reach(envelope, peak, -1, k) + (2 * k - peak)) : k;
    const std::ptrdiff_t lobeAfter = endAtNextArrival ? std::min(k, Reach(envelope, peak, 1, k) + (peak - 2 * k)) : k;
    const std::ptrdiff_t before = std::min(lobeBefore, std::max<std::ptrdiff_t>(1, reachBefore));
    const std::ptrdiff_t after = std::min(lobeAfter, std::max<std::ptrdiff_t>(1, reachAfter));
    m_reachBefore = before;
    m_reachAfter = after;

    // A Tukey taper on each side: the inner half of the reach as measured, the
    // outer half faded with a raised cosine to zero at the reach, so the
    // template's ends meet zero smoothly.
    m_samples.assign(static_cast<std::size_t>(2 * k + 1), 0.0);
    for (std::ptrdiff_t i = -k; i <= k; ++i) {
        const auto reach = static_cast<double>(i < 0 ? before : after);
        const double distance = std::fabs(static_cast<double>(i));
        if (distance >= reach && i != 0) continue;
        const double flat = reach / 2.0;
        const double taper =
            distance <= flat ? 1.0 : 0.5 + 0.5 * std::cos(std::numbers::pi * (distance - flat) / (reach - flat));
        m_samples[static_cast<std::size_t>(i + k)] = sample(centre + i) * taper;
    }
    Prepare();
}

void PulseTemplate::Prepare()
{
    const std::ptrdiff_t k = m_halfLength;
    for (double v : m_samples) m_energy += v * v;

    // Oversampling and the analytic signal of the template itself, for its
    // values between samples and its own envelope peak.
    std::vector<double> fine;
    const Spectrum analytic = Analytic(m_samples, &fine);

    const auto fineCount = static_cast<std::size_t>(2 * k * kOversampling + 1);
    const auto scale = static_cast<double>(kOversampling);
    m_fine.resize(fineCount);
    m_fineQuadrature.resize(fineCount);
    std::size_t finePeak = 0;
    double peakEnergy = -1.0;
    std::vector<double> fineEnvelope(fineCount);
    for (std::size_t j = 0; j < fineCount; ++j) {
        m_fine[j] = fine[j];
        m_fineQuadrature[j] = analytic[j].imag();
        fineEnvelope[j] = std::norm(analytic[j]);
        if (fineEnvelope[j] > peakEnergy) {
            peakEnergy = fineEnvelope[j];
            finePeak = j;
        }
    }
    double fraction = 0;
    if (finePeak > 0 && finePeak + 1 < fineCount) {
        const double left = fineEnvelope[finePeak - 1], at = fineEnvelope[finePeak], right = fineEnvelope[finePeak + 1];
        const double curvature = left - 2.0 * at + right;
        if (curvature < 0) fraction = std::clamp(0.5 * (left - right) / curvature, -0.5, 0.5);
    }
    m_peakOffset = m_energy > 0 ? (static_cast<double>(finePeak) + fraction) / scale - static_cast<double>(k) : 0.0;
    std::size_t largest = 0;
    for (std::size_t j = 1; j < fineCount; ++j) {
        if (std::fabs(m_fine[j]) > std::fabs(m_fine[largest])) largest = j;
    }
    m_largestOffset = static_cast<double>(largest) / scale - static_cast<double>(k);
}

double PulseTemplate::ValueAt(double offsetSamples) const { return Interpolated(m_fine, offsetSamples); }

double PulseTemplate::QuadratureAt(double offsetSamples) const { return Interpolated(m_fineQuadrature, offsetSamples); }

double PulseTemplate::Interpolated(const std::vector<double>& fine, double offsetSamples) const
{
    const auto k = static_cast<double>(m_halfLength);
    if (!(std::fabs(offsetSamples) < k)) return 0.0;
    const double position = (offsetSamples + k) * static_cast<double>(kOversampling);
    const double below = std::floor(position);
    const auto j = static_cast<std::size_t>(below);
    const double fraction = position - below;
    if (j + 1 >= fine.size()) return fine.back();
    return fine[j] + fraction * (fine[j + 1] - fine[j]);
}

void PulseTemplate::Place(double originSamples, std::ptrdiff_t& first, std::vector<double>& values) const
{
    const auto k = static_cast<double>(m_halfLength);
    first = static_cast<std::ptrdiff_t>(std::floor(originSamples - k)) + 1;
    const auto last = static_cast<std::ptrdiff_t>(std::ceil(originSamples + k)) - 1;
    values.resize(static_cast<std::size_t>(std::max<std::ptrdiff_t>(0, last - first + 1)));
    if (values.empty()) return;
    // Consecutive samples lie exactly kOversampling grid points apart: one
    // fraction serves them all.
    const double position = (static_cast<double>(first) - originSamples + k) * static_cast<double>(kOversampling);
    const double below = std::max(0.0, std::floor(position));
    const double fraction = std::clamp(position - below, 0.0, 1.0);
    const auto step = static_cast<std::size_t>(kOversampling);
    auto j = static_cast<std::size_t>(below);
    for (double& v : values) {
        v = j + 1 < m_fine.size() ? m_fine[j] + fraction * (m_fine[j + 1] - m_fine[j]) : 0.0;
        j += step;
    }
}

}  // namespace halvane
