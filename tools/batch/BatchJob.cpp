#include "batch/BatchJob.h"

#include <algorithm>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>
#include <utility>
#include <vector>

#include "analysis/RunAnalysis.h"
#include "analysis/RunSummary.h"
#include "analysis/ScriptedDialogue.h"
#include "analysis/arrivals/ArrivalRemarks.h"
#include "analysis/arrivals/Arrivals.h"
#include "analysis/convention/InputConvention.h"
#include "analysis/maps/EnergyMaps.h"
#include "analysis/room/BandFiltered.h"
#include "analysis/room/RoomParameters.h"
#include "analysis/surfaces/Surfaces.h"
#include "batch/PictureProgram.h"
#include "bformat/BFormatFrames.h"
#include "bformat/BFormatSignal.h"
#include "bformat/ConverterAdvice.h"
#include "exchange/ResultsExchange.h"
#include "files/ReplacingFile.h"
#include "report/ArrivalTable.h"
#include "report/EnergyMapTable.h"
#include "report/RoomParameterTable.h"
#include "report/SurfaceTable.h"
#include "report/TablePaths.h"

namespace halvane {
namespace {

// What one job has computed so far, each analysis at most once, and what it
// has to say. An analysis that cannot be made says why once and gives nothing.
class JobContext {
public:
    JobContext(const BatchOptions& options, const std::string& file, const std::string& pictureProgram,
               TableStorage& tables, const Cancellation& stop)
        : options(options), file(file), pictureProgram(pictureProgram), tables(tables), stop(stop)
    {
    }

    const BatchOptions& options;
    const std::string& file;
    const std::string& pictureProgram;
    TableStorage& tables;
    const Cancellation& stop;
    std::vector<std::string> written;  // the outputs in place, in the order written
    DiskInput disk;
    FileOutcome outcome;
    // The run whose windows the picture shows, kept only for --png and --report.
    std::optional<AnalysisResults> pictureRun;
    // What the convention check found: empty when the file reads as AmbiX/SN3D.
    std::string conventionNotice;
    // The results the picture and the report are drawn from, encoded once;
    // empty when they could not be gathered.
    std::optional<std::string> drawn;

    void Fail(const std::string& message)
    {
        outcome.failed = true;
        outcome.err += message + "\n";
    }

    // A refusal of the file (said as what: the file, or one of its bands),
    // with the halvane-convert command under it when the converter can lift
    // it, said once per file, not again for each of its bands.
    void Refuse(const std::string& what, const std::string& message)
    {
        Fail(what + ": " + message);
        if (const std::string advice = ConverterAdvice(message, file);
            !advice.empty() && outcome.err.find(advice) == std::string::npos)
            outcome.err += what + ": " + advice + "\n";
    }

    // Samples that are not finite are analysed as 0, said once per file.
    void WarnOfNonFinite(std::int64_t samples)
    {
        if (samples <= 0 || m_nonFiniteSaid) return;
        m_nonFiniteSaid = true;
        outcome.err += file + ": warning: " + std::to_string(samples) + (samples == 1 ? " sample is" : " samples are") +
                       " not finite (NaN or infinite) and counted as 0 in the bands, arrivals and room parameters\n";
    }

    // The file, opened once; nullptr after saying why it cannot be.
    const InputImage* Input()
    {
        if (!m_opened) {
            m_opened = true;
            auto opened = disk.Open(file);
            if (opened) {
                m_input = std::move(*opened);
            } else {
                Fail(file + ": Sorry, the file " + file + " cannot be opened: " + opened.Message() + "!");
            }
        }
        return m_input.get();
    }

    // The whole response as a signal; nullptr after saying why.
    const BFormatSignal* Signal()
    {
        if (!m_signalRead) {
            m_signalRead = true;
            if (const InputImage* input = Input()) {
                auto signal = ReadBFormatSignal(*input, SignalChannels::All, stop);
                if (signal) {
                    m_signal = std::move(*signal);
                    WarnOfNonFinite(m_signal->NonFiniteSamples);
                } else if (!stop.Requested()) {
                    Refuse(file, signal.Message());
                }
            }
        }
        return m_signal ? &*m_signal : nullptr;
    }

