// The results halvane-batch hands halvane-picture: every value back bit for
// bit, hostile bytes refused with the section named, later sections skipped.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "exchange/ResultsExchange.h"

namespace halvane {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kTiny = std::numeric_limits<double>::denorm_min();

// Results with a value of every kind at its edges: -0, not-a-number with a
// payload, infinities, the smallest subnormal, the extreme integers.
AnalysisResults EdgeResults()
{
    AnalysisResults r;
    r.irFileName = "/rooms/h\xC3\xA4ll\nwith newline.wav";
    r.bandHz = 4000;
    r.skipMs = -0.0;
    r.displayWindowMs = 1000.0 / 3.0;
    r.averagingWindowMs = kTiny;
    SummedWindow ints{3, 15, {}};
    ints.sums.De16 = std::numeric_limits<std::int64_t>::max();
    ints.sums.Ix16 = std::numeric_limits<std::int64_t>::min();
    ints.sums.Iy16 = -1;
    ints.sums.Iz16 = 0;
    SummedWindow floats{4, 20.000000000000004, {}};
    floats.sums.isFloat = true;
    floats.sums.De32 = std::bit_cast<float>(0x7FC00123u);  // a quiet NaN with a payload
    floats.sums.Ix32 = -0.0f;
    floats.sums.Iy32 = std::numeric_limits<float>::denorm_min();
    floats.sums.Iz32 = -std::numeric_limits<float>::infinity();
    r.intensityWindows = {ints, floats};
    DirectionQuantities q;
    q.TimeMs = 7.5;
    q.hasDirection = true;
    q.writesRow = true;
    q.view = {1.5, 2.5, 127.5, 180, -90, kInf, 0.1, -0.2, 0.3, 1e-300};
    q.IDdB = -3.0102999566398121;
    q.Li = std::bit_cast<double>(0x7FF8000000000ABCull);
    r.directionWindows = {q, DirectionQuantities{}};
    r.arrivals = {{7.509, 0, 18.43, 8.98, -3.01, 0.0001}, {12.25, -kInf, -179.99, 89.9, kNaN, 1}};
    r.arrivalSurfaceNames = {"", "2nd"};
    // A comparison's every kind of value (its re-encoding is checked bit for bit).
    Comparison c;
    c.lagMs = -0.0;
    c.rotationDeg = kNaN;
    c.calibrated = true;
    c.maps = {{{"late", 80, std::nullopt}, {std::nullopt, -6.02, kInf}}};
    c.parameters = {{"all", "C80 (dB)", 1.5, std::nullopt, std::nullopt, 1, false, true, "curved decay"}};
    c.arrivals = {{ArrivalMatch::OnlyB, std::nullopt, Arrival{21.07, -16.2, 18.5, -64, -3, 0}, std::nullopt},
                  {ArrivalMatch::Both, Arrival{}, Arrival{}, -6.02}};
    r.comparedFileName = "after.wav";
    r.comparison = c;
    r.arrivalFloorDb = 33.25;
    r.arrivalDirectionWindowMs = 0.8;
    r.arrivalMaxDiffuseness = 0.6;
    BandParameters band;
    band.band = "125";
    band.nominalHz = 125;
    band.edtS = 1.25;
    band.c80Db = -0.0;
    band.lfc = kNaN;
    band.decay = {0.0075, {0.0, 0.001, 0.002}, {0.0, -0.5, -1.25}, 1.9, 47.5};
    band.t20Fit = DecayFit{-60.5, 0.25, 0.1, 0.4};
    BandParameters all;
    all.band = "all";
    r.roomParameters = {band, all};
    EnergyMapSet maps;
    maps.estimator = MapEstimator::Histogram;
    maps.spotWidthDeg = 4.5;
    maps.bandHz = 500;
    maps.onsetFrame = std::numeric_limits<std::size_t>::max();
    maps.onsetMs = 9.334;
    maps.decayEndMs = kInf;
    maps.referenceEnergy = kTiny;
    EnergyMap direct;
    direct.range = {"direct", 0, 5};
    direct.toMs = 5;
    direct.firstFrame = 3;
    direct.endFrame = 243;
    direct.energy = 0.25;
    direct.cellEnergy = {kNaN, -0.0, 1e300};
    direct.levelDb = {kEnergyMapFloorDb, 0, -kInf};
    direct.peakCell = 2;
    direct.peakDb = -0.0;
    EnergyMap late;
    late.range = {"", 80, std::nullopt};
    maps.maps = {direct, late};
    r.energyMaps = maps;
    r.conventionNotice = "its direct sound reads as a plane wave \"from the front\" in FuMa";
    return r;
}

std::vector<std::byte> Bytes(const std::string& text)
{
    const auto* first = reinterpret_cast<const std::byte*>(text.data());
    return {first, first + text.size()};
}

// The same bits (not merely equal numbers: NaN and -0 count).
template <class T> bool Same(T a, T b) { return std::memcmp(&a, &b, sizeof a) == 0; }
bool Same(const std::optional<double>& a, const std::optional<double>& b)
{
    return a.has_value() == b.has_value() && (!a || Same(*a, *b));
}

void ExpectSameResults(const AnalysisResults& a, const AnalysisResults& b)
{
    EXPECT_EQ(a.irFileName, b.irFileName);
    EXPECT_EQ(a.bandHz, b.bandHz);
    EXPECT_TRUE(Same(a.skipMs, b.skipMs) && Same(a.displayWindowMs, b.displayWindowMs) &&
                Same(a.averagingWindowMs, b.averagingWindowMs));
    ASSERT_EQ(a.intensityWindows.size(), b.intensityWindows.size());
    for (std::size_t i = 0; i < a.intensityWindows.size(); ++i) {
        SCOPED_TRACE("intensity window " + std::to_string(i));
        const SummedWindow &x = a.intensityWindows[i], &y = b.intensityWindows[i];
        EXPECT_TRUE(Same(x.windowIndex, y.windowIndex) && Same(x.timeMs, y.timeMs));
        EXPECT_EQ(x.sums.isFloat, y.sums.isFloat);
        EXPECT_TRUE(x.sums.De16 == y.sums.De16 && x.sums.Ix16 == y.sums.Ix16 && x.sums.Iy16 == y.sums.Iy16 &&
                    x.sums.Iz16 == y.sums.Iz16);
        EXPECT_TRUE(Same(x.sums.De32, y.sums.De32) && Same(x.sums.Ix32, y.sums.Ix32) &&
                    Same(x.sums.Iy32, y.sums.Iy32) && Same(x.sums.Iz32, y.sums.Iz32));
    }
    ASSERT_EQ(a.directionWindows.size(), b.directionWindows.size());
    for (std::size_t i = 0; i < a.directionWindows.size(); ++i) {
        SCOPED_TRACE("direction window " + std::to_string(i));
        const DirectionQuantities &x = a.directionWindows[i], &y = b.directionWindows[i];
        EXPECT_TRUE(x.hasDirection == y.hasDirection && x.onMap == y.onMap && x.writesRow == y.writesRow);
        EXPECT_TRUE(Same(x.TimeMs, y.TimeMs) && Same(x.IDdB, y.IDdB) && Same(x.Li, y.Li));
        EXPECT_TRUE(Same(x.view, y.view));  // ten doubles, no padding
    }
    ASSERT_EQ(a.arrivals.size(), b.arrivals.size());
    for (std::size_t i = 0; i < a.arrivals.size(); ++i) EXPECT_TRUE(Same(a.arrivals[i], b.arrivals[i])) << i;
    EXPECT_TRUE(Same(a.arrivalFloorDb, b.arrivalFloorDb) &&
                Same(a.arrivalDirectionWindowMs, b.arrivalDirectionWindowMs) &&
                Same(a.arrivalMaxDiffuseness, b.arrivalMaxDiffuseness));
    ASSERT_EQ(a.roomParameters.size(), b.roomParameters.size());
    for (std::size_t i = 0; i < a.roomParameters.size(); ++i) {
        const BandParameters &x = a.roomParameters[i], &y = b.roomParameters[i];
        SCOPED_TRACE("band " + x.band);
        EXPECT_EQ(x.band, y.band);
        EXPECT_EQ(x.nominalHz, y.nominalHz);
        for (auto value : {&BandParameters::edtS, &BandParameters::t20S, &BandParameters::t30S, &BandParameters::c50Db,
                           &BandParameters::c80Db, &BandParameters::d50, &BandParameters::tsMs, &BandParameters::lf,
                           &BandParameters::lfc}) {
            EXPECT_TRUE(Same(x.*value, y.*value));
        }
        EXPECT_TRUE(Same(x.decay.startS, y.decay.startS) && Same(x.decay.crossingS, y.decay.crossingS) &&
                    Same(x.decay.decayRangeDb, y.decay.decayRangeDb));
        EXPECT_EQ(x.decay.timeS, y.decay.timeS);
        EXPECT_EQ(x.decay.levelDb, y.decay.levelDb);
        for (auto fit : {&BandParameters::edtFit, &BandParameters::t20Fit, &BandParameters::t30Fit}) {
            ASSERT_EQ((x.*fit).has_value(), (y.*fit).has_value());
            if ((x.*fit).has_value()) {
                EXPECT_TRUE(Same(*(x.*fit), *(y.*fit)));
            }
        }
    }
    EXPECT_EQ(a.conventionNotice, b.conventionNotice);
    EXPECT_EQ(a.arrivalSurfaceNames, b.arrivalSurfaceNames);
    EXPECT_EQ(a.comparedFileName, b.comparedFileName);
    ASSERT_EQ(a.comparison.has_value(), b.comparison.has_value());
    if (a.comparison) {
        EXPECT_EQ(a.comparison->maps.size(), b.comparison->maps.size());
        EXPECT_EQ(a.comparison->parameters.size(), b.comparison->parameters.size());
        ASSERT_EQ(a.comparison->arrivals.size(), b.comparison->arrivals.size());
        for (std::size_t i = 0; i < a.comparison->arrivals.size(); ++i)
            EXPECT_EQ(a.comparison->arrivals[i].match, b.comparison->arrivals[i].match) << i;
    }
    ASSERT_EQ(a.energyMaps.has_value(), b.energyMaps.has_value());
    if (!a.energyMaps) return;
    const EnergyMapSet &x = *a.energyMaps, &y = *b.energyMaps;
    EXPECT_TRUE(x.estimator == y.estimator && Same(x.spotWidthDeg, y.spotWidthDeg) && x.bandHz == y.bandHz &&
                x.onsetFrame == y.onsetFrame && Same(x.onsetMs, y.onsetMs) && Same(x.decayEndMs, y.decayEndMs) &&
                Same(x.referenceEnergy, y.referenceEnergy));
    ASSERT_EQ(x.maps.size(), y.maps.size());
    for (std::size_t i = 0; i < x.maps.size(); ++i) {
        SCOPED_TRACE("map " + std::to_string(i));
        const EnergyMap &m = x.maps[i], &n = y.maps[i];
        EXPECT_TRUE(m.range.label == n.range.label && Same(m.range.fromMs, n.range.fromMs) &&
                    Same(m.range.toMs, n.range.toMs) && Same(m.toMs, n.toMs));
        EXPECT_TRUE(m.firstFrame == n.firstFrame && m.endFrame == n.endFrame && Same(m.energy, n.energy));
        ASSERT_EQ(m.cellEnergy.size(), n.cellEnergy.size());
        ASSERT_EQ(m.levelDb.size(), n.levelDb.size());
        for (std::size_t c = 0; c < m.cellEnergy.size(); ++c) EXPECT_TRUE(Same(m.cellEnergy[c], n.cellEnergy[c]));
        for (std::size_t c = 0; c < m.levelDb.size(); ++c) EXPECT_TRUE(Same(m.levelDb[c], n.levelDb[c]));
        EXPECT_TRUE(m.peakCell == n.peakCell && Same(m.peakDb, n.peakDb));
    }
}

TEST(ResultsExchange, EveryValueComesBackBitForBit)
{
    const AnalysisResults original = EdgeResults();
    const auto decoded = DecodeResults(Bytes(EncodeResults(original)));
    ASSERT_TRUE(decoded) << decoded.Message();
    ExpectSameResults(*decoded, original);
    // Encoding is a function of the results alone.
    EXPECT_EQ(EncodeResults(*decoded), EncodeResults(original));
}

TEST(ResultsExchange, ResultsWithoutRoomParametersOrWindowsComeBackEmpty)
{
    AnalysisResults bare;
    bare.irFileName = "";
    const auto decoded = DecodeResults(Bytes(EncodeResults(bare)));
    ASSERT_TRUE(decoded) << decoded.Message();
    ExpectSameResults(*decoded, bare);
    for (const char* optional : {"surface-names", "room-parameters", "energy-maps", "convention", "comparison"}) {
        EXPECT_EQ(EncodeResults(bare).find(optional), std::string::npos) << optional << ": written only when computed";
    }
}

// Section NAME with its payload, as the layout in the header has it.
std::string Section(const std::string& name, const std::string& payload)
{
    std::string s(1, static_cast<char>(name.size()));
    s += name;
    for (int i = 0; i < 8; ++i) s += static_cast<char>((payload.size() >> (8 * i)) & 0xFF);
    return s + payload;
}

TEST(ResultsExchange, ASectionOfALaterVersionIsSkipped)
{
    const std::string encoded = EncodeResults(EdgeResults());
    const std::string start = "halvane results\n";
    const std::string later = start + Section("echo-density", std::string(37, '\x7F')) + encoded.substr(start.size());
    const auto decoded = DecodeResults(Bytes(later));
    ASSERT_TRUE(decoded) << decoded.Message();
    ExpectSameResults(*decoded, EdgeResults());
}

TEST(ResultsExchange, EveryCutIsRefusedAndNothingIsReadOutsideTheBytes)
{
    const std::string encoded = EncodeResults(EdgeResults());
    for (std::size_t length = 0; length < encoded.size(); ++length) {
        const auto decoded = DecodeResults(Bytes(encoded.substr(0, length)));
        EXPECT_FALSE(decoded) << "cut after " << length << " of " << encoded.size() << " bytes";
    }
}

struct HostileRow {
    const char* name;
    std::string bytes;
    const char* message;  // a part of the failure's words
};

TEST(ResultsExchange, HostileBytesAreRefusedNamingTheSection)
{
    const std::string start = "halvane results\n";
    const std::string encoded = EncodeResults(EdgeResults());
    const std::string sections = encoded.substr(start.size());
    const std::string end = Section("end", "");
    const std::string response = Section("response", std::string(8, '\0') + std::string(4, '\0'));
    const std::string run = Section("run", std::string(24, '\0'));
    const std::string windows =
        Section("intensity-windows", std::string(8, '\0')) + Section("direction-windows", std::string(8, '\0'));
    const std::string arrivals = Section("arrivals", std::string(32, '\0'));
    // The three options, then a count of 2^64 - 1 arrivals.
    const std::string hugeCount = std::string(24, '\0') + std::string(8, '\xFF');
    const std::vector<HostileRow> rows = {
        {"empty", "", "no results of halvane-batch"},
        {"a sound file", std::string("RIFF\x24\x00\x00\x00WAVEfmt ", 16), "no results of halvane-batch"},
        {"no end", start + response + run + windows + arrivals, "before their section \"end\""},
        {"bytes after the end", encoded + "x", "go on after their section \"end\""},
        {"a section twice", start + response + sections, "section \"response\" twice"},
        {"a required section missing", start + response + run + windows + end, "lack their section \"arrivals\""},
        {"a length past the end", start + response.substr(0, response.size() - 1), "inside the section \"response\""},
        {"a count larger than the bytes", start + response + run + windows + Section("arrivals", hugeCount) + end,
         "section \"arrivals\" of the results is cut short or damaged"},
        {"an estimator no writer writes",
         start + response + run + windows + arrivals +
             Section("energy-maps", "\x02" + std::string(3 + 8 + 4 + 8 + 3 * 8 + 8, '\0')) + end,
         "section \"energy-maps\" of the results is cut short or damaged"},
        {"a flag that is neither 0 nor 1",
         start + response + run +
             Section("intensity-windows", std::string(1, '\1') + std::string(7, '\0') + std::string(16, '\0') + "\x02" +
                                              std::string(48, '\0')),
         "section \"intensity-windows\" of the results is cut short or damaged"},
        {"a section longer than its contents", start + Section("run", std::string(25, '\0')) + end,
         "section \"run\" of the results is longer than its contents"},
        {"a nameless section", start + Section("", "") + end, "inside the section \"\""},
    };
    for (const HostileRow& row : rows) {
        SCOPED_TRACE(row.name);
        const auto decoded = DecodeResults(Bytes(row.bytes));
        ASSERT_FALSE(decoded);
        EXPECT_NE(decoded.Message().find(row.message), std::string::npos) << decoded.Message();
    }
}

}  // namespace
}  // namespace halvane
