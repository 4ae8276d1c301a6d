#pragma once

// halvane-convert's work once its command line is read: any four-channel B-format response
// that libsndfile reads becomes the AmbiX/SN3D 32-bit float file the window reads.

#include "bformat/AmbisonicConvention.h"

#include <filesystem>
#include <optional>
#include <ostream>

namespace halvane::convert {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

// The sample rates converted: from speech recordings' 1 kHz to the fastest converters'.
inline constexpr double kLowestRateHz = 1000;
inline constexpr double kHighestRateHz = 768000;

struct ConvertOptions {
    std::filesystem::path input;
    std::filesystem::path output;
    std::optional<ChannelOrder> order;  // std::nullopt: found from the data
    std::optional<Normalisation> norm;  // std::nullopt: found from the data
};

// Converts options.input into options.output in two passes over the input, each in blocks of
// frames: the first finds the convention (or checks the given one), the second converts and
// writes. Memory does not grow with the file's length.
//
// A higher-order Ambisonic input ((order + 1)^2 channels, see HigherAmbisonicOrder) gives
// its first-order part, the first four channels, converted like a four-channel file (the
// convention found from them as from any file), the report's first line saying so. An input that
// ends before the frames its header declares is converted as far as it goes, with a warning
// naming the frames and milliseconds missing.
//
// Refuses, writing nothing: an input that is missing, empty, not a regular file, not audio,
// neither four channels nor a higher-order set, without frames, or with a sample rate outside
// kLowestRateHz to kHighestRateHz (named in the message, as its header stores it); an output that is the input file itself (the same device and
// inode, however it is spelt) or a name held by a folder, FIFO or device; a result too large
// for the window's reader. The output is written under a temporary name beside it and renamed
// over the name only when complete, so a failure leaves what was there before; a symbolic link
// at the name is replaced, its target left alone.
//
// The report goes to out (what was read, the convention used and why, the direct sound);
// failures and warnings to err, each line beginning "halvane-convert: ". Returns kExitOk or
// kExitFailed.
int Convert(const ConvertOptions& options, std::ostream& out, std::ostream& err);

}  // namespace halvane::convert
