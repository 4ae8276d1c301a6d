#include "analysis/convention/ConventionReport.h"

#include <cmath>
#include <cstdio>
#include <string>

namespace halvane {
namespace {

// A value that rounds to zero is written without a sign ("0", not "-0").
std::string Fixed(double value, int decimals)
{
    char text[48];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    const std::string written = text;
    if (written.front() == '-' && written.find_first_not_of("0.", 1) == std::string::npos) return written.substr(1);
    return written;
}

std::string Where(const DirectSoundReading& reading)
{
    switch (reading.placement) {
    case Placement::Front:
        return "from the front";
    case Placement::Side:
        return "from the side";
    case Placement::Behind:
        return "from behind";
    case Placement::Below:
        return "from well below the horizon";
    case Placement::Overhead:
        return "from nearly overhead";
    case Placement::Nowhere:
        break;
    }
    return "without a direction";
}

std::string Options(const AmbisonicConvention& convention)
{
    return "--order " + std::string(Keyword(convention.order)) + " --norm " + std::string(Keyword(convention.norm));
}

std::string DirectSoundAt(const DirectSoundReading& reading)
{
    return "the direct sound (window at " + Fixed(reading.startMs, 1) + " ms)";
}

}  // namespace

std::string DescribeReading(const DirectSoundReading& reading)
{
    std::string text = reading.planeWave ? "a plane wave" : "no plane wave";
    text += " (energy ratio " + Fixed(reading.energyRatio, 2) + ") " + Where(reading);
    if (reading.placement != Placement::Nowhere)
        text += " (Az " + Fixed(reading.azDeg, 0) + ", El " + Fixed(reading.elDeg, 0) + ")";
    return text;
}

std::string DirectSoundLine(const DirectSoundReading& reading)
{
    return "direct sound: window at " + Fixed(reading.startMs, 1) + " ms, Az " + Fixed(reading.azDeg, 1) + ", El " +
           Fixed(reading.elDeg, 1) + " degrees";
}

std::string ChoiceLine(const ConventionVerdict& verdict, bool orderGiven, bool normGiven)
{
    const DirectSoundReading& used = verdict.Used();
    std::string line = "convention: " + ShortName(used.convention);
    if (orderGiven && normGiven) return line + ", as given";
    if (orderGiven) line += " (order as given)";
    if (normGiven) line += " (gains as given)";
    line += ", found from the direct sound at " + Fixed(used.startMs, 1) + " ms: " + DescribeReading(used);
    for (std::size_t i = 0; i < verdict.found.readings.size(); ++i) {
        if (i == verdict.found.best) continue;
        const DirectSoundReading& other = verdict.found.readings[i];
        line += "; " + ShortName(other.convention) + " would give " + DescribeReading(other);
    }
    return line;
}

std::vector<std::string> ConventionWarnings(const ConventionVerdict& verdict, bool markedAsBFormat)
{
    std::vector<std::string> warnings;
    const DirectSoundReading& used = verdict.Used();
    if (const auto suggested = verdict.Suggested()) {
        warnings.push_back("the data suggest " + ShortName(suggested->convention) + " rather than " +
                           ShortName(used.convention) + ": under " + ShortName(suggested->convention) +
                           " the direct sound is " + DescribeReading(*suggested) + ", under " +
                           ShortName(used.convention) + " " + DescribeReading(used) +
                           "; leave --order and --norm to find it, or give " + Options(suggested->convention));
    }

    const std::string where =
        DirectSoundAt(used) + " arrives from Az " + Fixed(used.azDeg, 0) + ", El " + Fixed(used.elDeg, 0) + " degrees";
    switch (used.placement) {
    case Placement::Behind:
        warnings.push_back(where + ", from behind: if the source stood in front of the microphone, check --order "
                                   "and the sign of X");
        break;
    case Placement::Below:
        warnings.push_back(where + ", from well below the horizon: if the source was not below the microphone, "
                                   "check --order and the sign of Z");
        break;
    case Placement::Overhead:
        warnings.push_back(where + ", from nearly overhead: if the source was not above the microphone, check "
                                   "--order (W, X, Y, Z files need --order fuma)");
        break;
    case Placement::Nowhere:
        warnings.push_back(DirectSoundAt(used) + " has no direction (no intensity): check the channels");
        break;
    case Placement::Front:
    case Placement::Side:
        break;
    }
    if (!used.planeWave)
        warnings.push_back(DirectSoundAt(used) + " has an energy ratio (X^2 + Y^2 + Z^2) / W^2 of " +
                           Fixed(used.energyRatio, 2) + " where a plane wave gives 1 (a microphone up to about " +
                           Fixed(kPlaneWaveRatioHigh, 1) + "): check --norm");
    if (markedAsBFormat && used.convention.order == ChannelOrder::Ambix)
        warnings.push_back("the file is marked as B-format (.amb), which is usually W, X, Y, Z with FuMa gains, but "
                           "is read in AmbiX order: consider --order fuma --norm fuma");
    return warnings;
}

}  // namespace halvane
