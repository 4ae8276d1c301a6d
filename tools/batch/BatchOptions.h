#pragma once

#include <optional>
#include <string>
#include <vector>

#include "analysis/arrivals/Arrivals.h"
#include "analysis/maps/EnergyMaps.h"
#include "analysis/surfaces/ShoeboxModel.h"
#include "values/Result.h"

namespace halvane {

// The command line of halvane-batch:
//   halvane-batch [--skip MS] [--display MS] [--window MS] FILE...
//   halvane-batch [...] --band HZ|all-octaves FILE...
//   halvane-batch [...] --reflections OUT.csv [--floor DB] [--temperature C] [--direct-distance M]
//                       [--direction-window MS] [--max-diffuseness X] FILE
//   halvane-batch [...] [--reflections OUT.csv] [--surfaces OUT.csv] --direct-distance M FILE
//   halvane-batch [...] [--reflections OUT.csv] [--surfaces OUT.csv] --room LxWxH --source X,Y,Z --receiver X,Y,Z FILE
//   halvane-batch [...] --room-parameters OUT.csv FILE
//   halvane-batch --compare A.wav B.wav [--compare-maps OUT.csv] [--compare-room OUT.csv]
//                 [--compare-arrivals OUT.csv] [--calibrated] [--rotate]
//   halvane-batch [...] --png OUT.png [--report OUT.pdf] [--background PANORAMA.jpg] [--map-range DB] FILE
//   halvane-batch [...] --energy-map OUT.csv [--ranges LIST] [--estimator beam|histogram]
//                       [--spot-width DEG] FILE
struct BatchOptions {
    std::string skipMs = "0";  // the answers as typed, read by the run like a typed answer
    std::string displayMs = "1000";
    std::string windowMs = "5";
    std::vector<std::string> files;
    unsigned jobs = 1;  // -j: files analysed side by side (default: the processor's cores)
    bool help = false;
    bool version = false;
    std::string reflectionsPath;  // --reflections: the reflection list of the one FILE
    // How the arrivals are found, for the list and the picture: --floor (how
    // far below the direct sound an arrival may lie), --direction-window (the
    // pseudo-intensity window of each arrival), --max-diffuseness (above it a
    // peak is diffuse tail, not an arrival); the rest at their defaults.
    ArrivalOptions arrivals;
    std::optional<double> temperatureC;     // --temperature: air temperature for the speed of sound
    std::optional<double> directDistanceM;  // --direct-distance: source-receiver distance, for image-source distances
    std::string surfacesPath;               // --surfaces: the reflecting surfaces of the arrivals of the one FILE
    std::optional<ShoeboxModel> room;       // --room with --source and --receiver: names surfaces, orders arrivals
    std::string roomParametersPath;         // --room-parameters: the ISO 3382-1 parameters of the one FILE
    std::vector<int> bandsHz;    // --band: octave bands (of kOctaveBandsHz) analysed instead of the broadband response
    std::string pngPath;         // --png: the summary picture of the one FILE
    std::string backgroundPath;  // --background: a JPEG panorama behind the summary's map
    std::vector<std::string> comparePaths;  // --compare A B: the two responses compared instead of FILEs analysed
    std::string compareMapsPath;            // --compare-maps: B's energy maps less A's, per range and cell
    std::string compareRoomPath;            // --compare-room: both room parameters, flagged beyond their JND
    std::string compareArrivalsPath;        // --compare-arrivals: the arrivals matched one to one
    bool calibrated = false;    // --calibrated: compare levels as measured, not each re its own direct sound
    bool rotate = false;        // --rotate: turn B so that its direct sound comes from A's direction
    std::string energyMapPath;  // --energy-map: the directional energy maps of the one FILE
    // How the maps are made: --ranges, --estimator, --spot-width; the band is
    // the --band given (one at most), else the broadband response.
    EnergyMapOptions energyMaps;
    std::string reportPath;  // --report: the one-page A4 report (PDF) of the one FILE
    double mapRangeDb = 35;  // --map-range: the maps' colour span below the direct sound's peak, in dB
};

// The range a numeric option of the arrivals is taken in: low and high in the
// option's unit, low itself excluded when lowExcluded. Outside it the command
// line is refused (exit status 2) with Words() in the message, as the usage
// text states it: a floor of 150 dB or a distance of 1e308 m is no mistake
// worth an hour's search or a column in E-notation.
struct NumberRange {
    const char* option;
    double low;
    bool lowExcluded;
    double high;
    const char* unit;  // "dB", "C", "m", "ms" or "" for a ratio

    bool Holds(double value) const { return (lowExcluded ? value > low : value >= low) && value <= high; }
    // "above 0 and at most 100 dB", "from -60 to 60 C".
    std::string Words() const;
};
// --floor, --temperature, --direct-distance, --direction-window, --max-diffuseness.
const std::vector<NumberRange>& ArrivalNumberRanges();
// --spot-width, --map-range.
const std::vector<NumberRange>& MapNumberRanges();

// --ranges: time ranges in ms after the direct sound, "FROM-TO" or "FROM-" (to
// the end of the decay), separated by commas ("0-5,5-80,80-"). A range equal
// to one of DefaultTimeRanges() takes its label. Fails, saying why, for an
// empty list or item, a limit that is not wholly a number, or a range the
// maps refuse (below 0 ms, not ending after it begins).
Result<std::vector<TimeRange>> ParseTimeRanges(const std::string& text);

// Parses argv (without the program name). Fails, saying why, for an unknown
// option, a missing value, a value that is not wholly a number or lies
// outside its range, or options that do not go together.
Result<BatchOptions> ParseBatchOptions(const std::vector<std::string>& args);

extern const char* const kBatchUsage;

}  // namespace halvane
