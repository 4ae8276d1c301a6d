#pragma once

// A host that answers the prompts from a list and records every call of the
// run's dialogue, display and reports, and a storage that keeps its input
// files and tables in memory, so that whole runs can be checked.
#include <functional>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "analysis/RunAnalysis.h"
#include "analysis/RunDialogue.h"
#include "analysis/RunDisplay.h"
#include "analysis/RunObserver.h"
#include "files/InputSource.h"
#include "report/TableStorage.h"

namespace halvane::test {

class FakeHost : public RunDialogue, public RunDisplay, public RunObserver {
public:
    std::vector<std::optional<std::string>> answers;  // one per prompt; past the end: the default
    std::vector<std::string> promptDefaults;          // the default answers offered
    std::vector<std::string> promptTexts;
    std::vector<std::string> warnings;
    std::vector<std::string> calls;  // display and loop calls, in order
    std::vector<float> progress;
    std::vector<DirectionView> shown;
    std::vector<double> summedWindowTimesMs;    // reported by the intensity pass
    std::vector<DirectionQuantities> computed;  // reported by the direction pass
    int yields = 0;
    bool quit = false;
    double clockMs = 0;
    std::function<void(FakeHost&)> onYield;  // runs inside every yield, like a window message

    std::optional<std::string> AskText(const std::string& prompt, const std::string&,
                                       const std::string& defaultAnswer) override
    {
        promptTexts.push_back(prompt);
        promptDefaults.push_back(defaultAnswer);
        const std::size_t i = promptDefaults.size() - 1;
        return i < answers.size() ? answers[i] : std::optional<std::string>(defaultAnswer);
    }
    void ShowWarning(const std::string& message) override { warnings.push_back(message); }
    void ResetPointer() override { calls.push_back("ResetPointer"); }
    void Yield() override
    {
        ++yields;
        if (onYield) onYield(*this);
    }
    void WaitForEvents(double maxMs) override
    {
        calls.push_back("Wait");
        clockMs += maxMs > 0 ? maxMs : 1;
        if (onYield) onYield(*this);
    }
    double ClockMs() override { return clockMs; }
    bool ShouldQuit() const override { return quit; }
    void SetProgress(float percent) override { progress.push_back(percent); }
    void PrepareDisplay(double, double) override { calls.push_back("PrepareDisplay"); }
    void DrawLevelBars(double, double, double, double) override { calls.push_back("DrawLevelBars"); }
    void DrawStripGrid(double, double) override { calls.push_back("DrawStripGrid"); }
    void WindowMarker(double timeMs, double) override { calls.push_back("WindowMarker " + std::to_string(timeMs)); }
    void ShowDirection(const DirectionView& view) override
    {
        shown.push_back(view);
        calls.push_back("ShowDirection");
    }
    void ClearDirection(const DirectionView&, double, double) override { calls.push_back("ClearDirection"); }
    void WindowSummed(double, double timeMs, const WindowSums&) override { summedWindowTimesMs.push_back(timeMs); }
    void DirectionComputed(double, const DirectionQuantities& direction) override { computed.push_back(direction); }

    int Count(const std::string& call) const
    {
        int n = 0;
        for (const auto& c : calls) n += c == call;
        return n;
    }
};

// Files in memory. Tables are ostringstreams whose text stays readable after
// the run has closed them.
class MemoryStorage : public InputSource, public TableStorage {
public:
    std::map<std::string, std::vector<std::byte>> inputs;
    std::map<std::string, std::shared_ptr<std::ostringstream>> tables;
    std::vector<std::string> unwritable;
    int reads = 0;
    std::function<void(MemoryStorage&, int readNumber)> beforeRead;

    Result<std::unique_ptr<InputImage>> Open(const std::string& path) override
    {
        ++reads;
        if (beforeRead) beforeRead(*this, reads);
        const auto it = inputs.find(path);
        if (it == inputs.end()) return Failure{"it does not exist"};
        return std::unique_ptr<InputImage>(std::make_unique<MemoryImage>(it->second));
    }
    std::unique_ptr<std::ostream> CreateTable(const std::string& path) override
    {
        for (const auto& p : unwritable) {
            if (p == path) return nullptr;
        }
        auto text = std::make_shared<std::ostringstream>();
        const auto before = tables.find(path);
        auto forwarder = std::make_unique<Forwarder>(text, path, before == tables.end() ? nullptr : before->second);
        tables[path] = text;
        return forwarder;
    }
    // The table that was under the name before comes back; none was: none is.
    void DiscardTable(std::unique_ptr<std::ostream> table) override
    {
        const auto* forwarder = dynamic_cast<const Forwarder*>(table.get());
        if (forwarder == nullptr) return;
        if (forwarder->before) {
            tables[forwarder->path] = forwarder->before;
        } else {
            tables.erase(forwarder->path);
        }
    }
    bool SameFile(const std::string& a, const std::string& b) override { return a == b; }

    std::string Table(const std::string& path) const
    {
        const auto it = tables.find(path);
        return it == tables.end() ? std::string("<none>") : it->second->str();
    }
    bool HasTable(const std::string& path) const { return tables.count(path) != 0; }

private:
    // An ostream that writes into a shared ostringstream.
    class Forwarder : public std::ostream {
    public:
        Forwarder(std::shared_ptr<std::ostringstream> target, std::string path,
                  std::shared_ptr<std::ostringstream> before)
            : std::ostream(target->rdbuf()), path(std::move(path)), before(std::move(before)),
              m_target(std::move(target))
        {
        }
        const std::string path;
        const std::shared_ptr<std::ostringstream> before;  // the table it replaces; nullptr when none

    private:
        std::shared_ptr<std::ostringstream> m_target;
    };
};

// A whole run with the fake host as dialogue, display and observer, and the
// storage as input and tables.
inline RunReport RunWith(SharedState& state, FakeHost& host, MemoryStorage& storage)
{
    return RunAnalysis(state, host, storage, storage, host, host);
}

}  // namespace halvane::test
