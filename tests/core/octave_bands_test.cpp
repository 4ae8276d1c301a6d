#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>
#include <numbers>

#include "RoomSignals.h"
#include "analysis/room/OctaveBands.h"

namespace halvane {
namespace {

constexpr double kRatesHz[] = {44100, 48000, 96000};
constexpr double kNoLimit = std::numeric_limits<double>::infinity();
// std::pow rounding in the mid-band frequency: a few units in the last place.
constexpr double kPowTolerance = 1e-13;
// A sine's steady-state amplitude after the filter, fitted over half a second
// past the start-up: the start-up has died away by far more than this.
constexpr double kSteadyStateTolerance = 1e-6;
// Single-precision output of FilterToOctaveBand.
constexpr double kFloatTolerance = 1e-5;
// The forward pass's ring-out is held until the response has fallen by
// 100 dB in energy (1e-5 in amplitude); the backward pass misses what lies
// beyond, most at the far ends of the held frames. (A response moved by one
// frame would be asymmetric by a few percent of its peak.)
constexpr double kSymmetryTolerance = 1e-5;

// The class 1 acceptance limits of IEC 61260-1:2014 on the relative
// attenuation (dB) of an octave-band filter, at G^x times the exact mid-band
// frequency, alike on both sides.
struct MaskPoint {
    double octaves;
    double minDb, maxDb;
};
constexpr MaskPoint kClass1Mask[] = {
    {0, -0.4, 0.4},      {0.125, -0.4, 0.5},  {0.25, -0.4, 0.7}, {0.375, -0.4, 1.4}, {0.5, 1.2, 5.3},
    {1, 16.6, kNoLimit}, {2, 40.5, kNoLimit}, {3, 60, kNoLimit}, {4, 70, kNoLimit},
};

// The limits at |x| octaves, linear in x between the table's points (inside
// the band the lower limit stays at -0.4 dB up to the edge; beyond the edge
// there is no upper limit).
std::pair<double, double> Class1Limits(double x)
{
    x = std::abs(x);
    for (std::size_t i = 0; i + 1 < std::size(kClass1Mask); ++i) {
        const MaskPoint& a = kClass1Mask[i];
        const MaskPoint& b = kClass1Mask[i + 1];
        if (x == a.octaves) return {a.minDb, a.maxDb};
        if (x > b.octaves) continue;
        const double t = (x - a.octaves) / (b.octaves - a.octaves);
        const double minDb = b.octaves == 0.5 ? a.minDb : a.minDb + t * (b.minDb - a.minDb);
        const double maxDb = a.octaves >= 0.5 ? kNoLimit : a.maxDb + t * (b.maxDb - a.maxDb);
        return {minDb, maxDb};
    }
    return {kClass1Mask[std::size(kClass1Mask) - 1].minDb, kNoLimit};
}

TEST(OctaveBands, ExactMidBandFrequenciesOfTheBase10System)
{
    const std::pair<int, double> rows[] = {{125, 125.89254117941673},  {250, 251.18864315095797},
                                           {500, 501.18723362727224},  {1000, 1000},
                                           {2000, 1995.2623149688795}, {4000, 3981.0717055349722}};
    for (const auto& [nominal, exactHz] : rows) EXPECT_NEAR(*ExactMidBandHz(nominal), exactHz, kPowTolerance * exactHz);
    for (int unknown : {0, 63, 1001, 8000, -125}) EXPECT_FALSE(ExactMidBandHz(unknown)) << unknown;
}

TEST(OctaveBands, SquaredResponseMeetsTheClass1MaskAtThreeRates)
{
    for (double rateHz : kRatesHz) {
        for (int nominal : kOctaveBandsHz) {
            const auto filter = OctaveBandFilter::Design(nominal, rateHz);
            ASSERT_TRUE(filter);
            // Every table point and every 1/32 octave between, up to half the rate.
            for (int step = -4 * 32; step <= 4 * 32; ++step) {
                const double x = step / 32.0;
                const double frequencyHz = filter->MidBandHz() * std::pow(10.0, 0.3 * x);
                if (frequencyHz >= rateHz / 2) break;
                const double attenuationDb = -20 * std::log10(filter->ZeroPhaseGain(frequencyHz));
                const auto [minDb, maxDb] = Class1Limits(x);
                EXPECT_GE(attenuationDb, minDb) << rateHz << " Hz, band " << nominal << ", " << x << " octaves";
                EXPECT_LE(attenuationDb, maxDb) << rateHz << " Hz, band " << nominal << ", " << x << " octaves";
            }
            // -3 dB exactly at both band edges, by design.
            EXPECT_NEAR(filter->ZeroPhaseGain(filter->MidBandHz() * std::pow(10.0, 0.15)), std::sqrt(0.5), 1e-9);
            EXPECT_NEAR(filter->ZeroPhaseGain(filter->MidBandHz() / std::pow(10.0, 0.15)), std::sqrt(0.5), 1e-9);
        }
    }
}

TEST(OctaveBands, DesignRefusesWhatCannotBeBuilt)
{
    const struct {
        const char* name;
        int nominalHz;
        double rateHz;
        bool designed;
    } rows[] = {
        {"unknown band", 63, 48000, false},
        {"zero rate", 1000, 0, false},
        {"negative rate", 1000, -48000, false},
        {"not-a-number rate", 1000, std::numeric_limits<double>::quiet_NaN(), false},
        {"infinite rate", 1000, kNoLimit, false},
        {"rate above the highest accepted", 1000, 2 * kMaxSampleRateHz, false},
        {"4 kHz band edge above half of 11025 Hz", 4000, 11025, false},
        {"4 kHz band edge below half of 12 kHz", 4000, 12000, true},
        {"125 Hz at 8 kHz", 125, 8000, true},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(OctaveBandFilter::Design(row.nominalHz, row.rateHz).has_value(), row.designed) << row.name;
    }
}

// Amplitude of the sinusoid at frequencyHz that best fits values[first, end).
double FittedAmplitude(const std::vector<double>& values, std::size_t first, std::size_t end, double frequencyHz,
                       double rateHz)
{
    double ss = 0, sc = 0, cc = 0, ys = 0, yc = 0;
    for (std::size_t n = first; n < end; ++n) {
        const double phase = 2 * std::numbers::pi * frequencyHz * static_cast<double>(n) / rateHz;
        const double s = std::sin(phase), c = std::cos(phase);
        ss += s * s, sc += s * c, cc += c * c, ys += values[n] * s, yc += values[n] * c;
    }
    const double det = ss * cc - sc * sc;
    return std::hypot((ys * cc - yc * sc) / det, (yc * ss - ys * sc) / det);
}

TEST(OctaveBands, FilteringGivesTheDesignedSquaredResponse)
{
    const struct {
        int nominalHz;
        double rateHz;
    } rows[] = {{125, 48000}, {1000, 96000}, {4000, 44100}};
    for (const auto& row : rows) {
        const auto filter = OctaveBandFilter::Design(row.nominalHz, row.rateHz);
        for (double octaves : {0.0, -0.5, 0.5, 1.0}) {
            const double frequencyHz = filter->MidBandHz() * std::pow(10.0, 0.3 * octaves);
            std::vector<double> sine(test::FramesOf(1.5, row.rateHz));
            for (std::size_t n = 0; n < sine.size(); ++n) {
                sine[n] = std::sin(2 * std::numbers::pi * frequencyHz * static_cast<double>(n) / row.rateHz);
            }
            const ZeroPhaseSequence out = filter->FilterZeroPhase(std::span<const double>(sine));
            const std::vector<double> middle(out.values.begin() + static_cast<std::ptrdiff_t>(out.leadFrames),
                                             out.values.end() - static_cast<std::ptrdiff_t>(out.leadFrames));
            const double amplitude = FittedAmplitude(middle, test::FramesOf(0.5, row.rateHz),
                                                     test::FramesOf(1.0, row.rateHz), frequencyHz, row.rateHz);
            EXPECT_NEAR(amplitude, filter->ZeroPhaseGain(frequencyHz), kSteadyStateTolerance)
                << row.nominalHz << " Hz band at " << row.rateHz << " Hz, " << octaves << " octaves";
        }
    }
}

TEST(OctaveBands, ZeroPhaseHoldsThePreRingingAndMovesNoArrival)
{
    for (int nominal : {125, 4000}) {
        const auto filter = OctaveBandFilter::Design(nominal, 48000);
        // An impulse on the very first frame: all its pre-ringing lies before the input.
        const float impulse[] = {1.0f, 0.0f, 0.0f};
        const ZeroPhaseSequence out = filter->FilterZeroPhase(impulse);
        ASSERT_EQ(out.leadFrames, filter->RingFrames());
        ASSERT_EQ(out.values.size(), 3 + 2 * filter->RingFrames());
        const std::size_t centre = out.leadFrames;
        double before = 0, after = 0, largest = 0;
        for (std::size_t i = 0; i < out.values.size(); ++i) {
            largest = std::max(largest, std::abs(out.values[i]));
            if (i < centre) before += out.values[i] * out.values[i];
            if (i > centre) after += out.values[i] * out.values[i];
        }
        EXPECT_EQ(largest, std::abs(out.values[centre])) << nominal;
        for (std::size_t k = 1; k <= centre; ++k) {
            ASSERT_NEAR(out.values[centre - k], out.values[centre + k], kSymmetryTolerance * largest)
                << nominal << " lag " << k;
        }
        EXPECT_NEAR(before / after, 1.0, 1e-9) << nominal;
        // Both ends of the held sequence are silent, 100 dB down in energy.
        EXPECT_LT(std::abs(out.values.front()), 1e-5 * largest) << nominal;
        EXPECT_LT(std::abs(out.values.back()), 1e-5 * largest) << nominal;
    }
}

TEST(OctaveBands, FourChannelsFilteredAlikeInTheirOwnOrder)
{
    const double rateHz = 48000;
    // A mid-band tone from a known direction: the band keeps the channel ratios.
    const auto tone = test::DampedTone(rateHz, 1000, 10.0, 0.0, 0.5);
    const BFormatSignal plane = test::PlaneWave(tone, rateHz, 30, 20);
    const BFormatSignal band = FilterToOctaveBand(plane, 1000);
    ASSERT_EQ(band.Frames(), plane.Frames());
    EXPECT_EQ(band.SampleRateHz, rateHz);
    const std::size_t n = test::FramesOf(0.25, rateHz) + 3;  // some frame away from a zero crossing
    const double az = 30 * std::numbers::pi / 180, el = 20 * std::numbers::pi / 180;
    EXPECT_NEAR(band.Y[n] / band.W[n], std::sin(az) * std::cos(el), kFloatTolerance);
    EXPECT_NEAR(band.Z[n] / band.W[n], std::sin(el), kFloatTolerance);
    EXPECT_NEAR(band.X[n] / band.W[n], std::cos(az) * std::cos(el), kFloatTolerance);

    // Distinct impulses per channel each stay at their own frame.
    BFormatSignal impulses;
    impulses.SampleRateHz = rateHz;
    for (std::vector<float>* channel : {&impulses.W, &impulses.Y, &impulses.Z, &impulses.X}) {
        channel->assign(20000, 0.0f);
    }
    impulses.W[4000] = impulses.Y[8000] = impulses.Z[12000] = impulses.X[16000] = 1.0f;
    const BFormatSignal filtered = FilterToOctaveBand(impulses, 250);
    const std::pair<const std::vector<float>*, std::ptrdiff_t> peaks[] = {
        {&filtered.W, 4000}, {&filtered.Y, 8000}, {&filtered.Z, 12000}, {&filtered.X, 16000}};
    for (const auto& [channel, frame] : peaks) {
        const auto loudest = std::max_element(channel->begin(), channel->end(),
                                              [](float a, float b) { return std::abs(a) < std::abs(b); });
        EXPECT_EQ(loudest - channel->begin(), frame);
    }

    const BFormatSignal unknown = FilterToOctaveBand(plane, 8000);
    EXPECT_EQ(unknown.Frames(), 0u);
    EXPECT_EQ(unknown.SampleRateHz, rateHz);
}

TEST(OctaveBands, FilteringInBlocksGivesTheWholeFiltersValuesBitForBit)
{
    // Lengths about the block boundaries, and a response that falls to digital silence long
    // before its end, where the recursion would otherwise decay into subnormal numbers.
    const std::size_t block = OctaveBandFilter::kBlockFrames;
    const auto filter = OctaveBandFilter::Design(125, 48000);
    ASSERT_TRUE(filter);
    const std::size_t ring = filter->RingFrames();
    struct Case {
        const char* name;
        std::size_t frames;
        std::size_t silentFrom;  // frames from here on are exactly 0
    };
    const std::vector<Case> cases = {
        {"no frames", 0, 0},
        {"one frame", 1, 1},
        {"input and ring-out one block", block - ring, block},
        {"one frame more", block - ring + 1, block},
        {"three blocks and a bit", 3 * block + 17, 3 * block + 17},
        {"silent after a tenth", 6 * block, 6 * block / 10},
    };
    constexpr std::size_t kChannels = 2;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::vector<double>> channels(kChannels, std::vector<double>(c.frames, 0.0));
        std::uint32_t seed = 99;
        for (std::size_t n = 0; n < std::min(c.silentFrom, c.frames); ++n) {
            for (auto& channel : channels) {
                seed = seed * 1664525u + 1013904223u;
                channel[n] = (static_cast<double>(seed >> 8) / 16777216.0 - 0.5) * std::exp(-1e-4 * n);
            }
        }
        std::vector<double> got(kChannels * c.frames, std::nan(""));
        std::vector<std::size_t> readOrder;
        const bool done = filter->FilterZeroPhaseInBlocks(
            c.frames, kChannels,
            [&](std::size_t first, std::span<double> values) {
                readOrder.push_back(first);
                for (std::size_t i = 0; i < values.size(); ++i)
                    values[i] = channels[i % kChannels][first + i / kChannels];
            },
            [&](std::size_t first, std::span<const double> values) {
                std::copy(values.begin(), values.end(), got.begin() + static_cast<std::ptrdiff_t>(kChannels * first));
            },
            Cancellation::Never());
        ASSERT_TRUE(done);
        for (std::size_t ch = 0; ch < kChannels; ++ch) {
            const ZeroPhaseSequence whole = filter->FilterZeroPhase(std::span<const double>(channels[ch]));
            for (std::size_t n = 0; n < c.frames; ++n) {
                ASSERT_EQ(std::bit_cast<std::uint64_t>(got[kChannels * n + ch]),
                          std::bit_cast<std::uint64_t>(whole.values[whole.leadFrames + n]))
                    << "channel " << ch << ", frame " << n;
            }
        }
        // Every frame read in order once, then block by block from the end.
        const std::size_t blocks = c.frames == 0 ? 0 : (c.frames + block - 1) / block;
        ASSERT_EQ(readOrder.size(), 2 * blocks);
        for (std::size_t b = 0; b < blocks; ++b) {
            EXPECT_EQ(readOrder[b], b * block);
            EXPECT_EQ(readOrder[blocks + b], (blocks - 1 - b) * block);
        }
    }

    // A stop asked for before the work begins: nothing is written.
    Cancellation stop;
    stop.Request();
    bool wrote = false;
    EXPECT_FALSE(filter->FilterZeroPhaseInBlocks(
        10, 1, [](std::size_t, std::span<double>) {}, [&wrote](std::size_t, std::span<const double>) { wrote = true; },
        stop));
    EXPECT_FALSE(wrote);
}

}  // namespace
}  // namespace halvane
