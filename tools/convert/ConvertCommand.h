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

struct ConvertOptions {
    std::filesystem::path input;
    std::filesystem::path output;
    std::optional<ChannelOrder> order;  // std::nullopt: found from the data
    std::optional<Normalisation> norm;  // std::nullopt: found from the data
};

/// Converts options.input into options.output in two passes over the input, each in blocks of
/// frames: the first finds the convention (or checks the given one), the second converts and
/// writes. Memory does not grow with the file's length.
///
/// Refuses, writing nothing: an input that is missing, not a regular file, not audio, not four
/// channels or without frames; an output that is the input file itself (the same device and
/// inode, however it is spelt) or a name held by a folder, FIFO or device; a result too large
/// for the window's reader. The output is written under a temporary name beside it and renamed
/// over the name only when complete, so a failure leaves what was there before; a symbolic link
/// at the name is replaced, its target left alone.
///
/// The report goes to out (what was read, the convention used and why, the direct sound);
/// failures and warnings to err, each line beginning "halvane-convert: ". Returns kExitOk or
/// kExitFailed.
int Convert(const ConvertOptions& options, std::ostream& out, std::ostream& err);

}  // namespace halvane::convert
