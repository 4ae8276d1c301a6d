#include "report/RoomParameterTable.h"

#include <charconv>
#include <cmath>
#include <optional>
#include <string>

namespace halvane {
namespace {

constexpr int kSecondsDecimals = 3;
constexpr int kDbDecimals = 2;
constexpr int kRatioDecimals = 3;
constexpr int kMillisecondsDecimals = 1;

// value in fixed notation with the given decimals; to_chars neither reads the
// locale nor groups digits. Nothing for no value or a value that is not finite.
std::string Fixed(const std::optional<double>& value, int decimals)
{
    if (!value || !std::isfinite(*value)) return "";
    char buffer[400];  // room for the largest double in fixed notation
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, *value, std::chars_format::fixed, decimals);
    std::string text(buffer, result.ptr);
    if (text.front() == '-' && text.find_first_not_of("-0.") == std::string::npos) text.erase(0, 1);
    return text;
}

}  // namespace

const std::vector<std::string>& RoomParameterColumns()
{
    static const std::vector<std::string> columns = {"band (Hz)", "EDT (s)", "T20 (s)", "T30 (s)", "C50 (dB)",
                                                     "C80 (dB)",  "D50",     "Ts (ms)", "LF",      "LFC"};
    return columns;
}

std::vector<std::string> RoomParameterFields(const BandParameters& row)
{
    return {row.band,
            Fixed(row.edtS, kSecondsDecimals),
            Fixed(row.t20S, kSecondsDecimals),
            Fixed(row.t30S, kSecondsDecimals),
            Fixed(row.c50Db, kDbDecimals),
            Fixed(row.c80Db, kDbDecimals),
            Fixed(row.d50, kRatioDecimals),
            Fixed(row.tsMs, kMillisecondsDecimals),
            Fixed(row.lf, kRatioDecimals),
            Fixed(row.lfc, kRatioDecimals)};
}

void WriteRoomParameterTable(std::ostream& out, const std::vector<BandParameters>& rows)
{
    std::string text;
    for (const std::string& column : RoomParameterColumns()) text += (text.empty() ? "\"" : ",\"") + column + "\"";
    out << text << "\r\n";
    for (const BandParameters& row : rows) {
        const std::vector<std::string> fields = RoomParameterFields(row);
        std::string line;
        for (std::size_t i = 0; i < fields.size(); ++i) line += (i == 0 ? "" : ",") + fields[i];
        out << line << "\r\n";
    }
}

}  // namespace halvane
