#include "batch/CompareJob.h"

#include <iostream>
#include <sstream>
#include <string>

#include "analysis/compare/Comparison.h"
#include "batch/PictureProgram.h"
#include "bformat/BFormatSignal.h"
#include "exchange/ResultsExchange.h"
#include "files/InputSource.h"
#include "files/ReplacingFile.h"
#include "report/ArrivalTable.h"
#include "report/ComparisonTables.h"

namespace halvane {
namespace {

struct CompareTable {
    const char* kind;
    std::string BatchOptions::*path;
    void (*write)(std::ostream&, const Comparison&);
    std::string (*done)(const Comparison&);
};

std::string MapsDone(const Comparison& c) { return "map differences of " + std::to_string(c.maps.size()) + " ranges"; }

std::string RoomDone(const Comparison& c)
{
    std::string beyond;
    std::size_t count = 0;
    for (const ParameterDifference& p : c.parameters) {
        if (!p.beyondJnd) continue;
        if (++count <= 5)
            beyond +=
                (beyond.empty() ? "" : ", ") + p.parameter + (p.band == "all" ? " (all)" : " (" + p.band + " Hz)");
    }
    if (count == 0) return "room parameters of both, none beyond its just noticeable difference";
    return "room parameters of both, " + std::to_string(count) + " beyond the just noticeable difference: " + beyond +
           (count > 5 ? ", ..." : "");
}

std::string ArrivalsDone(const Comparison& c)
{
    std::size_t both = 0, onlyA = 0, onlyB = 0;
    for (const ArrivalPair& p : c.arrivals) {
        both += p.match == ArrivalMatch::Both ? 1 : 0;
        onlyA += p.match == ArrivalMatch::OnlyA ? 1 : 0;
        onlyB += p.match == ArrivalMatch::OnlyB ? 1 : 0;
    }
    return "arrivals: " + std::to_string(both) + " in both, " + std::to_string(onlyA) + " only in A, " +
           std::to_string(onlyB) + " only in B";
}

const CompareTable kTables[] = {
    {"map-difference table", &BatchOptions::compareMapsPath,
     [](std::ostream& out, const Comparison& c) { WriteMapDifferenceTable(out, c.maps); }, MapsDone},
    {"room-parameter comparison", &BatchOptions::compareRoomPath,
     [](std::ostream& out, const Comparison& c) { WriteParameterComparisonTable(out, c.parameters); }, RoomDone},
    {"arrival comparison", &BatchOptions::compareArrivalsPath,
     [](std::ostream& out, const Comparison& c) { WriteArrivalComparisonTable(out, c.arrivals); }, ArrivalsDone},
};

// One response, read whole; nullopt after saying why in outcome.
std::optional<BFormatSignal> Read(DiskInput& disk, const std::string& file, const Cancellation& stop,
                                  FileOutcome& outcome)
{
    auto opened = disk.Open(file);
    if (!opened) {
        outcome.failed = true;
        outcome.err += file + ": Sorry, the file " + file + " cannot be opened: " + opened.Message() + "!\n";
        return std::nullopt;
    }
    auto signal = ReadBFormatSignal(**opened, SignalChannels::All, stop);
    if (!signal) {
        outcome.failed = true;
        outcome.err += file + ": " + signal.Message() + "\n";
        return std::nullopt;
    }
    return std::move(*signal);
}

// The drawings, after the tables: the picture, then the report.
struct CompareDrawing {
    const char* kind;
    std::string BatchOptions::*path;
    bool report;
};
const CompareDrawing kDrawings[] = {
    {"comparison picture", &BatchOptions::pngPath, false},
    {"comparison report", &BatchOptions::reportPath, true},
};

void Draw(const BatchOptions& options, const Comparison& compared, const std::string& pictureProgram,
          const std::string& what, FileOutcome& outcome, const Cancellation& stop)
{
    AnalysisResults results;
    results.irFileName = options.comparePaths[0];
    results.comparedFileName = options.comparePaths[1];
    results.comparison = compared;
    std::string encoded;
    for (const CompareDrawing& drawing : kDrawings) {
        const std::string& path = options.*drawing.path;
        if (path.empty() || stop.Requested()) continue;
        if (encoded.empty()) encoded = EncodeResults(results);
        // What the comparison had to say so far is said before the drawing starts.
        std::cout << outcome.out;
        std::cerr << outcome.err;
        outcome.out.clear();
        outcome.err.clear();
        const std::vector<std::string> flags =
            drawing.report ? std::vector<std::string>{"--report"} : std::vector<std::string>{};
        if (RunPictureProgram(pictureProgram, encoded, flags, path, what, outcome.err)) {
            outcome.out += what + ": " + drawing.kind + " " + path + "\n";
        } else {
            outcome.failed = true;
        }
    }
}

}  // namespace

CompareJob::CompareJob(const BatchOptions& options) : m_options(options) { }

std::vector<PlannedOutputs> CompareJob::Plan() const
{
    PlannedOutputs a{m_options.comparePaths[0], {}};
    for (const CompareTable& table : kTables) {
        if (!(m_options.*table.path).empty()) a.outputs.push_back({table.kind, m_options.*table.path});
    }
    for (const CompareDrawing& drawing : kDrawings) {
        if (!(m_options.*drawing.path).empty()) a.outputs.push_back({drawing.kind, m_options.*drawing.path});
    }
    return {a, {m_options.comparePaths[1], {}}};
}

FileOutcome CompareJob::Run(const std::string& refusal, const std::string& pictureProgram,
                            const Cancellation& stop) const
{
    const std::string what = m_options.comparePaths[0] + " and " + m_options.comparePaths[1];
    if (!refusal.empty()) return {true, "", what + ": " + refusal + "; nothing was written\n"};
    FileOutcome outcome;
    DiskInput disk;
    const auto a = Read(disk, m_options.comparePaths[0], stop, outcome);
    const auto b = a ? Read(disk, m_options.comparePaths[1], stop, outcome) : std::nullopt;
    if (!a || !b) return outcome;
    ComparisonOptions options;
    options.turn = m_options.rotate;
    options.calibrated = m_options.calibrated;
    options.arrivals = m_options.arrivals;
    const Result<Comparison> compared = CompareResponses(*a, *b, options, stop);
    if (!compared) {
        outcome.failed = true;
        outcome.err += what + ": cannot be compared: " + compared.Message() + "\n";
        return outcome;
    }
    std::ostringstream aligned;
    aligned << what << ": B aligned to A (its direct sound came " << FormatArrivalNumber(compared->lagMs, 3)
            << " ms later)";
    if (compared->rotationDeg)
        aligned << ", turned by " << FormatArrivalNumber(*compared->rotationDeg, 2) << " degrees";
    aligned << (compared->calibrated ? "; levels as measured\n" : "; levels each re its own direct sound\n");
    outcome.out += aligned.str();
    for (const CompareTable& table : kTables) {
        const std::string& path = m_options.*table.path;
        if (path.empty() || stop.Requested()) continue;
        std::ostringstream text;
        table.write(text, *compared);
        if (const auto written = WriteReplacing(path, text.str()); !written) {
            outcome.failed = true;
            outcome.err +=
                what + ": the " + table.kind + " " + path + " cannot be written: " + written.Message() + "\n";
            continue;
        }
        outcome.out += what + ": " + table.done(*compared) + " in " + path + "\n";
    }
    Draw(m_options, *compared, pictureProgram, what, outcome, stop);
    return outcome;
}

}  // namespace halvane
