// halvane-batch: the analysis of the window, for many files at once.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "analysis/RunAnalysis.h"
#include "analysis/ScriptedDialogue.h"
#include "analysis/arrivals/Arrivals.h"
#include "analysis/convention/InputConvention.h"
#include "analysis/room/BandFiltered.h"
#include "analysis/room/RoomParameters.h"
#include "batch/BatchOptions.h"
#include "batch/OutputPlan.h"
#include "bformat/BFormatSignal.h"
#include "bformat/ConverterAdvice.h"
#include "files/ReplacingFile.h"
#include "report/ArrivalTable.h"
#include "report/RoomParameterTable.h"
#include "report/TablePaths.h"

extern char** environ;

namespace {

using namespace halvane;

// The signal that asked the command to stop (SIGINT, SIGTERM, SIGHUP), 0
// while none has.
std::atomic<int> g_stopSignal{0};
static_assert(std::atomic<int>::is_always_lock_free, "set from a signal handler");

void AskToStop(int signal) { g_stopSignal = signal; }

// A first interrupt lets the files under way finish, their messages be
// printed and the spare table files be removed; the command then ends by
// the same signal. A second one ends it at once.
void CatchStopSignals()
{
    struct sigaction action { };
    action.sa_handler = AskToStop;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
}

// What one input's run has to say, kept until every earlier input's has been said.
struct FileOutcome {
    bool failed = false;
    std::string out;  // for standard output
    std::string err;  // for standard error
};

// The program that draws the summary picture lies beside this one; it is a
// separate program so that a run without --png never loads the toolkit.
std::string PictureProgram()
{
    std::error_code error;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) return {};
    const auto program = self.parent_path() / "halvane-picture";
    return std::filesystem::exists(program, error) ? program.string() : std::string();
}

