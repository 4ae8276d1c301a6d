#include "FuzzRun.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <ostream>
#include <streambuf>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzSeeds.h"
#include "analysis/NumberReading.h"
#include "analysis/RunAnalysis.h"
#include "analysis/ScriptedDialogue.h"

namespace halvane::fuzz {
namespace {

const std::string kInput = "fuzz.wav";
const std::string kIntensity = "fuzz.csv";
const std::string kReference = "fuzz_ref.csv";

// A run may never make more windows in a pass than the file has bytes, or
// 4096 for a small file.
constexpr std::size_t kWindowsAlwaysAllowed = 4096;  // beyond the frames present, which are fewer than the bytes

std::string Broken(const char* what, const std::string& detail) { return std::string(what) + " (" + detail + ")"; }

// A table that keeps only what the checks need: how many lines it holds and
// whether every line ended with CR LF. Keeping the text itself would let a
// long run cost memory the fuzzer would blame on the run.
class LineCounter final : public std::streambuf {
public:
    std::int64_t lines = 0;
    std::int64_t bytes = 0;
    bool bareLineFeed = false;  // a LF without CR before it
    bool lastWasCr = false;
    bool lastWasLf = false;

protected:
    int_type overflow(int_type c) override
    {
        if (!traits_type::eq_int_type(c, traits_type::eof())) Take(traits_type::to_char_type(c));
        return traits_type::not_eof(c);
    }
    std::streamsize xsputn(const char* s, std::streamsize n) override
    {
        // The writers hand over whole lines; look only at the line feeds.
        if (n <= 0) return n;
        const char* end = s + n;
        for (const char* p = s; (p = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p))));
             ++p) {
            ++lines;
            const bool crBefore = p > s ? p[-1] == '\r' : lastWasCr;
            if (!crBefore) bareLineFeed = true;
        }
        bytes += n;
        lastWasCr = end[-1] == '\r';
        lastWasLf = end[-1] == '\n';
        return n;
    }

private:
    void Take(char c)
    {
        ++bytes;
        if (c == '\n') {
            ++lines;
            if (!lastWasCr) bareLineFeed = true;
        }
        lastWasCr = c == '\r';
        lastWasLf = c == '\n';
    }
};

class CountedTable final : public std::ostream {
public:
    explicit CountedTable(std::shared_ptr<LineCounter> counter)
        : std::ostream(counter.get()), m_counter(std::move(counter))
    {
    }

private:
    std::shared_ptr<LineCounter> m_counter;
};

// The fuzzed bytes as the input, the tables as line counters.
class FuzzStorage final : public InputSource, public TableStorage {
public:
    explicit FuzzStorage(std::span<const std::uint8_t> bytes) : m_bytes(bytes) { }

    std::shared_ptr<LineCounter> intensity;
    std::shared_ptr<LineCounter> reference;
    std::string strayTable;  // a table under any other name

    Result<std::unique_ptr<InputImage>> Open(const std::string& path) override
    {
        if (path != kInput) return Failure{"it does not exist"};
        return std::unique_ptr<InputImage>(std::make_unique<BorrowedImage>(std::as_bytes(m_bytes)));
    }
    std::unique_ptr<std::ostream> CreateTable(const std::string& path) override
    {
        auto counter = std::make_shared<LineCounter>();
        if (path == kIntensity)
            intensity = counter;
        else if (path == kReference)
            reference = counter;
        else
            strayTable = path;
        return std::make_unique<CountedTable>(counter);
    }
    bool SameFile(const std::string& a, const std::string& b) override { return a == b; }

private:
    std::span<const std::uint8_t> m_bytes;
};

std::string CheckLines(const LineCounter* table, const char* name)
{
    if (table == nullptr) return {};
    if (table->bareLineFeed) return Broken("a line ended without CR LF", name);
    if (table->bytes > 0 && !table->lastWasLf) return Broken("a table ends inside a line", name);
    return {};
}

std::string CheckTable(const LineCounter* table, std::int64_t rows, const char* name)
{
    if (table == nullptr) return Broken("a finished run without its table", name);
    if (auto broken = CheckLines(table, name); !broken.empty()) return broken;
    if (table->lines != rows + 1) {
        return Broken("the rows reported differ from the rows written", std::string(name) + ": " +
                                                                            std::to_string(rows) + " reported, " +
                                                                            std::to_string(table->lines) + " lines");
    }
    return {};
}

std::string RunOnce(std::span<const std::uint8_t> bytes, const std::vector<std::string>& answers)
{
    SharedState state;
    state.IrFileName = kInput;
    ScriptedDialogue dialogue(answers);
    FuzzStorage storage(bytes);
    const RunReport report = RunAnalysis(state, dialogue, storage, storage);

    if (!storage.strayTable.empty()) return Broken("a table under an unexpected name", storage.strayTable);
    const std::int64_t allowed = static_cast<std::int64_t>(bytes.size() + kWindowsAlwaysAllowed);
    if (report.intensityRows > allowed || report.directionWindows > allowed) {
        return Broken("more windows than the file allows",
                      std::to_string(report.intensityRows) + " and " + std::to_string(report.directionWindows));
    }
    const auto& warnings = dialogue.Warnings();
    switch (report.outcome) {
    case RunOutcome::Rejected:
        if (warnings.size() != 1)
            return Broken("a refusal without exactly one warning", std::to_string(warnings.size()));
        if (!warnings[0].starts_with("Sorry, "))
            return Broken("a warning that does not begin with \"Sorry, \"", warnings[0]);
        if (auto broken = CheckLines(storage.intensity.get(), "intensity table"); !broken.empty()) return broken;
        return CheckLines(storage.reference.get(), "reference table");
    case RunOutcome::Completed:
        if (!warnings.empty()) return Broken("a finished run with a warning", warnings[0]);
        if (auto broken = CheckTable(storage.intensity.get(), report.intensityRows, "intensity table");
            !broken.empty()) {
            return broken;
        }
        return CheckTable(storage.reference.get(), report.referenceRows, "reference table");
    case RunOutcome::Stopped:
    case RunOutcome::Closed:
        break;
    }
    return Broken("a batch run that was stopped or closed", "nobody stops it");
}

}  // namespace

std::string RunOnBytes(std::span<const std::uint8_t> bytes, Answers answers)
{
    if (answers == Answers::WholeWindowsFromZero) return RunOnce(bytes, {"0", "20", "1", "0"});
    return RunOnce(bytes, {"-2.5", "10", "0.7", "0"});
}

std::string RunWithAnswers(std::span<const std::uint8_t> text)
{
    static const std::vector<std::uint8_t> file = [] {
        for (auto& seed : SeedCorpus()) {
            if (seed.name == "data-at-37-16bit.wav") return seed.bytes;
        }
        return std::vector<std::uint8_t>{};
    }();
    std::vector<std::string> answers(1);
    for (const std::uint8_t c : text) {
        if (c != '\n')
            answers.back().push_back(static_cast<char>(c));
        else if (answers.size() < 4)
            answers.emplace_back();
        else
            break;
    }
    std::string broken = RunOnce(file, answers);
    if (!broken.empty()) {
        std::string typed;
        for (const auto& a : answers) typed += "[" + a + "]";
        broken += " with the answers " + typed;
    }
    return broken;
}

std::string ReadAnswer(std::span<const std::uint8_t> bytes)
{
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    if (std::isnan(ReadTypedNumber(text))) return Broken("an answer read as not-a-number", std::string(text));
    return {};
}

}  // namespace halvane::fuzz
