#pragma once

// What the header of an uncompressed sound file itself says about its sample data, read from
// the file's bytes. libsndfile shortens a data chunk that the file cuts short to what is there
// (it says so only in its log) and replaces an AIFF sample rate of 0 by 1 Hz and an infinite
// one by 67 MHz, so a truncated or broken file would otherwise convert without a word.
//
// Read: RIFF/WAVE, RF64 and BW64 (their ds64 chunk holds the 64-bit sizes), Sony Wave64, AIFF
// and AIFF-C, and CAF. Sizes are those of the sample data alone (an AIFF SSND chunk's offset
// and block size, a CAF data chunk's edit count left out). A chunk list is walked for at most
// kMaxChunks chunks; a chunk that runs past the file's end ends the walk.

#include <cstdint>
#include <optional>

namespace halvane::convert {

struct HeaderClaims {
    // The sample data as the header gives it: where it starts and how many bytes it says it
    // has. std::nullopt when no data chunk was found or its size means "to the end of the
    // file" (0xFFFFFFFF in a RIFF file, -1 in a CAF file).
    std::optional<std::uint64_t> dataStart;
    std::optional<std::uint64_t> dataBytes;
    // An AIFF's sample rate as its COMM chunk stores it (an 80-bit float, here as a double:
    // 0, infinity and non-integer rates as they are); std::nullopt for other formats.
    std::optional<double> aiffRateHz;
};

inline constexpr int kMaxChunks = 4096;

// Reads the claims of the regular file open at fd (with pread: the file offset is left
// alone) of fileBytes bytes. Never fails: whatever cannot be read stays std::nullopt.
HeaderClaims ReadHeaderClaims(int fd, std::uint64_t fileBytes);

}  // namespace halvane::convert
