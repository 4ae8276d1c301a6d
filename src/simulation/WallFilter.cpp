#include "simulation/WallFilter.h"

#include <cmath>
#include <complex>

#include "simulation/Direction.h"

namespace halvane::simulation {
namespace {

// The audio cookbook's shelves (slope 1) and peaking section for a gain of gainDb at cornerHz.
Biquad Shelf(bool high, double cornerHz, double gainDb, double rateHz)
{
    const double a = std::pow(10.0, gainDb / 40.0);
    const double w0 = 2 * kPi * cornerHz / rateHz;
    const double cosW = std::cos(w0);
    const double alpha = std::sin(w0) / 2 * std::sqrt(2.0);
    const double root = 2 * std::sqrt(a) * alpha;
    const double sign = high ? -1.0 : 1.0;  // the high shelf is the low one with cos w0 negated in its terms
    const double b0 = a * ((a + 1) - sign * (a - 1) * cosW + root);
    const double b1 = sign * 2 * a * ((a - 1) - sign * (a + 1) * cosW);
    const double b2 = a * ((a + 1) - sign * (a - 1) * cosW - root);
    const double a0 = (a + 1) + sign * (a - 1) * cosW + root;
    const double a1 = -sign * 2 * ((a - 1) + sign * (a + 1) * cosW);
    const double a2 = (a + 1) + sign * (a - 1) * cosW - root;
    return {b0 / a0, b1 / a0, b2 / a0, a1 / a0, a2 / a0};
}

Biquad Peak(double centreHz, double gainDb, double q, double rateHz)
{
    const double a = std::pow(10.0, gainDb / 40.0);
    const double w0 = 2 * kPi * centreHz / rateHz;
    const double alpha = std::sin(w0) / (2 * q);
    const double a0 = 1 + alpha / a;
    return {(1 + alpha * a) / a0, -2 * std::cos(w0) / a0, (1 - alpha * a) / a0, -2 * std::cos(w0) / a0,
            (1 - alpha / a) / a0};
}

double LogUniform(SplitMix64& random, double lowHz, double highHz)
{
    return lowHz * std::pow(highHz / lowHz, random.Uniform());
}

}  // namespace

WallFilter WallFilter::Drawn(double rateHz, SplitMix64& random, const WallColour& colour)
{
    WallFilter filter;
    filter.m_rateHz = rateHz;
    // Corners stay below 0.4 of the rate, where the sections are well behaved.
    const double top = 0.4 * rateHz;
    const double lowHz = LogUniform(random, colour.lowShelfMinHz, colour.lowShelfMaxHz);
    const double lowCutDb = colour.lowShelfMaxCutDb * random.Uniform();
    const double highHz = std::min(top, LogUniform(random, colour.highShelfMinHz, colour.highShelfMaxHz));
    const double highCutDb =
        colour.highShelfMinCutDb + (colour.highShelfMaxCutDb - colour.highShelfMinCutDb) * random.Uniform();
    const double dipHz = std::min(top, LogUniform(random, colour.dipMinHz, colour.dipMaxHz));
    const double dipCutDb = colour.dipMaxCutDb * random.Uniform();
    const double q = colour.dipMinQ + (colour.dipMaxQ - colour.dipMinQ) * random.Uniform();
    filter.m_sections = {Shelf(false, lowHz, -lowCutDb, rateHz), Shelf(true, highHz, -highCutDb, rateHz),
                         Peak(dipHz, -dipCutDb, q, rateHz)};
    return filter;
}

std::vector<double> WallFilter::Apply(const std::vector<double>& values, std::size_t tailSamples) const
{
    if (Flat()) return values;
    std::vector<double> out(values.size() + tailSamples, 0.0);
    std::copy(values.begin(), values.end(), out.begin());
    for (const Biquad& s : m_sections) {
        double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
        for (double& v : out) {
            const double y0 = s.b0 * v + s.b1 * x1 + s.b2 * x2 - s.a1 * y1 - s.a2 * y2;
            x2 = x1;
            x1 = v;
            y2 = y1;
            y1 = y0;
            v = y0;
        }
    }
    const std::size_t fade = tailSamples / 4;
    for (std::size_t i = 0; i < fade; ++i) {
        out[out.size() - 1 - i] *= 0.5 - 0.5 * std::cos(kPi * static_cast<double>(i) / static_cast<double>(fade));
    }
    return out;
}

double WallFilter::GainDb(double frequencyHz) const
{
    if (Flat()) return 0;
    const std::complex<double> z = std::polar(1.0, -2 * kPi * frequencyHz / m_rateHz);
    std::complex<double> gain = 1;
    for (const Biquad& s : m_sections) {
        gain *= (s.b0 + s.b1 * z + s.b2 * z * z) / (1.0 + s.a1 * z + s.a2 * z * z);
    }
    return 20 * std::log10(std::abs(gain));
}

}  // namespace halvane::simulation
