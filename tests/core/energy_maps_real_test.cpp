// The energy maps of measured responses: the direct sound's peak lies where
// its pseudo-intensity points, and every map holds its range's energy.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>

#include "analysis/maps/EnergyMaps.h"
#include "support/RecordedResponse.h"
#include "values/MapGrid.h"

namespace halvane {
namespace {

constexpr double kRad = std::numbers::pi / 180;

// A measured direct sound is no plane wave: its direction drifts by a degree
// or two over its first millisecond (the microphone's capsules are not one
// point), and a peak lies at a cell centre, up to 1.4 degrees from it.
constexpr double kDirectPeakToleranceDeg = 4;
constexpr double kEnergyToleranceDb = 0.1;

double AngleDeg(double az1Deg, double el1Deg, double az2Deg, double el2Deg)
{
    const double c = std::sin(el1Deg * kRad) * std::sin(el2Deg * kRad) +
                     std::cos(el1Deg * kRad) * std::cos(el2Deg * kRad) * std::cos((az1Deg - az2Deg) * kRad);
    return std::acos(std::clamp(c, -1.0, 1.0)) / kRad;
}

// The measured responses (traditional W, X, Y, Z); Rymer's clips in its direct sound.
const std::string kRealDir = HALVANE_REAL_DATA_DIR;
const char* const kMeasured[] = {"St_Andrews_church_000_bformat_48k.wav", "koli_snow_site1_1way_bformat.wav",
                                 "tyndall_bruce_b_format.wav"};

TEST(EnergyMapsRealData, TheDirectSoundPeaksWhereItsIntensityPoints)
{
    for (const char* name : kMeasured) {
        const auto signal = test::ReadRecordedResponse(kRealDir + "/" + name, kFuma);
        ASSERT_TRUE(signal) << name;
        for (MapEstimator estimator : {MapEstimator::Beam, MapEstimator::Histogram}) {
            SCOPED_TRACE(std::string(name) + (estimator == MapEstimator::Beam ? ", beam" : ", histogram"));
            EnergyMapOptions options;
            options.estimator = estimator;
            const Result<EnergyMapSet> set = ComputeEnergyMaps(*signal, options);
            ASSERT_TRUE(set.Ok()) << set.Message();
            // The pseudo-intensity over the direct sound's first millisecond.
            const EnergyMap& direct = set->maps[0];
            double ix = 0, iy = 0, iz = 0;
            const auto end = direct.firstFrame + static_cast<std::size_t>(signal->SampleRateHz / 1000);
            for (std::size_t n = direct.firstFrame; n < end; ++n) {
                ix += signal->W[n] * signal->X[n];
                iy += signal->W[n] * signal->Y[n];
                iz += signal->W[n] * signal->Z[n];
            }
            const double azDeg = std::atan2(iy, ix) / kRad, elDeg = std::atan2(iz, std::hypot(ix, iy)) / kRad;
            EXPECT_LE(AngleDeg(MapColumnAzDeg(direct.peakCell % kMapColumns),
                               MapRowElDeg(direct.peakCell / kMapColumns), azDeg, elDeg),
                      kDirectPeakToleranceDeg);
            for (const EnergyMap& map : set->maps) {
                double sum = 0;
                for (std::size_t cell = 0; cell < kMapCells; ++cell) {
                    sum += map.cellEnergy[cell] * MapCellSolidAngleSr(cell / kMapColumns);
                }
                EXPECT_NEAR(10 * std::log10(sum / (4 * std::numbers::pi) / map.energy), 0, kEnergyToleranceDb)
                    << map.range.label;
            }
        }
    }
}

}  // namespace
}  // namespace halvane
