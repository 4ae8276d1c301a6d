// The real impulse responses beside the checkout convert, and their direct sound comes from
// the front once the right convention is given.

#include "WavBytes.h"
#include "convert/AmbisonicConvention.h"
#include "convert/DirectSoundCheck.h"
#include "wavio/FileImage.h"
#include "wavio/WavReader.h"

#include <gtest/gtest.h>

namespace halvane::testing {
namespace {

using convert::ChannelOrder;
using convert::Normalisation;

struct RealFile {
    const char* name;
    ChannelOrder order;
    Normalisation norm;
    std::size_t frames;
    std::uint32_t rateHz;
};

// Conventions and lengths as the folder's README gives them.
const std::vector<RealFile> kFiles = {
    {"koli_snow_site1_1way_bformat.wav", ChannelOrder::Fuma, Normalisation::Fuma, 240000, 48000},
    {"Rymer_s1r2_bformat.wav", ChannelOrder::Fuma, Normalisation::Fuma, 72000, 48000},
    {"St_Andrews_church_000_bformat_48k.wav", ChannelOrder::Fuma, Normalisation::Fuma, 96000, 48000},
    {"tyndall_bruce_b_format.wav", ChannelOrder::Fuma, Normalisation::Fuma, 230400, 48000},
    {"room_1_bf.wav", ChannelOrder::Fuma, Normalisation::Fuma, 48122, 44100},
    {"IR_Gewandhaus_SH1.wav", ChannelOrder::Ambix, Normalisation::N3d, 180810, 44100},
    {"derived/koli_snow_site1_ambix_float32.wav", ChannelOrder::Ambix, Normalisation::Sn3d, 240000, 48000},
    {"derived/koli_snow_site1_ambix_pcm16.wav", ChannelOrder::Ambix, Normalisation::Sn3d, 240000, 48000},
};

wavio::WavAudio Read(const std::string& name)
{
    const auto image = wavio::ReadFileImage(std::string(HALVANE_REAL_DATA_DIR) + "/" + name);
    EXPECT_TRUE(image.ok) << name << ": " << image.message;
    const auto result = wavio::ReadWav(image.bytes);
    EXPECT_EQ(result.status, wavio::WavReadStatus::Ok) << name << ": " << result.message;
    return result.audio;
}

TEST(RealData, EveryFileConvertsAndItsDirectSoundComesFromTheFront)
{
    for (const auto& file : kFiles) {
        SCOPED_TRACE(file.name);
        const auto audio = Read(file.name);
        EXPECT_EQ(audio.frameCount, file.frames);
        EXPECT_EQ(audio.format.sampleRateHz, file.rateHz);
        EXPECT_TRUE(audio.warnings.empty());
        const auto converted = convert::ToAmbixSn3d(audio, file.order, file.norm);
        ASSERT_EQ(converted.size(), file.frames * 4);
        const auto direct = convert::EstimateDirectSound(converted, file.rateHz);
        ASSERT_TRUE(direct);
        EXPECT_LT(std::fabs(direct->direction.azimuthDeg), 90.0);
        EXPECT_TRUE(convert::ConventionSlipWarnings(*direct).empty());
    }
}

TEST(RealData, FumaKoliConvertsToTheIndependentAmbixConversion)
{
    // The derived file is the same recording converted by another program (libsndfile):
    // W x sqrt(2), reordered. Ours must agree to the last bit or so of a float.
    const auto fuma = Read("koli_snow_site1_1way_bformat.wav");
    const auto ambix = Read("derived/koli_snow_site1_ambix_float32.wav");
    const auto converted = convert::ToAmbixSn3d(fuma, ChannelOrder::Fuma, Normalisation::Fuma);
    ASSERT_EQ(converted.size(), ambix.samples.size());
    constexpr double kOneFloatStep = 0x1.0p-23;  // relative, at worst one rounding apart
    for (std::size_t i = 0; i < converted.size(); ++i)
        ASSERT_NEAR(converted[i], ambix.samples[i], std::fabs(ambix.samples[i]) * kOneFloatStep + 1e-12)
            << "sample " << i << " (channel " << i % 4 << ")";
}

TEST(RealData, ConventionSlipsAreCaughtOnRealFiles)
{
    // AmbiX files read as FuMa, and the reverse: the direct sound lands overhead or to the
    // side, and the check says so for the former.
    const auto ambix = Read("derived/koli_snow_site1_ambix_float32.wav");
    const auto misread = convert::ToAmbixSn3d(ambix, ChannelOrder::Fuma, Normalisation::Fuma);
    const auto direct = convert::EstimateDirectSound(misread, 48000);
    ASSERT_TRUE(direct);
    EXPECT_FALSE(convert::ConventionSlipWarnings(*direct).empty());
}

}  // namespace
}  // namespace halvane::testing
