#include "analysis/arrivals/ResponseOutline.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "analysis/arrivals/ShortFilters.h"
#include "analysis/convention/DirectSound.h"

namespace halvane {
namespace {

// The response is read this many frames at a time, with what its filters
// need on either side.
constexpr std::size_t kBlockFrames = 1 << 16;
// The pass keeps, per millisecond, W's energy and its largest 0.5 ms energy.
constexpr double kStepMs = 1.0;
// The checks of an impulse response (ResponseOutline).
constexpr double kOnsetDb = 20.0, kOnsetGapMs = 2.0;
constexpr double kStandOutDb = 6.0, kStandOutFromMs = 1.0, kStandOutToMs = 21.0;
constexpr double kDecayDb = 20.0, kDecayMs = 10.0;
// The search may end this far below the floor: a copy's correlation peak can
// stand above its own 0.5 ms energy.
constexpr double kEndMarginDb = 6.0;

struct Steps {
    std::size_t nonFinite = 0;      // samples of any channel
    std::size_t frames = 1;         // per step
    std::vector<double> energy;     // W^2 summed over each step
    std::vector<double> strongest;  // the largest 0.5 ms energy at a sample of each step
};

// One pass over W: the direct sound's rule fed sample by sample, and the steps.
Steps Pass(const BFormatSource& source, std::ptrdiff_t span, std::ptrdiff_t half, DirectSoundFinder& finder,
           const Cancellation& stop)
{
    Steps steps;
    const double rateHz = source.SampleRateHz();
    steps.frames = std::max<std::size_t>(1, static_cast<std::size_t>(std::nearbyint(kStepMs * rateHz / 1000.0)));
    const std::size_t total = source.Frames();
    steps.energy.assign((total + steps.frames - 1) / steps.frames, 0.0);
    steps.strongest.assign(steps.energy.size(), 0.0);
    const auto margin = static_cast<std::size_t>(span + half + 1);
    for (std::size_t first = 0; first < total && !stop.Requested(); first += kBlockFrames) {
        const std::size_t from = first >= margin ? first - margin : 0;
        const std::size_t to = std::min(total, first + kBlockFrames + margin);
        const BFormatSignal read = source.Signal(from, to - from, false);
        for (const std::vector<float>* channel : {&read.W, &read.Y, &read.Z, &read.X}) {
            for (std::size_t n = first - from; n < std::min(to, first + kBlockFrames) - from; ++n) {
                steps.nonFinite += std::isfinite((*channel)[n]) ? 0 : 1;
            }
        }
        std::vector<double> w(read.W.begin(), read.W.end());
        for (double& v : w) v = std::isfinite(v) ? v : 0.0;
        if (span > 0) HighPassCompact(w, span);
        const std::vector<double> energy = MovingEnergy(w, half);
        for (std::size_t n = first; n < std::min(total, first + kBlockFrames); ++n) {
            const double e = energy[n - from], v = w[n - from];
            finder.Add(e);
            const std::size_t step = n / steps.frames;
            steps.energy[step] += v * v;
            steps.strongest[step] = std::max(steps.strongest[step], e);
        }
    }
    return steps;
}

// Mean W^2 per sample over the steps from .. to (clipped); -1 for none.
double MeanPower(const Steps& steps, std::ptrdiff_t from, std::ptrdiff_t to)
{
    from = std::max<std::ptrdiff_t>(0, from);
    to = std::min(to, static_cast<std::ptrdiff_t>(steps.energy.size()) - 1);
    if (from > to) return -1;
    double sum = 0;
    for (std::ptrdiff_t s = from; s <= to; ++s) sum += steps.energy[static_cast<std::size_t>(s)];
    return sum / static_cast<double>((to - from + 1) * static_cast<std::ptrdiff_t>(steps.frames));
}

void Check(const Steps& steps, std::size_t directStep, double directPower, double windowFrames,
           ResponseOutline& outline)
{
    const auto d = static_cast<std::ptrdiff_t>(directStep);
    const auto ms = [](double v) { return static_cast<std::ptrdiff_t>(v / kStepMs); };
    const double before = MeanPower(steps, 0, d - ms(kOnsetGapMs));
    outline.hasOnset = before < 0 || before <= directPower * std::pow(10.0, -kOnsetDb / 10.0);
    // The loudest 0.5 ms from the direct sound on (itself, or a stronger
    // arrival where the direct path is blocked) against the mean that follows.
    const double after = MeanPower(steps, d + ms(kStandOutFromMs), d + ms(kStandOutToMs));
    double loudest = directPower;
    for (std::ptrdiff_t s = d;
         s <= std::min(d + ms(kStandOutToMs), static_cast<std::ptrdiff_t>(steps.strongest.size()) - 1); ++s) {
        loudest = std::max(loudest, steps.strongest[static_cast<std::size_t>(s)] / windowFrames);
    }
    outline.standsOut = after < 0 || after <= loudest * std::pow(10.0, -kStandOutDb / 10.0);
    const double quiet = directPower * std::pow(10.0, -kDecayDb / 10.0);
    const std::ptrdiff_t length = std::max<std::ptrdiff_t>(1, ms(kDecayMs));
    const auto count = static_cast<std::ptrdiff_t>(steps.energy.size());
    for (std::ptrdiff_t s = d + 1; s + length <= count && !outline.decays; ++s) {
        const double power = MeanPower(steps, s, s + length - 1);
        outline.decays = power >= 0 && power <= quiet;
    }
}

}  // namespace

ResponseOutline OutlineResponse(const BFormatSource& source, double lowCutHz, double floorDb, const Cancellation& stop)
{
    ResponseOutline outline;
    const double rateHz = source.SampleRateHz();
    if (!(std::isfinite(rateHz) && rateHz > 0) || source.Frames() == 0) return outline;
    const std::ptrdiff_t span = LowCutSpanSamples(rateHz, lowCutHz);
    const auto half = std::max<std::ptrdiff_t>(
        0, static_cast<std::ptrdiff_t>(std::min(std::nearbyint(kLevelWindowMs * rateHz / 2000.0), 4096.0)));
    DirectSoundFinder finder;
    const Steps steps = Pass(source, span, half, finder, stop);
    outline.nonFiniteSamples = steps.nonFinite;
    if (stop.Requested()) return outline;
    const std::optional<std::size_t> direct = finder.DirectWindow();
    if (!direct) return outline;
    outline.found = true;
    outline.directFrame = *direct;
    // The largest 0.5 ms energy of the steps the window after the first sample reaches.
    const std::size_t lastStep =
        std::min(steps.strongest.size() - 1, (*direct + static_cast<std::size_t>(2 * half)) / steps.frames);
    for (std::size_t s = *direct / steps.frames; s <= lastStep; ++s) {
        outline.directEnergy = std::max(outline.directEnergy, steps.strongest[s]);
    }
    const double directPower = outline.directEnergy / static_cast<double>(2 * half + 1);
    Check(steps, *direct / steps.frames, directPower, static_cast<double>(2 * half + 1), outline);

    const double lowest = outline.directEnergy * std::pow(10.0, -(floorDb + kEndMarginDb) / 10.0);
    std::size_t last = *direct / steps.frames;
    for (std::size_t s = last; s < steps.strongest.size(); ++s) {
        if (steps.strongest[s] >= lowest) last = s;
    }
    const auto longest = static_cast<std::size_t>(std::nearbyint(kLongestSearchS * rateHz));
    outline.searchEndFrame = std::min({source.Frames(), (last + 1) * steps.frames, *direct + longest});
    return outline;
}

}  // namespace halvane
