#include "batch/BatchOptions.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <thread>

#include "analysis/room/OctaveBands.h"

namespace halvane {

const char* const kBatchUsage =
    "Usage: halvane-batch [--skip MS] [--display MS] [--window MS] [-j N] [--band HZ] FILE...\n"
    "\n"
    "Analyses each four-channel AmbiX B-format impulse response FILE (.wav, 16-bit\n"
    "integer or 32-bit float samples) without a window and writes its two tables\n"
    "next to it: the intensity table (FILE with \"csv\" in place of its last three\n"
    "characters: De, Ix, Iy, Iz per averaging window) and the reference table (FILE\n"
    "with \"_ref.csv\" in place of \".wav\": time, azimuth, elevation, I/D and level of\n"
    "every strongly directional window of the displayed stretch).\n"
    "\n"
    "  --skip MS      milliseconds skipped at the start (default 0)\n"
    "  --display MS   length of the displayed stretch in ms (default 1000)\n"
    "  --window MS    length of one averaging window in ms (default 5)\n"
    "  -j, --jobs N   analyse N files side by side (default: one per processor core);\n"
    "                 the tables and messages are those of -j 1, in the order given\n"
    "  --help         this text\n"
    "  --version      the program's version\n"
    "\n"
    "  --band HZ      analyse the response filtered to the octave band HZ (125, 250, 500,\n"
    "                 1000, 2000 or 4000; zero phase, so arrival times do not move) instead\n"
    "                 of the broadband response: the tables get the band in their names\n"
    "                 (FILE_500Hz.csv, FILE_500Hz_ref.csv); --band all-octaves does all six\n"
    "\n"
    "With one FILE only:\n"
    "  --reflections OUT.csv  also list the direct sound and every reflection, found at\n"
    "                 full sample resolution (independent of --window): time from the\n"
    "                 file's first sample, delay, extra path length, level re the direct\n"
    "                 sound, azimuth, elevation, I/D ratio and diffuseness, in time order\n"
    "  --floor DB     lowest reflection level re the direct sound, above 0 and at\n"
    "                 most 100 dB (default 40)\n"
    "  --temperature C  air temperature for the path lengths, from -60 to 60 C\n"
    "                 (default: 343 m/s)\n"
    "  --direct-distance M  the source-receiver distance, above 0 and at most\n"
    "                 1000 m: adds each arrival's image-source distance to the list,\n"
    "                 then its reflector (distance, normal Az and El) and surface\n"
    "  --direction-window MS  the window of each arrival's direction, above 0 and\n"
    "                 at most 50 ms (default 0.5)\n"
    "  --max-diffuseness X  a reflection whose window is more diffuse is listed only\n"
    "                 when it stands 10 dB out of the response around it; a higher\n"
    "                 value only adds rows; above 0 and at most 1 (default 0.5)\n"
    "  --surfaces OUT.csv  also list the surfaces that reflected the arrivals: each\n"
    "                 arrival's reflector is the plane bisecting the source and its image\n"
    "                 source (from --direct-distance, or the room below); arrivals whose\n"
    "                 planes agree within 5 degrees and 0.1 m are one surface, written\n"
    "                 with its normal, distance, arrivals and their summed energy re the\n"
    "                 direct sound; arrivals beyond a surface found (higher orders) are\n"
    "                 on a last line \"none\". With --direct-distance or --room the\n"
    "                 reflection list gets each arrival's reflector and surface too\n"
    "  --room LxWxH --source X,Y,Z --receiver X,Y,Z  a shoebox room model, in metres:\n"
    "                 length along the microphone's front, width, height; positions\n"
    "                 from the back-right corner of the floor (x to the front wall, y to\n"
    "                 the left, z up). It gives the source-receiver distance, names the\n"
    "                 surfaces (floor, ceiling, front, back, left, right) and gives each\n"
    "                 arrival its order and path in the reflection list; the summary\n"
    "                 picture and the report label the arrivals' marks with their\n"
    "                 surfaces (\"2nd\", \"3rd\" for a higher order)\n"
    "  --room-parameters OUT.csv  also write the room-acoustic parameters of ISO 3382-1\n"
    "                 per octave band and for the whole response: EDT, T20, T30, C50,\n"
    "                 C80, D50, centre time, and the lateral fractions LF and LFC\n"
    "  --png OUT.png  also draw a summary picture: the map with every strongly\n"
    "                 directional window of the displayed stretch as a circle\n"
    "                 coloured by its time, the arrivals, the time strip, and with\n"
    "                 --room-parameters the decay curves (with --band, that band's)\n"
    "  --background PANORAMA.jpg  a 960 x 480 equirectangular picture of the room\n"
    "                 behind the summary's map (default: the map's placeholder)\n"
    "\n"
    "Two responses side by side:\n"
    "  halvane-batch --compare A.wav B.wav [--compare-maps OUT.csv]\n"
    "                [--compare-room OUT.csv] [--compare-arrivals OUT.csv] [--png OUT.png]\n"
    "                [--report OUT.pdf] [--calibrated] [--rotate]\n"
    "                 B is aligned to A on the direct sound (to a fraction of a sample)\n"
    "                 and compared; give at least one of the three tables, the picture\n"
    "                 or the report:\n"
    "  --compare-maps OUT.csv  B's energy-map level less A's per 2-degree cell, for the\n"
    "                 direct (0-5 ms), early (5-80 ms) and late ranges, empty where both\n"
    "                 lie more than 40 dB below their direct sound\n"
    "  --compare-room OUT.csv  the room parameters of both per band, B less A, and\n"
    "                 \"yes\" beyond the just noticeable difference of ISO 3382-1 (EDT and\n"
    "                 T 5 %, C50 and C80 1 dB, D50 0.05, Ts 10 ms, LF and LFC 0.05)\n"
    "  --compare-arrivals OUT.csv  the arrivals matched one to one (within 0.5 ms\n"
    "                 and 10 degrees): in both with B's level change, only in A, only in B\n"
    "  --png OUT.png  the difference of the energy maps per range, B less A, in a\n"
    "                 diverging colour map from -10 dB (blue) to +10 dB (red), grey where\n"
    "                 both lie below the floor\n"
    "  --report OUT.pdf  a one-page A4 report: those maps, the room parameters of both\n"
    "                 with their differences and flags (the whole response, and the\n"
    "                 bands beyond a just noticeable difference) and the arrivals\n"
    "                 matched, their numbers as the tables write them\n"
    "  --calibrated   both measured with the same gains: levels as they are, not each\n"
    "                 re its own direct sound\n"
    "  --rotate       turn B so that its direct sound comes from A's direction\n"
    "\n"
    "Exit status: 0 when every file was analysed, 1 when any was refused or\n"
    "failed, 2 for a usage error. An interrupt (Ctrl-C) stops the analyses under\n"
    "way within a second, keeps the outputs finished so far, says which were not\n"
    "written and ends the command by the signal; a second one ends it at once.\n";

std::string NumberRange::Words() const
{
    auto number = [](double v) {
        std::string text = std::to_string(v);
        text.erase(text.find_last_not_of('0') + 1);
        if (text.back() == '.') text.pop_back();
        return text;
    };
    const std::string unit = *this->unit == '\0' ? "" : std::string(" ") + this->unit;
    if (lowExcluded) return "above " + number(low) + " and at most " + number(high) + unit;
    return "from " + number(low) + " to " + number(high) + unit;
}

const std::vector<NumberRange>& ArrivalNumberRanges()
{
    // A floor beyond the dynamic range of any measurement; the air of rooms and
    // of outdoor sites; a source farther than any room is long; a direction
    // window longer than any early reflection's spacing.
    static const std::vector<NumberRange> ranges = {
        {"--floor", 0, true, 100, "dB"},           {"--temperature", -60, false, 60, "C"},
        {"--direct-distance", 0, true, 1000, "m"}, {"--direction-window", 0, true, 50, "ms"},
        {"--max-diffuseness", 0, true, 1, ""},
    };
    return ranges;
}

const std::vector<NumberRange>& MapNumberRanges()
{
    // The kernel's own limits (analysis/maps/EnergyMaps.h).
    static const std::vector<NumberRange> ranges = {{"--spot-width", 0.5, false, 30, "degrees"},
                                                    {"--map-range", 10, false, 100, "dB"}};
    return ranges;
}

namespace {

bool ReadWholeNumber(const std::string& text, double& value)
{
    const char* begin = text.data();
    const char* end = begin + text.size();
    if (begin != end && *begin == '+') ++begin;
    const auto result = std::from_chars(begin, end, value);
    return result.ec == std::errc() && result.ptr == end && std::isfinite(value);
}

// A check that the value is wholly a finite number; its message names the option.
CLI::Validator WholeNumber(const std::string& option, const std::string& unit)
{
    return CLI::Validator(
        [option, unit](std::string& text) {
            double value = 0;
            if (ReadWholeNumber(text, value)) return std::string();
            return option + " needs a number" + unit + ", not \"" + text + "\"";
        },
        "NUMBER");
}

// Our own words for CLI11's usage errors: the option, and what it lacks.
std::string DescribeUsageError(const CLI::ParseError& error, const std::vector<std::string>& args)
{
    if (dynamic_cast<const CLI::ExtrasError*>(&error) != nullptr) {
        for (const std::string& arg : args) {
            if (arg.size() > 1 && arg[0] == '-') {
                static const char* const kKnown[] = {"--skip",
                                                     "--display",
                                                     "--window",
                                                     "--reflections",
                                                     "--floor",
                                                     "--temperature",
                                                     "--png",
                                                     "--background",
                                                     "--help",
                                                     "-h",
                                                     "--version",
                                                     "-j",
                                                     "--jobs",
                                                     "--direct-distance",
                                                     "--direction-window",
                                                     "--max-diffuseness",
                                                     "--room-parameters",
                                                     "--band",
                                                     "--surfaces",
                                                     "--room",
                                                     "--source",
                                                     "--receiver",
                                                     "--energy-map",
                                                     "--ranges",
                                                     "--estimator",
                                                     "--spot-width",
                                                     "--report",
                                                     "--map-range",
                                                     "--compare",
                                                     "--compare-maps",
                                                     "--compare-room",
                                                     "--compare-arrivals",
                                                     "--calibrated",
                                                     "--rotate",
                                                     "--"};
                if (std::find(std::begin(kKnown), std::end(kKnown), arg) == std::end(kKnown)) {
                    return "unknown option " + arg;
                }
            }
        }
    }
    if (dynamic_cast<const CLI::ArgumentMismatch*>(&error) != nullptr) {
        std::string text = error.what();
        for (const char* option : {"--skip", "--display", "--window"}) {
            if (text.find(option) != std::string::npos) return std::string(option) + " needs a value in ms";
        }
        if (text.find("--compare-") == std::string::npos && text.find("--compare") != std::string::npos)
            return "--compare needs two files, A and B";
        for (const char* option : {"--png", "--background", "--room-parameters", "--surfaces", "--energy-map",
                                   "--report", "--compare-maps", "--compare-room", "--compare-arrivals"}) {
            if (text.find(option) != std::string::npos) return std::string(option) + " needs a file name";
        }
        for (const char* option : {"--reflections", "--floor", "--temperature", "--jobs", "--direct-distance",
                                   "--direction-window", "--max-diffuseness", "--band", "--room", "--source",
                                   "--receiver", "--ranges", "--estimator", "--spot-width", "--map-range"}) {
            if (text.find(option) != std::string::npos) return std::string(option) + " needs a value";
        }
    }
    // A validator's own message comes after CLI11's prefix "--option: ".
    std::string text = error.what();
    if (const auto colon = text.find(": --"); colon != std::string::npos) return text.substr(colon + 2);
    return text;
}

// The values of the options that are read as numbers once CLI11 is done, as typed.
struct NumberTexts {
    std::string floor, temperature, distance, directionWindow, diffuseness, band;
    std::string room, source, receiver;
    std::string ranges, estimator, spotWidth, mapRange;
};

void DeclareOptions(CLI::App& app, BatchOptions& options, NumberTexts& texts)
{
    app.set_help_flag();
    app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    app.allow_extras(false);
    app.add_flag("-h,--help", options.help);
    app.add_flag("--version", options.version);
    app.add_option("--skip", options.skipMs)->check(WholeNumber("--skip", " in ms"));
    app.add_option("--display", options.displayMs)->check(WholeNumber("--display", " in ms"));
    app.add_option("--window", options.windowMs)->check(WholeNumber("--window", " in ms"));
    app.add_option("--reflections", options.reflectionsPath);
    app.add_option("--floor", texts.floor)->check(WholeNumber("--floor", ""));
    app.add_option("--temperature", texts.temperature)->check(WholeNumber("--temperature", ""));
    app.add_option("--direct-distance", texts.distance)->check(WholeNumber("--direct-distance", " in m"));
    app.add_option("--direction-window", texts.directionWindow)->check(WholeNumber("--direction-window", " in ms"));
    app.add_option("--max-diffuseness", texts.diffuseness)->check(WholeNumber("--max-diffuseness", ""));
    app.add_option("--surfaces", options.surfacesPath);
    app.add_option("--room", texts.room);
    app.add_option("--source", texts.source);
    app.add_option("--receiver", texts.receiver);
    app.add_option("--room-parameters", options.roomParametersPath);
    app.add_option("--compare", options.comparePaths)->expected(2);
    app.add_option("--compare-maps", options.compareMapsPath);
    app.add_option("--compare-room", options.compareRoomPath);
    app.add_option("--compare-arrivals", options.compareArrivalsPath);
    app.add_flag("--calibrated", options.calibrated);
    app.add_flag("--rotate", options.rotate);
    app.add_option("--band", texts.band);
    app.add_option("--png", options.pngPath);
    app.add_option("--background", options.backgroundPath);
    app.add_option("--energy-map", options.energyMapPath);
    app.add_option("--ranges", texts.ranges);
    app.add_option("--estimator", texts.estimator);
    app.add_option("--spot-width", texts.spotWidth)->check(WholeNumber("--spot-width", " in degrees"));
    app.add_option("--report", options.reportPath);
    app.add_option("--map-range", texts.mapRange)->check(WholeNumber("--map-range", " in dB"));
    app.add_option("files", options.files);
    options.jobs = std::max(1u, std::thread::hardware_concurrency());
    app.add_option("-j,--jobs", options.jobs)->check(CLI::Range(1u, 1024u));
}

// The number options, already known to be whole finite numbers, checked
// against their ranges in the order of the usage text.
Result<> ReadNumbers(const NumberTexts& texts, BatchOptions& options)
{
    const std::vector<NumberRange>& ranges = ArrivalNumberRanges();
    const std::string* const given[] = {&texts.floor, &texts.temperature, &texts.distance, &texts.directionWindow,
                                        &texts.diffuseness};
    double values[std::size(given)] = {};
    for (std::size_t i = 0; i < std::size(given); ++i) {
        if (given[i]->empty()) continue;
        ReadWholeNumber(*given[i], values[i]);
        if (!ranges[i].Holds(values[i]))
            return Failure{std::string(ranges[i].option) + " must lie " + ranges[i].Words() + ", not " + *given[i]};
    }
    if (!texts.floor.empty()) options.arrivals.floorDb = values[0];
    if (!texts.temperature.empty()) options.temperatureC = values[1];
    if (!texts.distance.empty()) options.directDistanceM = values[2];
    if (!texts.directionWindow.empty()) options.arrivals.directionWindowMs = values[3];
    if (!texts.diffuseness.empty()) options.arrivals.maxDiffuseness = values[4];
    return {};
}

// The options of the energy maps: --ranges, --estimator, --spot-width.
Result<> ReadMapOptions(const NumberTexts& texts, BatchOptions& options)
{
    if (!texts.ranges.empty()) {
        auto ranges = ParseTimeRanges(texts.ranges);
        if (!ranges) return Failure{ranges.Message()};
        options.energyMaps.ranges = std::move(*ranges);
    }
    if (texts.estimator == "histogram") {
        options.energyMaps.estimator = MapEstimator::Histogram;
    } else if (!texts.estimator.empty() && texts.estimator != "beam") {
        return Failure{"--estimator takes beam or histogram, not \"" + texts.estimator + "\""};
    }
    double* const targets[] = {&options.energyMaps.spotWidthDeg, &options.mapRangeDb};
    const std::string* const given[] = {&texts.spotWidth, &texts.mapRange};
    for (std::size_t i = 0; i < std::size(given); ++i) {
        if (given[i]->empty()) continue;
        const NumberRange& range = MapNumberRanges()[i];
        double value = 0;
        ReadWholeNumber(*given[i], value);
        if (!range.Holds(value)) {
            return Failure{std::string(range.option) + " must lie " + range.Words() + ", not " + *given[i]};
        }
        *targets[i] = value;
    }
    return {};
}

// --band: one octave band by its nominal frequency, or all-octaves.
Result<> ReadBands(const std::string& text, BatchOptions& options)
{
    if (text.empty()) return {};
    if (text == "all-octaves") {
        options.bandsHz.assign(kOctaveBandsHz.begin(), kOctaveBandsHz.end());
        return {};
    }
    double hz = 0;
    const bool known =
        ReadWholeNumber(text, hz) && std::find_if(kOctaveBandsHz.begin(), kOctaveBandsHz.end(),
                                                  [hz](int band) { return band == hz; }) != kOctaveBandsHz.end();
    if (!known) return Failure{"--band takes 125, 250, 500, 1000, 2000, 4000 or all-octaves, not \"" + text + "\""};
    options.bandsHz = {static_cast<int>(hz)};
    return {};
}

// Three numbers separated by `separator` ("5x4x3", "1.5,2,1.2"), each wholly a finite number.
bool ReadTriple(const std::string& text, char separator, std::array<double, 3>& values)
{
    std::size_t begin = 0;
    for (std::size_t i = 0; i < 3; ++i) {
        const std::size_t end = i < 2 ? text.find(separator, begin) : text.size();
        if (end == std::string::npos || !ReadWholeNumber(text.substr(begin, end - begin), values[i])) return false;
        begin = end + 1;
    }
    return true;
}

// --room, --source and --receiver: a shoebox model, all three or none.
Result<> ReadRoom(const NumberTexts& texts, BatchOptions& options)
{
    if (texts.room.empty() && texts.source.empty() && texts.receiver.empty()) return {};
    if (texts.room.empty() || texts.source.empty() || texts.receiver.empty())
        return Failure{"--room, --source and --receiver go together"};
    ShoeboxModel model;
    std::array<double, 3> size{};
    if (!ReadTriple(texts.room, 'x', size))
        return Failure{"--room needs the length, width and height in m as LxWxH, not \"" + texts.room + "\""};
    model.lengthM = size[0];
    model.widthM = size[1];
    model.heightM = size[2];
    if (!ReadTriple(texts.source, ',', model.sourceM))
        return Failure{"--source needs a position in m as X,Y,Z, not \"" + texts.source + "\""};
    if (!ReadTriple(texts.receiver, ',', model.receiverM))
        return Failure{"--receiver needs a position in m as X,Y,Z, not \"" + texts.receiver + "\""};
    if (const auto checked = CheckShoebox(model); !checked) return Failure{"--room: " + checked.Message()};
    options.room = model;
    return {};
}

// --compare and what goes with it.
Result<> CheckComparison(const BatchOptions& options)
{
    const bool tables =
        !options.compareMapsPath.empty() || !options.compareRoomPath.empty() || !options.compareArrivalsPath.empty();
    if (options.comparePaths.empty()) {
        if (tables || options.calibrated || options.rotate)
            return Failure{"--compare-maps, --compare-room, --compare-arrivals, --calibrated and --rotate go with "
                           "--compare A.wav B.wav"};
        return {};
    }
    if (options.comparePaths.size() != 2) return Failure{"--compare needs two files, A and B"};
    if (!options.files.empty()) return Failure{"--compare takes its two files itself: give no other FILE"};
    if (!tables && options.pngPath.empty() && options.reportPath.empty())
        return Failure{"--compare needs --compare-maps, --compare-room, --compare-arrivals, --png or --report"};
    if (!options.reflectionsPath.empty() || !options.surfacesPath.empty() || !options.roomParametersPath.empty() ||
        !options.bandsHz.empty() || options.room || !options.energyMapPath.empty() || !options.backgroundPath.empty())
        return Failure{"--compare writes the comparison's tables, picture and report alone"};
    return {};
}

// The options that do not go together.
Result<> CheckCombinations(const BatchOptions& options)
{
    if (const auto comparison = CheckComparison(options); !comparison || !options.comparePaths.empty())
        return comparison;
    if (options.files.empty()) return Failure{"no FILE given"};
    if ((!options.reflectionsPath.empty() || !options.pngPath.empty() || !options.roomParametersPath.empty() ||
         !options.surfacesPath.empty() || !options.energyMapPath.empty() || !options.reportPath.empty()) &&
        options.files.size() != 1) {
        return Failure{
            "--reflections, --surfaces, --room-parameters, --energy-map, --png and --report take exactly one FILE"};
    }
    if (options.room && options.directDistanceM)
        return Failure{"--room gives the source-receiver distance: leave out --direct-distance"};
    if (!options.surfacesPath.empty() && !options.room && !options.directDistanceM)
        return Failure{"--surfaces needs --direct-distance or --room, --source and --receiver"};
    if (options.room && options.reflectionsPath.empty() && options.surfacesPath.empty() && options.pngPath.empty() &&
        options.reportPath.empty())
        return Failure{"--room goes with --reflections, --surfaces, --png or --report"};
    if ((!options.pngPath.empty() || !options.reportPath.empty()) && options.bandsHz.size() > 1) {
        return Failure{"--png and --report draw one band: give --band HZ, not all-octaves"};
    }
    if (!options.energyMapPath.empty() && options.bandsHz.size() > 1) {
        return Failure{"--energy-map maps one band: give --band HZ, not all-octaves"};
    }
    if (!options.backgroundPath.empty() && options.pngPath.empty() && options.reportPath.empty()) {
        return Failure{"--background goes with --png or --report"};
    }
    return {};
}

}  // namespace

Result<std::vector<TimeRange>> ParseTimeRanges(const std::string& text)
{
    std::vector<TimeRange> ranges;
    const std::vector<TimeRange> defaults = DefaultTimeRanges();
    for (std::size_t begin = 0; begin <= text.size();) {
        const std::size_t comma = std::min(text.find(',', begin), text.size());
        const std::string item = text.substr(begin, comma - begin);
        begin = comma + 1;
        const std::size_t dash = item.find('-', 1);
        TimeRange range;
        double toMs = 0;
        const std::string to = dash == std::string::npos ? "" : item.substr(dash + 1);
        if (dash == std::string::npos || !ReadWholeNumber(item.substr(0, dash), range.fromMs) ||
            (!to.empty() && !ReadWholeNumber(to, toMs))) {
            return Failure{"--ranges takes FROM-TO or FROM- in ms, separated by commas, not \"" + item + "\""};
        }
        if (!to.empty()) range.toMs = toMs;
        if (range.fromMs < 0) return Failure{"--ranges: the range \"" + item + "\" begins before the direct sound"};
        if (range.toMs && !(*range.toMs > range.fromMs)) {
            return Failure{"--ranges: the range \"" + item + "\" does not end after it begins"};
        }
        for (const TimeRange& known : defaults) {
            if (known.fromMs == range.fromMs && known.toMs == range.toMs) range.label = known.label;
        }
        ranges.push_back(std::move(range));
    }
    return ranges;
}

Result<BatchOptions> ParseBatchOptions(const std::vector<std::string>& args)
{
    BatchOptions options;
    NumberTexts texts;
    CLI::App app("halvane-batch");
    DeclareOptions(app, options, texts);
    // CLI11 takes the arguments last first.
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    try {
        app.parse(reversed);
    } catch (const CLI::ParseError& error) {
        return Failure{DescribeUsageError(error, args)};
    }
    if (const auto numbers = ReadNumbers(texts, options); !numbers) return Failure{numbers.Message()};
    if (const auto bands = ReadBands(texts.band, options); !bands) return Failure{bands.Message()};
    if (const auto room = ReadRoom(texts, options); !room) return Failure{room.Message()};
    if (const auto maps = ReadMapOptions(texts, options); !maps) return Failure{maps.Message()};
    if (!options.bandsHz.empty()) options.energyMaps.bandHz = options.bandsHz.front();
    if (options.help || options.version) return options;
    if (const auto combined = CheckCombinations(options); !combined) return Failure{combined.Message()};
    return options;
}

}  // namespace halvane
