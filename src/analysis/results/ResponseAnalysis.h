#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "analysis/SharedState.h"
#include "analysis/arrivals/Arrivals.h"
#include "analysis/results/ResponseMaps.h"
#include "bformat/BFormatSignal.h"
#include "files/InputSource.h"
#include "values/AnalysisResults.h"
#include "values/Cancellation.h"
#include "values/Result.h"

namespace halvane {

// Everything the results window shows of one impulse response, analysed in
// one go (off the window's thread): the window's run made as halvane-batch
// makes it for its picture, the arrival list, the room parameters per band
// and the whole signal, which the energy maps of any time range are computed
// from afterwards. Each analysis is the one halvane-batch runs with the same
// settings, so that what the window exports is what the batch command writes.

// How the response is analysed: the run's three answers as typed (what
// halvane-batch takes as --skip, --display and --window) and the arrival
// options (--floor, --direction-window, --max-diffuseness).
struct ResultsSettings {
    std::string skipMs = "0";
    std::string displayMs = "1000";
    std::string windowMs = "5";
    ArrivalOptions arrivals;
};

// The run's parameters of the main window as answers: the last run's values
// (state's SkipMs, DisplayWindowMs, AveragingWindowMs, each in the shortest
// form that reads back as the same number), or the defaults of a window that
// has not run yet (0, 1000 and 5). The arrival options are the defaults.
ResultsSettings SettingsOfRun(const SharedState& state);

// The steps of the analysis in their order.
enum class ResultsStep {
    Opening,         // the file opened, its convention judged
    Windows,         // the window's run: its intensity pass, then its direction pass
    Arrivals,        // the arrival list
    RoomParameters,  // the whole signal read, then the room parameters band by band
    Finished,
};

// How far an analysis has come: written by the thread that analyses, read by
// any other at any time (each value is one lock-free atomic).
class ResultsProgress {
public:
    // The step begun, its share done 0.
    void Begin(ResultsStep step);
    // The share of the current step done, 0..1 (clamped; not-a-number is 0).
    void SetShare(double share);

    ResultsStep Step() const { return static_cast<ResultsStep>(m_step.load(std::memory_order_relaxed)); }
    // The whole analysis' progress, 0..100: each step weighs its usual share
    // of the time (opening 5, run 30, arrivals 30, room parameters 35).
    int Percent() const;

private:
    std::atomic<int> m_step{static_cast<int>(ResultsStep::Opening)};
    std::atomic<int> m_shareThousandths{0};
};

// The step's name for a person, "finding the arrivals".
std::string ResultsStepWords(ResultsStep step);

struct ResponseResults {
    // As halvane-batch hands them to its picture with --png and
    // --room-parameters: the input's name, the run's parameters and windows,
    // the arrivals with the options they were found with, the room
    // parameters (125 ... 4000 Hz and "all"), and the convention check's
    // sentence when the file may not be AmbiX/SN3D.
    AnalysisResults results;
    // The arrival list with what its reader should know.
    ArrivalFindings findings;
    // Every channel of the response, for the energy maps.
    std::shared_ptr<const BFormatSignal> signal;
    // The energy maps of the response, any range, estimator and band; the
    // direct sound's broadband map by the beam (MapRequest{}) is computed
    // with the rest of the analysis.
    std::shared_ptr<ResponseMaps> maps;
    // What the person should know about the file, one sentence each: the
    // convention it seems to be in, samples that are not finite, the
    // arrival list's remarks (ArrivalRemarks).
    std::vector<std::string> notes;
};

// Analyses the file at path, opened through input. Fails, in the words
// halvane-batch uses, when the file cannot be opened, is no B-format file
// the reader takes, or the run refuses it or its settings; with
// kCancelledMessage once stop is requested (polled between the steps and
// inside each, so that the analysis ends within some tens of milliseconds).
// progress follows the steps. Writes nothing: the run's tables go nowhere.
Result<ResponseResults> AnalyseResponse(const std::string& path, InputSource& input, const ResultsSettings& settings,
                                        ResultsProgress& progress, const Cancellation& stop = Cancellation::Never());

}  // namespace halvane
