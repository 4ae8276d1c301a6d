// The real impulse responses beside the checkout: the convention each is found in, its direct
// sound's energy ratio, and a conversion without a warning.

#include "SoundFiles.h"
#include "analysis/convention/ConventionCheck.h"
#include "analysis/convention/InputConvention.h"
#include "convert/ConvertCommand.h"
#include "convert/SoundFileReader.h"
#include "support/RunCommand.h"

#include <gtest/gtest.h>

#include <sstream>

namespace halvane::testing {
namespace {

struct RealFile {
    const char* name;
    AmbisonicConvention convention;  // as the folder's README gives it
    double ratioLow, ratioHigh;      // the direct sound's energy ratio once read right
    std::int64_t frames;
};

// Ratios measured with 5 ms windows: exactly 1 for the two simulated files, 1.16 to 1.80 for
// the microphones (whose X, Y, Z run hot).
const std::vector<RealFile> kFiles = {
    {"koli_snow_site1_1way_bformat.wav", kFuma, 1.15, 1.17, 240000},
    {"Rymer_s1r2_bformat.wav", kFuma, 1.65, 1.67, 72000},
    {"St_Andrews_church_000_bformat_48k.wav", kFuma, 1.79, 1.81, 96000},
    {"tyndall_bruce_b_format.wav", kFuma, 1.78, 1.80, 230400},
    {"room_1_bf.wav", kFuma, 0.999, 1.001, 48122},
    {"IR_Gewandhaus_SH1.wav", kAmbixN3d, 0.999, 1.001, 180810},
    {"derived/koli_snow_site1_ambix_float32.wav", kAmbixSn3d, 1.15, 1.17, 240000},
    {"derived/koli_snow_site1_ambix_pcm16.wav", kAmbixSn3d, 1.15, 1.17, 240000},
};

std::filesystem::path RealPath(const std::string& name) { return std::filesystem::path(HALVANE_REAL_DATA_DIR) / name; }

TEST(RealData, EveryFileIsFoundInItsConventionAndConvertsWithoutAWarning)
{
    ScratchFolder scratch("real-data");
    for (const auto& file : kFiles) {
        SCOPED_TRACE(file.name);
        convert::SoundFileReader reader;
        ASSERT_TRUE(reader.Open(RealPath(file.name)));
        EXPECT_EQ(reader.Info().frameCount, file.frames);
        ConventionCheck check(reader.Info().sampleRateHz);
        std::vector<double> block(4 * 4096);
        while (const std::size_t got = reader.ReadFrames(block)) check.AddFrames(std::span(block).first(4 * got));
        check.Finish();
        const auto verdict = JudgeConvention(check, {}, {});
        ASSERT_TRUE(verdict);
        const DirectSoundReading& used = verdict->Used();
        EXPECT_EQ(ShortName(used.convention), ShortName(file.convention));
        EXPECT_GE(used.energyRatio, file.ratioLow);
        EXPECT_LE(used.energyRatio, file.ratioHigh);
        EXPECT_EQ(used.placement, Placement::Front);

        // Converted as found, and again from the result, which is AmbiX/SN3D.
        const auto once = scratch.Path() / "once.wav";
        const auto twice = scratch.Path() / "twice.wav";
        for (const auto& [from, to] : {std::pair{RealPath(file.name), once}, std::pair{once, twice}}) {
            std::ostringstream out, err;
            EXPECT_EQ(convert::Convert({from, to, {}, {}}, out, err), convert::kExitOk);
            EXPECT_EQ(err.str(), "");
        }
        EXPECT_EQ(Slurp(once), Slurp(twice)) << "an AmbiX/SN3D file converts to itself";
        // With the convention given, no warning either.
        std::ostringstream out, err;
        EXPECT_EQ(convert::Convert({RealPath(file.name), once, file.convention.order, file.convention.norm}, out, err),
                  convert::kExitOk);
        EXPECT_EQ(err.str(), "");
    }
}

TEST(RealData, FumaKoliConvertsToTheIndependentAmbixConversion)
{
    // The derived file is the same recording converted by another program (libsndfile through
    // Python): W x sqrt(2), reordered. Ours must agree to within one rounding of a float.
    ScratchFolder scratch("real-koli");
    const auto converted = scratch.Path() / "koli.wav";
    std::ostringstream out, err;
    ASSERT_EQ(convert::Convert({RealPath("koli_snow_site1_1way_bformat.wav"), converted, {}, {}}, out, err),
              convert::kExitOk);
    const SoundRead ours = ReadSoundFile(converted);
    const SoundRead theirs = ReadSoundFile(RealPath("derived/koli_snow_site1_ambix_float32.wav"));
    ASSERT_EQ(ours.samples.size(), theirs.samples.size());
    constexpr double kOneFloatStep = 0x1.0p-23;  // relative: at worst one rounding apart
    for (std::size_t i = 0; i < ours.samples.size(); ++i)
        ASSERT_NEAR(ours.samples[i], theirs.samples[i], std::fabs(theirs.samples[i]) * kOneFloatStep + 1e-12)
            << "sample " << i << " (channel " << i % 4 << ")";
}

TEST(RealData, AReadableTraditionalFileGetsTheNoticeAndAmbixFilesNone)
{
    struct Case {
        const char* name;
        std::vector<std::string> notice;  // parts of it; none: no notice
    };
    const std::vector<Case> cases = {
        {"room_1_bf.wav", {"from the front (Az 14, El 0) in FuMa", "from the side (Az 90, El 14) in AmbiX/SN3D"}},
        {"derived/koli_snow_site1_ambix_float32.wav", {}},
        {"derived/koli_snow_site1_ambix_pcm16.wav", {}},
        {"koli_snow_site1_1way_bformat.wav", {}},  // 24-bit: refused, its refusal says why
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string bytes = Slurp(RealPath(c.name));
        const BorrowedImage image(std::span(reinterpret_cast<const std::byte*>(bytes.data()), bytes.size()));
        const auto notice = ConventionNotice(image, c.name);
        ASSERT_EQ(notice.has_value(), !c.notice.empty()) << notice.value_or("");
        for (const std::string& part : c.notice) EXPECT_NE(notice->find(part), std::string::npos) << *notice;
    }
}

}  // namespace
}  // namespace halvane::testing
