#include "analysis/room/EnergyDecay.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace halvane {
namespace {

// The choices left open by Lundeby et al., fixed here.
constexpr std::size_t kMinIntervals = 4;      // fewer intervals cannot show a decay and a noise floor
constexpr double kFirstFitAboveNoiseDb = 10;  // step 2 fits down to 10 dB above the noise
constexpr double kIntervalsPer10Db = 5;       // step 3 interval length (3 to 10 suggested)
constexpr double kNoiseAfterCrossingDb = 5;   // noise is taken from 5 dB of decay past the crossing (5 to 10)
constexpr double kLateFitAboveNoiseDb = 5;    // the late decay is fitted from 5 dB above the noise (5 to 10)
constexpr double kLateFitRangeDb = 20;        // over 20 dB of decay (10 to 20)
constexpr int kMaxIterations = 5;
constexpr double kNoiseShare = 0.1;  // the noise is never taken from less than the last 10 %

constexpr double kMinusInfinity = -std::numeric_limits<double>::infinity();

double ToDb(double energy) { return energy > 0 ? 10 * std::log10(energy) : kMinusInfinity; }

}  // namespace

EnergyDecay::EnergyDecay(std::vector<double> energy, double sampleRateHz, std::size_t firstIntervalFrames)
    : m_sampleRateHz(sampleRateHz), m_frames(energy.size()), m_suffix(std::move(energy))
{
    // The squared values become their suffix sums in place. Summing from the
    // end adds the small late values first, so each sum is accurate to its own
    // size, however far down the decay it lies.
    for (std::size_t n = m_frames; n-- > 1;) m_suffix[n - 1] += m_suffix[n];

    Analyse(std::max<std::size_t>(firstIntervalFrames, 1));
    if (!m_found) {
        m_crossingFrame = static_cast<double>(m_frames);
        m_cutFrame = m_frames;
        m_noiseEnergy = 0;
        m_subtractedNoise = 0;
        m_tailEnergy = 0;
        m_tailRatio = 0;
        m_decayRangeDb = 0;
    }
    // sum over n < cut of n (e[n] - noise), from the suffix sums S:
    // sum of n e[n] = sum over m = 1 .. cut-1 of (S[m] - S[cut]).
    const double atCut = Suffix(m_cutFrame);
    double moment = 0;
    for (std::size_t m = 1; m < m_cutFrame; ++m) moment += m_suffix[m] - atCut;
    const double cut = static_cast<double>(m_cutFrame);
    moment -= m_subtractedNoise * cut * (cut - 1) / 2;
    if (m_found) {
        // sum over j >= 0 of (cut + j) m q^j, m the line's energy at the cut:
        // cut m / (1 - q) + m q / (1 - q)^2.
        const double q = m_tailRatio;
        moment += m_tailEnergy * (cut + q / (1 - q));
    }
    m_firstMoment = moment;
}

double EnergyDecay::Suffix(std::size_t frame) const { return frame < m_frames ? m_suffix[frame] : 0.0; }

double EnergyDecay::IntervalMean(std::size_t first, std::size_t end) const
{
    return (Suffix(first) - Suffix(end)) / static_cast<double>(end - first);
}

std::vector<double> EnergyDecay::IntervalLevelsDb(std::size_t intervalFrames) const
{
    const std::size_t count = m_frames / intervalFrames;
    std::vector<double> levels(count);
    for (std::size_t k = 0; k < count; ++k) {
        levels[k] = ToDb(IntervalMean(k * intervalFrames, (k + 1) * intervalFrames));
    }
    return levels;
}

std::optional<EnergyDecay::Line> EnergyDecay::FitIntervals(const std::vector<double>& levelsDb,
                                                           std::size_t intervalFrames, double topDb,
                                                           double bottomDb) const
{
    if (levelsDb.empty()) return std::nullopt;
    const auto peak = static_cast<std::size_t>(std::max_element(levelsDb.begin(), levelsDb.end()) - levelsDb.begin());
    std::size_t first = peak;
    while (first < levelsDb.size() && levelsDb[first] > topDb) ++first;
    std::size_t end = first;
    // A silent interval (minus infinity) ends the stretch whatever the bottom.
    while (end < levelsDb.size() && levelsDb[end] >= bottomDb && levelsDb[end] > kMinusInfinity) ++end;
    if (end < first + 2) return std::nullopt;

    // Least squares over the interval centres, centred on their mean.
    const double count = static_cast<double>(end - first);
    const double half = (static_cast<double>(intervalFrames) - 1) / 2;
    double meanX = 0, meanY = 0;
    for (std::size_t k = first; k < end; ++k) {
        meanX += static_cast<double>(k * intervalFrames) + half;
        meanY += levelsDb[k];
    }
    meanX /= count;
    meanY /= count;
    double sxy = 0, sxx = 0;
    for (std::size_t k = first; k < end; ++k) {
        const double dx = static_cast<double>(k * intervalFrames) + half - meanX;
        sxy += dx * (levelsDb[k] - meanY);
        sxx += dx * dx;
    }
    Line line;
    line.slopeDbPerFrame = sxy / sxx;
    line.interceptDb = meanY - line.slopeDbPerFrame * meanX;
    return line;
}

