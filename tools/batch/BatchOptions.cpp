#include "BatchOptions.h"

#include <charconv>
#include <cmath>

namespace halvane {

const char* const kBatchUsage =
    "Usage: halvane-batch [--skip MS] [--display MS] [--window MS] FILE...\n"
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
    "  --help         this text\n"
    "\n"
    "With one FILE only:\n"
    "  --reflections OUT.csv  also list the direct sound and the reflections: every\n"
    "                 window whose energy is a local maximum no more than --floor dB\n"
    "                 below the direct sound (the first window within 20 dB of the\n"
    "                 loudest), with time, delay, extra path length, level re the\n"
    "                 direct sound, azimuth, elevation, I/D ratio and diffuseness\n"
    "  --floor DB     lowest reflection level re the direct sound (default 40)\n"
    "  --temperature C  air temperature for the path lengths (default: 343 m/s)\n"
    "  --png OUT.png  also draw a summary picture: the map with every strongly\n"
    "                 directional window of the displayed stretch as a circle\n"
    "                 coloured by its time, and the time strip below it\n"
    "  --background PANORAMA.jpg  a 960 x 480 equirectangular picture of the room\n"
    "                 behind the summary's map (default: the map's placeholder)\n"
    "\n"
    "Exit status: 0 when every file was analysed, 1 when any was refused or\n"
    "failed, 2 for a usage error.\n";

namespace {

bool ReadWholeNumber(const std::string& text, double& value)
{
    const char* begin = text.data();
    const char* end = begin + text.size();
    if (begin != end && *begin == '+') ++begin;
    const auto result = std::from_chars(begin, end, value);
    return result.ec == std::errc() && result.ptr == end && std::isfinite(value);
}

bool IsWholeNumber(const std::string& text)
{
    double value = 0;
    return ReadWholeNumber(text, value);
}

}  // namespace

bool ParseBatchOptions(const std::vector<std::string>& args, BatchOptions& options, std::string& error)
{
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        std::string* target = nullptr;
        if (arg == "--help" || arg == "-h") {
            options.help = true;
            continue;
        }
        if (arg == "--png" || arg == "--background") {
            if (i + 1 >= args.size()) {
                error = arg + " needs a file name";
                return false;
            }
            (arg == "--png" ? options.pngPath : options.backgroundPath) = args[++i];
            continue;
        }
        if (arg == "--reflections" || arg == "--floor" || arg == "--temperature") {
            if (i + 1 >= args.size()) {
                error = arg + " needs a value";
                return false;
            }
            const std::string& value = args[++i];
            double number = 0;
            if (arg == "--reflections") {
                options.reflectionsPath = value;
            } else if (!ReadWholeNumber(value, number)) {
                error = arg + " needs a number, not \"" + value + "\"";
                return false;
            } else if (arg == "--floor") {
                options.floorDb = number;
            } else if (number <= -273.15) {
                error = "--temperature must lie above absolute zero (-273.15)";
                return false;
            } else {
                options.temperatureC = number;
            }
            continue;
        }
        if (arg == "--skip") target = &options.skipMs;
        else if (arg == "--display") target = &options.displayMs;
        else if (arg == "--window") target = &options.windowMs;
        else if (arg == "--") {
            options.files.insert(options.files.end(), args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end());
            break;
        } else if (arg.size() > 1 && arg[0] == '-') {
            error = "unknown option " + arg;
            return false;
        } else {
            options.files.push_back(arg);
            continue;
        }
        if (i + 1 >= args.size()) {
            error = arg + " needs a value in ms";
            return false;
        }
        const std::string& value = args[++i];
        if (!IsWholeNumber(value)) {
            error = arg + " needs a number in ms, not \"" + value + "\"";
            return false;
        }
        *target = value;
    }
    if (!options.help && options.files.empty()) {
        error = "no FILE given";
        return false;
    }
    if ((!options.reflectionsPath.empty() || !options.pngPath.empty()) && options.files.size() != 1) {
        error = "--reflections and --png take exactly one FILE";
        return false;
    }
    if (!options.backgroundPath.empty() && options.pngPath.empty()) {
        error = "--background goes with --png";
        return false;
    }
    return true;
}

}  // namespace halvane
