#include "analysis/convention/ConventionCheck.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <limits>

#include "values/SoundField.h"

namespace halvane {
namespace {

// Costs (see ReadingCost in the header).
constexpr double kImplausibleCost = 10.0;
constexpr double kMicrophoneRatioCost = 1.0;
// A ratio within 5 % of 1 is taken as (nearly) exact: quantisation of an encoded plane wave
// stays far inside, a microphone's excess far outside.
constexpr double kExactRatioLn = 0.05;
constexpr double kSideCost = 0.5;
constexpr double kHighElevationFromDeg = 30.0;

constexpr std::array<Normalisation, 3> kNorms{Normalisation::Sn3d, Normalisation::N3d, Normalisation::Fuma};

std::size_t NormIndex(Normalisation norm)
{
    return static_cast<std::size_t>(std::find(kNorms.begin(), kNorms.end(), norm) - kNorms.begin());
}

// A window's energy in a normalisation: W is the file's first channel in every order, and the
// other three share one gain, so the order does not matter.
double EnergyIn(const ConventionCheck::ChannelProducts& p, Normalisation norm)
{
    const auto gain = GainsToSn3d(norm);
    return gain[0] * gain[0] * p[0][0] + gain[1] * gain[1] * (p[1][1] + p[2][2] + p[3][3]);
}

double Product(const ConventionCheck::ChannelProducts& p, std::size_t a, std::size_t b)
{
    return a <= b ? p[a][b] : p[b][a];
}

}  // namespace

Placement PlaceDirection(double azDeg, double elDeg)
{
    if (!std::isfinite(azDeg) || !std::isfinite(elDeg)) return Placement::Nowhere;
    if (elDeg < kBelowHorizonDeg) return Placement::Below;
    if (elDeg > kOverheadDeg) return Placement::Overhead;
    const double away = std::fabs(azDeg);
    if (away > kBehindAzimuthDeg) return Placement::Behind;
    return away > kFrontAzimuthDeg ? Placement::Side : Placement::Front;
}

bool IsPlausible(Placement placement) { return placement == Placement::Front || placement == Placement::Side; }

double ReadingCost(double energyRatio, Placement placement, double azDeg, double elDeg)
{
    double cost = 0;
    if (energyRatio >= kPlaneWaveRatioLow && energyRatio <= kPlaneWaveRatioHigh) {
        cost += kMicrophoneRatioCost * std::min(std::fabs(std::log(energyRatio)) / kExactRatioLn, 1.0);
    } else if (energyRatio > kPlaneWaveRatioHigh && std::isfinite(energyRatio)) {
        cost += kImplausibleCost + std::log(energyRatio / kPlaneWaveRatioHigh);
    } else if (energyRatio > 0 && energyRatio < kPlaneWaveRatioLow) {
        cost += kImplausibleCost + std::log(kPlaneWaveRatioLow / energyRatio);
    } else {
        // No W at all, no X, Y, Z at all, or sums that are not finite: nothing like a plane wave.
        cost += 2 * kImplausibleCost;
    }

    if (!IsPlausible(placement)) return cost + kImplausibleCost;
    const double sideways = (std::fabs(azDeg) - kFrontAzimuthDeg) / (90.0 - kFrontAzimuthDeg);
    const double upwards = (elDeg - kHighElevationFromDeg) / (kOverheadDeg - kHighElevationFromDeg);
    return cost + kSideCost * std::clamp(sideways, 0.0, 1.0) + kSideCost * std::clamp(upwards, 0.0, 1.0);
}

ConventionCheck::ConventionCheck(double sampleRateHz)
    : m_sampleRateHz(sampleRateHz), m_framesPerWindow(static_cast<std::size_t>(
                                        std::max(1.0, std::nearbyint(sampleRateHz * kConventionWindowMs / 1000.0)))),
      m_searchWindows(static_cast<std::size_t>(std::nearbyint(kDirectSoundSearchMs / kConventionWindowMs)))
{
    assert(sampleRateHz > 0 && std::isfinite(sampleRateHz));
}

void ConventionCheck::AddFrames(std::span<const double> interleaved) { Add(interleaved); }

void ConventionCheck::AddFrames(std::span<const float> interleaved) { Add(interleaved); }

template <typename Sample> void ConventionCheck::Add(std::span<const Sample> interleaved)
{
    assert(!m_finished);
    const std::size_t frames = interleaved.size() / kBFormatChannels;
    for (std::size_t frame = 0; frame < frames;) {
        const std::size_t run = std::min(frames - frame, m_framesPerWindow - m_framesInCurrent);
        AddToWindow(interleaved.subspan(frame * kBFormatChannels, run * kBFormatChannels));
        frame += run;
        m_framesInCurrent += run;
        if (m_framesInCurrent == m_framesPerWindow) CloseWindow();
    }
}

template <typename Sample> void ConventionCheck::AddToWindow(std::span<const Sample> interleaved)
{
    // The ten sums in locals, which the compiler keeps in registers (the
    // members could alias the samples); each is the same sum, term by term, in
    // the same order, as one kept in place.
    double p00 = m_current[0][0], p01 = m_current[0][1], p02 = m_current[0][2], p03 = m_current[0][3];
    double p11 = m_current[1][1], p12 = m_current[1][2], p13 = m_current[1][3];
    double p22 = m_current[2][2], p23 = m_current[2][3], p33 = m_current[3][3];
    for (std::size_t i = 0; i + kBFormatChannels <= interleaved.size(); i += kBFormatChannels) {
        const double a = static_cast<double>(interleaved[i]), b = static_cast<double>(interleaved[i + 1]);
        const double c = static_cast<double>(interleaved[i + 2]), d = static_cast<double>(interleaved[i + 3]);
        p00 += a * a, p01 += a * b, p02 += a * c, p03 += a * d;
        p11 += b * b, p12 += b * c, p13 += b * d;
        p22 += c * c, p23 += c * d, p33 += d * d;
    }
    m_current[0] = {p00, p01, p02, p03};
    m_current[1][1] = p11, m_current[1][2] = p12, m_current[1][3] = p13;
    m_current[2][2] = p22, m_current[2][3] = p23, m_current[3][3] = p33;
}

void ConventionCheck::Finish()
{
    if (m_finished) return;
    if (m_framesInCurrent > 0) CloseWindow();
    m_finished = true;
}

bool ConventionCheck::Needed(std::size_t window) const
{
    return std::any_of(m_finders.begin(), m_finders.end(),
                       [&](const DirectSoundFinder& f) { return f.IsCandidate(window); });
}

void ConventionCheck::CloseWindow()
{
    const std::size_t window = WindowCount();
    std::array<std::optional<std::size_t>, 3> before;
    for (std::size_t n = 0; n < kNorms.size(); ++n) {
        before[n] = m_finders[n].DirectWindow();
        m_finders[n].Add(EnergyIn(m_current, kNorms[n]));
    }
    if (Needed(window)) m_kept[window] = m_current;

    // Candidates leave a finder only from its front; a window's sums go once it is a
    // candidate of no finder.
    for (std::size_t n = 0; n < kNorms.size(); ++n) {
        const auto after = m_finders[n].DirectWindow();
        if (!before[n] || before[n] == after) continue;
        const auto end = after ? m_kept.lower_bound(*after) : m_kept.end();
        for (auto it = m_kept.lower_bound(*before[n]); it != end;)
            it = Needed(it->first) ? std::next(it) : m_kept.erase(it);
    }
    m_current = {};
    m_framesInCurrent = 0;
}

std::optional<DirectSoundReading> ConventionCheck::Read(AmbisonicConvention convention) const
{
    if (!m_finished) return std::nullopt;
    const auto first = m_finders[NormIndex(convention.norm)].DirectWindow();
    if (!first) return std::nullopt;

    // The loudest window of the following 10 ms is louder than every window before it, so it
    // is a candidate itself and its sums are kept.
    std::size_t loudest = *first;
    double loudestEnergy = EnergyIn(m_kept.at(*first), convention.norm);
    for (auto it = m_kept.upper_bound(*first); it != m_kept.end() && it->first <= *first + m_searchWindows; ++it) {
        const double energy = EnergyIn(it->second, convention.norm);
        if (std::isfinite(energy) && energy > loudestEnergy) {
            loudest = it->first;
            loudestEnergy = energy;
        }
    }

    const ChannelProducts& p = m_kept.at(loudest);
    const auto source = AmbixSourceChannels(convention.order);  // W, Y, Z, X
    const auto gain = GainsToSn3d(convention.norm);
    const std::size_t w = source[0], y = source[1], z = source[2], x = source[3];
    const double ww = gain[0] * gain[0] * Product(p, w, w);
    const double vv = gain[1] * gain[1] * (Product(p, x, x) + Product(p, y, y) + Product(p, z, z));
    const double ix = gain[3] * gain[0] * Product(p, x, w);
    const double iy = gain[1] * gain[0] * Product(p, y, w);
    const double iz = gain[2] * gain[0] * Product(p, z, w);

    DirectSoundReading reading;
    reading.convention = convention;
    reading.window = loudest;
    reading.startMs = static_cast<double>(loudest * m_framesPerWindow) * 1000.0 / m_sampleRateHz;
    reading.energyRatio = ww > 0 ? vv / ww : std::numeric_limits<double>::infinity();
    reading.planeWave = reading.energyRatio >= kPlaneWaveRatioLow && reading.energyRatio <= kPlaneWaveRatioHigh;
    const double magnitude = std::sqrt(ix * ix + iy * iy + iz * iz);
    if (magnitude > 0 && std::isfinite(magnitude)) {
        const Direction direction = DirectionOfIntensity(ix, iy, iz);
        reading.azDeg = direction.azDeg;
        reading.elDeg = direction.elDeg;
        reading.placement = PlaceDirection(reading.azDeg, reading.elDeg);
    }
    reading.cost = ReadingCost(reading.energyRatio, reading.placement, reading.azDeg, reading.elDeg);
    return reading;
}

std::optional<ConventionChoice> ChooseConvention(const ConventionCheck& check,
                                                 std::span<const AmbisonicConvention> candidates)
{
    ConventionChoice choice;
    for (const AmbisonicConvention& convention : candidates) {
        auto reading = check.Read(convention);
        if (!reading) return std::nullopt;
        if (choice.readings.empty() || reading->cost < choice.Best().cost) choice.best = choice.readings.size();
        choice.readings.push_back(*reading);
    }
    if (choice.readings.empty()) return std::nullopt;
    return choice;
}

std::vector<AmbisonicConvention> CandidateConventions(std::optional<ChannelOrder> order,
                                                      std::optional<Normalisation> norm)
{
    if (order && norm) return {{*order, *norm}};
    if (order) return {{*order, Normalisation::Sn3d}, {*order, Normalisation::N3d}, {*order, Normalisation::Fuma}};
    if (norm) return {{ChannelOrder::Ambix, *norm}, {ChannelOrder::Fuma, *norm}};
    return {kCommonConventions.begin(), kCommonConventions.end()};
}

std::optional<DirectSoundReading> ConventionVerdict::Suggested() const
{
    if (common.Best().cost < Used().cost) return common.Best();
    return std::nullopt;
}

std::optional<ConventionVerdict> JudgeConvention(const ConventionCheck& check, std::optional<ChannelOrder> order,
                                                 std::optional<Normalisation> norm)
{
    const auto candidates = CandidateConventions(order, norm);
    auto found = ChooseConvention(check, candidates);
    auto common = ChooseConvention(check, kCommonConventions);
    if (!found || !common) return std::nullopt;
    return ConventionVerdict{std::move(*found), std::move(*common)};
}

}  // namespace halvane
