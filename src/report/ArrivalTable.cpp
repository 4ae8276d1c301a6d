#include "report/ArrivalTable.h"

#include <cmath>
#include <cstdint>
#include <string>

#include "report/NumberFormat.h"

namespace halvane {

std::string FormatArrivalNumber(double value, int decimals)
{
    if (decimals < 0) decimals = 0;
    if (decimals > 9) decimals = 9;
    std::int64_t scale = 1;
    for (int i = 0; i < decimals; ++i) scale *= 10;
    const double scaled = std::nearbyint(std::fabs(value) * static_cast<double>(scale));
    // Beyond 2^62 the digits are not worth a fixed form (and would not fit an
    // integer): the general form says the same in fewer characters.
    if (!std::isfinite(value) || !(scaled < 4.6e18)) return FormatDouble(value);

    // Digits through integers: no locale can change the separator.
    const auto units = static_cast<std::int64_t>(scaled);
    std::string text = std::to_string(units / scale);
    if (decimals > 0) {
        std::string fraction = std::to_string(units % scale);
        text += '.';
        text.append(static_cast<std::size_t>(decimals) - fraction.size(), '0');
        text += fraction;
    }
    return (value < 0 && units != 0 ? "-" : "") + text;
}

namespace {

// The surface columns of one arrival, each after a comma.
std::string SurfaceFields(const ArrivalSurface& row, bool roomModel)
{
    std::string text;
    if (row.reflector) {
        text += ',' + FormatArrivalNumber(row.reflector->distanceM, 3) + ',' +
                FormatArrivalNumber(row.reflector->normalAzDeg, 2) + ',' +
                FormatArrivalNumber(row.reflector->normalElDeg, 2);
        text += ',' + (row.surface ? std::to_string(*row.surface + 1) : std::string("none"));
    } else {
        text += ",,,,";
    }
    if (roomModel) {
        text += ',' + (row.order ? std::to_string(*row.order) : std::string());
        text += ',' + (row.path.empty() ? std::string() : '"' + row.path + '"');
    }
    return text;
}

}  // namespace

void WriteArrivalTable(std::ostream& out, const std::vector<Arrival>& arrivals, double speedOfSoundMPerS,
                       std::optional<double> directDistanceM, const SurfaceFindings* surfaces)
{
    std::string text = "\"time (ms)\",\"delay (ms)\",\"extra path (m)\",\"level (dB)\",\"Az\",\"El\",\"I/D (dB)\","
                       "\"diffuseness\"";
    if (directDistanceM) text += ",\"distance (m)\"";
    if (surfaces) text += ",\"reflector (m)\",\"normal Az\",\"normal El\",\"surface\"";
    if (surfaces && surfaces->roomModel) text += ",\"order\",\"path\"";
    text += "\r\n";
    const double directMs = arrivals.empty() ? 0.0 : arrivals.front().timeMs;
    for (std::size_t i = 0; i < arrivals.size(); ++i) {
        const Arrival& a = arrivals[i];
        const double delayMs = a.timeMs - directMs;
        const double extraPathM = delayMs / 1000.0 * speedOfSoundMPerS;
        text += FormatArrivalNumber(a.timeMs, 3) + ',' + FormatArrivalNumber(delayMs, 3) + ',' +
                FormatArrivalNumber(extraPathM, 3) + ',' + FormatArrivalNumber(a.levelDb, 2) + ',' +
                FormatArrivalNumber(a.azDeg, 2) + ',' + FormatArrivalNumber(a.elDeg, 2) + ',' +
                FormatArrivalNumber(a.idDb, 2) + ',' + FormatArrivalNumber(a.diffuseness, 3);
        if (directDistanceM) text += ',' + FormatArrivalNumber(*directDistanceM + extraPathM, 3);
        if (surfaces) {
            const ArrivalSurface none;
            text += SurfaceFields(i < surfaces->arrivals.size() ? surfaces->arrivals[i] : none, surfaces->roomModel);
        }
        text += "\r\n";
    }
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

}  // namespace halvane