void EnergyDecay::Analyse(std::size_t firstIntervalFrames)
{
    if (m_frames < kMinIntervals * firstIntervalFrames || !(Suffix(0) > 0)) return;
    const double frames = static_cast<double>(m_frames);
    const std::size_t lastShareFirst =
        m_frames - std::max<std::size_t>(1, static_cast<std::size_t>(frames * kNoiseShare));
    auto crossing = [frames](const Line& line, double noiseDb) {
        if (noiseDb == kMinusInfinity) return frames;
        return std::clamp((noiseDb - line.interceptDb) / line.slopeDbPerFrame, 0.0, frames);
    };

    // Steps 1 and 2.
    double noise = IntervalMean(lastShareFirst, m_frames);
    double noiseDb = ToDb(noise);
    bool floorReached = false;
    std::optional<Line> line = FitIntervals(IntervalLevelsDb(firstIntervalFrames), firstIntervalFrames,
                                            std::numeric_limits<double>::infinity(), noiseDb + kFirstFitAboveNoiseDb);
    if (!line || !(line->slopeDbPerFrame < 0)) return;
    double crossingFrame = crossing(*line, noiseDb);

    // Step 3, repeated.
    for (int iteration = 0; iteration < kMaxIterations; ++iteration) {
        const double framesPer10Db = 10 / -line->slopeDbPerFrame;
        // (At most the whole response: a nearly flat line asks for more.)
        const auto intervalFrames =
            static_cast<std::size_t>(std::clamp(std::nearbyint(framesPer10Db / kIntervalsPer10Db), 1.0, frames));
        const double noiseFrom = crossingFrame + kNoiseAfterCrossingDb / 10 * framesPer10Db;
        const std::size_t noiseFirst =
            noiseFrom < static_cast<double>(lastShareFirst) ? static_cast<std::size_t>(noiseFrom) : lastShareFirst;
        const double newNoise = IntervalMean(noiseFirst, m_frames);
        const double newNoiseDb = ToDb(newNoise);
        const double bottomDb = newNoiseDb + kLateFitAboveNoiseDb;
        const std::optional<Line> late =
            FitIntervals(IntervalLevelsDb(intervalFrames), intervalFrames, bottomDb + kLateFitRangeDb, bottomDb);
        if (!late || !(late->slopeDbPerFrame < 0)) break;
        noise = newNoise;
        noiseDb = newNoiseDb;
        floorReached = noiseFirst < lastShareFirst;
        line = late;
        const double moved = std::abs(crossing(*line, noiseDb) - crossingFrame);
        crossingFrame = crossing(*line, noiseDb);
        if (moved < static_cast<double>(intervalFrames)) break;
    }

    // The late decay as energy per frame, m(n) = 10^((a + b n) / 10), summed
    // from the cut to infinity: m(cut) / (1 - q) with q = 10^(b / 10).
    const std::size_t cut = static_cast<std::size_t>(std::nearbyint(crossingFrame));
    const double ratio = std::pow(10.0, line->slopeDbPerFrame / 10);
    const double tail =
        std::pow(10.0, (line->interceptDb + line->slopeDbPerFrame * static_cast<double>(cut)) / 10) / (1 - ratio);
    // Noise is taken off only where the decay was seen to meet it: a response
    // that still decays in its last 10 % has no noise floor to take off (what
    // was measured there is decay), and taking it off would shorten T30.
    const double subtracted = floorReached ? noise : 0;
    const double total = Suffix(0) - Suffix(cut) - subtracted * static_cast<double>(cut) + tail;
    if (!(tail > 0) || !std::isfinite(tail) || !(total > tail)) return;

    m_found = true;
    m_crossingFrame = crossingFrame;
    m_cutFrame = cut;
    m_noiseEnergy = noise;
    m_subtractedNoise = subtracted;
    m_tailEnergy = tail;
    m_tailRatio = ratio;
    m_decayRangeDb = 10 * std::log10(total / tail);
}

