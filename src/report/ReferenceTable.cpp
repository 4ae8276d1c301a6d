#include "report/ReferenceTable.h"

#include "report/NumberFormat.h"

namespace halvane {

void WriteReferenceHeader(std::ostream& out) { out << "\"time (ms)\",\"Az\",\"El\",\"I/D (dB)\",\"Li (dB)\"\r\n"; }

void WriteReferenceRow(std::ostream& out, double timeMs, double az, double el, double idDb, double li)
{
    // One row formatted in place and written at once: no allocation per row.
    char line[5 * kMaxNumberChars + 8];
    char* end = line;
    for (const double v : {timeMs, az, el, idDb, li}) {
        end = WriteDouble(end, v);
        *end++ = ',';
    }
    end[-1] = '\r';
    *end++ = '\n';
    out.write(line, end - line);
}

}  // namespace halvane
