// halvane-batch: the analysis of the window, for many files at once.
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "analysis/ReflectionList.h"
#include "analysis/RunAnalysis.h"
#include "analysis/RunSummary.h"
#include "analysis/ScriptedDialogue.h"
#include "batch/BatchOptions.h"
#include "report/TablePaths.h"

#ifdef HALVANE_WITH_SUMMARY
#include <QApplication>
#include <QImageWriter>

#include "display/BackgroundPicture.h"
#include "display/SummaryPicture.h"
#endif

namespace {

using namespace halvane;

bool ClashesWithRun(DiskTables& storage, const std::string& path, const std::string& file);

// Writes the reflection list of a run that was analysed; false (with a
// message on stderr) when the list cannot be written.
bool WriteReflections(const BatchOptions& options, const std::string& file, const SharedState& state,
                      const RunSummary& summary, DiskTables& storage)
{
    const std::string& path = options.reflectionsPath;
    if (ClashesWithRun(storage, path, file)) {
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
    const auto reflections = FindReflections(summary.IntensityWindows(), reflectionOptions);
    WriteReflectionTable(*out, reflections);
    out->flush();
    if (!*out) {
        std::cerr << file << ": the reflection list " << path << " could not be written completely\n";
        return false;
    }
    std::cout << file << ": " << reflections.size() << " arrivals listed in " << path << "\n";
    return true;
}

// True when an output path would replace the input or one of its tables.
bool ClashesWithRun(DiskTables& storage, const std::string& path, const std::string& file)
{
    return path == file || storage.SameFile(path, file) || path == IntensityTableName(file) ||
           path == ReferenceTableName(file);
}

#ifdef HALVANE_WITH_SUMMARY
// Draws the summary picture of an analysed run; false (with a message on
// stderr) when the background cannot be read or the picture not written.
bool WriteSummaryPicture(const BatchOptions& options, const std::string& file, const SharedState& state,
                         const RunSummary& summary, DiskTables& storage)
{
    if (ClashesWithRun(storage, options.pngPath, file)) {
        std::cerr << file << ": the picture " << options.pngPath << " would overwrite the input or a table\n";
        return false;
    }
    SummaryInput input = SummaryOfRun(state, summary);
    if (!options.backgroundPath.empty()) {
        const LoadedPicture background = LoadBackgroundPicture(QString::fromStdString(options.backgroundPath));
        if (background.picture.isNull()) {
            std::cerr << file << ": " << background.whyNot.toStdString() << "\n";
            return false;
        }
        input.background = background.picture;
    }
    QImageWriter writer(QString::fromStdString(options.pngPath), "png");
    if (!writer.write(RenderSummary(input))) {
        std::cerr << file << ": the picture " << options.pngPath
                  << " cannot be written: " << writer.errorString().toStdString() << "\n";
        return false;
    }
    std::cout << file << ": summary picture " << options.pngPath << "\n";
    return true;
}
#endif

}  // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    const Result<BatchOptions> parsed = ParseBatchOptions(args);
    if (!parsed) {
        std::cerr << "halvane-batch: " << parsed.Message() << "\n\n" << kBatchUsage;
        return 2;
    }
    const BatchOptions& options = *parsed;
    if (options.help) {
        std::cout << kBatchUsage;
        return 0;
    }
    if (options.version) {
        std::cout << "halvane-batch " << HALVANE_VERSION << "\n";
        return 0;
    }
#ifdef HALVANE_WITH_SUMMARY
    // The picture surfaces are widgets: they need an application object,
    // which needs no screen on the offscreen platform.
    std::unique_ptr<QApplication> application;
    if (!options.pngPath.empty()) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        application = std::make_unique<QApplication>(argc, argv);
    }
#else
    if (!options.pngPath.empty()) {
        std::cerr << "halvane-batch: this build has no window, so it cannot draw pictures (--png)\n";
        return 2;
    }
#endif

    int status = 0;
    DiskInput input;
    DiskTables storage;
    for (const std::string& file : options.files) {
        SharedState state;
        state.IrFileName = file;
        // The pause is answered with 0: a batch run never waits.
        ScriptedDialogue dialogue({options.skipMs, options.displayMs, options.windowMs, "0"});
        RunSummary summary;
        const bool keepSummary = !options.reflectionsPath.empty() || !options.pngPath.empty();
        const RunReport report = RunAnalysis(state, dialogue, input, storage, RunDisplay::None(),
                                             keepSummary ? static_cast<RunObserver&>(summary) : RunObserver::None());
        if (report.outcome == RunOutcome::Rejected) {
            std::cerr << file << ": " << report.message << "\n";
            status = 1;
            continue;
        }
        std::cout << file << ": " << report.intensityRows << " windows analysed (" << report.directionWindows
                  << " displayed), " << report.referenceRows << " reference rows; tables "
                  << report.intensityTablePath << " and " << report.referenceTablePath << "\n";
        if (!options.reflectionsPath.empty() && !WriteReflections(options, file, state, summary, storage)) status = 1;
#ifdef HALVANE_WITH_SUMMARY
        if (!options.pngPath.empty() && !WriteSummaryPicture(options, file, state, summary, storage)) status = 1;
#endif
    }
    return status;
}
