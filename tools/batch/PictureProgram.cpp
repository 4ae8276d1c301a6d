#include "batch/PictureProgram.h"

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <memory>
#include <vector>

extern char** environ;

namespace halvane {
namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

// An unnamed temporary file holding results, read from its start: nothing
// stays behind however the command ends, and a picture program that fails
// before reading it cannot stall or break the command as a pipe could.
FileHandle HandOver(const std::string& results)
{
    FileHandle file(std::tmpfile());
    if (!file) return nullptr;
    const bool written = std::fwrite(results.data(), 1, results.size(), file.get()) == results.size() &&
                         std::fflush(file.get()) == 0 && lseek(fileno(file.get()), 0, SEEK_SET) == 0;
    return written ? std::move(file) : nullptr;
}

// The picture program under way, 0 while none is: the one --png FILE has
// at most one at a time.
std::atomic<pid_t> g_child{0};
static_assert(std::atomic<pid_t>::is_always_lock_free, "read by a signal handler");
// A stop asked for: a picture program started after it, or while its
// number was not yet noted, is ended as soon as it is.
std::atomic<bool> g_stopAsked{false};
static_assert(std::atomic<bool>::is_always_lock_free, "written by a signal handler");

// The hidden file a picture program ended by a signal left beside pngPath
// (files/ReplacingFile.h names it ".NAME.part-PID-N"): nobody else writes
// under the child's process number.
void RemoveLeftovers(const std::string& pngPath, pid_t child)
{
    const std::filesystem::path png(pngPath);
    const std::string prefix = "." + png.filename().string() + ".part-" + std::to_string(child) + "-";
    std::error_code error;
    const std::filesystem::path folder = png.has_parent_path() ? png.parent_path() : std::filesystem::path(".");
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        if (entry.path().filename().string().rfind(prefix, 0) == 0) std::filesystem::remove(entry.path(), error);
    }
}

// Starts program with argv and results as its standard input; its exit
// status, 128 + the signal that ended it, or -1 when it could not start.
// The child asks to be sent SIGKILL should this process end first, so that
// it cannot outlive the command however the command ends.
int SpawnAndWait(const std::string& program, std::vector<std::string> args, std::FILE* results,
                 const std::string& pngPath)
{
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    const pid_t parent = getpid();
    const int input = fileno(results);
    // Between fork and exec only async-signal-safe calls: this process has threads.
    const pid_t child = fork();
    if (child < 0) return -1;
    if (child == 0) {
        if (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || getppid() != parent) _exit(127);
        if (dup2(input, STDIN_FILENO) < 0) _exit(127);
        execve(program.c_str(), argv.data(), environ);
        _exit(127);
    }
    g_child = child;
    if (g_stopAsked) kill(child, SIGTERM);
    siginfo_t info{};
    // Waited for without reaping, so that the process number cannot go to
    // another process while a signal handler may still send to it.
    while (waitid(P_PID, static_cast<id_t>(child), &info, WEXITED | WNOWAIT) < 0 && errno == EINTR) { }
    g_child = 0;
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) { }
    if (WIFSIGNALED(status)) {
        RemoveLeftovers(pngPath, child);
        return 128 + WTERMSIG(status);
    }
    return WIFEXITED(status) && WEXITSTATUS(status) != 127 ? WEXITSTATUS(status) : -1;
}

}  // namespace

void StopPictureProgram()
{
    g_stopAsked = true;
    if (const pid_t child = g_child; child > 0) kill(child, SIGTERM);
}

std::string FindPictureProgram()
{
    std::error_code error;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) return {};
    const auto program = self.parent_path() / "halvane-picture";
    return std::filesystem::exists(program, error) ? program.string() : std::string();
}

bool RunPictureProgram(const std::string& program, const std::string& results, const std::vector<std::string>& options,
                       const std::string& outPath, const std::string& file, std::string& err)
{
    const FileHandle handed = HandOver(results);
    if (!handed) {
        err += file + ": the results cannot be handed to the picture program: " + std::strerror(errno) + "\n";
        return false;
    }
    std::vector<std::string> args = {program};
    args.insert(args.end(), options.begin(), options.end());
    args.insert(args.end(), {"--", "-", outPath});
    std::cout.flush();
    std::cerr.flush();
    const int status = SpawnAndWait(program, std::move(args), handed.get(), outPath);
    if (status < 0) {
        err += file + ": the picture program " + program + " cannot be started\n";
        return false;
    }
    return status == 0;
}

}  // namespace halvane
