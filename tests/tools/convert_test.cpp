// The converter's conventions: a plane wave written in any convention and sample format
// comes out as the same AmbiX/SN3D samples and the same direction.

#include "WavBytes.h"
#include "convert/AmbisonicConvention.h"
#include "convert/DirectSoundCheck.h"
#include "wavio/WavReader.h"
#include "wavio/WavWriter.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace halvane::testing {
namespace {

using convert::ChannelOrder;
using convert::Normalisation;

// 16-bit quantisation of a 0.5-amplitude signal moves the intensity direction by well under
// 0.05 degrees; 8-bit by about a degree. Both bounds leave room for the float output rounding.
constexpr double kDirectionToleranceDeg = 0.05;
constexpr double kCoarseDirectionToleranceDeg = 1.5;
// Float output: one rounding to 32 bits of a value below 1.
constexpr double kFloatRounding = 0x1.0p-24;

struct Direction {
    const char* name;
    double azimuthDeg;
    double elevationDeg;
};

const std::vector<Direction> kDirections = {
    {"front left", 45, 0},    {"back left", 135, 10},     {"back right", -135, -10}, {"front right", -45, 20},
    {"straight behind", 180, 0}, {"up", 0, 90},           {"down", 0, -90},          {"odd angle", -112, -37},
};

struct Format {
    const char* name;
    Encoding encoding;
    bool extensible;
    bool rf64;
};

const std::vector<Format> kFormats = {
    {"16-bit PCM", Encoding::Pcm16, false, false},       {"24-bit PCM", Encoding::Pcm24, false, false},
    {"32-bit PCM", Encoding::Pcm32, false, false},       {"32-bit float", Encoding::Float32, false, false},
    {"64-bit float", Encoding::Float64, false, false},   {"extensible 24-bit", Encoding::Pcm24, true, false},
    {"extensible float", Encoding::Float32, true, false}, {"RF64 24-bit", Encoding::Pcm24, false, true},
    {"8-bit PCM", Encoding::Pcm8, false, false},
};

struct ConventionCase {
    const char* name;
    Convention convention;
    ChannelOrder order;
    Normalisation norm;
};

const std::vector<ConventionCase> kConventions = {
    {"AmbiX SN3D", Convention::AmbixSn3d, ChannelOrder::Ambix, Normalisation::Sn3d},
    {"FuMa", Convention::FumaFuma, ChannelOrder::Fuma, Normalisation::Fuma},
    {"AmbiX N3D", Convention::AmbixN3d, ChannelOrder::Ambix, Normalisation::N3d},
};

// A decaying tone: every sample different, peak 0.5 so N3D's sqrt(3) gain stays below 1.
std::vector<double> Signal()
{
    std::vector<double> s;
    for (int n = 0; n < 240; ++n) s.push_back(0.5 * std::exp(-n / 60.0) * std::cos(0.37 * n + 0.2));
    return s;
}

std::string WavOf(const std::vector<double>& frames, const Format& f)
{
    const auto bits = static_cast<std::uint16_t>(BitsOf(f.encoding));
    const std::uint16_t tag = IsFloat(f.encoding) ? kTagFloat : kTagPcm;
    const std::string fmt = f.extensible ? ExtensibleFmtBody(tag, 4, 48000, bits, bits)
                                         : FmtBody(tag, 4, 48000, static_cast<std::uint16_t>(bits / 2), bits);
    const std::string samples = EncodeSamples(f.encoding, frames);
    if (f.rf64) {
        const std::string ds64 = Chunk("ds64", U64(0) + U64(samples.size()) + U64(frames.size() / 4) + U32(0));
        return RiffFile(ds64 + Chunk("fmt ", fmt) + Chunk("data", samples, 0xFFFFFFFF), "RF64");
    }
    return RiffFile(Chunk("fmt ", fmt) + Chunk("data", samples));
}

// Reads, converts and writes as the command does, then reads the written file back.
std::vector<double> ConvertedSamples(const std::string& file, ChannelOrder order, Normalisation norm)
{
    const auto read = wavio::ReadWav(AsBytes(file));
    EXPECT_EQ(read.status, wavio::WavReadStatus::Ok) << read.message;
    const std::vector<float> converted = convert::ToAmbixSn3d(read.audio, order, norm);
    std::ostringstream out;
    EXPECT_TRUE(wavio::WriteFloatWav(out, read.audio.format.sampleRateHz, 4, converted).ok);
    const std::string written = out.str();
    const auto back = wavio::ReadWav(AsBytes(written));
    EXPECT_EQ(back.status, wavio::WavReadStatus::Ok) << back.message;
    return back.audio.samples;
}

TEST(ConvertConventions, PlaneWaveKeepsItsSamplesAndDirectionInEveryConventionAndFormat)
{
    const std::vector<double> signal = Signal();
    for (const auto& direction : kDirections) {
        const std::vector<double> expected = PlaneWaveAmbix(direction.azimuthDeg, direction.elevationDeg, signal);
        for (const auto& convention : kConventions) {
            const std::vector<double> encoded = InConvention(expected, convention.convention);
            for (const auto& format : kFormats) {
                SCOPED_TRACE(std::string(direction.name) + ", " + convention.name + ", " + format.name);
                const std::vector<double> got =
                    ConvertedSamples(WavOf(encoded, format), convention.order, convention.norm);
                ASSERT_EQ(got.size(), expected.size());
                // Quantisation of the stored sample, scaled by the largest gain applied (sqrt 2),
                // then one float rounding.
                const double tolerance = StepOf(format.encoding) * std::sqrt(2.0) + kFloatRounding;
                for (std::size_t i = 0; i < got.size(); ++i)
                    ASSERT_NEAR(got[i], expected[i], tolerance) << "sample " << i << " (channel " << i % 4 << ")";

                const auto measured = DirectionOver(got, 0, got.size() / 4);
                const double limit = format.encoding == Encoding::Pcm8 ? kCoarseDirectionToleranceDeg
                                                                       : kDirectionToleranceDeg;
                EXPECT_NEAR(measured.elevationDeg, direction.elevationDeg, limit);
                if (std::fabs(direction.elevationDeg) < 90) {
                    EXPECT_LE(AzimuthDifferenceDeg(measured.azimuthDeg, direction.azimuthDeg), limit);
                }
            }
        }
    }
}

TEST(ConvertConventions, WrongOrderMovesTheDirection)
{
    // The test above would pass for a converter that ignored --order if every case were
    // symmetric; reading FuMa as AmbiX must put a frontal source somewhere else.
    const auto fuma = InConvention(PlaneWaveAmbix(0, 0, Signal()), Convention::FumaFuma);
    const Format float32{"32-bit float", Encoding::Float32, false, false};
    const auto misread = ConvertedSamples(WavOf(fuma, float32), ChannelOrder::Ambix, Normalisation::Fuma);
    const auto measured = DirectionOver(misread, 0, misread.size() / 4);
    EXPECT_NEAR(measured.azimuthDeg, 90.0, kDirectionToleranceDeg);
}

TEST(ConvertConventions, OnlyFourChannelAudioIsConverted)
{
    wavio::WavAudio stereo;
    stereo.format.channelCount = 2;
    stereo.frameCount = 2;
    stereo.samples = {0.1, 0.2, 0.3, 0.4};
    EXPECT_TRUE(convert::ToAmbixSn3d(stereo, ChannelOrder::Ambix, Normalisation::Sn3d).empty());
}

// Interleaved W, Y, Z, X at 48 kHz: silence, then a plane wave pulse in the window starting
// at pulseMs, then an echo from elsewhere 12 dB down.
std::vector<float> PulseFile(double azimuthDeg, double elevationDeg, double pulseMs)
{
    std::vector<float> out(4 * 4800, 0.0f);
    auto put = [&](double ms, double amplitude, double az, double el) {
        const auto frames = PlaneWaveAmbix(az, el, {amplitude, -0.5 * amplitude, 0.25 * amplitude});
        const auto first = static_cast<std::size_t>(ms * 48) + 100;
        for (std::size_t i = 0; i < frames.size(); ++i) out[4 * first + i] = static_cast<float>(frames[i]);
    };
    put(pulseMs, 0.8, azimuthDeg, elevationDeg);
    put(pulseMs + 30, 0.2, -azimuthDeg + 60, -elevationDeg);
    return out;
}

TEST(DirectSoundCheck, FindsTheDirectSoundAndWarnsOnlyAboutSuspectDirections)
{
    struct Case {
        const char* name;
        double azimuthDeg;
        double elevationDeg;
        std::size_t warnings;
    };
    const std::vector<Case> cases = {
        {"front", 10, 5, 0},          {"left, slightly below", 80, -20, 0}, {"right", -120, 0, 0},
        {"behind left", 150, 0, 1},   {"behind right", -140, 0, 1},         {"well below", 30, -45, 1},
        {"overhead", 0, 75, 1},       {"behind and below", 180, -60, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto estimate = convert::EstimateDirectSound(PulseFile(c.azimuthDeg, c.elevationDeg, 20), 48000);
        ASSERT_TRUE(estimate);
        EXPECT_EQ(estimate->windowIndex, 4u);
        EXPECT_DOUBLE_EQ(estimate->startMs, 20.0);
        EXPECT_NEAR(estimate->direction.elevationDeg, c.elevationDeg, 1e-3);
        EXPECT_LE(AzimuthDifferenceDeg(estimate->direction.azimuthDeg, c.azimuthDeg), 1e-3);
        EXPECT_EQ(convert::ConventionSlipWarnings(*estimate).size(), c.warnings);
    }
}

TEST(DirectSoundCheck, SilenceAndNonsenseGiveNoEstimate)
{
    EXPECT_FALSE(convert::EstimateDirectSound(std::vector<float>(4 * 480, 0.0f), 48000));
    EXPECT_FALSE(convert::EstimateDirectSound({}, 48000));
    EXPECT_FALSE(convert::EstimateDirectSound(PulseFile(0, 0, 20), 0));
    // W alone carries energy but no direction.
    std::vector<float> omni(4 * 480, 0.0f);
    omni[400] = 0.5f;
    EXPECT_FALSE(convert::EstimateDirectSound(omni, 48000));
}

TEST(DirectSoundCheck, AWindowOfNonFiniteSamplesDoesNotHideTheDirectSound)
{
    std::vector<float> samples = PulseFile(-30, 0, 40);
    samples[4 * 10] = std::numeric_limits<float>::infinity();
    samples[4 * 11 + 3] = std::numeric_limits<float>::quiet_NaN();
    const auto estimate = convert::EstimateDirectSound(samples, 48000);
    ASSERT_TRUE(estimate);
    EXPECT_EQ(estimate->windowIndex, 8u);
    EXPECT_NEAR(estimate->direction.azimuthDeg, -30, 1e-3);
}

TEST(DirectSoundCheck, StraightBehindIsPlus180)
{
    convert::WindowSums sums;
    sums.energy = 2;
    sums.ix = -1;
    sums.iy = -0.0;
    const auto d = convert::DirectionOf(sums);
    ASSERT_TRUE(d);
    EXPECT_EQ(d->azimuthDeg, 180.0);
}

}  // namespace
}  // namespace halvane::testing
