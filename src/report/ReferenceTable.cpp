#include "report/ReferenceTable.h"

#include <string>

#include "report/NumberFormat.h"

namespace halvane {

void WriteReferenceHeader(std::ostream& out) { out << "\"time (ms)\",\"Az\",\"El\",\"I/D (dB)\",\"Li (dB)\"\r\n"; }

void WriteReferenceRow(std::ostream& out, double timeMs, double az, double el, double idDb, double li)
{
    const std::string line = FormatDouble(timeMs) + ',' + FormatDouble(az) + ',' + FormatDouble(el) + ',' +
                             FormatDouble(idDb) + ',' + FormatDouble(li) + "\r\n";
    out.write(line.data(), static_cast<std::streamsize>(line.size()));
}

}  // namespace halvane
