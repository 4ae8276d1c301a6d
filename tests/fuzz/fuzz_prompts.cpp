// libFuzzer entry: arbitrary text as the four typed answers of a whole run.
#include <cstdio>
#include <cstdlib>

#include "FuzzRun.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string broken = halvane::fuzz::RunWithAnswers({data, size});
    if (!broken.empty()) {
        std::fprintf(stderr, "broken promise: %s\n", broken.c_str());
        std::abort();
    }
    return 0;
}
