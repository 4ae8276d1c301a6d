// halvane-batch: the analysis of the window, for many files at once.
#include <iostream>
#include <string>
#include <vector>

#include "BatchHost.h"
#include "BatchOptions.h"
#include "ReflectionList.h"
#include "analysis/RunAnalysis.h"
#include "analysis/TablePaths.h"

namespace {

using namespace halvane;

// Writes the reflection list of a run that was analysed; false (with a
// message on stderr) when the list cannot be written.
bool WriteReflections(const BatchOptions& options, const std::string& file, const SharedState& state,
                      const BatchHost& host, DiskStorage& storage)
{
    const std::string& path = options.reflectionsPath;
    if (storage.SameFile(path, file) || path == file || path == IntensityTableName(file) ||
        path == ReferenceTableName(file)) {
        std::cerr << file << ": the reflection list " << path << " would overwrite the input or a table\n";
        return false;
    }
    auto out = storage.CreateTable(path);
    if (!out) {
        std::cerr << file << ": the reflection list " << path << " cannot be created\n";
        return false;
    }
    ReflectionOptions reflectionOptions;
    reflectionOptions.floorDb = options.floorDb;
    reflectionOptions.temperatureC = options.temperatureC;
    const auto reflections = FindReflections(host.IntensityWindows(), state.AveragingWindowMs, reflectionOptions);
    WriteReflectionTable(*out, reflections);
    out->flush();
    if (!*out) {
        std::cerr << file << ": the reflection list " << path << " could not be written completely\n";
        return false;
    }
    std::cout << file << ": " << reflections.size() << " arrivals listed in " << path << "\n";
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
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
        if (!options.reflectionsPath.empty()) host.KeepSummary();
        const RunReport report = RunAnalysis(state, host, storage);
        if (report.outcome == RunOutcome::Rejected) {
            std::cerr << file << ": " << report.message << "\n";
            status = 1;
            continue;
        }
        std::cout << file << ": " << report.intensityRows << " windows analysed (" << report.directionWindows
                  << " displayed), " << report.referenceRows << " reference rows; tables "
                  << report.intensityTablePath << " and " << report.referenceTablePath << "\n";
        if (!options.reflectionsPath.empty() && !WriteReflections(options, file, state, host, storage)) status = 1;
    }
    return status;
}