    // What the room parameters read: the whole signal when another analysis
    // reads it anyway, else W and Y alone (half the memory); nullptr after
    // saying why.
    const BFormatSignal* RoomSignal()
    {
        if (m_signalRead || !options.energyMapPath.empty() || !options.pngPath.empty()) return Signal();
        if (!m_roomSignalRead) {
            m_roomSignalRead = true;
            if (const InputImage* input = Input()) {
                auto signal = ReadBFormatSignal(*input, SignalChannels::OmniAndLateral, stop);
                if (signal) {
                    m_roomSignal = std::move(*signal);
                    WarnOfNonFinite(m_roomSignal->NonFiniteSamples);
                } else if (!stop.Requested()) {
                    Refuse(file, signal.Message());
                }
            }
        }
        return m_roomSignal ? &*m_roomSignal : nullptr;
    }

    // The arrivals of the whole response, read from the file a stretch at a
    // time (the search holds only the part it looks at); nullptr after saying
    // why, or when stopped.
    const ArrivalFindings* Arrivals()
    {
        if (!m_arrivalsDone) {
            m_arrivalsDone = true;
            if (const InputImage* input = Input()) {
                auto frames = BFormatFrames::Open(input->Bytes());
                if (!frames) {
                    Refuse(file, frames.Message());
                } else {
                    m_arrivals = AnalyseArrivals(*frames, options.arrivals, stop);
                    WarnOfNonFinite(static_cast<std::int64_t>(m_arrivals->nonFiniteSamples));
                }
            }
        }
        return m_arrivals && !m_arrivals->stopped ? &*m_arrivals : nullptr;
    }

    // The reflecting surfaces of the arrivals, with --direct-distance or
    // --room; nullptr without them or without arrivals.
    const SurfaceFindings* Surfaces()
    {
        if (!m_surfaces && (options.directDistanceM || options.room)) {
            if (const ArrivalFindings* findings = Arrivals()) {
                m_surfaces = FindSurfaces(findings->arrivals, {options.directDistanceM.value_or(0),
                                                               SpeedOfSoundMPerS(options.temperatureC), options.room});
            }
        }
        return m_surfaces ? &*m_surfaces : nullptr;
    }

    // The source-receiver distance: --direct-distance, or the room model's.
    std::optional<double> DirectDistanceM() const
    {
        if (options.room) return ModelDirectDistanceM(*options.room);
        return options.directDistanceM;
    }

    // The room parameters of the whole response; nullptr without a signal.
    const std::vector<BandParameters>* RoomParameters()
    {
        if (!m_roomParameters && RoomSignal()) m_roomParameters = ComputeRoomParameters(*RoomSignal(), stop);
        return m_roomParameters ? &*m_roomParameters : nullptr;
    }

