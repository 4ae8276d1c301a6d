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

std::vector<std::string> ParameterComparisonColumns()
{
    return {"band (Hz)", "parameter", "A", "B", "B-A", "JND", "beyond JND", "not judged"};
}

std::vector<std::string> ParameterComparisonFields(const ParameterDifference& p)
{
    const int decimals = DecimalsOf(p.parameter);
    const std::string jnd =
        p.relativeJnd ? FormatArrivalNumber(p.jnd * 100, 0) + " %" : FormatArrivalNumber(p.jnd, decimals);
    return {p.band,
            p.parameter,
            Optional(p.a, decimals),
            Optional(p.b, decimals),
            Optional(p.difference, decimals),
            jnd,
            p.beyondJnd ? "yes" : "",
            p.notJudged};
}

void WriteParameterComparisonTable(std::ostream& out, const std::vector<ParameterDifference>& parameters)
{
    std::string text = "\"band (Hz)\",\"parameter\",\"A\",\"B\",\"B-A\",\"JND\",\"beyond JND\",\"not judged\"\r\n";
    for (const ParameterDifference& p : parameters) {
        const std::vector<std::string> f = ParameterComparisonFields(p);
        text += f[0] + ",\"" + f[1] + "\"," + f[2] + ',' + f[3] + ',' + f[4] + ',' + f[5] + ',' + f[6] + ',' +
                (f[7].empty() ? "" : '"' + f[7] + '"') + "\r\n";
    }
    Write(out, text);
}

std::vector<std::string> ArrivalComparisonColumns()
{
    return {"match",       "A time (ms)",  "A level (dB)", "A Az", "A El",
            "B time (ms)", "B level (dB)", "B Az",         "B El", "change (dB)"};
}

std::vector<std::string> ArrivalComparisonFields(const ArrivalPair& pair)
{
    const char* match = pair.match == ArrivalMatch::Both    ? "both"
                        : pair.match == ArrivalMatch::OnlyA ? "only A"
                                                            : "only B";
    std::vector<std::string> fields = {match};
    for (const std::optional<Arrival>* side : {&pair.a, &pair.b}) {
        const std::optional<Arrival>& a = *side;
        fields.push_back(a ? FormatArrivalNumber(a->timeMs, 3) : "");
        fields.push_back(a ? FormatArrivalNumber(a->levelDb, 2) : "");
        fields.push_back(a ? FormatArrivalNumber(a->azDeg, 2) : "");
        fields.push_back(a ? FormatArrivalNumber(a->elDeg, 2) : "");
    }
    fields.push_back(Optional(pair.levelChangeDb, 2));
    return fields;
}

void WriteArrivalComparisonTable(std::ostream& out, const std::vector<ArrivalPair>& arrivals)
{
    std::string text = "\"match\",\"A time (ms)\",\"A level (dB)\",\"A Az\",\"A El\",\"B time (ms)\",\"B level (dB)\","
                       "\"B Az\",\"B El\",\"change (dB)\"\r\n";
    for (const ArrivalPair& pair : arrivals) {
        const std::vector<std::string> fields = ArrivalComparisonFields(pair);
        for (std::size_t i = 0; i < fields.size(); ++i) text += (i == 0 ? "" : ",") + fields[i];
        text += "\r\n";
    }
    Write(out, text);
}

}  // namespace halvane
