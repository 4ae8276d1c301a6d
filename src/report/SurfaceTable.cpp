#include "report/SurfaceTable.h"

#include <string>

#include "report/ArrivalTable.h"

namespace halvane {
namespace {

// The count and times of some rows of the arrival list, and their summed energy.
std::string ArrivalFields(const std::vector<Arrival>& arrivals, const std::vector<std::size_t>& rows, double energyDb)
{
    std::string times;
    for (const std::size_t row : rows) {
        if (row < arrivals.size()) times += (times.empty() ? "" : " ") + FormatArrivalNumber(arrivals[row].timeMs, 3);
    }
    return std::to_string(rows.size()) + ',' + times + ',' + FormatArrivalNumber(energyDb, 2);
}

}  // namespace

void WriteSurfaceTable(std::ostream& out, const std::vector<Arrival>& arrivals, const SurfaceFindings& findings)
{
    std::string text = "\"surface\",\"normal Az\",\"normal El\",\"distance (m)\",\"arrivals\",\"times (ms)\","
                       "\"energy (dB)\"";
    if (findings.roomModel) text += ",\"name\"";
    text += "\r\n";
    for (std::size_t s = 0; s < findings.surfaces.size(); ++s) {
        const ReflectingSurface& surface = findings.surfaces[s];
        text += std::to_string(s + 1) + ',' + FormatArrivalNumber(surface.normalAzDeg, 2) + ',' +
                FormatArrivalNumber(surface.normalElDeg, 2) + ',' + FormatArrivalNumber(surface.distanceM, 3) + ',' +
                ArrivalFields(arrivals, surface.arrivals, surface.energyDb);
        if (findings.roomModel) text += ',' + surface.name;
        text += "\r\n";
    }
    if (!findings.unplaced.empty()) {
        text += "none,,,," + ArrivalFields(arrivals, findings.unplaced, findings.unplacedEnergyDb);
        if (findings.roomModel) text += ',';
        text += "\r\n";
    }
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

}  // namespace halvane
