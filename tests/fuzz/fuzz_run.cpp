// libFuzzer entry: arbitrary bytes as the input file of a whole run. The
// answers follow the input's length, odd or even, so that both sets meet
// every kind of content at the cost of one run per input.
#include <cstdio>
#include <cstdlib>

#include "FuzzRun.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using halvane::fuzz::Answers;
    const Answers answers = size % 2 == 0 ? Answers::WholeWindowsFromZero : Answers::FractionalWindowsBeforeTheFile;
    const std::string broken = halvane::fuzz::RunOnBytes({data, size}, answers);
    if (!broken.empty()) {
        // The fuzzer records an abort as a finding and keeps the input.
        std::fprintf(stderr, "broken promise: %s\n", broken.c_str());
        std::abort();
    }
    return 0;
}