double EnergyDecay::Remaining(std::size_t frame) const
{
    if (frame < m_cutFrame) {
        const double decayEnergy =
            m_suffix[frame] - Suffix(m_cutFrame) - m_subtractedNoise * static_cast<double>(m_cutFrame - frame);
        return std::max(0.0, decayEnergy + m_tailEnergy);
    }
    if (!m_found) return 0;
    return m_tailEnergy * std::pow(m_tailRatio, static_cast<double>(frame - m_cutFrame));
}

std::size_t EnergyDecay::FirstAtOrBelow(double energy) const
{
    // Remaining falls with the frame (but for a frame's noise fluctuation, far
    // below the levels asked for here), so bisection finds the frame.
    std::size_t first = 0, count = m_frames;
    while (count > 0) {
        const std::size_t step = count / 2;
        if (Remaining(first + step) > energy) {
            first += step + 1;
            count -= step + 1;
        } else {
            count = step;
        }
    }
    return first;
}

std::vector<std::optional<DecayFit>> EnergyDecay::Fit(std::span<const FitRange> ranges) const
{
    std::vector<std::optional<DecayFit>> fits(ranges.size());
    const double start = Remaining(0);
    if (!(start > 0) || m_frames == 0) return fits;

    // Each range's frames [first, end): from the first at or below fromDb to
    // one past the last at or above toDb (the first below it).
    struct Sums {
        std::size_t first = 0, end = 0;
        double sumY = 0, sumXY = 0;
    };
    std::vector<Sums> sums(ranges.size());
    std::size_t unionFirst = m_frames, unionEnd = 0;
    for (std::size_t r = 0; r < ranges.size(); ++r) {
        sums[r].first = FirstAtOrBelow(start * std::pow(10.0, ranges[r].fromDb / 10));
        const double toEnergy = start * std::pow(10.0, ranges[r].toDb / 10);
        sums[r].end = FirstAtOrBelow(std::nextafter(toEnergy, 0.0));
        if (sums[r].end < sums[r].first + 2) continue;
        unionFirst = std::min(unionFirst, sums[r].first);
        unionEnd = std::max(unionEnd, sums[r].end);
    }

    // Least squares on consecutive frames: with x centred on its mean, the
    // slope is sum((x - mean) y) / sum((x - mean)^2), the latter n (n^2 - 1) / 12.
    for (std::size_t frame = unionFirst; frame < unionEnd; ++frame) {
        const double y = 10 * std::log10(Remaining(frame) / start);
        for (Sums& s : sums) {
            if (frame < s.first || frame >= s.end) continue;
            const double meanX = (static_cast<double>(s.first) + static_cast<double>(s.end - 1)) / 2;
            s.sumY += y;
            s.sumXY += (static_cast<double>(frame) - meanX) * y;
        }
    }
    for (std::size_t r = 0; r < ranges.size(); ++r) {
        const Sums& s = sums[r];
        if (s.end < s.first + 2) continue;
        const double n = static_cast<double>(s.end - s.first);
        const double meanX = (static_cast<double>(s.first) + static_cast<double>(s.end - 1)) / 2;
        const double slopePerFrame = s.sumXY / (n * (n * n - 1) / 12);
        DecayFit fit;
        fit.slopeDbPerS = slopePerFrame * m_sampleRateHz;
        fit.interceptDb = s.sumY / n - slopePerFrame * meanX;
        fit.fromS = static_cast<double>(s.first) / m_sampleRateHz;
        fit.toS = static_cast<double>(s.end - 1) / m_sampleRateHz;
        fits[r] = fit;
    }
    return fits;
}

void EnergyDecay::Curve(std::size_t strideFrames, std::vector<double>& timeS, std::vector<double>& levelDb) const
{
    timeS.clear();
    levelDb.clear();
    const double start = Remaining(0);
    if (!(start > 0)) return;
    const std::size_t stride = std::max<std::size_t>(strideFrames, 1);
    const std::size_t end = m_found ? std::min(m_frames, m_cutFrame + 1) : m_frames;
    for (std::size_t frame = 0; frame < end; frame += stride) {
        const double remaining = Remaining(frame);
        if (!(remaining > 0)) break;
        timeS.push_back(static_cast<double>(frame) / m_sampleRateHz);
        levelDb.push_back(10 * std::log10(remaining / start));
    }
}

}  // namespace halvane