// Runs the picture program for one analysed file; its own messages go to
// standard error. False when it could not run or failed.
bool DrawPicture(const std::string& program, const BatchOptions& options, const std::string& file, std::string& err)
{
    std::vector<std::string> args = {program,           "--skip",   options.skipMs,  "--display",
                                     options.displayMs, "--window", options.windowMs};
    if (!options.backgroundPath.empty()) args.insert(args.end(), {"--background", options.backgroundPath});
    if (!options.bandsHz.empty()) args.insert(args.end(), {"--band", std::to_string(options.bandsHz.front())});
    if (!options.roomParametersPath.empty()) args.push_back("--room-parameters");
    std::ostringstream arrivalOptions;
    arrivalOptions.precision(17);
    auto number = [&arrivalOptions](double v) {
        arrivalOptions.str("");
        arrivalOptions << v;
        return arrivalOptions.str();
    };
    args.insert(args.end(), {"--floor", number(options.floorDb), "--direction-window",
                             number(options.directionWindowMs), "--max-diffuseness", number(options.maxDiffuseness)});
    args.insert(args.end(), {"--", file, options.pngPath});
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::cout.flush();
    std::cerr.flush();
    pid_t child = 0;
    if (posix_spawn(&child, program.c_str(), nullptr, nullptr, argv.data(), environ) != 0) {
        err += file + ": the picture program " + program + " cannot be started\n";
        return false;
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) { }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// A refusal of file (said as what: the file, or one of its bands), with the
// halvane-convert command under it when the converter can lift it.
void Refuse(const std::string& what, const std::string& file, const std::string& message, FileOutcome& outcome)
{
    outcome.failed = true;
    outcome.err += what + ": " + message + "\n";
    // Said once per file, not again for each of its bands.
    if (const std::string advice = ConverterAdvice(message, file);
        !advice.empty() && outcome.err.find(advice) == std::string::npos)
        outcome.err += what + ": " + advice + "\n";
}

// One run of the tables' analysis: of the file itself, or of one band of it.
void RunTables(const BatchOptions& options, const std::string& file, int bandHz, InputSource& input,
               TableStorage& tables, FileOutcome& outcome)
{
    SharedState state;
    state.IrFileName = bandHz == 0 ? file : BandFileName(file, bandHz);
    // The pause is answered with 0: a batch run never waits.
    ScriptedDialogue dialogue({options.skipMs, options.displayMs, options.windowMs, "0"});
    const RunReport report = RunAnalysis(state, dialogue, input, tables);
    const std::string what = bandHz == 0 ? file : file + " (" + std::to_string(bandHz) + " Hz band)";
    if (report.outcome == RunOutcome::Rejected) {
        Refuse(what, file, report.message, outcome);
        return;
    }
    std::ostringstream out;
    out << what << ": " << report.intensityRows << " windows analysed (" << report.directionWindows << " displayed), "
        << report.referenceRows << " reference rows; tables " << report.intensityTablePath << " and "
        << report.referenceTablePath << "\n";
    outcome.out += out.str();
}

// Writes one list or table made from the file's signal; false after saying why.
bool WriteResult(const std::string& file, const std::string& what, const std::string& path, const std::string& text,
                 FileOutcome& outcome)
{
    if (const auto written = WriteReplacing(path, text); !written) {
        outcome.failed = true;
        outcome.err += file + ": the " + what + " " + path + " cannot be written: " + written.Message() + "\n";
        return false;
    }
    return true;
}

FileOutcome AnalyseFile(const BatchOptions& options, const std::string& file, const std::string& refusal,
                        const std::string& pictureProgram, TableStorage& tables)
{
    FileOutcome outcome;
    if (!refusal.empty()) {
        outcome.failed = true;
        outcome.err = file + ": " + refusal + "; nothing was written\n";
        return outcome;
    }
    DiskInput disk;
    // The convention check halvane-convert makes: a file in another order or
    // gains is analysed as it is read, with a warning that says how to convert it.
    if (auto opened = disk.Open(file)) {
        if (const auto notice = ConventionNotice(**opened, file)) outcome.err += file + ": warning: " + *notice + "\n";
    }
    if (options.bandsHz.empty()) {
        RunTables(options, file, 0, disk, tables, outcome);
        if (outcome.failed) return outcome;
    }
    const bool needsSignal =
        !options.bandsHz.empty() || !options.reflectionsPath.empty() || !options.roomParametersPath.empty();
    if (needsSignal) {
        auto opened = disk.Open(file);
        if (!opened) {
            outcome.failed = true;
            outcome.err += file + ": Sorry, the file " + file + " cannot be opened: " + opened.Message() + "!\n";
            return outcome;
        }
        const std::span<const std::byte> bytes = (*opened)->Bytes();
        for (const int bandHz : options.bandsHz) {
            auto image = BandFilteredImage(**opened, bandHz);
            if (!image) {
                Refuse(file + " (" + std::to_string(bandHz) + " Hz band)", file, image.Message(), outcome);
                continue;
            }
            // Served under the band's own name, so that its run writes the band's tables.
            NamedBytesInput band(BandFileName(file, bandHz), *image);
            RunTables(options, file, bandHz, band, tables, outcome);
        }
        if (!options.reflectionsPath.empty() || !options.roomParametersPath.empty()) {
            const auto signal = ReadBFormatSignal(bytes);
            if (!signal) {
                Refuse(file, file, signal.Message(), outcome);
                return outcome;
            }
            if (!options.reflectionsPath.empty()) {
                ArrivalOptions arrivalOptions;
                arrivalOptions.floorDb = options.floorDb;
                arrivalOptions.directionWindowMs = options.directionWindowMs;
                arrivalOptions.maxDiffuseness = options.maxDiffuseness;
                const std::vector<Arrival> arrivals = FindArrivals(*signal, arrivalOptions);
                std::ostringstream list;
                WriteArrivalTable(list, arrivals, SpeedOfSoundMPerS(options.temperatureC), options.directDistanceM);
                if (WriteResult(file, "reflection list", options.reflectionsPath, list.str(), outcome)) {
                    outcome.out += file + ": " + std::to_string(arrivals.size()) + " arrivals listed in " +
                                   options.reflectionsPath + "\n";
                }
            }
            if (!options.roomParametersPath.empty()) {
                std::ostringstream table;
                WriteRoomParameterTable(table, ComputeRoomParameters(*signal));
                if (WriteResult(file, "room-parameter table", options.roomParametersPath, table.str(), outcome)) {
                    outcome.out += file + ": room parameters in " + options.roomParametersPath + "\n";
                }
            }
        }
    }
    if (!options.pngPath.empty() && !outcome.failed) {
        // The tables are written before any picture work starts: a picture
        // that fails cannot cost them.
        std::cout << outcome.out;
        std::cerr << outcome.err;
        outcome.out.clear();
        outcome.err.clear();
        if (DrawPicture(pictureProgram, options, file, outcome.err)) {
            outcome.out = file + ": summary picture " + options.pngPath + "\n";
        } else {
            outcome.failed = true;
        }
    }
    return outcome;
}

// A one-line counter of the files done on a terminal's standard error,
// redrawn at most ten times a second and removed at the end.
class ProgressLine {
public:
    ProgressLine(std::size_t total, bool shown)
        : m_total(total), m_shown(shown), m_start(std::chrono::steady_clock::now())
    {
    }
    void Update(std::size_t done)
    {
        if (!m_shown) return;
        const auto now = std::chrono::steady_clock::now();
        if (done < m_total && now - m_last < std::chrono::milliseconds(100)) return;
        m_last = now;
        const double seconds = std::chrono::duration<double>(now - m_start).count();
        char line[96];
        std::snprintf(line, sizeof line, "\r%zu of %zu files, %.0f files/s\033[K", done, m_total,
                      seconds > 0 ? static_cast<double>(done) / seconds : 0.0);
        std::cerr << line << std::flush;
        m_visible = true;
    }
    void Clear()
    {
        if (!m_visible) return;
        std::cerr << "\r\033[K" << std::flush;
        m_visible = false;
    }

private:
    std::size_t m_total;
    bool m_shown;
    bool m_visible = false;
    std::chrono::steady_clock::time_point m_start;
    std::chrono::steady_clock::time_point m_last{};
};

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
        return std::cout.flush() ? 0 : 1;
    }
    if (options.version) {
        std::cout << "halvane-batch " << HALVANE_VERSION << "\n";
        return std::cout.flush() ? 0 : 1;
    }
    const std::string pictureProgram = options.pngPath.empty() ? std::string() : PictureProgram();
    if (!options.pngPath.empty() && pictureProgram.empty()) {
        std::cerr << "halvane-batch: this installation has no picture program (halvane-picture beside "
                     "halvane-batch), so it cannot draw pictures (--png)\n";
        return 2;
    }

    // Every output of every input is planned before anything is written.
    std::vector<PlannedOutputs> plan;
    for (const std::string& file : options.files) {
        PlannedOutputs p{file, {}, {}};
        if (options.bandsHz.empty()) {
            p.outputs = {IntensityTableName(file), ReferenceTableName(file)};
            p.kinds = {"table", "table"};
        }
        for (const int bandHz : options.bandsHz) {
            const std::string band = BandFileName(file, bandHz);
            p.outputs.insert(p.outputs.end(), {IntensityTableName(band), ReferenceTableName(band)});
            p.kinds.insert(p.kinds.end(), {"table", "table"});
        }
        if (!options.roomParametersPath.empty()) {
            p.outputs.push_back(options.roomParametersPath);
            p.kinds.push_back("room-parameter table");
        }
        if (!options.reflectionsPath.empty()) {
            p.outputs.push_back(options.reflectionsPath);
            p.kinds.push_back("reflection list");
        }
        if (!options.pngPath.empty()) {
            p.outputs.push_back(options.pngPath);
            p.kinds.push_back("picture");
        }
        plan.push_back(std::move(p));
    }
    const std::vector<std::string> refusals = CheckOutputPlan(plan);

    // The files are analysed side by side; what each has to say is said in
    // the order of the command line.
    const std::size_t count = options.files.size();
    std::vector<FileOutcome> outcomes(count);
    std::vector<char> done(count, 0);
    std::mutex mutex;
    std::condition_variable finished;
    std::atomic<std::size_t> next{0};
    const std::size_t workers = std::min<std::size_t>(options.jobs, count);
    std::size_t working = workers;
    CatchStopSignals();
    auto work = [&] {
        // One storage per worker: the files its tables replace are reused
        // for its next tables.
        {
            DiskTables tables;
            while (g_stopSignal == 0) {
                const std::size_t i = next++;
                if (i >= count) break;
                FileOutcome outcome = AnalyseFile(options, options.files[i], refusals[i], pictureProgram, tables);
                const std::lock_guard lock(mutex);
                outcomes[i] = std::move(outcome);
                done[i] = 1;
                finished.notify_all();
            }
        }
        const std::lock_guard lock(mutex);
        --working;
        finished.notify_all();
    };
    std::vector<std::thread> threads;
    for (std::size_t w = 1; w < workers; ++w) threads.emplace_back(work);

    ProgressLine progress(count, count >= 20 && isatty(STDERR_FILENO) != 0);
    int status = 0;
    std::size_t said = 0;
    std::thread own(work);
    for (; said < count; ++said) {
        std::unique_lock lock(mutex);
        // Every worker gone with this file not done: the command was stopped.
        finished.wait(lock, [&] { return done[said] != 0 || working == 0; });
        if (done[said] == 0) break;
        FileOutcome outcome = std::move(outcomes[said]);
        lock.unlock();
        progress.Clear();
        std::cout << outcome.out << std::flush;
        std::cerr << outcome.err << std::flush;
        if (outcome.failed) status = 1;
        progress.Update(said + 1);
    }
    own.join();
    for (std::thread& t : threads) t.join();
    progress.Clear();
    if (const int signal = g_stopSignal; signal != 0) {
        std::cerr << "halvane-batch: stopped; " << said << " of " << count << " files were analysed\n" << std::flush;
        std::fflush(stdout);
        std::signal(signal, SIG_DFL);
        std::raise(signal);
        return 128 + signal;
    }

    // A result nobody could read is no success.
    if (!std::cout.flush() || std::fflush(stdout) != 0) {
        std::cerr << "halvane-batch: the messages cannot be written to standard output\n";
        return 1;
    }
    return status;
}
