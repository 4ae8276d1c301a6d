#include "batch/PictureProgram.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

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

// Starts program with argv and results as its standard input; its exit
// status, or -1 when it could not start.
int SpawnAndWait(const std::string& program, std::vector<std::string> args, std::FILE* results)
{
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fileno(results), STDIN_FILENO);
    pid_t child = 0;
    const int started = posix_spawn(&child, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (started != 0) return -1;
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) { }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
}

}  // namespace

std::string FindPictureProgram()
{
    std::error_code error;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) return {};
    const auto program = self.parent_path() / "halvane-picture";
    return std::filesystem::exists(program, error) ? program.string() : std::string();
}

bool RunPictureProgram(const std::string& program, const std::string& results, const std::string& backgroundPath,
                       const std::string& pngPath, const std::string& file, std::string& err)
{
    const FileHandle handed = HandOver(results);
    if (!handed) {
        err += file + ": the results cannot be handed to the picture program: " + std::strerror(errno) + "\n";
        return false;
    }
    std::vector<std::string> args = {program};
    if (!backgroundPath.empty()) args.insert(args.end(), {"--background", backgroundPath});
    args.insert(args.end(), {"--", "-", pngPath});
    std::cout.flush();
    std::cerr.flush();
    const int status = SpawnAndWait(program, std::move(args), handed.get());
    if (status < 0) {
        err += file + ": the picture program " + program + " cannot be started\n";
        return false;
    }
    return status == 0;
}

}  // namespace halvane
