// Two copies of one measured response, 16-bit and float, compare as the same.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "analysis/compare/Comparison.h"
#include "support/RecordedResponse.h"

namespace halvane {
namespace {

const std::string kDerivedDir = std::string(HALVANE_REAL_DATA_DIR) + "/derived/";

TEST(CompareRealData, TheSixteenBitAndFloatCopiesOfKoliShowNoFlag)
{
    const auto asFloat = test::ReadRecordedResponse(kDerivedDir + "koli_snow_site1_ambix_float32.wav", kAmbixSn3d);
    const auto asPcm = test::ReadRecordedResponse(kDerivedDir + "koli_snow_site1_ambix_pcm16.wav", kAmbixSn3d);
    ASSERT_TRUE(asFloat) << asFloat.Message();
    ASSERT_TRUE(asPcm) << asPcm.Message();
    const auto compared = CompareResponses(*asFloat, *asPcm, {});
    ASSERT_TRUE(compared) << compared.Message();
    EXPECT_NEAR(compared->lagMs, 0, 1e-3);
    for (const ParameterDifference& p : compared->parameters) {
        EXPECT_FALSE(p.beyondJnd) << p.parameter << " in " << p.band << ": " << p.a.value_or(NAN) << " and "
                                  << p.b.value_or(NAN);
    }
    for (const ArrivalPair& pair : compared->arrivals) {
        EXPECT_EQ(pair.match, ArrivalMatch::Both) << (pair.a ? pair.a->timeMs : pair.b->timeMs);
        if (pair.levelChangeDb) {
            EXPECT_LT(std::fabs(*pair.levelChangeDb), 0.5) << pair.a->timeMs;
        }
    }
}

}  // namespace
}  // namespace halvane
