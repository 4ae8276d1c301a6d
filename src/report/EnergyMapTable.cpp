#include "report/EnergyMapTable.h"

#include <cmath>
#include <string>

#include "report/NumberFormat.h"
#include "values/MapGrid.h"

namespace halvane {

std::string TimeRangeName(const TimeRange& range)
{
    std::string name = range.label.empty() ? "" : range.label + " ";
    name += FormatPromptDefault(range.fromMs);
    name += range.toMs ? "-" + FormatPromptDefault(*range.toMs) + " ms" : " ms-end";
    return name;
}

void WriteEnergyMapTable(std::ostream& out, const EnergyMapSet& set)
{
    std::string text = "\"Az\",\"El\"";
    for (const EnergyMap& map : set.maps) text += ",\"" + TimeRangeName(map.range) + " (dB)\"";
    text += "\r\n";
    for (std::size_t row = 0; row < kMapRows; ++row) {
        const std::string el = std::to_string(static_cast<int>(MapRowElDeg(row)));
        for (std::size_t column = 0; column < kMapColumns; ++column) {
            text += std::to_string(static_cast<int>(MapColumnAzDeg(column)));
            text += ',';
            text += el;
            const std::size_t cell = row * kMapColumns + column;
            for (const EnergyMap& map : set.maps) {
                text += ',';
                text += FormatFixed2(cell < map.levelDb.size() ? map.levelDb[cell] : kEnergyMapFloorDb, '.');
            }
            text += "\r\n";
        }
    }
    out << text;
}

}  // namespace halvane
