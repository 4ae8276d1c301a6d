// Writes the generated seed corpus into a folder for the fuzzer:
//   halvane_fuzz_seeds FOLDER
#include <filesystem>
#include <fstream>
#include <iostream>

#include "FuzzSeeds.h"

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "usage: halvane_fuzz_seeds FOLDER\n";
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    std::filesystem::create_directories(folder);
    for (const auto& seed : halvane::fuzz::SeedCorpus()) {
        std::ofstream out(folder / seed.name, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(seed.bytes.data()), static_cast<std::streamsize>(seed.bytes.size()));
        if (!out.flush()) {
            std::cerr << "halvane_fuzz_seeds: cannot write " << (folder / seed.name) << "\n";
            return 1;
        }
    }
    return 0;
}