    // The energy maps of the band asked for, with the decay's end from the
    // room parameters when they were computed; nullptr when they cannot be
    // made, EnergyMapsWhyNot() saying why.
    const EnergyMapSet* EnergyMaps()
    {
        if (!m_energyMapsDone) {
            m_energyMapsDone = true;
            if (const BFormatSignal* signal = Signal()) {
                const std::vector<BandParameters> none;
                auto maps = ComputeEnergyMaps(*signal, options.energyMaps, m_roomParameters ? *m_roomParameters : none);
                if (maps) {
                    m_energyMaps = std::move(*maps);
                } else {
                    m_energyMapsWhyNot = "the energy maps cannot be made: " + maps.Message();
                }
            }
        }
        return m_energyMaps ? &*m_energyMaps : nullptr;
    }
    const std::string& EnergyMapsWhyNot() const { return m_energyMapsWhyNot; }

private:
    bool m_opened = false;
    std::unique_ptr<InputImage> m_input;
    bool m_signalRead = false;
    std::optional<BFormatSignal> m_signal;
    bool m_roomSignalRead = false;
    bool m_nonFiniteSaid = false;
    std::optional<BFormatSignal> m_roomSignal;
    bool m_arrivalsDone = false;
    std::optional<ArrivalFindings> m_arrivals;
    std::optional<std::vector<BandParameters>> m_roomParameters;
    std::optional<SurfaceFindings> m_surfaces;
    bool m_energyMapsDone = false;
    std::optional<EnergyMapSet> m_energyMaps;
    std::string m_energyMapsWhyNot;
};

// One run of the tables' analysis: of the file itself (bandHz 0) or of one
// band of it, read from input. False when the run was refused.
bool RunTables(JobContext& job, int bandHz, InputSource& input)
{
    SharedState state;
    state.IrFileName = bandHz == 0 ? job.file : BandFileName(job.file, bandHz);
    // The pause is answered with 0: a batch run never waits.
    ScriptedDialogue dialogue({job.options.skipMs, job.options.displayMs, job.options.windowMs, "0"});
    RunSummary summary;
    const bool forPicture = !job.options.pngPath.empty() || !job.options.reportPath.empty();
    const RunReport report =
        RunAnalysis(state, dialogue, input, job.tables, RunDisplay::None(), forPicture ? summary : RunObserver::None());
    const std::string what = bandHz == 0 ? job.file : job.file + " (" + std::to_string(bandHz) + " Hz band)";
    if (report.outcome == RunOutcome::Rejected) {
        job.Refuse(what, report.message);
        return false;
    }
    std::ostringstream out;
    out << what << ": " << report.intensityRows << " windows analysed (" << report.directionWindows << " displayed), "
        << report.referenceRows << " reference rows; tables " << report.intensityTablePath << " and "
        << report.referenceTablePath << "\n";
    job.outcome.out += out.str();
    job.written.insert(job.written.end(), {report.intensityTablePath, report.referenceTablePath});
    if (forPicture) job.pictureRun = ResultsOfRun(state, summary);
    return true;
}

// Writes one list or table made from the file's signal, saying so; false after saying why not.
bool WriteResult(JobContext& job, const std::string& what, const std::string& path, const std::string& text,
                 const std::string& done)
{
    if (const auto written = WriteReplacing(path, text); !written) {
        job.Fail(job.file + ": the " + what + " " + path + " cannot be written: " + written.Message());
        return false;
    }
    job.outcome.out += job.file + ": " + done + "\n";
    job.written.push_back(path);
    return true;
}

// The steps, each with the outputs it writes. A step's write returns false
// when the job can go no further.

std::vector<PlannedOutput> BroadbandTables(const BatchOptions& options, const std::string& file)
{
    if (!options.bandsHz.empty()) return {};
    return {{"table", IntensityTableName(file)}, {"table", ReferenceTableName(file)}};
}
bool WriteBroadbandTables(JobContext& job) { return RunTables(job, 0, job.disk); }

std::vector<PlannedOutput> BandTables(const BatchOptions& options, const std::string& file)
{
    std::vector<PlannedOutput> outputs;
    for (const int bandHz : options.bandsHz) {
        const std::string band = BandFileName(file, bandHz);
        outputs.insert(outputs.end(), {{"table", IntensityTableName(band)}, {"table", ReferenceTableName(band)}});
    }
    return outputs;
}
bool WriteBandTables(JobContext& job)
{
    const InputImage* input = job.Input();
    if (!input) return false;
    for (const int bandHz : job.options.bandsHz) {
        if (job.stop.Requested()) return false;
        std::int64_t nonFinite = 0;
        auto image = BandFilteredImage(*input, bandHz, job.stop, &nonFinite);
        job.WarnOfNonFinite(nonFinite);
        if (job.stop.Requested()) return false;
        if (!image) {
            job.Refuse(job.file + " (" + std::to_string(bandHz) + " Hz band)", image.Message());
            continue;
        }
        // Served under the band's own name, so that its run writes the band's tables.
        NamedBytesInput band(BandFileName(job.file, bandHz), *image);
        RunTables(job, bandHz, band);
    }
    return true;
}

// What the list says, and what a reader of it should know.
std::string ArrivalReport(const ArrivalFindings& findings, const std::string& path)
{
    std::string line = std::to_string(findings.arrivals.size()) +
                       (findings.arrivals.size() == 1 ? " arrival" : " arrivals") + " listed in " + path;
    for (const std::string& remark : ArrivalRemarks(findings)) line += "; " + remark;
    return line;
}

std::vector<PlannedOutput> ReflectionList(const BatchOptions& options, const std::string&)
{
    if (options.reflectionsPath.empty()) return {};
    return {{"reflection list", options.reflectionsPath}};
}
bool WriteReflectionList(JobContext& job)
{
    const ArrivalFindings* findings = job.Arrivals();
    if (!findings || job.stop.Requested()) return false;
    std::ostringstream list;
    WriteArrivalTable(list, findings->arrivals, SpeedOfSoundMPerS(job.options.temperatureC), job.DirectDistanceM(),
                      job.Surfaces());
    const std::string& path = job.options.reflectionsPath;
    WriteResult(job, "reflection list", path, list.str(), ArrivalReport(*findings, path));
    return true;
}

std::vector<PlannedOutput> SurfaceList(const BatchOptions& options, const std::string&)
{
    if (options.surfacesPath.empty()) return {};
    return {{"surface table", options.surfacesPath}};
}
bool WriteSurfaceList(JobContext& job)
{
    const ArrivalFindings* findings = job.Arrivals();
    const SurfaceFindings* surfaces = job.Surfaces();
    if (!findings || !surfaces || job.stop.Requested()) return false;
    std::ostringstream table;
    WriteSurfaceTable(table, findings->arrivals, *surfaces);
    const std::string& path = job.options.surfacesPath;
    const std::size_t unplaced = surfaces->unplaced.size();
    const std::size_t count = surfaces->surfaces.size();
    WriteResult(job, "surface table", path, table.str(),
                std::to_string(count) + (count == 1 ? " surface" : " surfaces") + " in " + path + " (" +
                    std::to_string(unplaced) + (unplaced == 1 ? " arrival fits" : " arrivals fit") + " none)");
    return true;
}

std::vector<PlannedOutput> RoomParameterTable(const BatchOptions& options, const std::string&)
{
    if (options.roomParametersPath.empty()) return {};
    return {{"room-parameter table", options.roomParametersPath}};
}
bool WriteRoomParameters(JobContext& job)
{
    const auto* parameters = job.RoomParameters();
    if (!parameters || job.stop.Requested()) return false;
    std::ostringstream table;
    WriteRoomParameterTable(table, *parameters);
    const std::string& path = job.options.roomParametersPath;
    std::string done = "room parameters in " + path;
    if (const std::vector<std::string> impossible = ImpossibleValues(*parameters); !impossible.empty()) {
        done += " (outside what they can be: ";
        for (std::size_t i = 0; i < impossible.size(); ++i) done += (i == 0 ? "" : ", ") + impossible[i];
        done += "; check the channels' order and gains)";
    }
    WriteResult(job, "room-parameter table", path, table.str(), done);
    return true;
}

std::vector<PlannedOutput> EnergyMapTable(const BatchOptions& options, const std::string&)
{
    if (options.energyMapPath.empty()) return {};
    return {{"energy-map table", options.energyMapPath}};
}
bool WriteEnergyMaps(JobContext& job)
{
    const EnergyMapSet* maps = job.EnergyMaps();
    if (!maps && !job.EnergyMapsWhyNot().empty()) job.Fail(job.file + ": " + job.EnergyMapsWhyNot());
    if (!maps || job.stop.Requested()) return false;
    std::ostringstream table;
    WriteEnergyMapTable(table, *maps);
    const std::string& path = job.options.energyMapPath;
    std::string done = "energy maps in " + path + " (";
    done += maps->estimator == MapEstimator::Beam ? "max-rE beam" : "direction histogram";
    done += maps->bandHz == kBroadband ? ", broadband" : ", " + std::to_string(maps->bandHz) + " Hz band";
    done += "; peaks re the direct sound:";
    for (const EnergyMap& map : maps->maps) {
        done += " " + TimeRangeName(map.range) + " " + FormatArrivalNumber(map.peakDb, 1) + " dB";
        done += &map == &maps->maps.back() ? ")" : ",";
    }
    WriteResult(job, "energy-map table", path, table.str(), done);
    return true;
}

std::vector<PlannedOutput> Picture(const BatchOptions& options, const std::string&)
{
    if (options.pngPath.empty()) return {};
    return {{"picture", options.pngPath}};
}
std::vector<PlannedOutput> Report(const BatchOptions& options, const std::string&)
{
    if (options.reportPath.empty()) return {};
    return {{"report", options.reportPath}};
}

// What the picture and the report show: the run's windows, the arrivals (the
// whole response's whatever band the windows come from: they are found by
// matching the measured broadband pulse, which a band's ringing would only
// blur), with a room model the names of their surfaces, the energy maps of
// the run's band (drawn without them when they cannot be made, saying why),
// how the file was read and, with
// --room-parameters or --report, the room parameters and decay curves.
std::optional<AnalysisResults> PictureResults(JobContext& job)
{
    AnalysisResults results = *job.pictureRun;
    results.irFileName = job.file;
    results.bandHz = job.options.bandsHz.empty() ? 0 : job.options.bandsHz.front();
    const ArrivalFindings* findings = job.Arrivals();
    if (!findings) return std::nullopt;
    results.arrivals = findings->arrivals;
    results.arrivalFloorDb = job.options.arrivals.floorDb;
    results.arrivalDirectionWindowMs = job.options.arrivals.directionWindowMs;
    results.arrivalMaxDiffuseness = job.options.arrivals.maxDiffuseness;
    results.conventionNotice = job.conventionNotice;
    if (job.options.room) {
        if (const SurfaceFindings* surfaces = job.Surfaces())
            results.arrivalSurfaceNames = ArrivalSurfaceNames(*surfaces);
    }
    if (!job.options.roomParametersPath.empty() || !job.options.reportPath.empty()) {
        const auto* parameters = job.RoomParameters();
        if (!parameters) return std::nullopt;
        results.roomParameters = *parameters;
    }
    if (const EnergyMapSet* maps = job.EnergyMaps()) {
        results.energyMaps = *maps;
    } else if (!job.stop.Requested()) {
        job.outcome.err += job.file + ": warning: the picture has no energy maps: " + job.EnergyMapsWhyNot() + "\n";
    }
    return results;
}

std::string EncodeResultsOf(JobContext& job)
{
    const std::optional<AnalysisResults> results = PictureResults(job);
    return results ? EncodeResults(*results) : std::string();
}

// One drawing by the picture program: the summary picture, or the report.
bool Draw(JobContext& job, const std::string& path, bool report)
{
    if (job.outcome.failed || !job.pictureRun) return false;
    // What the job had to say so far is said before any picture work starts.
    std::cout << job.outcome.out;
    std::cerr << job.outcome.err;
    job.outcome.out.clear();
    job.outcome.err.clear();
    if (!job.drawn) job.drawn = EncodeResultsOf(job);
    if (job.drawn->empty() || job.stop.Requested()) return false;
    std::vector<std::string> options = {"--map-range", FormatArrivalNumber(job.options.mapRangeDb, 3)};
    if (!job.options.backgroundPath.empty())
        options.insert(options.end(), {"--background", job.options.backgroundPath});
    if (report) options.push_back("--report");
    if (RunPictureProgram(job.pictureProgram, *job.drawn, options, path, job.file, job.outcome.err)) {
        job.outcome.out += job.file + (report ? ": report " : ": summary picture ") + path + "\n";
        job.written.push_back(path);
    } else {
        job.outcome.failed = true;
    }
    return true;
}
bool DrawPicture(JobContext& job) { return Draw(job, job.options.pngPath, false); }
bool DrawReport(JobContext& job) { return Draw(job, job.options.reportPath, true); }

// The convention check halvane-convert makes: a file in another order or
// gains is analysed as it is read, with a warning that says how to convert
// it. A file that cannot be opened says so in the step that needs it.
void WarnOfConvention(JobContext& job)
{
    if (auto opened = job.disk.Open(job.file)) {
        if (const auto notice = ConventionNotice(**opened, job.file, job.stop)) {
            job.conventionNotice = *notice;
            job.outcome.err += job.file + ": warning: " + *notice + "\n";
        }
    }
}

// Every kind of output in the order written; a new output is one more row.
struct OutputStep {
    std::vector<PlannedOutput> (*outputs)(const BatchOptions&, const std::string& file);
    bool (*write)(JobContext&);
};
constexpr OutputStep kSteps[] = {
    {BroadbandTables, WriteBroadbandTables},
    {BandTables, WriteBandTables},
    {ReflectionList, WriteReflectionList},
    {SurfaceList, WriteSurfaceList},
    {RoomParameterTable, WriteRoomParameters},
    {EnergyMapTable, WriteEnergyMaps},
    {Picture, DrawPicture},
    {Report, DrawReport},
};

}  // namespace

BatchJob::BatchJob(const BatchOptions& options, std::string file) : m_options(options), m_file(std::move(file)) { }

PlannedOutputs BatchJob::Plan() const
{
    PlannedOutputs plan{m_file, {}};
    for (const OutputStep& step : kSteps) {
        const std::vector<PlannedOutput> outputs = step.outputs(m_options, m_file);
        plan.outputs.insert(plan.outputs.end(), outputs.begin(), outputs.end());
    }
    return plan;
}

FileOutcome BatchJob::Run(const std::string& refusal, const std::string& pictureProgram, TableStorage& tables,
                          const Cancellation& stop) const
{
    if (!refusal.empty()) return {true, "", m_file + ": " + refusal + "; nothing was written\n"};
    JobContext job(m_options, m_file, pictureProgram, tables, stop);
    WarnOfConvention(job);
    bool begun = false;
    for (const OutputStep& step : kSteps) {
        if (step.outputs(m_options, m_file).empty()) continue;
        if (begun && stop.Requested()) break;
        begun = true;
        if (!step.write(job)) break;
    }
    if (stop.Requested()) {
        std::string unwritten;
        for (const PlannedOutput& output : Plan().outputs) {
            if (std::find(job.written.begin(), job.written.end(), output.path) != job.written.end()) continue;
            unwritten += (unwritten.empty() ? "" : ", ") + output.path;
        }
        if (!unwritten.empty()) {
            job.outcome.stopped = true;
            job.outcome.err +=
                m_file + ": stopped before " + unwritten + " (not written; the outputs above are complete)\n";
        }
    }
    return job.outcome;
}

}  // namespace halvane
