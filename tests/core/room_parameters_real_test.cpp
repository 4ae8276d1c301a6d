#include <gtest/gtest.h>

#include "analysis/room/RoomParameters.h"
#include "support/RecordedResponse.h"

namespace halvane {
namespace {

const std::string kRealDir = HALVANE_REAL_DATA_DIR;
// The 24-bit original and its single-precision AmbiX conversion differ only
// by the conversion's rounding.
constexpr double kConversionTolerance = 1e-4;

std::vector<BandParameters> RoomOf(const std::string& name, AmbisonicConvention convention)
{
    const Result<BFormatSignal> signal = test::ReadRecordedResponse(kRealDir + "/" + name, convention);
    EXPECT_TRUE(signal) << signal.Message();
    return signal ? ComputeRoomParameters(*signal) : std::vector<BandParameters>{};
}

TEST(RealRoomParameters, OutdoorSiteIsDominatedByItsDirectSound)
{
    // Koli, snow-covered ground in the open: a strong frontal direct sound and
    // little energy after it.
    const auto rows = RoomOf("derived/koli_snow_site1_ambix_float32.wav", kAmbixSn3d);
    ASSERT_EQ(rows.size(), 7u);
    for (const BandParameters& row : rows) {
        ASSERT_TRUE(row.edtS && row.c80Db && row.d50 && row.lf) << row.band;
        EXPECT_LT(*row.edtS, 0.1) << row.band;
        EXPECT_GT(*row.c80Db, 15) << row.band;
        EXPECT_GT(*row.d50, 0.95) << row.band;
        EXPECT_LT(*row.lf, 0.1) << row.band;
        if (row.t30S) {
            EXPECT_LT(*row.t30S, 2.0) << row.band;
        }
    }
}

TEST(RealRoomParameters, TwentyFourBitOriginalAgreesWithItsAmbixConversion)
{
    const auto original = RoomOf("koli_snow_site1_1way_bformat.wav", kFuma);
    const auto converted = RoomOf("derived/koli_snow_site1_ambix_float32.wav", kAmbixSn3d);
    ASSERT_EQ(original.size(), converted.size());
    for (std::size_t i = 0; i < original.size(); ++i) {
        const BandParameters& a = original[i];
        const BandParameters& b = converted[i];
        for (const auto& [x, y] : {std::pair{a.edtS, b.edtS}, {a.t30S, b.t30S}, {a.c80Db, b.c80Db}, {a.lf, b.lf}}) {
            ASSERT_EQ(x.has_value(), y.has_value()) << a.band;
            if (x) {
                EXPECT_NEAR(*x, *y, kConversionTolerance * std::abs(*y)) << a.band;
            }
        }
    }
}

TEST(RealRoomParameters, SmallChurchReverberatesForAboutASecondAndAHalf)
{
    const auto rows = RoomOf("St_Andrews_church_000_bformat_48k.wav", kFuma);
    ASSERT_EQ(rows.size(), 7u);
    for (const BandParameters& row : rows) {
        ASSERT_TRUE(row.edtS && row.t30S && row.c80Db && row.lf) << row.band;
        EXPECT_GT(*row.t30S, 1.0) << row.band;
        EXPECT_LT(*row.t30S, 2.0) << row.band;
        EXPECT_GT(*row.edtS, 0.8) << row.band;
        EXPECT_LT(*row.edtS, 2.0) << row.band;
        EXPECT_GT(*row.c80Db, 0) << row.band;
        EXPECT_LT(*row.c80Db, 8) << row.band;
        EXPECT_LT(*row.lf, 0.3) << row.band;
    }
}

}  // namespace
}  // namespace halvane
