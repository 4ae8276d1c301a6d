// The arrival list of the measured and simulated responses beside the
// checkout, as an acoustician reads them next to W's own envelope: the
// direct sound first whatever the threshold, nothing listed above it, and
// the reflections that stand out of each response found.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "analysis/arrivals/Arrivals.h"
#include "support/RecordedResponse.h"

namespace halvane {
namespace {

constexpr double kRad = std::numbers::pi / 180;
const std::string kRealDir = HALVANE_REAL_DATA_DIR;

double AngleDeg(const Arrival& a, double azDeg, double elDeg)
{
    const double c = std::sin(a.elDeg * kRad) * std::sin(elDeg * kRad) +
                     std::cos(a.elDeg * kRad) * std::cos(elDeg * kRad) * std::cos((a.azDeg - azDeg) * kRad);
    return std::acos(std::clamp(c, -1.0, 1.0)) / kRad;
}

struct Response {
    const char* file;
    AmbisonicConvention convention;
    double directMs;  // the peak of W's energy envelope in its direct sound
};

// Where each direct sound lies, read off W's envelope: Rymer's clips, and
// Tyndall's has a weak forerunner 0.35 ms before it.
const Response kResponses[] = {
    {"koli_snow_site1_1way_bformat.wav", kFuma, 27.67}, {"St_Andrews_church_000_bformat_48k.wav", kFuma, 37.90},
    {"tyndall_bruce_b_format.wav", kFuma, 3.88},        {"Rymer_s1r2_bformat.wav", kFuma, 22.72},
    {"IR_Gewandhaus_SH1.wav", kAmbixN3d, 33.15},        {"room_1_bf.wav", kFuma, 18.69},
};
// The direct sound's time to a few samples: a measured pulse's envelope is
// broad, and a clipped one's is restored first.
constexpr double kDirectToleranceMs = 0.1;

std::vector<Arrival> Listed(const BFormatSignal& signal, double maxDiffuseness)
{
    ArrivalOptions options;
    options.maxDiffuseness = maxDiffuseness;
    return FindArrivals(signal, options);
}

TEST(ArrivalsRealData, TheDirectSoundComesFirstAndNothingIsListedAboveIt)
{
    for (const Response& response : kResponses) {
        SCOPED_TRACE(response.file);
        const auto signal = test::ReadRecordedResponse(kRealDir + "/" + response.file, response.convention);
        ASSERT_TRUE(signal) << signal.Message();
        std::vector<Arrival> lower;
        for (const double limit : {0.4, 0.5, 0.6}) {
            SCOPED_TRACE(limit);
            const std::vector<Arrival> found = Listed(*signal, limit);
            ASSERT_FALSE(found.empty());
            EXPECT_NEAR(found[0].timeMs, response.directMs, kDirectToleranceMs);
            EXPECT_EQ(found[0].levelDb, 0.0);
            for (std::size_t i = 1; i < found.size(); ++i) {
                EXPECT_GT(found[i].timeMs, found[i - 1].timeMs);
                EXPECT_LE(found[i].levelDb, 0.0) << "at " << found[i].timeMs << " ms";
            }
            // A higher limit keeps every row of a lower one.
            for (const Arrival& a : lower) {
                EXPECT_TRUE(
                    std::any_of(found.begin(), found.end(), [&](const Arrival& b) { return b.timeMs == a.timeMs; }))
                    << "the row at " << a.timeMs << " ms is gone";
            }
            lower = found;
        }
    }
}

// The first listed row within from .. to ms after the direct sound, or none.
const Arrival* RowBetween(const std::vector<Arrival>& found, double fromMs, double toMs)
{
    for (const Arrival& a : found) {
        const double delayMs = a.timeMs - found[0].timeMs;
        if (delayMs >= fromMs && delayMs <= toMs) return &a;
    }
    return nullptr;
}

TEST(ArrivalsRealData, TheReflectionsThatStandOutAreListed)
{
    // Koli, outdoors on snow: the ground reflection from below, less than a
    // millisecond behind the direct sound, about 13 dB down.
    const auto koli = test::ReadRecordedResponse(kRealDir + "/koli_snow_site1_1way_bformat.wav", kFuma);
    ASSERT_TRUE(koli);
    const std::vector<Arrival> atKoli = FindArrivals(*koli, {});
    const Arrival* ground = RowBetween(atKoli, 0.3, 1.0);
    ASSERT_NE(ground, nullptr);
    EXPECT_LT(ground->elDeg, -20.0);
    EXPECT_NEAR(ground->levelDb, -13.0, 3.0);

    // St Andrew's: an arrival of nearly the direct sound's energy about 4.2 ms
    // after it, from near the source.
    const auto church = test::ReadRecordedResponse(kRealDir + "/St_Andrews_church_000_bformat_48k.wav", kFuma);
    ASSERT_TRUE(church);
    const std::vector<Arrival> atChurch = FindArrivals(*church, {});
    const Arrival* strong = RowBetween(atChurch, 3.8, 4.8);
    ASSERT_NE(strong, nullptr);
    EXPECT_GE(strong->levelDb, -6.0);
    EXPECT_LE(AngleDeg(*strong, atChurch[0].azDeg, atChurch[0].elDeg), 30.0);

    // Gewandhaus (simulated): one filtered reflection from (-160, -20), one row.
    const auto hall = test::ReadRecordedResponse(kRealDir + "/IR_Gewandhaus_SH1.wav", kAmbixN3d);
    ASSERT_TRUE(hall);
    const std::vector<Arrival> atHall = FindArrivals(*hall, {});
    const auto fromBehind = std::count_if(atHall.begin(), atHall.end(), [&](const Arrival& a) {
        const double delayMs = a.timeMs - atHall[0].timeMs;
        return delayMs > 9.0 && delayMs < 12.0 && AngleDeg(a, -160, -20) < 5.0;
    });
    EXPECT_EQ(fromBehind, 1);
}

}  // namespace
}  // namespace halvane
