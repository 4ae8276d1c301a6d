// The measured-like part of the simulator on a made-up recording, so that it is
// tested without the real files: the direct sound is cut short of the first
// reflection, its figure-of-eight pulses split into on-axis and off-axis parts
// that every direction carries alike, resampling and fractional delays keep
// the band, a wall filter does what it reports, and the truth of a coloured,
// scattered reflection is what its samples show.

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <vector>

#include "simulation/BandLimited.h"
#include "simulation/Envelope.h"
#include "simulation/MeasuredPulse.h"
#include "simulation/RoomSimulator.h"

namespace halvane::simulation {
namespace {

constexpr double kRateHz = 48000;
constexpr std::size_t kDirectSample = 960;  // 20 ms
const Direction kDirectFrom{20, -10};
const Direction kReflectionFrom{-100, 30};

// A made-up recording: the direct sound at 20 ms from kDirectFrom, W a Hann
// windowed sinc of bandwidth 0.6; its figure-of-eights u p + r with a slower
// on-axis pulse p = 0.9 W(n) + 0.25 W(n - 1) and an off-axis remainder r, the
// pulse's central difference along a direction square to u. A plane-wave
// reflection follows 2 ms later from kReflectionFrom at half the amplitude.
BFormatSignal SyntheticRecording()
{
    const std::size_t frames = 2880;
    std::vector<double> w(frames, 0.0), echo(frames, 0.0);
    const PlacedValues pulse = HannSincAt(static_cast<double>(kDirectSample), 0.6, 24);
    for (std::size_t i = 0; i < pulse.values.size(); ++i) {
        w[static_cast<std::size_t>(pulse.first) + i] = 0.8 * pulse.values[i];
        echo[static_cast<std::size_t>(pulse.first) + 96 + i] = 0.4 * pulse.values[i];
    }
    const Vector3 u = UnitVector(kDirectFrom), v = UnitVector({kDirectFrom.azDeg + 90, 0});
    const Vector3 e = UnitVector(kReflectionFrom);
    BFormatSignal signal;
    signal.SampleRateHz = kRateHz;
    for (std::size_t n = 1; n + 1 < frames; ++n) {
        const double p = 0.9 * w[n] + 0.25 * w[n - 1];
        const double r = 0.3 * (w[n + 1] - w[n - 1]) / 2;
        signal.W.push_back(static_cast<float>(w[n] + echo[n]));
        signal.Y.push_back(static_cast<float>(u[1] * p + v[1] * r + e[1] * echo[n]));
        signal.Z.push_back(static_cast<float>(u[2] * p + v[2] * r + e[2] * echo[n]));
        signal.X.push_back(static_cast<float>(u[0] * p + v[0] * r + e[0] * echo[n]));
    }
    return signal;
}

// A cut symmetric about the peak, 0.51 ms either side: the reflection's pulse begins 1.5 ms after it.
constexpr PulseCut kCut{0.51, 0.51, 0.1};

SystemPulse SyntheticPulse(double rateHz)
{
    const auto cut = CutDirectPulse(SyntheticRecording(), kCut, "synthetic");
    EXPECT_TRUE(cut) << cut.Message();
    return SystemPulse::Measured(*cut, rateHz);
}

TEST(MeasuredPulse, TheDirectSoundIsCutShortOfTheReflection)
{
    const BFormatSignal recording = SyntheticRecording();
    const auto cut = CutDirectPulse(recording, kCut, "synthetic");
    ASSERT_TRUE(cut) << cut.Message();
    // 24.48 samples either side of the peak (sample 959 of the recording, which starts at frame 1).
    constexpr std::size_t kPeakInRecording = kDirectSample - 1;
    ASSERT_EQ(cut->w.size(), 49u);
    // The reflection's own envelope reaches back a little: the peak moves by a hundredth of a sample.
    EXPECT_NEAR(cut->peakSamples, 24.0, 0.02);
    // Whole in the middle, faded to nearly nothing at the ends.
    for (std::size_t i = 5; i + 5 < cut->w.size(); ++i) {
        const std::size_t n = kPeakInRecording - 24 + i;
        ASSERT_EQ(cut->w[i], recording.W[n]) << i;
        ASSERT_EQ(cut->xyz[0][i], recording.X[n]) << i;
    }
    EXPECT_LT(std::fabs(cut->w.front()), 0.1 * std::fabs(recording.W[kPeakInRecording]));
    EXPECT_LT(std::fabs(cut->w.back()), 0.1 * std::fabs(recording.W[kPeakInRecording]));
    // The off-axis part carries no intensity of its own over a symmetric cut: the axis is the source's.
    EXPECT_LT(AngleBetweenDeg(DirectionOf(cut->axis), kDirectFrom), 1e-4);
}

TEST(MeasuredPulse, ARecordingWithoutARoomForTheCutIsRefused)
{
    BFormatSignal silent;
    silent.SampleRateHz = kRateHz;
    silent.W.assign(100, 0.0f);
    silent.X = silent.Y = silent.Z = silent.W;
    EXPECT_FALSE(CutDirectPulse(silent, kCut, "silent"));
    BFormatSignal early = SyntheticRecording();  // the direct sound 0.1 ms from the start
    for (auto* channel : {&early.W, &early.X, &early.Y, &early.Z})
        channel->erase(channel->begin(), channel->begin() + 954);
    const auto cut = CutDirectPulse(early, kCut, "early");
    ASSERT_FALSE(cut);
    EXPECT_NE(cut.Message().find("early"), std::string::npos);
    EXPECT_FALSE(CutDirectPulse(BFormatSignal{}, kCut, "empty"));
}

TEST(MeasuredPulse, TheDipolesSplitIntoOnAxisAndOffAxisParts)
{
    const SystemPulse pulse = SyntheticPulse(kRateHz);
    ASSERT_FALSE(pulse.Ideal());
    double largest = 0, onEnergy = 0, offEnergy = 0;
    for (std::size_t n = 0; n < pulse.W().size(); ++n) {
        largest = std::max(largest, std::fabs(pulse.W()[n]));
        const Vector3 r{pulse.OffAxis()[0][n], pulse.OffAxis()[1][n], pulse.OffAxis()[2][n]};
        ASSERT_NEAR(Dot(r, pulse.Axis()), 0.0, 1e-12) << n;
        onEnergy += pulse.OnAxis()[n] * pulse.OnAxis()[n];
        offEnergy += Dot(r, r);
    }
    EXPECT_DOUBLE_EQ(largest, 1.0);
    // The design's energies: p = 0.9 W + 0.25 W(n - 1), r = 0.3 x W's central difference.
    const std::vector<double>& w = pulse.W();
    double pDesign = 0, rDesign = 0;
    for (std::size_t n = 1; n + 1 < w.size(); ++n) {
        pDesign += std::pow(0.9 * w[n] + 0.25 * w[n - 1], 2);
        rDesign += std::pow(0.3 * (w[n + 1] - w[n - 1]) / 2, 2);
    }
    constexpr double kEnergyTolerance = 0.02;  // the cut's fades and the low-pass at 19.2 kHz
    EXPECT_NEAR(onEnergy / pDesign, 1.0, kEnergyTolerance);
    EXPECT_NEAR(offEnergy / rDesign, 1.0, kEnergyTolerance);
    EXPECT_LT(AngleBetweenDeg(DirectionOf(pulse.Axis()), kDirectFrom), 1e-3);
}

TEST(MeasuredPulse, EveryDirectionCarriesTheSameMicrophone)
{
    const SystemPulse pulse = SyntheticPulse(kRateHz);
    const PlacedPulse placed = pulse.Placed(500.3, WallFilter{});
    const auto own = pulse.Channels(placed, pulse.Axis());
    const double centre = 500.3, half = 12;
    const double ownDiffuseness =
        IntensityAround<std::vector<double>>({&own[0], &own[1], &own[2], &own[3]}, placed.first, centre, half)
            .Diffuseness();
    EXPECT_GT(ownDiffuseness, 0.01);  // the microphone's own, not a plane wave's
    const Direction directions[] = {
        {0, 0}, {-100, 30}, {135, -80}, DirectionOf({-pulse.Axis()[0], -pulse.Axis()[1], -pulse.Axis()[2]})};
    for (const Direction& d : directions) {
        SCOPED_TRACE(::testing::Message() << d.azDeg << ", " << d.elDeg);
        const auto c = pulse.Channels(placed, UnitVector(d));
        Vector3 intensity{0, 0, 0};
        for (std::size_t i = 0; i < c[0].size(); ++i) {
            ASSERT_EQ(c[0][i], own[0][i]);
            const double norm = c[1][i] * c[1][i] + c[2][i] * c[2][i] + c[3][i] * c[3][i];
            const double ownNorm = own[1][i] * own[1][i] + own[2][i] * own[2][i] + own[3][i] * own[3][i];
            ASSERT_NEAR(norm, ownNorm, 1e-12) << i;
            intensity = {intensity[0] + c[0][i] * c[3][i], intensity[1] + c[0][i] * c[1][i],
                         intensity[2] + c[0][i] * c[2][i]};
        }
        // Over the whole pulse the intensity points exactly where it comes from.
        EXPECT_LT(AngleBetweenDeg(DirectionOf(intensity), d), 1e-6);
        EXPECT_NEAR(IntensityAround<std::vector<double>>({&c[0], &c[1], &c[2], &c[3]}, placed.first, centre, half)
                        .Diffuseness(),
                    ownDiffuseness, 1e-9);
    }
}

TEST(BandLimited, ResamplingAndFractionalDelaysKeepTheBand)
{
    // A 3 kHz tone at 48 kHz, resampled: the tone at the new rate, away from the ends.
    std::vector<double> tone(960);
    for (std::size_t n = 0; n < tone.size(); ++n) tone[n] = std::sin(2 * kPi * 3000 * static_cast<double>(n) / 48000);
    for (double toHz : {44100.0, 96000.0}) {
        SCOPED_TRACE(toHz);
        const PlacedValues out = Resampled(tone, 48000, toHz, 19200);
        double worst = 0;
        for (std::size_t i = 0; i < out.values.size(); ++i) {
            const double m = static_cast<double>(out.first) + static_cast<double>(i);
            const double inputTime = m * 48000 / toHz;
            if (inputTime < 200 || inputTime > 760) continue;
            worst = std::max(worst, std::fabs(out.values[i] - std::sin(2 * kPi * 3000 * m / toHz)));
        }
        EXPECT_LT(worst, 1e-4);
    }
    // A pulse band-limited to 0.4 of the rate, delayed 7.3 samples, is the same pulse 7.3 samples later.
    const PlacedValues pulse = HannSincAt(100, 0.8, 40);
    const PlacedValues delayed = Delayed(pulse.values, 7.3);
    const PlacedValues expected = HannSincAt(107.3, 0.8, 40);
    double worst = 0;
    for (std::size_t i = 0; i < expected.values.size(); ++i) {
        const std::ptrdiff_t at = expected.first + static_cast<std::ptrdiff_t>(i) - pulse.first - delayed.first;
        worst = std::max(worst, std::fabs(delayed.values[static_cast<std::size_t>(at)] - expected.values[i]));
    }
    EXPECT_LT(worst, 2e-3);  // the window's own difference at the pulse's edges, not the delay's
}

TEST(WallFilter, AppliesTheGainItReportsAndOnlyAbsorbs)
{
    SplitMix64 random(5);
    const WallColour colour;
    for (int draw = 0; draw < 12; ++draw) {
        SCOPED_TRACE(::testing::Message() << "draw " << draw);
        const WallFilter filter = WallFilter::Drawn(kRateHz, random);
        const std::vector<double> response = filter.Apply({1.0}, 24000);
        double least = 0, most = -1e9;
        for (double hz : {125.0, 400.0, 1000.0, 2500.0, 6000.0, 12000.0, 16000.0}) {
            std::complex<double> sum = 0;
            for (std::size_t n = 0; n < response.size(); ++n)
                sum += response[n] * std::polar(1.0, -2 * kPi * hz * static_cast<double>(n) / kRateHz);
            EXPECT_NEAR(20 * std::log10(std::abs(sum)), filter.GainDb(hz), 0.01) << hz << " Hz";
            least = std::min(least, filter.GainDb(hz));
            most = std::max(most, filter.GainDb(hz));
        }
        // Cuts only, within the drawn ranges, and varying over frequency.
        EXPECT_LE(most, 1e-9);
        EXPECT_GE(least, -(colour.lowShelfMaxCutDb + colour.highShelfMaxCutDb + colour.dipMaxCutDb));
        EXPECT_GE(most - least, colour.highShelfMinCutDb / 2);  // 16 kHz lies above every high shelf's corner
    }
    const WallFilter flat;
    EXPECT_TRUE(flat.Flat());
    EXPECT_EQ(flat.Apply({0.5, -0.25}, 10), (std::vector<double>{0.5, -0.25}));
    EXPECT_EQ(flat.GainDb(1000), 0.0);
}

// The direct sound and one reflection 5 ms later from kReflectionFrom, nothing else.
Scene TwoArrivals()
{
    Scene scene;
    scene.listener = {0, 0, 0};
    scene.source = {3.43, 0, 0};  // 10 ms
    const Vector3 e = UnitVector(kReflectionFrom);
    ImageSource direct{scene.source, 1.0, 0, {}};
    ImageSource wall{{5.145 * e[0], 5.145 * e[1], 5.145 * e[2]}, 0.8, 1, {}};
    wall.bounces[static_cast<std::size_t>(Surface::LeftWall)] = 1;
    scene.images = {direct, wall};
    return scene;
}

SimulationOptions ColouredQuiet(double scatteredShare)
{
    SimulationOptions options;
    options.durationS = 0.05;
    options.diffuseTail = false;
    options.noiseDb.reset();
    options.wallFilters = true;
    options.scatteredShare = scatteredShare;
    return options;
}

double WEnergyAround(const BFormatSignal& signal, double timeMs)
{
    const std::vector<double> w(signal.W.begin(), signal.W.end());
    return EnergyAround(w, 0, timeMs * kRateHz / 1000, 0.25 * kRateHz / 1000);
}

// The energy envelope's largest sample, by a plain transform of its own (not the simulator's).
std::size_t EnvelopeLargestSample(const std::vector<double>& values)
{
    const std::size_t size = 2 * values.size();
    std::vector<std::complex<double>> spectrum(size);
    for (std::size_t f = 0; f < size; ++f)
        for (std::size_t n = 0; n < values.size(); ++n)
            spectrum[f] += values[n] * std::polar(1.0, -2 * kPi * static_cast<double>(f * n % size) / size);
    std::size_t best = 0;
    double bestEnergy = -1;
    for (std::size_t n = 0; n < values.size(); ++n) {
        std::complex<double> z = spectrum[0];
        for (std::size_t f = 1; f < size / 2; ++f)
            z += 2.0 * spectrum[f] * std::polar(1.0, 2 * kPi * static_cast<double>(f * n % size) / size);
        if (std::norm(z) > bestEnergy) bestEnergy = std::norm(z), best = n;
    }
    return best;
}

TEST(MeasuredLikeRoom, AColouredReflectionsTruthIsWhatItsSamplesShow)
{
    const RoomSimulator simulator(SyntheticPulse(kRateHz));
    const SimulatedResponse plain = simulator.Simulate(TwoArrivals(), ColouredQuiet(0));
    ASSERT_EQ(plain.arrivals.size(), 2u);
    const TrueArrival& direct = plain.arrivals[0];
    const TrueArrival& wall = plain.arrivals[1];
    EXPECT_NEAR(wall.timeMs - direct.timeMs, 5.0, 1e-9);
    EXPECT_EQ(wall.azDeg, DirectionOf(UnitVector(kReflectionFrom)).azDeg);
    // Its level: its own energy in W over 0.5 ms around its envelope peak re the direct sound's.
    const double measuredDb = 10 * std::log10(WEnergyAround(plain.signal, wall.envelopePeakMs) /
                                              WEnergyAround(plain.signal, direct.envelopePeakMs));
    EXPECT_NEAR(wall.levelDb, measuredDb, 0.001);
    // Coloured: below the unfiltered copy's level (the filter only absorbs).
    EXPECT_LT(wall.levelDb, wall.geometricLevelDb);
    // Its envelope peak, on its own stretch of the response.
    const auto from = static_cast<std::size_t>((wall.timeMs - 2) * kRateHz / 1000);
    const std::vector<double> stretch(plain.signal.W.begin() + static_cast<std::ptrdiff_t>(from),
                                      plain.signal.W.begin() + static_cast<std::ptrdiff_t>(from + 720));
    EXPECT_NEAR(static_cast<double>(from + EnvelopeLargestSample(stretch)), wall.envelopePeakMs * kRateHz / 1000, 1.0);
    EXPECT_FALSE(wall.scattered);
    EXPECT_LE(wall.backgroundDb, -200);  // nothing else near it
}

TEST(MeasuredLikeRoom, AScatteredTailFollowsThePulseAtItsShareOfTheEnergy)
{
    const RoomSimulator simulator(SyntheticPulse(kRateHz));
    const SimulatedResponse plain = simulator.Simulate(TwoArrivals(), ColouredQuiet(0));
    const SimulatedResponse scattered = simulator.Simulate(TwoArrivals(), ColouredQuiet(1));
    ASSERT_TRUE(scattered.arrivals[1].scattered);
    EXPECT_FALSE(scattered.arrivals[0].scattered);  // the direct sound never
    const double pulseAt = plain.arrivals[1].timeMs * kRateHz / 1000;
    // Where the reflection's placed pulse begins: its peak's offset and the delay's 31 leading taps before it.
    const double pulseStart = pulseAt - simulator.Pulse().PeakSamples() - 31;
    double tail = 0, pulse = 0, before = 0;
    Vector3 intensity{0, 0, 0};
    for (std::size_t n = 0; n < plain.signal.Frames(); ++n) {
        const double w = static_cast<double>(scattered.signal.W[n]) - plain.signal.W[n];
        const double x = static_cast<double>(scattered.signal.X[n]) - plain.signal.X[n];
        const double y = static_cast<double>(scattered.signal.Y[n]) - plain.signal.Y[n];
        const double z = static_cast<double>(scattered.signal.Z[n]) - plain.signal.Z[n];
        tail += w * w;
        if (static_cast<double>(n) >= pulseStart) pulse += static_cast<double>(plain.signal.W[n]) * plain.signal.W[n];
        if (static_cast<double>(n) < pulseStart) before += w * w;
        intensity = {intensity[0] + w * x, intensity[1] + w * y, intensity[2] + w * z};
    }
    const Scattering defaults;
    const double shareDb = 10 * std::log10(tail / pulse);
    EXPECT_GE(shareDb, defaults.minEnergyDb - 0.1);
    EXPECT_LE(shareDb, defaults.maxEnergyDb + 0.1);
    EXPECT_EQ(before, 0.0);
    // From around the reflection's direction: copies spread 25 degrees either way.
    EXPECT_LT(AngleBetweenDeg(DirectionOf(intensity), kReflectionFrom), 25.0);
    // The same reflection otherwise: the same time, a level no lower.
    EXPECT_EQ(scattered.arrivals[1].timeMs, plain.arrivals[1].timeMs);
    EXPECT_GE(scattered.arrivals[1].levelDb, plain.arrivals[1].levelDb - 1.0);
}

TEST(MeasuredLikeRoom, TheSameSeedGivesTheSameRoomAndAnotherSeedOtherWalls)
{
    const RoomSimulator simulator(SyntheticPulse(44100));
    SimulationOptions options = ColouredQuiet(0.5);
    options.durationS = 0.2;
    options.diffuseTail = true;
    options.noiseDb = -60;
    const SimulatedResponse a = simulator.Simulate(ShoeboxRoom{}, options);
    const SimulatedResponse b = simulator.Simulate(ShoeboxRoom{}, options);
    EXPECT_EQ(a.signal.W, b.signal.W);
    EXPECT_EQ(a.signal.Z, b.signal.Z);
    options.seed = 2;
    const SimulatedResponse c = simulator.Simulate(ShoeboxRoom{}, options);
    ASSERT_EQ(c.arrivals.size(), a.arrivals.size());
    int otherLevels = 0;
    for (std::size_t i = 1; i < a.arrivals.size(); ++i) otherLevels += a.arrivals[i].levelDb != c.arrivals[i].levelDb;
    EXPECT_GT(otherLevels, 0);
}

}  // namespace
}  // namespace halvane::simulation
