#include "batch/BatchOptions.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <thread>

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
    "  --floor DB     lowest reflection level re the direct sound (default 40)\n"
    "  --temperature C  air temperature for the path lengths (default: 343 m/s)\n"
    "  --direct-distance M  the source-receiver distance: adds each arrival's\n"
    "                 image-source distance to the list\n"
    "  --direction-window MS  the window of each arrival's direction (default 0.5)\n"
    "  --max-diffuseness X  above it a peak is diffuse tail, not an arrival (default 0.4)\n"
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
    "Exit status: 0 when every file was analysed, 1 when any was refused or\n"
    "failed, 2 for a usage error. An interrupt (Ctrl-C) lets the files under\n"
    "way finish and ends the command by the signal; a second one ends it at once.\n";

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
        for (const char* option : {"--png", "--background", "--room-parameters"}) {
            if (text.find(option) != std::string::npos) return std::string(option) + " needs a file name";
        }
        for (const char* option : {"--reflections", "--floor", "--temperature", "--jobs", "--direct-distance",
                                   "--direction-window", "--max-diffuseness", "--band"}) {
            if (text.find(option) != std::string::npos) return std::string(option) + " needs a value";
        }
    }
    // A validator's own message comes after CLI11's prefix "--option: ".
    std::string text = error.what();
    if (const auto colon = text.find(": --"); colon != std::string::npos) return text.substr(colon + 2);
    return text;
}

}  // namespace

Result<BatchOptions> ParseBatchOptions(const std::vector<std::string>& args)
{
    BatchOptions options;
    CLI::App app("halvane-batch");
    app.set_help_flag();
    app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    app.allow_extras(false);
    app.add_flag("-h,--help", options.help);
    app.add_flag("--version", options.version);
    app.add_option("--skip", options.skipMs)->check(WholeNumber("--skip", " in ms"));
    app.add_option("--display", options.displayMs)->check(WholeNumber("--display", " in ms"));
    app.add_option("--window", options.windowMs)->check(WholeNumber("--window", " in ms"));
    app.add_option("--reflections", options.reflectionsPath);
    std::string floorText;
    std::string temperatureText;
    app.add_option("--floor", floorText)->check(WholeNumber("--floor", ""));
    app.add_option("--temperature", temperatureText)->check(WholeNumber("--temperature", ""));
    std::string distanceText;
    std::string directionWindowText;
    std::string diffusenessText;
    std::string bandText;
    app.add_option("--direct-distance", distanceText)->check(WholeNumber("--direct-distance", " in m"));
    app.add_option("--direction-window", directionWindowText)->check(WholeNumber("--direction-window", " in ms"));
    app.add_option("--max-diffuseness", diffusenessText)->check(WholeNumber("--max-diffuseness", ""));
    app.add_option("--room-parameters", options.roomParametersPath);
    app.add_option("--band", bandText);
    app.add_option("--png", options.pngPath);
    app.add_option("--background", options.backgroundPath);
    app.add_option("files", options.files);
    options.jobs = std::max(1u, std::thread::hardware_concurrency());
    app.add_option("-j,--jobs", options.jobs)->check(CLI::Range(1u, 1024u));

    // CLI11 takes the arguments last first.
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    try {
        app.parse(reversed);
    } catch (const CLI::ParseError& error) {
        return Failure{DescribeUsageError(error, args)};
    }
    if (!floorText.empty()) ReadWholeNumber(floorText, options.floorDb);
    if (!temperatureText.empty()) {
        double celsius = 0;
        ReadWholeNumber(temperatureText, celsius);
        if (celsius <= -273.15) return Failure{"--temperature must lie above absolute zero (-273.15)"};
        options.temperatureC = celsius;
    }
    if (!distanceText.empty()) {
        double metres = 0;
        ReadWholeNumber(distanceText, metres);
        if (!(metres > 0)) return Failure{"--direct-distance must be a distance above 0 m"};
        options.directDistanceM = metres;
    }
    if (!directionWindowText.empty()) {
        ReadWholeNumber(directionWindowText, options.directionWindowMs);
        if (!(options.directionWindowMs > 0)) return Failure{"--direction-window must be above 0 ms"};
    }
    if (!diffusenessText.empty()) {
        ReadWholeNumber(diffusenessText, options.maxDiffuseness);
        if (!(options.maxDiffuseness > 0 && options.maxDiffuseness <= 1)) {
            return Failure{"--max-diffuseness must lie above 0 and at most 1"};
        }
    }
    if (!bandText.empty()) {
        if (bandText == "all-octaves") {
            options.bandsHz = {125, 250, 500, 1000, 2000, 4000};
        } else {
            static const int kBands[] = {125, 250, 500, 1000, 2000, 4000};
            double hz = 0;
            const bool known =
                ReadWholeNumber(bandText, hz) &&
                std::find(std::begin(kBands), std::end(kBands), static_cast<int>(hz)) != std::end(kBands) &&
                hz == static_cast<int>(hz);
            if (!known)
                return Failure{"--band takes 125, 250, 500, 1000, 2000, 4000 or all-octaves, not \"" + bandText + "\""};
            options.bandsHz = {static_cast<int>(hz)};
        }
    }
    if (options.help || options.version) return options;
    if (options.files.empty()) return Failure{"no FILE given"};
    if ((!options.reflectionsPath.empty() || !options.pngPath.empty() || !options.roomParametersPath.empty()) &&
        options.files.size() != 1) {
        return Failure{"--reflections, --room-parameters and --png take exactly one FILE"};
    }
    if (!options.pngPath.empty() && options.bandsHz.size() > 1) {
        return Failure{"--png draws one band: give --band HZ, not all-octaves"};
    }
    if (!options.backgroundPath.empty() && options.pngPath.empty()) return Failure{"--background goes with --png"};
    return options;
}

}  // namespace halvane
