// halvane-batch: the analysis of the window, for many files at once. The
// command line and the pool of workers; what one input writes is its
// BatchJob's.
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "batch/BatchJob.h"
#include "batch/BatchOptions.h"
#include "batch/CompareJob.h"
#include "batch/OutputPlan.h"
#include "batch/PictureProgram.h"
#include "batch/ProgressLine.h"

namespace {

using namespace halvane;

// The stop a signal asks for (SIGINT, SIGTERM, SIGHUP), its reason the
// signal's number.
Cancellation g_stop;

void AskToStop(int signal)
{
    g_stop.Request(signal);
    StopPictureProgram();
}

// A first interrupt stops the analyses under way between their blocks (well
// within a second), keeps the outputs finished so far, drops the one under
// way, ends the picture program, prints what was done and removes the spare
// table files; the command then ends by the same signal. A second one ends
// it at once (the picture program with it).
void CatchStopSignals()
{
    struct sigaction action { };
    action.sa_handler = AskToStop;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
}

// The answer to a command line that asks for no analysis (usage errors,
// --help, --version, --png without a picture program), as an exit status;
// nothing when the files are to be analysed.
std::optional<int> AnswerWithoutAnalysis(const Result<BatchOptions>& parsed, const std::string& pictureProgram)
{
    if (!parsed) {
        std::cerr << "halvane-batch: " << parsed.Message() << "\n\n" << kBatchUsage;
        return 2;
    }
    if (parsed->help) {
        std::cout << kBatchUsage;
        return std::cout.flush() ? 0 : 1;
    }
    if (parsed->version) {
        std::cout << "halvane-batch " << HALVANE_VERSION << "\n";
        return std::cout.flush() ? 0 : 1;
    }
    if ((!parsed->pngPath.empty() || !parsed->reportPath.empty()) && pictureProgram.empty()) {
        std::cerr << "halvane-batch: this installation has no picture program (halvane-picture beside "
                     "halvane-batch), so it cannot draw pictures (--png) or reports (--report)\n";
        return 2;
    }
    return std::nullopt;
}

// The jobs of the command line's inputs side by side, on options.jobs
// workers; what each has to say is said in the order of the command line,
// as soon as every earlier input's has been. Returns how many were said and
// whether any failed. Stops taking new inputs once a stop signal came.
class WorkerPool {
public:
    WorkerPool(const BatchOptions& options, const std::vector<std::string>& refusals, const std::string& picture)
        : m_options(options), m_refusals(refusals), m_picture(picture), m_count(options.files.size()),
          m_outcomes(m_count), m_done(m_count, 0)
    {
    }

    struct Summary {
        std::size_t said = 0;
        std::size_t stopped = 0;  // of those said, the ones a stop cut short
        bool failed = false;
    };

    Summary Run()
    {
        const std::size_t workers = std::min<std::size_t>(m_options.jobs, m_count);
        m_working = workers;
        std::vector<std::thread> threads;
        for (std::size_t w = 1; w < workers; ++w) threads.emplace_back([this] { Work(); });
        std::thread own([this] { Work(); });
        const Summary summary = SayInOrder();
        own.join();
        for (std::thread& t : threads) t.join();
        return summary;
    }

private:
    void Work()
    {
        // One storage per worker: the files its tables replace are reused
        // for its next tables.
        {
            DiskTables tables;
            while (!g_stop.Requested()) {
                const std::size_t i = m_next++;
                if (i >= m_count) break;
                FileOutcome outcome =
                    BatchJob(m_options, m_options.files[i]).Run(m_refusals[i], m_picture, tables, g_stop);
                const std::lock_guard lock(m_mutex);
                m_outcomes[i] = std::move(outcome);
                m_done[i] = 1;
                m_finished.notify_all();
            }
        }
        const std::lock_guard lock(m_mutex);
        --m_working;
        m_finished.notify_all();
    }

    Summary SayInOrder()
    {
        ProgressLine progress(m_count, m_count >= 20 && isatty(STDERR_FILENO) != 0);
        Summary summary;
        for (; summary.said < m_count; ++summary.said) {
            std::unique_lock lock(m_mutex);
            // Every worker gone with this file not done: the command was stopped.
            m_finished.wait(lock, [&] { return m_done[summary.said] != 0 || m_working == 0; });
            if (m_done[summary.said] == 0) break;
            FileOutcome outcome = std::move(m_outcomes[summary.said]);
            lock.unlock();
            progress.Clear();
            std::cout << outcome.out << std::flush;
            std::cerr << outcome.err << std::flush;
            if (outcome.failed) summary.failed = true;
            if (outcome.stopped) ++summary.stopped;
            progress.Update(summary.said + 1);
        }
        progress.Clear();
        return summary;
    }

    const BatchOptions& m_options;
    const std::vector<std::string>& m_refusals;
    const std::string& m_picture;
    const std::size_t m_count;
    std::vector<FileOutcome> m_outcomes;
    std::vector<char> m_done;
    std::mutex m_mutex;
    std::condition_variable m_finished;
    std::atomic<std::size_t> m_next{0};
    std::size_t m_working = 0;
};

// Ends the command by the signal that stopped it, once its messages are out.
int EndByStopSignal(int signal)
{
    std::fflush(stdout);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
    return 128 + signal;
}

// --compare A B: one comparison, its tables checked before either file is read.
int RunComparison(const BatchOptions& options, const std::string& pictureProgram)
{
    const CompareJob job(options);
    std::string refusal;
    for (const std::string& said : CheckOutputPlan(job.Plan())) {
        if (refusal.empty()) refusal = said;
    }
    CatchStopSignals();
    const FileOutcome outcome = job.Run(refusal, pictureProgram, g_stop);
    std::cout << outcome.out << std::flush;
    std::cerr << outcome.err << std::flush;
    if (const int signal = g_stop.Reason(); signal != 0) {
        std::cerr << "halvane-batch: stopped; the comparison's outputs not said above were not written\n" << std::flush;
        return EndByStopSignal(signal);
    }
    if (!std::cout.flush() || std::fflush(stdout) != 0) return 1;
    return outcome.failed ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    const Result<BatchOptions> parsed = ParseBatchOptions(args);
    const bool wantsPicture =
        parsed && !parsed->help && !parsed->version && (!parsed->pngPath.empty() || !parsed->reportPath.empty());
    const std::string pictureProgram = wantsPicture ? FindPictureProgram() : std::string();
    if (const auto status = AnswerWithoutAnalysis(parsed, pictureProgram)) return *status;
    const BatchOptions& options = *parsed;
    if (!options.comparePaths.empty()) return RunComparison(options, pictureProgram);

    // Every output of every input is planned before anything is written.
    std::vector<PlannedOutputs> plan;
    for (const std::string& file : options.files) plan.push_back(BatchJob(options, file).Plan());
    const std::vector<std::string> refusals = CheckOutputPlan(plan);

    CatchStopSignals();
    const WorkerPool::Summary summary = WorkerPool(options, refusals, pictureProgram).Run();
    if (const int signal = g_stop.Reason(); signal != 0) {
        std::cerr << "halvane-batch: stopped; " << summary.said - summary.stopped << " of " << options.files.size()
                  << " files were analysed\n"
                  << std::flush;
        return EndByStopSignal(signal);
    }

    // A result nobody could read is no success.
    if (!std::cout.flush() || std::fflush(stdout) != 0) {
        std::cerr << "halvane-batch: the messages cannot be written to standard output\n";
        return 1;
    }
    return summary.failed ? 1 : 0;
}
