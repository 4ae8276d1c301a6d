// The energy-map table: the names of the ranges, one line per cell in the
// order the map is drawn, the rounding of the levels, whatever the locale.

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "report/EnergyMapTable.h"
#include "support/CommaLocale.h"
#include "values/MapGrid.h"

namespace halvane {
namespace {

TEST(EnergyMapTable, NamesEachRangeByItsLabelAndLimits)
{
    struct Row {
        const char* name;
        TimeRange range;
        const char* text;
    };
    const Row rows[] = {
        {"direct", {"direct", 0, 5}, "direct 0-5 ms"},
        {"open end", {"late", 80, std::nullopt}, "late 80 ms-end"},
        {"no label, fractions", {"", 2.5, 30.25}, "2.5-30.25 ms"},
        {"a long range", {"tail", 1000, 12000}, "tail 1000-12000 ms"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(TimeRangeName(r.range), r.text);
    }
}

// A set of two hand-made maps: each cell's levels tell its row and column.
EnergyMapSet HandMadeSet()
{
    EnergyMapSet set;
    for (const TimeRange& range : {TimeRange{"direct", 0, 5}, TimeRange{"late", 80, std::nullopt}}) {
        EnergyMap map;
        map.range = range;
        map.levelDb.assign(kMapCells, kEnergyMapFloorDb);
        set.maps.push_back(map);
    }
    set.maps[0].levelDb[0] = 0;                    // top left
    set.maps[0].levelDb[1] = -0.004;               // rounds to zero: no sign
    set.maps[1].levelDb[0] = -12.345;              // the double lies past the decimal tie: -12.35
    set.maps[1].levelDb[kMapCells - 1] = -35.125;  // an exact binary tie: to even
    return set;
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t end = text.find("\r\n", at);
        if (end == std::string::npos) {
            lines.push_back(text.substr(at) + "<no CR LF>");
            break;
        }
        lines.push_back(text.substr(at, end - at));
        at = end + 2;
    }
    return lines;
}

TEST(EnergyMapTable, WritesOneLinePerCellInDrawingOrder)
{
    std::ostringstream out;
    {
        test::CommaLocale comma;
        WriteEnergyMapTable(out, HandMadeSet());
    }
    const std::vector<std::string> lines = Lines(out.str());
    ASSERT_EQ(lines.size(), 1 + kMapCells);
    const struct {
        std::size_t line;
        const char* text;
    } expected[] = {
        {0, "\"Az\",\"El\",\"direct 0-5 ms (dB)\",\"late 80 ms-end (dB)\""},
        {1, "179,89,0.00,-12.35"},
        {2, "177,89,0.00,-100.00"},
        {180, "-179,89,-100.00,-100.00"},
        {181, "179,87,-100.00,-100.00"},
        {kMapCells, "-179,-89,-100.00,-35.12"},
    };
    for (const auto& e : expected) EXPECT_EQ(lines[e.line], e.text) << "line " << e.line;
}

TEST(EnergyMapTable, ASetWithoutMapsWritesTheDirectionsAlone)
{
    std::ostringstream out;
    WriteEnergyMapTable(out, EnergyMapSet{});
    const std::vector<std::string> lines = Lines(out.str());
    ASSERT_EQ(lines.size(), 1 + kMapCells);
    EXPECT_EQ(lines[0], "\"Az\",\"El\"");
    EXPECT_EQ(lines[1 + 45 * kMapColumns + 90], "-1,-1");
}

}  // namespace
}  // namespace halvane
