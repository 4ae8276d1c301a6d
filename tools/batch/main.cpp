// halvane-batch: the analysis of the window, for many files at once.
#include <iostream>
#include <string>
#include <vector>

#include "BatchHost.h"
#include "BatchOptions.h"
#include "analysis/RunAnalysis.h"

int main(int argc, char** argv)
{
    using namespace halvane;
    const std::vector<std::string> args(argv + 1, argv + argc);
    BatchOptions options;
    std::string error;
    if (!ParseBatchOptions(args, options, error)) {
        std::cerr << "halvane-batch: " << error << "\n\n" << kBatchUsage;
        return 2;
    }
    if (options.help) {
        std::cout << kBatchUsage;
        return 0;
    }

    int status = 0;
    DiskStorage storage;
    for (const std::string& file : options.files) {
        SharedState state;
        state.IrFileName = file;
        // The pause is answered with 0: a batch run never waits.
        BatchHost host({options.skipMs, options.displayMs, options.windowMs, "0"});
        const RunReport report = RunAnalysis(state, host, storage);
        if (report.outcome == RunOutcome::Rejected) {
            std::cerr << file << ": " << report.message << "\n";
            status = 1;
            continue;
        }
        std::cout << file << ": " << report.intensityRows << " windows analysed (" << report.directionWindows << " displayed), " << report.referenceRows
                  << " reference rows; tables " << report.intensityTablePath << " and " << report.referenceTablePath
                  << "\n";
    }
    return status;
}
