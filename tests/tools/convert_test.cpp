// The conventions: the direct sound's window, the conversion of every file format and
// convention to AmbiX, and the convention found from plane waves encoded in each of them.

#include "ConventionSignals.h"
#include "SoundFiles.h"
#include "analysis/convention/ConventionCheck.h"
#include "analysis/convention/ConventionReport.h"
#include "analysis/convention/DirectSound.h"
#include "bformat/AmbisonicConvention.h"
#include "convert/ConvertCommand.h"
#include "support/RunCommand.h"

#include <gtest/gtest.h>

#include <bit>
#include <limits>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace halvane::testing {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(DirectSoundCheck, FirstWindowWithin20DbOfTheLoudest)
{
    struct Case {
        const char* name;
        std::vector<double> energies;
        std::optional<std::size_t> direct;
    };
    const std::vector<Case> cases = {
        {"nothing", {}, std::nullopt},
        {"silence", {0, 0, 0}, std::nullopt},
        {"the loudest is the first", {0.1, 1000, 10, 900}, 1},
        {"a weaker direct sound before a focused reflection", {0.1, 20, 1000, 10}, 1},
        {"exactly 20 dB down counts", {0.1, 9.9999, 10, 1000}, 2},
        {"just below 20 dB does not", {0.1, 9.9999, 1000}, 2},
        {"non-finite windows are passed over", {kNaN, kInf, -kInf, 0.5, 30}, 3},
        {"a negative energy counts as none", {-1e9, 1, 100}, 1},
        {"only non-finite windows", {kNaN, kInf}, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(FindDirectSoundWindow(c.energies), c.direct);
    }
}

TEST(DirectSoundCheck, StreamingKeepsTheAnswerOfTheWholeSequence)
{
    // The finder forgets windows as it goes; on every prefix of rising, falling and ragged
    // sequences it must still agree with the rule applied to the whole prefix at once.
    auto byRule = [](const std::vector<double>& e) -> std::optional<std::size_t> {
        double loudest = 0;
        for (double v : e)
            if (std::isfinite(v)) loudest = std::max(loudest, v);
        if (!(loudest > 0)) return std::nullopt;
        for (std::size_t k = 0; k < e.size(); ++k)
            if (std::isfinite(e[k]) && e[k] >= loudest / 100) return k;
        return std::nullopt;
    };
    std::uint32_t seed = 12345;
    auto next = [&] { return (seed = seed * 1664525u + 1013904223u) >> 8; };
    for (int shape = 0; shape < 3; ++shape) {
        DirectSoundFinder finder;
        std::vector<double> energies;
        for (int k = 0; k < 600; ++k) {
            const double ragged = std::ldexp(static_cast<double>(next() % 1000 + 1), static_cast<int>(next() % 20));
            const double e = shape == 0 ? std::pow(1.02, k) : shape == 1 ? std::pow(0.97, k) * 1e6 : ragged;
            energies.push_back(next() % 50 == 0 ? kNaN : e);
            finder.Add(energies.back());
            ASSERT_EQ(finder.DirectWindow(), byRule(energies)) << "shape " << shape << ", window " << k;
        }
    }
}

TEST(DirectSoundCheck, WindowsThatCannotBeTheDirectSoundStillSetTheLoudest)
{
    DirectSoundFinder finder;
    const std::vector<std::pair<double, bool>> windows = {{0.5, true}, {5, true}, {1000, false}, {30, true}};
    for (const auto& [energy, canBeDirect] : windows) finder.Add(energy, canBeDirect);
    EXPECT_EQ(finder.DirectWindow(), 3u);
    EXPECT_EQ(finder.LoudestEnergy(), 1000.0);
}

TEST(ConvertConventions, EachConventionIsReorderedAndScaledToAmbix)
{
    // One frame with a distinct value per channel, in the file's own channel order.
    const std::vector<double> frame{0.5, 0.25, -0.125, 0.0625};
    const double root2 = std::sqrt(2.0);
    const double root3 = std::sqrt(3.0);
    struct Case {
        AmbisonicConvention convention;
        std::vector<double> wyzx;  // before the rounding to float
    };
    const std::vector<Case> cases = {
        {kAmbixSn3d, {0.5, 0.25, -0.125, 0.0625}},
        {kAmbixN3d, {0.5, 0.25 * (1 / root3), -0.125 * (1 / root3), 0.0625 * (1 / root3)}},
        {kFuma, {0.5 * root2, -0.125, 0.0625, 0.25}},
        {{ChannelOrder::Fuma, Normalisation::Sn3d}, {0.5, -0.125, 0.0625, 0.25}},
        {{ChannelOrder::Ambix, Normalisation::Fuma}, {0.5 * root2, 0.25, -0.125, 0.0625}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(ShortName(c.convention));
        std::vector<float> out(4, 9.0f);
        ASSERT_EQ(ToAmbixSn3d(frame, c.convention, out), 1u);
        for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(out[i], static_cast<float>(c.wyzx[i])) << "channel " << i;
    }
    // A partial frame, in or out, is left alone.
    std::vector<float> three(3, 9.0f);
    EXPECT_EQ(ToAmbixSn3d(frame, kAmbixSn3d, three), 0u);
    EXPECT_EQ(three[0], 9.0f);
}

TEST(ConvertConventions, EveryFormatAndSampleTypeConvertsExactly)
{
    struct Format {
        std::string name;
        int format;
        int bits;  // significant bits of a sample: 16, 24 or 32 (integer), 24 (float), 53 (double)
    };
    const std::vector<std::pair<std::string, int>> majors = {
        {"WAV", SF_FORMAT_WAV},   {"WAV extensible", SF_FORMAT_WAVEX},
        {"RF64", SF_FORMAT_RF64}, {"W64", SF_FORMAT_W64},
        {"AIFF", SF_FORMAT_AIFF}, {"CAF", SF_FORMAT_CAF}};
    const std::vector<Format> sampleTypes = {{"16-bit", SF_FORMAT_PCM_16, 16},
                                             {"24-bit", SF_FORMAT_PCM_24, 24},
                                             {"32-bit", SF_FORMAT_PCM_32, 32},
                                             {"float", SF_FORMAT_FLOAT, 24},
                                             {"double", SF_FORMAT_DOUBLE, 53}};
    std::vector<Format> formats;
    for (const auto& [major, code] : majors)
        for (const auto& type : sampleTypes)
            formats.push_back({major + " " + type.name, code | type.format, type.bits});
    formats.push_back({"FLAC 16-bit", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 16});
    formats.push_back({"FLAC 24-bit", SF_FORMAT_FLAC | SF_FORMAT_PCM_24, 24});

    // Eight frames of 32-bit values: both extremes, zero, and values whose low bits a reader
    // that dropped precision would lose.
    std::vector<std::int32_t> raw = {std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max(),
                                     0, -1};
    std::uint32_t seed = 7;
    while (raw.size() < 32) raw.push_back(static_cast<std::int32_t>(seed = seed * 2654435761u + 12345u));

    ScratchFolder scratch("convert-formats");
    for (std::size_t f = 0; f < formats.size(); ++f) {
        const Format& format = formats[f];
        SCOPED_TRACE(format.name);
        // What the file holds: the values cut to the format's resolution, full scale +-1.
        std::vector<double> stored;
        for (std::int32_t v : raw) {
            const std::int64_t step = format.bits >= 32 ? 1 : std::int64_t{1} << (32 - format.bits);
            stored.push_back(static_cast<double>((static_cast<std::int64_t>(v) / step - (v % step < 0)) * step) /
                             2147483648.0);
        }
        const auto in = scratch.Path() / ("in-" + std::to_string(f));
        const auto out = scratch.Path() / ("out-" + std::to_string(f) + ".wav");
        ASSERT_EQ(WriteSoundFile(in, format.format, 4, 44100, stored), "");

        std::ostringstream report, errors;
        const int status = convert::Convert({in, out, ChannelOrder::Fuma, Normalisation::Fuma}, report, errors);
        ASSERT_EQ(status, convert::kExitOk) << errors.str();
        const SoundRead back = ReadSoundFile(out);
        ASSERT_EQ(back.failure, "");
        EXPECT_EQ(back.info.format, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
        EXPECT_EQ(back.info.samplerate, 44100);
        ASSERT_EQ(back.samples.size(), stored.size());
        for (std::size_t frame = 0; frame < 8; ++frame) {
            const double* s = &stored[4 * frame];  // W, X, Y, Z with W 3 dB down
            const float expected[4] = {static_cast<float>(s[0] * std::sqrt(2.0)), static_cast<float>(s[2]),
                                       static_cast<float>(s[3]), static_cast<float>(s[1])};
            for (std::size_t c = 0; c < 4; ++c) {
                const float got = back.samples[4 * frame + c];
                ASSERT_EQ(std::bit_cast<std::uint32_t>(got), std::bit_cast<std::uint32_t>(expected[c]))
                    << "frame " << frame << ", channel " << c << ": " << got << " vs " << expected[c];
            }
        }
    }
}

// A 48 kHz response of 0.3 s in the given convention: a short pulse from (azDeg,
// elDeg) starting at frame 1000 (in the 5 ms window from 20 ms), and a reflection
// 12 dB down 8 ms later from elsewhere. Every channel carries a different signal.
std::vector<double> Response(Convention convention, double azDeg, double elDeg)
{
    std::vector<double> direct(14400, 0.0), reflection(14400, 0.0);
    for (int k = 0; k < 48; ++k) {
        const double pulse = 0.6 * std::exp(-k / 8.0) * std::cos(0.9 * k + 0.3);
        direct[1000 + k] = pulse;
        reflection[1384 + k] = 0.25 * pulse;
    }
    auto ambix = PlaneWaveAmbix(azDeg, elDeg, direct);
    const auto echo = PlaneWaveAmbix(azDeg + 100, -elDeg / 2, reflection);
    for (std::size_t i = 0; i < ambix.size(); ++i) ambix[i] += echo[i];
    return InConvention(ambix, convention);
}

ConventionCheck CheckOf(const std::vector<double>& frames)
{
    ConventionCheck check(48000);
    constexpr std::size_t kBlockFrames = 77;  // blocks that straddle the windows
    for (std::size_t at = 0; at < frames.size(); at += 4 * kBlockFrames)
        check.AddFrames(std::span<const double>(frames).subspan(at, std::min(4 * kBlockFrames, frames.size() - at)));
    check.Finish();
    return check;
}

struct Truth {
    const char* name;
    Convention encoded;
    AmbisonicConvention convention;
};
const std::vector<Truth> kTruths = {
    {"AmbiX/SN3D", Convention::AmbixSn3d, kAmbixSn3d},
    {"AmbiX/N3D", Convention::AmbixN3d, kAmbixN3d},
    {"FuMa", Convention::FumaFuma, kFuma},
};

struct Source {
    const char* name;
    double azDeg;
    double elDeg;
};
// The side sources are where a wrong order puts a frontal one (left, near the horizon) and
// where it puts one from behind (right).
const std::vector<Source> kSources = {{"front-ish", 20, 10}, {"left side", 80, 5}, {"right side", -75, -5}};

// The sums are taken in double precision from exact plane waves.
constexpr double kExactDirectionToleranceDeg = 1e-6;
constexpr double kExactRatioTolerance = 1e-9;

TEST(ConventionChoice, PlaneWavesAreFoundInEachConvention)
{
    for (const auto& truth : kTruths) {
        for (const auto& source : kSources) {
            SCOPED_TRACE(std::string(truth.name) + ", " + source.name);
            const auto verdict = JudgeConvention(CheckOf(Response(truth.encoded, source.azDeg, source.elDeg)), {}, {});
            ASSERT_TRUE(verdict);
            const DirectSoundReading& used = verdict->Used();
            EXPECT_EQ(ShortName(used.convention), ShortName(truth.convention));
            EXPECT_EQ(used.window, 4u);
            EXPECT_DOUBLE_EQ(used.startMs, 20.0);
            EXPECT_NEAR(used.energyRatio, 1.0, kExactRatioTolerance);
            EXPECT_NEAR(used.azDeg, source.azDeg, kExactDirectionToleranceDeg);
            EXPECT_NEAR(used.elDeg, source.elDeg, kExactDirectionToleranceDeg);
            EXPECT_FALSE(verdict->Suggested());
            EXPECT_TRUE(ConventionWarnings(*verdict, false).empty());
        }
    }
}

TEST(ConventionChoice, GivenConventionsAreObeyedAndContradictionsNamed)
{
    for (const auto& truth : kTruths) {
        const ConventionCheck check = CheckOf(Response(truth.encoded, 20, 10));
        for (const AmbisonicConvention& given : kCommonConventions) {
            SCOPED_TRACE(std::string(truth.name) + " given as " + ShortName(given));
            const auto verdict = JudgeConvention(check, given.order, given.norm);
            ASSERT_TRUE(verdict);
            EXPECT_EQ(verdict->Used().convention, given);
            const auto warnings = ConventionWarnings(*verdict, false);
            if (given == truth.convention) {
                EXPECT_TRUE(warnings.empty());
                continue;
            }
            ASSERT_TRUE(verdict->Suggested());
            EXPECT_EQ(verdict->Suggested()->convention, truth.convention);
            ASSERT_FALSE(warnings.empty());
            const std::string options = "--order " + std::string(Keyword(truth.convention.order)) + " --norm " +
                                        std::string(Keyword(truth.convention.norm));
            EXPECT_NE(warnings[0].find("the data suggest " + ShortName(truth.convention) + " rather than"),
                      std::string::npos)
                << warnings[0];
            EXPECT_NE(warnings[0].find(options), std::string::npos) << warnings[0];
        }
    }
}

TEST(ConventionChoice, OneGivenPartLeavesTheOtherToBeFound)
{
    struct Case {
        const char* name;
        Convention encoded;
        std::optional<ChannelOrder> order;
        std::optional<Normalisation> norm;
        AmbisonicConvention used;
        bool warned;
    };
    const std::vector<Case> cases = {
        {"FuMa, order given", Convention::FumaFuma, ChannelOrder::Fuma, {}, kFuma, false},
        {"FuMa, gains given", Convention::FumaFuma, {}, Normalisation::Fuma, kFuma, false},
        {"N3D, order given", Convention::AmbixN3d, ChannelOrder::Ambix, {}, kAmbixN3d, false},
        // The order given is wrong; the gains found are still the file's own.
        {"FuMa, AmbiX order given",
         Convention::FumaFuma,
         ChannelOrder::Ambix,
         {},
         {ChannelOrder::Ambix, Normalisation::Fuma},
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto verdict = JudgeConvention(CheckOf(Response(c.encoded, -30, 10)), c.order, c.norm);
        ASSERT_TRUE(verdict);
        EXPECT_EQ(ShortName(verdict->Used().convention), ShortName(c.used));
        EXPECT_EQ(verdict->Suggested().has_value(), c.warned);
        const std::string line = ChoiceLine(*verdict, c.order.has_value(), c.norm.has_value());
        EXPECT_NE(line.find(c.order ? "(order as given)" : "(gains as given)"), std::string::npos) << line;
    }
}

TEST(ConventionChoice, SilenceHasNoReadingAndBadSamplesDoNotHideTheDirectSound)
{
    EXPECT_FALSE(JudgeConvention(CheckOf(std::vector<double>(4 * 4800, 0.0)), {}, {}));
    EXPECT_FALSE(JudgeConvention(CheckOf({}), {}, {}));

    std::vector<double> frames = Response(Convention::FumaFuma, -30, 0);
    frames[4 * 10] = kInf;
    frames[4 * 500 + 3] = kNaN;
    const auto verdict = JudgeConvention(CheckOf(frames), {}, {});
    ASSERT_TRUE(verdict);
    EXPECT_EQ(verdict->Used().convention, kFuma);
    EXPECT_EQ(verdict->Used().window, 4u);

    // W alone: energy but no direction, and no plane wave under any gains.
    std::vector<double> omni(4 * 4800, 0.0);
    omni[4 * 1000] = 0.5;
    const auto reading = CheckOf(omni).Read(kAmbixSn3d);
    ASSERT_TRUE(reading);
    EXPECT_EQ(reading->placement, Placement::Nowhere);
    EXPECT_FALSE(reading->planeWave);
}

TEST(ConventionChoice, TheDirectSoundIsTheLoudestWindowOfItsFirst10Ms)
{
    // A half-sine pulse starting 10 frames before the end of window 4: that window comes within
    // 20 dB of the loudest (about 13 dB down) but the pulse's bulk lies in window 5.
    std::vector<double> signal(14400, 0.0);
    for (int k = 0; k < 48; ++k) signal[1190 + k] = 0.6 * std::sin(std::numbers::pi * k / 48);
    const auto frames = InConvention(PlaneWaveAmbix(-40, 15, signal), Convention::FumaFuma);
    const auto verdict = JudgeConvention(CheckOf(frames), {}, {});
    ASSERT_TRUE(verdict);
    EXPECT_EQ(verdict->Used().convention, kFuma);
    EXPECT_EQ(verdict->Used().window, 5u);
    EXPECT_DOUBLE_EQ(verdict->Used().startMs, 25.0);
    EXPECT_NEAR(verdict->Used().azDeg, -40, kExactDirectionToleranceDeg);
}

TEST(ConventionChoice, DirectionsArePlacedAtTheirLimits)
{
    struct Case {
        double azDeg, elDeg;
        Placement placement;
    };
    const std::vector<Case> cases = {
        {45, 0, Placement::Front},        {45.001, 0, Placement::Side}, {-135, 0, Placement::Side},
        {-135.001, 0, Placement::Behind}, {180, 0, Placement::Behind},  {0, -30, Placement::Front},
        {0, -30.001, Placement::Below},   {0, 60, Placement::Front},    {170, 60.001, Placement::Overhead},
        {kNaN, 0, Placement::Nowhere},
    };
    for (const auto& c : cases) EXPECT_EQ(PlaceDirection(c.azDeg, c.elDeg), c.placement) << c.azDeg << ", " << c.elDeg;
}

}  // namespace
}  // namespace halvane::testing
