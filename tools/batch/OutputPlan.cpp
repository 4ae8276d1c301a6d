#include "batch/OutputPlan.h"

#include <sys/stat.h>

#include <filesystem>
#include <map>
#include <system_error>

#include "files/ReplacingFile.h"

namespace halvane {
namespace {

// A key equal for two names of one file: "dev:ino" of an existing file,
// else the absolute, normalised path with links in its folders resolved.
std::string Identity(const std::string& path)
{
    struct stat info { };
    if (stat(path.c_str(), &info) == 0) {
        return std::to_string(info.st_dev) + ":" + std::to_string(info.st_ino);
    }
    std::error_code error;
    const auto resolved = std::filesystem::weakly_canonical(std::filesystem::absolute(path, error), error);
    return "path:" + (error ? path : resolved.string());
}

}  // namespace

std::vector<std::string> CheckOutputPlan(const std::vector<PlannedOutputs>& plan)
{
    std::vector<std::string> problems(plan.size());
    std::map<std::string, std::string> inputs;  // identity -> the input's name
    for (const PlannedOutputs& p : plan) inputs.emplace(Identity(p.input), p.input);

    struct Claim {
        std::size_t owner;
        std::string name;
        std::string kind;
    };
    std::map<std::string, Claim> claimed;  // identity -> the output written there
    for (std::size_t i = 0; i < plan.size(); ++i) {
        const PlannedOutputs& p = plan[i];
        std::map<std::string, Claim> mine;
        for (std::size_t k = 0; k < p.outputs.size() && problems[i].empty(); ++k) {
            const std::string& name = p.outputs[k].path;
            const std::string& kind = p.outputs[k].kind;
            const std::string id = Identity(name);
            if (const auto creatable = ReplacingFile::CanCreate(name); !creatable) {
                problems[i] = "the " + kind + " " + name + " cannot be created: " + creatable.Message();
            } else if (const auto input = inputs.find(id); input != inputs.end()) {
                problems[i] = "the " + kind + " " + name + " would replace the input " + input->second;
            } else if (const auto own = mine.find(id); own != mine.end()) {
                problems[i] =
                    "the " + kind + " " + name + " would replace its " + own->second.kind + " " + own->second.name;
            } else if (const auto earlier = claimed.find(id); earlier != claimed.end()) {
                problems[i] = "the " + kind + " " + name + " would replace the " + earlier->second.kind + " " +
                              earlier->second.name + " of " + plan[earlier->second.owner].input;
            } else {
                mine.emplace(id, Claim{i, name, kind});
            }
        }
        if (problems[i].empty()) claimed.insert(mine.begin(), mine.end());
    }
    return problems;
}

}  // namespace halvane
