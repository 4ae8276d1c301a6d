#pragma once

// The seed corpus of the fuzzer, generated here rather than kept as binaries:
// valid 16-bit and 32-bit files in every layout the reader knows, and the
// same files cut short where a header field or a frame would be.
#include <cstdint>
#include <string>
#include <vector>

namespace halvane::fuzz {

struct Seed {
    std::string name;  // a file name: layout, sample width and cut
    std::vector<std::uint8_t> bytes;
};

std::vector<Seed> SeedCorpus();

}  // namespace halvane::fuzz
