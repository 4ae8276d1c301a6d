#include "report/IntensityTable.h"

#include <string>

#include "report/NumberFormat.h"

namespace halvane {

void WriteIntensityHeader(std::ostream& out) { out << "\"De\",\"Ix\",\"Iy\",\"Iz\"\r\n"; }

void WriteIntensityRow(std::ostream& out, const WindowSums& sums)
{
    std::string line;
    if (sums.isFloat) {
        line = FormatSingle(sums.De32) + ',' + FormatSingle(sums.Ix32) + ',' + FormatSingle(sums.Iy32) + ',' +
               FormatSingle(sums.Iz32);
    } else {
        line = std::to_string(sums.De16) + ',' + std::to_string(sums.Ix16) + ',' + std::to_string(sums.Iy16) + ',' +
               std::to_string(sums.Iz16);
    }
    line += "\r\n";
    out.write(line.data(), static_cast<std::streamsize>(line.size()));
}

}  // namespace halvane
