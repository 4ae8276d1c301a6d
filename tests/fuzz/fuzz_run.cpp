// libFuzzer entry: arbitrary bytes as the input file of two whole runs.
#include <cstdio>
#include <cstdlib>

#include "FuzzRun.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string broken = halvane::fuzz::RunOnBytes({data, size});
    if (!broken.empty()) {
        // The fuzzer records an abort as a finding and keeps the input.
        std::fprintf(stderr, "broken promise: %s\n", broken.c_str());
        std::abort();
    }
    return 0;
}
