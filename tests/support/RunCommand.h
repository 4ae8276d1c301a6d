#pragma once

// Running a command-line program from a test and collecting its exit status and output.

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace halvane::testing {

struct CommandResult {
    int exitStatus = -1;
    std::string out;
    std::string err;
};

inline std::string Quoted(const std::string& arg)
{
    std::string q = "'";
    for (char c : arg) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

inline std::string Slurp(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Runs program with args, its output captured through files in scratch.
inline CommandResult RunCommand(const std::string& program, const std::vector<std::string>& args,
                                const std::filesystem::path& scratch)
{
    std::string line = Quoted(program);
    for (const auto& a : args) line += " " + Quoted(a);
    const auto outPath = scratch / "command.out";
    const auto errPath = scratch / "command.err";
    line += " >" + Quoted(outPath.string()) + " 2>" + Quoted(errPath.string());
    const int raw = std::system(line.c_str());
    CommandResult result;
    result.exitStatus = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    result.out = Slurp(outPath);
    result.err = Slurp(errPath);
    return result;
}

// A fresh, empty folder for one test, removed when the object goes.
class ScratchFolder {
public:
    explicit ScratchFolder(const std::string& name)
        : m_path(std::filesystem::temp_directory_path() / ("halvane-tools-" + name + "-" + std::to_string(::getpid())))
    {
        std::filesystem::remove_all(m_path);
        std::filesystem::create_directories(m_path);
    }
    ~ScratchFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::filesystem::path& Path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

// Runs a shell command line with standard output and standard error captured together,
// bounded in time by timeout(1) so that a hang fails the test instead of holding it.
inline CommandResult RunShell(const std::string& commandLine, int timeoutSeconds = 60)
{
    CommandResult result;
    const std::string line = "timeout " + std::to_string(timeoutSeconds) + " " + commandLine + " 2>&1";
    FILE* pipe = popen(line.c_str(), "r");
    char buffer[4096];
    while (pipe != nullptr && std::fgets(buffer, sizeof buffer, pipe) != nullptr) result.out += buffer;
    const int raw = pipe != nullptr ? pclose(pipe) : -1;
    result.exitStatus = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return result;
}

}  // namespace halvane::testing
