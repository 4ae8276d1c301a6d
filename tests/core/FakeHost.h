#pragma once

// A host that answers the prompts from a list and records every call, and a
// storage that keeps files in memory, so that whole runs can be checked.
#include <functional>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "analysis/RunHost.h"
#include "report/TableStorage.h"

namespace halvane::test {

class FakeHost : public RunHost {
public:
    std::vector<std::optional<std::string>> answers;  // one per prompt; past the end: the default
    std::vector<std::string> promptDefaults;          // the default answers offered
    std::vector<std::string> promptTexts;
    std::vector<std::string> warnings;
    std::vector<std::string> calls;                   // display and loop calls, in order
    std::vector<float> progress;
    std::vector<DirectionView> shown;
    int yields = 0;
    bool quit = false;
    double clockMs = 0;
    std::function<void(FakeHost&)> onYield;           // runs inside every yield, like a window message

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

    int Count(const std::string& call) const
    {
        int n = 0;
        for (const auto& c : calls) n += c == call;
        return n;
    }
};

// Files in memory. Tables are ostringstreams whose text stays readable after
// the run has closed them.
class MemoryStorage : public TableStorage {
public:
    std::map<std::string, std::vector<std::byte>> inputs;
    std::map<std::string, std::shared_ptr<std::ostringstream>> tables;
    std::vector<std::string> unwritable;
    int reads = 0;
    std::function<void(MemoryStorage&, int readNumber)> beforeRead;

    bool ReadInput(const std::string& path, std::vector<std::byte>& image, std::string& whyNot) override
    {
        ++reads;
        if (beforeRead) beforeRead(*this, reads);
        const auto it = inputs.find(path);
        if (it == inputs.end()) {
            whyNot = "it does not exist";
            return false;
        }
        image = it->second;
        return true;
    }
    std::unique_ptr<std::ostream> CreateTable(const std::string& path) override
    {
        for (const auto& p : unwritable) {
            if (p == path) return nullptr;
        }
        auto text = std::make_shared<std::ostringstream>();
        tables[path] = text;
        return std::make_unique<Forwarder>(text);
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
        explicit Forwarder(std::shared_ptr<std::ostringstream> target)
            : std::ostream(target->rdbuf()), m_target(std::move(target))
        {
        }

    private:
        std::shared_ptr<std::ostringstream> m_target;
    };
};

}  // namespace halvane::test
