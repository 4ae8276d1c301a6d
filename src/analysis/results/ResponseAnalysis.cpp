#include "analysis/results/ResponseAnalysis.h"

#include <algorithm>
#include <cmath>
#include <ostream>
#include <streambuf>

#include "analysis/RunAnalysis.h"
#include "analysis/RunSummary.h"
#include "analysis/ScriptedDialogue.h"
#include "analysis/arrivals/ArrivalRemarks.h"
#include "analysis/convention/InputConvention.h"
#include "analysis/room/RoomParameters.h"
#include "bformat/BFormatFrames.h"
#include "bformat/ConverterAdvice.h"
#include "report/NumberFormat.h"

namespace halvane {
namespace {

// The run's tables, written nowhere: the main window's own run writes them.
class DiscardingTables final : public TableStorage {
public:
    std::unique_ptr<std::ostream> CreateTable(const std::string&) override
    {
        return std::make_unique<std::ostream>(&m_nowhere);
    }
    bool SameFile(const std::string&, const std::string&) override { return false; }

private:
    // Takes every character and keeps none.
    class Nowhere final : public std::streambuf {
    protected:
        int_type overflow(int_type c) override { return traits_type::not_eof(c); }
        std::streamsize xsputn(const char_type*, std::streamsize count) override { return count; }
    };
    Nowhere m_nowhere;
};

// The run's progress bar as the step's share: the intensity pass the first
// half, the direction pass (after the strip's grid) the second.
class ProgressOfRun final : public RunDisplay {
public:
    explicit ProgressOfRun(ResultsProgress& progress) : m_progress(progress) { }
    void SetProgress(float percent) override
    {
        m_progress.SetShare((m_directionPass ? 0.5 : 0.0) + static_cast<double>(percent) / 200.0);
    }
    void DrawStripGrid(double, double) override { m_directionPass = true; }

private:
    ResultsProgress& m_progress;
    bool m_directionPass = false;
};

constexpr int kStepWeights[] = {5, 30, 30, 35, 0};

// A refusal of the file with the halvane-convert command under it when the
// converter can lift it, as halvane-batch says it.
Failure Refusal(const std::string& message, const std::string& path)
{
    const std::string advice = ConverterAdvice(message, path);
    return Failure{advice.empty() ? message : message + "\n" + advice};
}

Failure Cancelled() { return Failure{kCancelledMessage}; }

std::string NonFiniteNote(std::int64_t samples)
{
    return std::to_string(samples) + (samples == 1 ? " sample is" : " samples are") +
           " not finite (NaN or infinite) and counted as 0 in the arrivals and room parameters.";
}

// The window's run as halvane-batch makes it for its picture.
Result<AnalysisResults> RunWindows(const std::string& path, InputSource& input, const ResultsSettings& settings,
                                   ResultsProgress& progress, const Cancellation& stop)
{
    SharedState state;
    state.IrFileName = path;
    // The pause is answered with 0: the windows follow one another at once.
    ScriptedDialogue dialogue({settings.skipMs, settings.displayMs, settings.windowMs, "0"}, stop);
    DiscardingTables tables;
    ProgressOfRun display(progress);
    RunSummary summary;
    const RunReport report = RunAnalysis(state, dialogue, input, tables, display, summary);
    if (stop.Requested() || report.outcome == RunOutcome::Closed) return Cancelled();
    if (report.outcome == RunOutcome::Rejected) return Refusal(report.message, path);
    AnalysisResults results = ResultsOfRun(state, summary);
    results.irFileName = path;
    results.bandHz = kBroadband;
    return results;
}

}  // namespace

ResultsSettings SettingsOfRun(const SharedState& state)
{
    ResultsSettings settings;
    settings.skipMs = FormatPromptDefault(state.SkipMs);
    if (state.DisplayWindowMs != 0) settings.displayMs = FormatPromptDefault(state.DisplayWindowMs);
    if (state.AveragingWindowMs != 0) settings.windowMs = FormatPromptDefault(state.AveragingWindowMs);
    return settings;
}

void ResultsProgress::Begin(ResultsStep step)
{
    m_shareThousandths.store(0, std::memory_order_relaxed);
    m_step.store(static_cast<int>(step), std::memory_order_relaxed);
}

void ResultsProgress::SetShare(double share)
{
    const double clamped = std::isnan(share) ? 0.0 : std::clamp(share, 0.0, 1.0);
    m_shareThousandths.store(static_cast<int>(std::nearbyint(clamped * 1000.0)), std::memory_order_relaxed);
}

int ResultsProgress::Percent() const
{
    const int step = m_step.load(std::memory_order_relaxed);
    int done = 0;
    for (int i = 0; i < step; ++i) done += kStepWeights[i];
    const int share = m_shareThousandths.load(std::memory_order_relaxed);
    return std::min(100, done + (kStepWeights[step] * share + 500) / 1000);
}

std::string ResultsStepWords(ResultsStep step)
{
    switch (step) {
    case ResultsStep::Opening:
        return "opening the file";
    case ResultsStep::Windows:
        return "analysing its windows";
    case ResultsStep::Arrivals:
        return "finding the arrivals";
    case ResultsStep::RoomParameters:
        return "computing the room parameters";
    case ResultsStep::Finished:
        break;
    }
    return "finished";
}

Result<ResponseResults> AnalyseResponse(const std::string& path, InputSource& input, const ResultsSettings& settings,
                                        ResultsProgress& progress, const Cancellation& stop)
{
    ResponseResults response;
    progress.Begin(ResultsStep::Opening);
    auto opened = input.Open(path);
    if (!opened) return Failure{"Sorry, the file " + path + " cannot be opened: " + opened.Message() + "!"};
    const InputImage& image = **opened;
    std::string conventionNotice;
    if (const auto notice = ConventionNotice(image, path, stop)) {
        conventionNotice = *notice;
        response.notes.push_back("This file may not be AmbiX/SN3D: " + *notice + ".");
    }
    if (stop.Requested()) return Cancelled();

    progress.Begin(ResultsStep::Windows);
    Result<AnalysisResults> run = RunWindows(path, input, settings, progress, stop);
    if (!run) return Failure{run.Message()};
    response.results = std::move(*run);
    // How the file was read, as the batch's picture says it.
    response.results.conventionNotice = conventionNotice;

    progress.Begin(ResultsStep::Arrivals);
    auto frames = BFormatFrames::Open(image.Bytes());
    if (!frames) return Refusal(frames.Message(), path);
    response.findings = AnalyseArrivals(*frames, settings.arrivals, stop);
    if (response.findings.stopped || stop.Requested()) return Cancelled();
    response.results.arrivals = response.findings.arrivals;
    response.results.arrivalFloorDb = settings.arrivals.floorDb;
    response.results.arrivalDirectionWindowMs = settings.arrivals.directionWindowMs;
    response.results.arrivalMaxDiffuseness = settings.arrivals.maxDiffuseness;

    progress.Begin(ResultsStep::RoomParameters);
    auto signal = ReadBFormatSignal(image, SignalChannels::All, stop);
    if (stop.Requested()) return Cancelled();
    if (!signal) return Refusal(signal.Message(), path);
    if (signal->NonFiniteSamples > 0) response.notes.push_back(NonFiniteNote(signal->NonFiniteSamples));
    progress.SetShare(0.2);
    response.results.roomParameters = ComputeRoomParameters(*signal, stop);
    if (stop.Requested()) return Cancelled();
    if (const std::vector<std::string> impossible = ImpossibleValues(response.results.roomParameters);
        !impossible.empty()) {
        std::string note = "Some room parameters lie outside what they can be (";
        for (std::size_t i = 0; i < impossible.size(); ++i) note += (i == 0 ? "" : ", ") + impossible[i];
        response.notes.push_back(note + "): check the channels' order and gains.");
    }
    for (const std::string& remark : ArrivalRemarks(response.findings)) {
        response.notes.push_back("The arrival list: " + remark + ".");
    }
    response.signal = std::make_shared<const BFormatSignal>(std::move(*signal));
    response.maps = std::make_shared<ResponseMaps>(response.signal, response.results.roomParameters);
    // Its failure (a direct sound with no energy) is the map's to say when it is shown.
    static_cast<void>(response.maps->Compute(MapRequest{}));
    progress.Begin(ResultsStep::Finished);
    return response;
}

}  // namespace halvane
