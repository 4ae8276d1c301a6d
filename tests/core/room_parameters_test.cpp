#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>
#include <locale>
#include <sstream>
#include <tuple>

#include "RoomSignals.h"
#include "analysis/room/OctaveBands.h"
#include "analysis/room/RoomParameters.h"
#include "report/RoomParameterTable.h"
#include "support/CommaLocale.h"

namespace halvane {
namespace {

constexpr double kRatesHz[] = {44100, 48000, 96000};
// The accuracy asked of T20 and T30 (EDT) on a clean damped tone.
constexpr double kReverberationTolerance = 0.005;
constexpr double kEdtTolerance = 0.01;
// The mean of 20 decaying-noise realisations: the band's noise makes each
// estimate scatter (T20 by about 7 % at 125 Hz, 1 % at 4 kHz at RT 2 s).
constexpr double kNoiseMeanLowBandTolerance = 0.05;   // 125 to 500 Hz
constexpr double kNoiseMeanHighBandTolerance = 0.02;  // 1 to 4 kHz
// The same means for C80, D50 and Ts: over 80 ms the band noise scatters C80
// by about 0.5 dB per realisation at 1 kHz, 0.1 dB for the whole band.
constexpr double kEarlyEnergyToleranceDb = 0.15;
constexpr double kEarlyEnergyBandToleranceDb = 0.5;
constexpr double kDefinitionTolerance = 0.005;
constexpr double kDefinitionBandTolerance = 0.025;
constexpr double kCentreTimeTolerance = 0.02;
// Lundeby's noise level and late-decay line, each estimated from noise
// (within half a dB of the set noise level for these decays).
constexpr double kDecayRangeToleranceDb = 1.5;
// One realisation of broadband decaying noise at RT 0.5 s: T20 and T30 scatter
// by about 0.6 % from one realisation to the next.
constexpr double kNearNoiseTolerance = 0.015;
// The decay curve is kept every millisecond: at RT 0.5 s it falls 0.12 dB
// per step, so the point nearest a fit's end lies within 0.06 dB of it (plus
// the noise's ripple on the curve).
constexpr double kCurveStepToleranceDb = 0.15;
// Double sums of the same single-precision values, in another order.
constexpr double kSumTolerance = 1e-9;
// A share computed from FilterToOctaveBand's single-precision output.
constexpr double kFilteredShareTolerance = 1e-5;
// 20 realisations of random arrival directions: the mean's standard error is
// about 0.5 % for the whole band and 2 % in an octave band at 2 and 4 kHz.
constexpr double kDiffuseTolerance = 0.025;
constexpr double kDiffuseBandTolerance = 0.08;

std::string Where(double rateHz, double rtS, const BandParameters& row)
{
    return std::to_string(static_cast<int>(rateHz)) + " Hz, RT " + std::to_string(rtS) + " s, band " + row.band;
}

TEST(RoomParameters, ResponseStartIsWhereTheSquareFirstReachesMinus20Db)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const struct {
        const char* name;
        std::vector<float> omni;
        std::optional<std::size_t> start;
    } rows[] = {
        {"rises through -20 dB", {0, 0.05f, 0.0999f, 0.1f, 1, -0.5f}, 3},
        {"negative peak", {0, 0.3f, 0, -2}, 1},
        {"peak first", {1, 0.5f}, 0},
        {"silence", {0, 0, 0}, std::nullopt},
        {"empty", {}, std::nullopt},
        {"not a number", {0, nan, 1}, std::nullopt},
        {"infinity", {0, std::numeric_limits<float>::infinity(), 1}, std::nullopt},
    };
    for (const auto& row : rows) EXPECT_EQ(FindResponseStart(row.omni), row.start) << row.name;
}

TEST(RoomParameters, DampedTonesGiveTheirReverberationTimeInEveryBand)
{
    for (double rateHz : kRatesHz) {
        for (double rtS : {0.3, 0.8, 2.0}) {
            // One tone at each band's exact mid-band frequency, all decaying
            // alike, and white noise 60 dB below a tone's starting power.
            const double lengthS = 0.1 + 1.4 * rtS;
            std::vector<double> mono(test::FramesOf(lengthS, rateHz), 0.0);
            for (int nominal : kOctaveBandsHz) {
                const auto tone = test::DampedTone(rateHz, *ExactMidBandHz(nominal), rtS, 0.02, lengthS);
                for (std::size_t n = 0; n < mono.size(); ++n) mono[n] += tone[n];
            }
            test::Random random(static_cast<std::uint64_t>(rateHz + 1000 * rtS));
            test::AddNoise(mono, std::sqrt(0.5e-6), random);
            const auto rows = ComputeRoomParameters(test::PlaneWave(mono, rateHz, 30, 10));
            ASSERT_EQ(rows.size(), 7u);
            for (std::size_t b = 0; b < kOctaveBandsHz.size(); ++b) {
                const BandParameters& row = rows[b];
                ASSERT_TRUE(row.edtS && row.t20S && row.t30S) << Where(rateHz, rtS, row);
                EXPECT_NEAR(*row.t20S / rtS, 1, kReverberationTolerance) << Where(rateHz, rtS, row);
                EXPECT_NEAR(*row.t30S / rtS, 1, kReverberationTolerance) << Where(rateHz, rtS, row);
                EXPECT_NEAR(*row.edtS / rtS, 1, kEdtTolerance) << Where(rateHz, rtS, row);
            }
        }
    }
}

TEST(RoomParameters, DecayingNoiseMeanOfTwentyRealisations)
{
    const double rateHz = 48000, rtS = 2.0;
    constexpr int kRealisations = 20;
    double t20Sum[7] = {}, t30Sum[7] = {}, c80Sum[7] = {}, d50Sum[7] = {}, tsSum[7] = {};
    for (int k = 0; k < kRealisations; ++k) {
        test::Random random(1000 + static_cast<std::uint64_t>(k));
        auto mono = test::DecayingNoise(rateHz, rtS, 0.01, 2.4, random);
        test::AddNoise(mono, 1e-3, random);
        const auto rows = ComputeRoomParameters(test::PlaneWave(mono, rateHz, 90, 0));
        for (std::size_t b = 0; b < rows.size(); ++b) {
            ASSERT_TRUE(rows[b].t20S && rows[b].t30S) << "realisation " << k << ", band " << rows[b].band;
            t20Sum[b] += *rows[b].t20S;
            t30Sum[b] += *rows[b].t30S;
            c80Sum[b] += *rows[b].c80Db;
            d50Sum[b] += *rows[b].d50;
            tsSum[b] += *rows[b].tsMs;
        }
    }
    for (std::size_t b = 0; b < kOctaveBandsHz.size(); ++b) {
        const double tolerance = kOctaveBandsHz[b] < 1000 ? kNoiseMeanLowBandTolerance : kNoiseMeanHighBandTolerance;
        EXPECT_NEAR(t20Sum[b] / kRealisations / rtS, 1, tolerance) << "band " << kOctaveBandsHz[b];
        EXPECT_NEAR(t30Sum[b] / kRealisations / rtS, 1, tolerance) << "band " << kOctaveBandsHz[b];
    }
    // An exponential energy decay exp(-2kt): C80 = 10 log10(exp(0.16 k) - 1),
    // D50 = 1 - exp(-0.1 k), Ts = 1 / (2k). Checked for the whole band and
    // from 1 kHz up, where 80 ms of band noise holds enough degrees of freedom.
    const double k = test::AmplitudeDecayPerS(rtS);
    for (std::size_t b = 3; b < 7; ++b) {
        const bool all = b == 6;
        EXPECT_NEAR(c80Sum[b] / kRealisations, 10 * std::log10(std::exp(0.16 * k) - 1),
                    all ? kEarlyEnergyToleranceDb : kEarlyEnergyBandToleranceDb)
            << "band " << b;
        EXPECT_NEAR(d50Sum[b] / kRealisations, 1 - std::exp(-0.1 * k),
                    all ? kDefinitionTolerance : kDefinitionBandTolerance)
            << "band " << b;
        EXPECT_NEAR(tsSum[b] / kRealisations / (1000 / (2 * k)), 1, kCentreTimeTolerance) << "band " << b;
    }
}

TEST(RoomParameters, ReverberationTimesNeedTheirDecayRange)
{
    const struct {
        double noiseDownDb;
        bool edt, t20, t30;
    } rows[] = {{18, false, false, false},
                {32, true, false, false},
                {38, true, true, false},
                {42, true, true, false},
                {48, true, true, true}};
    for (const auto& row : rows) {
        test::Random random(7);
        auto mono = test::DecayingNoise(48000, 0.5, 0.02, 1.0, random);
        test::AddNoise(mono, std::pow(10.0, -row.noiseDownDb / 20), random);
        const BandParameters all = ComputeBandParameters(test::PlaneWave(mono, 48000, 0, 0), kBroadband);
        EXPECT_NEAR(all.decay.decayRangeDb, row.noiseDownDb, kDecayRangeToleranceDb) << row.noiseDownDb;
        EXPECT_EQ(all.t30Fit.has_value(), row.t30) << row.noiseDownDb;
        // Close to the noise the noise must be taken off: left in, it
        // lengthens T20 at 38 dB and T30 at 48 dB by 2 to 3 %.
        for (const std::optional<double>& timeS : {all.t20S, all.t30S}) {
            if (timeS) {
                EXPECT_NEAR(*timeS / 0.5, 1, kNearNoiseTolerance) << row.noiseDownDb;
            }
        }
        // Each line spans its stretch of the decay curve (sampled every ms).
        const std::tuple<const std::optional<DecayFit>&, double, double> spans[] = {
            {all.edtFit, 0, -10}, {all.t20Fit, -5, -25}, {all.t30Fit, -5, -35}};
        for (const auto& [fit, topDb, bottomDb] : spans) {
            if (!fit) continue;
            auto levelAt = [&all](double timeS) {
                return all.decay.levelDb[static_cast<std::size_t>(std::nearbyint(timeS / all.decay.timeS[1]))];
            };
            EXPECT_NEAR(levelAt(fit->fromS), topDb, kCurveStepToleranceDb) << row.noiseDownDb << " dB, " << bottomDb;
            EXPECT_NEAR(levelAt(fit->toS), bottomDb, kCurveStepToleranceDb) << row.noiseDownDb << " dB, " << bottomDb;
        }
        // The table leaves exactly the missing fields empty.
        std::ostringstream table;
        WriteRoomParameterTable(table, {all});
        std::istringstream line(table.str().substr(table.str().find("\r\n") + 2));
        std::vector<std::string> fields;
        for (std::string field; std::getline(line, field, ',');) fields.push_back(field);
        ASSERT_EQ(fields.size(), 10u) << row.noiseDownDb;
        EXPECT_EQ(!fields[1].empty(), row.edt) << row.noiseDownDb;
        EXPECT_EQ(!fields[2].empty(), row.t20) << row.noiseDownDb;
        EXPECT_EQ(!fields[3].empty(), row.t30) << row.noiseDownDb;
    }
}

// A decaying noise led by a strong first frame, so that the start of the
// response falls exactly on it.
std::vector<double> LedDecay(double rateHz, double onsetS, double lengthS, std::uint64_t seed)
{
    test::Random random(seed);
    auto mono = test::DecayingNoise(rateHz, 0.5, onsetS, lengthS, random);
    mono[test::FramesOf(onsetS, rateHz)] = 5;
    return mono;
}

TEST(RoomParameters, LateralFractionOfADecayFromTheSide)
{
    // Every frame a plane wave from the left: Y = W, so LF = LFC = the share of
    // W's energy from 5 to 80 ms in its energy up to 80 ms, in every band.
    const double rateHz = 48000, onsetS = 0.2;  // the 125 Hz pre-ringing fits before the start
    const auto mono = LedDecay(rateHz, onsetS, 0.6, 11);
    const BFormatSignal side = test::PlaneWave(mono, rateHz, 90, 0);
    const std::size_t start = test::FramesOf(onsetS, rateHz), from5 = start + 240, to80 = start + 3840;
    auto share = [&](const std::vector<float>& w) {
        double early = 0, lateral = 0;
        for (std::size_t n = 0; n < to80; ++n) {
            early += static_cast<double>(w[n]) * w[n];
            if (n >= from5) lateral += static_cast<double>(w[n]) * w[n];
        }
        return lateral / early;
    };
    const auto rows = ComputeRoomParameters(side);
    for (const BandParameters& row : rows) {
        const bool all = row.nominalHz == kBroadband;
        const double expected = share(all ? side.W : FilterToOctaveBand(side, row.nominalHz).W);
        const double tolerance = (all ? kSumTolerance : kFilteredShareTolerance) * expected;
        ASSERT_TRUE(row.lf && row.lfc) << row.band;
        EXPECT_NEAR(*row.lf, expected, tolerance) << row.band;
        EXPECT_NEAR(*row.lfc, expected, tolerance) << row.band;
    }

    // From the front and from straight above, Y is silent.
    for (double elDeg : {0.0, 90.0}) {
        for (const BandParameters& row : ComputeRoomParameters(test::PlaneWave(mono, rateHz, 0, elDeg))) {
            EXPECT_EQ(row.lf, 0.0) << row.band << ", elevation " << elDeg;
            EXPECT_EQ(row.lfc, 0.0) << row.band << ", elevation " << elDeg;
        }
    }
}

TEST(RoomParameters, EnergyWindowsFallOnTheirFrames)
{
    // A clean decay from the side at 44.1 kHz, falling 200 dB over the file,
    // so that neither noise nor the added tail counts: every value is a sum
    // over frames. 5 ms is 220.5 frames: frame 221 is the first past it.
    const double rateHz = 44100;
    const BFormatSignal side = test::PlaneWave(LedDecay(rateHz, 0.02, 1.0, 17), rateHz, 90, 0);
    const BandParameters all = ComputeBandParameters(side, kBroadband);
    const std::size_t start = test::FramesOf(0.02, rateHz);
    auto energy = [&side, start](std::size_t from, std::size_t to) {
        double sum = 0;
        for (std::size_t n = start + from; n < std::min(start + to, side.W.size()); ++n) {
            sum += static_cast<double>(side.W[n]) * side.W[n];
        }
        return sum;
    };
    const std::size_t all50 = 2205, all80 = 3528, all5 = 221, end = side.W.size();
    double moment = 0;
    for (std::size_t n = start; n < end; ++n) moment += static_cast<double>(n - start) * side.W[n] * side.W[n];
    ASSERT_TRUE(all.c50Db && all.c80Db && all.d50 && all.tsMs && all.lf);
    EXPECT_NEAR(*all.c50Db, 10 * std::log10(energy(0, all50) / energy(all50, end)), kSumTolerance);
    EXPECT_NEAR(*all.c80Db, 10 * std::log10(energy(0, all80) / energy(all80, end)), kSumTolerance);
    EXPECT_NEAR(*all.d50, energy(0, all50) / energy(0, end), kSumTolerance);
    EXPECT_NEAR(*all.tsMs, moment / energy(0, end) / rateHz * 1000, kSumTolerance * *all.tsMs);
    EXPECT_NEAR(*all.lf, energy(all5, all80) / energy(0, all80), kSumTolerance);
}

TEST(RoomParameters, DirectSoundAndDiffuseFieldGiveTheTheoreticalLateralFraction)
{
    // A direct sound of energy 1 from the front, and a diffuse decay of
    // constant magnitude and random sign, each frame from a random direction:
    // Y picks up a third of the diffuse energy (E[y^2] = 1/3 over the sphere)
    // and |Y W| half of it (E[|y|] = 1/2).
    const double rateHz = 48000, onsetS = 0.01, decayPerS = test::AmplitudeDecayPerS(1.0);
    const std::size_t start = test::FramesOf(onsetS, rateHz), frames = test::FramesOf(0.2, rateHz);
    double diffuseTo80 = 0, diffuseFrom5 = 0;
    std::vector<double> envelope(frames, 0.0);
    for (std::size_t n = start; n < frames; ++n) {
        envelope[n] = 0.03 * std::exp(-decayPerS * static_cast<double>(n - start) / rateHz);
        if (n < start + 3840) diffuseTo80 += envelope[n] * envelope[n];
        if (n >= start + 240 && n < start + 3840) diffuseFrom5 += envelope[n] * envelope[n];
    }
    const double expectedLf = diffuseFrom5 / 3 / (1 + diffuseTo80);
    const double expectedLfc = diffuseFrom5 / 2 / (1 + diffuseTo80);

    constexpr int kRealisations = 20;
    double lf2000 = 0, lf4000 = 0, lfAll = 0, lfcAll = 0;
    for (int k = 0; k < kRealisations; ++k) {
        test::Random random(5000 + static_cast<std::uint64_t>(k));
        std::vector<double> direct(frames, 0.0), diffuse(envelope);
        direct[start] = 1;
        for (double& v : diffuse) v *= random.Uniform() < 0.5 ? -1 : 1;
        BFormatSignal field = test::PlaneWave(direct, rateHz, 0, 0);
        test::AddDiffuse(field, diffuse, random);
        lf2000 += *ComputeBandParameters(field, 2000).lf / kRealisations;
        lf4000 += *ComputeBandParameters(field, 4000).lf / kRealisations;
        const BandParameters all = ComputeBandParameters(field, kBroadband);
        lfAll += *all.lf / kRealisations;
        lfcAll += *all.lfc / kRealisations;
    }
    EXPECT_NEAR(lfAll / expectedLf, 1, kDiffuseTolerance);
    EXPECT_NEAR(lfcAll / expectedLfc, 1, kDiffuseTolerance);
    EXPECT_NEAR(lf2000 / expectedLf, 1, kDiffuseBandTolerance);
    EXPECT_NEAR(lf4000 / expectedLf, 1, kDiffuseBandTolerance);
}

bool AllEmpty(const BandParameters& row)
{
    return !row.edtS && !row.t20S && !row.t30S && !row.c50Db && !row.c80Db && !row.d50 && !row.tsMs && !row.lf &&
           !row.lfc;
}

TEST(RoomParameters, ValuesTheSignalDoesNotAllowStayEmpty)
{
    BFormatSignal silent;
    silent.SampleRateHz = 48000;
    for (std::vector<float>* channel : {&silent.W, &silent.Y, &silent.Z, &silent.X}) channel->assign(48000, 0.0f);
    const auto rows = ComputeRoomParameters(silent);
    const char* labels[] = {"125", "250", "500", "1000", "2000", "4000", "all"};
    ASSERT_EQ(rows.size(), 7u);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i].band, labels[i]);
        EXPECT_TRUE(AllEmpty(rows[i])) << labels[i];
    }

    BFormatSignal decay = test::PlaneWave(LedDecay(48000, 0.02, 1.0, 3), 48000, 45, 0);
    const BandParameters unknown = ComputeBandParameters(decay, 63);
    EXPECT_EQ(unknown.band, "63");
    EXPECT_TRUE(AllEmpty(unknown));
    BFormatSignal noRate = decay;
    noRate.SampleRateHz = 0;
    EXPECT_TRUE(AllEmpty(ComputeBandParameters(noRate, 1000)));

    BFormatSignal badY = decay;
    badY.Y[30000] = std::numeric_limits<float>::quiet_NaN();
    const BandParameters withBadY = ComputeBandParameters(badY, 1000);
    EXPECT_TRUE(withBadY.t30S && withBadY.c80Db);
    EXPECT_FALSE(withBadY.lf || withBadY.lfc);

    // A fast decay into noise whose file ends 60 ms after the start: the
    // 80 ms limit lies beyond it.
    test::Random random(5);
    auto fast = test::DecayingNoise(48000, 0.02, 0.02, 0.08, random);
    fast[960] = 5;
    test::AddNoise(fast, 1e-3, random);
    const BandParameters short60 = ComputeBandParameters(test::PlaneWave(fast, 48000, 45, 0), kBroadband);
    EXPECT_TRUE(short60.c50Db && short60.d50);
    EXPECT_FALSE(short60.c80Db || short60.lf || short60.lfc);
}

using test::CommaLocale;

TEST(RoomParameterTable, ExactBytesUnderACommaLocale)
{
    CommaLocale comma;
    BandParameters full;
    full.band = "125";
    full.edtS = 1.5, full.t20S = 1.4567, full.t30S = 2, full.c50Db = -1.234, full.c80Db = 0.004;
    full.d50 = 0.4321, full.tsMs = 87.25, full.lf = 0.1, full.lfc = 1234.5678;
    BandParameters sparse;
    sparse.band = "all";
    sparse.c80Db = -0.004, sparse.tsMs = 12, sparse.d50 = -0.0004;
    std::ostringstream out;
    WriteRoomParameterTable(out, {full, sparse});
    EXPECT_EQ(out.str(),
              "\"band (Hz)\",\"EDT (s)\",\"T20 (s)\",\"T30 (s)\",\"C50 (dB)\",\"C80 (dB)\",\"D50\",\"Ts (ms)\",\"LF\","
              "\"LFC\"\r\n"
              "125,1.500,1.457,2.000,-1.23,0.00,0.432,87.2,0.100,1234.568\r\n"
              "all,,,,,0.00,0.000,12.0,,\r\n");
}

}  // namespace
}  // namespace halvane
