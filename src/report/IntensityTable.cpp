#include "report/IntensityTable.h"

#include <charconv>

#include "report/NumberFormat.h"

namespace halvane {

void WriteIntensityHeader(std::ostream& out) { out << "\"De\",\"Ix\",\"Iy\",\"Iz\"\r\n"; }

void WriteIntensityRow(std::ostream& out, const WindowSums& sums)
{
    // One row formatted in place and written at once: no allocation per row.
    char line[4 * kMaxNumberChars + 8];
    char* end = line;
    if (sums.isFloat) {
        for (const float v : {sums.De32, sums.Ix32, sums.Iy32, sums.Iz32}) {
            end = WriteSingle(end, v);
            *end++ = ',';
        }
    } else {
        for (const std::int64_t v : {sums.De16, sums.Ix16, sums.Iy16, sums.Iz16}) {
            end = std::to_chars(end, end + kMaxNumberChars, v).ptr;
            *end++ = ',';
        }
    }
    end[-1] = '\r';
    *end++ = '\n';
    out.write(line, end - line);
}

}  // namespace halvane
