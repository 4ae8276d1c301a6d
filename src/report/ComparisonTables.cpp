#include "report/ComparisonTables.h"

#include <string>

#include "report/ArrivalTable.h"
#include "report/EnergyMapTable.h"
#include "values/MapGrid.h"

namespace halvane {
namespace {

void Write(std::ostream& out, const std::string& text)
{
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

std::string Optional(const std::optional<double>& value, int decimals)
{
    return value ? FormatArrivalNumber(*value, decimals) : std::string();
}

// The decimals of the room-parameter table, by the parameter's unit.
int DecimalsOf(const std::string& parameter)
{
    if (parameter.ends_with("(dB)")) return 2;
    if (parameter.ends_with("(ms)")) return 1;
    return 3;
}

std::string ArrivalFields(const std::optional<Arrival>& a)
{
    if (!a) return ",,,";
    return FormatArrivalNumber(a->timeMs, 3) + ',' + FormatArrivalNumber(a->levelDb, 2) + ',' +
           FormatArrivalNumber(a->azDeg, 2) + ',' + FormatArrivalNumber(a->elDeg, 2);
}

}  // namespace

void WriteMapDifferenceTable(std::ostream& out, const std::vector<MapDifference>& maps)
{
    std::string text = "\"Az\",\"El\"";
    for (const MapDifference& map : maps) text += ",\"" + TimeRangeName(map.range) + " B-A (dB)\"";
    text += "\r\n";
    for (std::size_t row = 0; row < kMapRows; ++row) {
        for (std::size_t column = 0; column < kMapColumns; ++column) {
            text += FormatArrivalNumber(MapColumnAzDeg(column), 0) + ',' + FormatArrivalNumber(MapRowElDeg(row), 0);
            for (const MapDifference& map : maps)
                text += ',' + Optional(map.differenceDb[row * kMapColumns + column], 2);
            text += "\r\n";
        }
    }
    Write(out, text);
}

void WriteParameterComparisonTable(std::ostream& out, const std::vector<ParameterDifference>& parameters)
{
    std::string text = "\"band (Hz)\",\"parameter\",\"A\",\"B\",\"B-A\",\"JND\",\"beyond JND\",\"not judged\"\r\n";
    for (const ParameterDifference& p : parameters) {
        const int decimals = DecimalsOf(p.parameter);
        const std::string jnd =
            p.relativeJnd ? FormatArrivalNumber(p.jnd * 100, 0) + " %" : FormatArrivalNumber(p.jnd, decimals);
        text += p.band + ",\"" + p.parameter + "\"," + Optional(p.a, decimals) + ',' + Optional(p.b, decimals) + ',' +
                Optional(p.difference, decimals) + ',' + jnd + ',' + (p.beyondJnd ? "yes" : "") + ',' +
                (p.notJudged.empty() ? "" : '"' + p.notJudged + '"') + "\r\n";
    }
    Write(out, text);
}

void WriteArrivalComparisonTable(std::ostream& out, const std::vector<ArrivalPair>& arrivals)
{
    std::string text = "\"match\",\"A time (ms)\",\"A level (dB)\",\"A Az\",\"A El\",\"B time (ms)\",\"B level (dB)\","
                       "\"B Az\",\"B El\",\"change (dB)\"\r\n";
    for (const ArrivalPair& pair : arrivals) {
        const char* match = pair.match == ArrivalMatch::Both    ? "both"
                            : pair.match == ArrivalMatch::OnlyA ? "only A"
                                                                : "only B";
        text += std::string(match) + ',' + ArrivalFields(pair.a) + ',' + ArrivalFields(pair.b) + ',' +
                Optional(pair.levelChangeDb, 2) + "\r\n";
    }
    Write(out, text);
}

}  // namespace halvane
