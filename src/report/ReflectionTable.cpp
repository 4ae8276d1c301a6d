#include "report/ReflectionTable.h"

#include <string>

#include "report/NumberFormat.h"

namespace halvane {

void WriteReflectionTable(std::ostream& out, const std::vector<Reflection>& reflections)
{
    out << "\"time (ms)\",\"delay (ms)\",\"extra path (m)\",\"level (dB)\",\"Az\",\"El\",\"I/D (dB)\","
           "\"diffuseness\"\r\n";
    for (const Reflection& r : reflections) {
        const std::string line = FormatDouble(r.timeMs) + ',' + FormatDouble(r.delayMs) + ',' +
                                 FormatDouble(r.extraPathM) + ',' + FormatDouble(r.levelDb) + ',' +
                                 FormatDouble(r.azDeg) + ',' + FormatDouble(r.elDeg) + ',' + FormatDouble(r.idDb) +
                                 ',' + FormatDouble(r.diffuseness) + "\r\n";
        out.write(line.data(), static_cast<std::streamsize>(line.size()));
    }
}

}  // namespace halvane
