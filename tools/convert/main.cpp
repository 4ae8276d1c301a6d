// halvane-convert: turns a four-channel B-format impulse response of any common convention and
// file format into the AmbiX 32-bit float file the window reads.

#include "convert/ConvertCommand.h"

#include <CLI/CLI.hpp>

#include <iostream>
#include <string>

namespace {

using namespace halvane;

constexpr const char* kUsage =
    "usage: halvane-convert IN OUT [--order auto|ambix|fuma] [--norm auto|sn3d|n3d|fuma]\n"
    "\n"
    "Reads the four-channel B-format impulse response IN and writes OUT in AmbiX order\n"
    "(W, Y, Z, X) with SN3D gains as 32-bit float samples, in the layout the Halvane window\n"
    "reads. IN may be WAV (also extensible and RF64), W64, FLAC, AIFF or CAF, with 16, 24 or\n"
    "32-bit integer or 32 or 64-bit float samples at 1 kHz to 768 kHz; it is read in blocks,\n"
    "never whole. OUT holds at most 2 GB, about 46 minutes at 48 kHz. Of a higher-order\n"
    "Ambisonic IN (9, 16, 25, ... channels) the first-order part, its first four channels,\n"
    "is converted. An IN that ends before the frames its header declares is converted as\n"
    "far as it goes, with a warning.\n"
    "\n"
    "The convention of IN is found from its direct sound: the one under which it reads as a\n"
    "plane wave from in front of or beside the microphone, near its height. A line of the\n"
    "report says which was used and why. Give it to override:\n"
    "\n"
    "  --order auto    find the channel order (default)\n"
    "  --order ambix   IN holds W, Y, Z, X\n"
    "  --order fuma    IN holds W, X, Y, Z (traditional B-format)\n"
    "  --norm auto     find the gains (default)\n"
    "  --norm sn3d     IN has SN3D gains\n"
    "  --norm n3d      IN has N3D gains: X, Y, Z are divided by sqrt(3)\n"
    "  --norm fuma     IN has FuMa gains: W is multiplied by sqrt(2)\n"
    "  --version       print the version and exit\n"
    "  -h, --help      print this help and exit\n"
    "\n"
    "Traditional B-format recordings are --order fuma --norm fuma. A given convention is\n"
    "obeyed, with a warning when the direct sound suggests another.\n"
    "OUT must differ from IN; it is written beside its name and put in place when complete.\n"
    "Exit status: 0 converted, 1 unreadable input or unwritable output, 2 wrong usage.\n";

int UsageError(const std::string& what)
{
    std::cerr << "halvane-convert: " << what << "\n\n" << kUsage;
    return convert::kExitUsage;
}

}  // namespace

int main(int argc, char** argv)
{
    CLI::App app("", "halvane-convert");
    app.set_help_flag("-h,--help");
    app.set_version_flag("--version", "halvane-convert " HALVANE_VERSION);
    std::string input;
    std::string output;
    std::string orderWord = "auto";
    std::string normWord = "auto";
    app.add_option("IN", input)->required();
    app.add_option("OUT", output)->required();
    app.add_option("--order", orderWord)->check(CLI::IsMember({"auto", "ambix", "fuma"}));
    app.add_option("--norm", normWord)->check(CLI::IsMember({"auto", "sn3d", "n3d", "fuma"}));
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        std::cout << kUsage;
        return convert::kExitOk;
    } catch (const CLI::CallForVersion& version) {
        std::cout << version.what() << "\n";
        return convert::kExitOk;
    } catch (const CLI::ParseError& error) {
        return UsageError(error.what());
    }

    convert::ConvertOptions options;
    options.input = input;
    options.output = output;
    if (orderWord != "auto") options.order = ParseChannelOrder(orderWord);
    if (normWord != "auto") options.norm = ParseNormalisation(normWord);
    return convert::Convert(options, std::cout, std::cerr);
}
