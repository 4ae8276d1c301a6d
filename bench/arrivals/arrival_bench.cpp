// The arrival analysis: its score over a fixed set of simulated rooms, clean
// and measured-like, then its speed.
//   build/arrival_bench                        score, then timing
//   build/arrival_bench --score-only           score alone (what a tuning run wants)
//   build/arrival_bench --rooms=measured       one set: clean, measured or all (the default)
//   build/arrival_bench --room=hall            only rooms whose name holds this
//   build/arrival_bench --detail               also every miss, false row and fragment
//   build/arrival_bench --truth                also every true arrival at -20 dB or above
//   build/arrival_bench --max-diffuseness=0.5  score with another threshold
//   build/arrival_bench --low-cut=500          score with another low cut
//   build/arrival_bench --real-data=DIR        where the measured responses lie
// Measured-like rooms take their pulses from the real responses; without
// them only the clean rooms are scored. Other arguments go to Google Benchmark.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "ArrivalScore.h"
#include "BenchRooms.h"
#include "analysis/arrivals/Arrivals.h"

namespace {

using namespace halvane;

struct BenchOptions {
    bool detailed = false;
    bool truth = false;
    bool scoreOnly = false;
    bool clean = true;
    bool measured = true;
    std::string roomFilter;
    std::string realDataDir = HALVANE_REAL_DATA_DIR;
    ArrivalOptions arrivals;
};

score::RoomScore ScoreOne(const bench::BenchRoom& room, const simulation::SystemPulse& pulse,
                          const BenchOptions& options, const score::ScoreRules& rules)
{
    const simulation::SimulatedResponse response = bench::Simulate(room, pulse);
    const auto start = std::chrono::steady_clock::now();
    const std::vector<Arrival> listed = FindArrivals(response.signal, options.arrivals);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    score::RoomScore scored = score::ScoreRoom(room.name, response, listed, rules);
    scored.findS = took.count();
    if (options.truth) std::fputs(score::DescribeTruth(response.arrivals).c_str(), stdout);
    return scored;
}

// Scores one room set; false when its pulses cannot be had.
bool ScoreSet(const char* title, const std::vector<bench::BenchRoom>& rooms, const score::ScoreRules& rules,
              const score::Goals& goals, bench::PulseCache& pulses, const BenchOptions& options)
{
    score::RoomScore total;
    total.name = title;
    std::printf("\n%s (time within %.2f ms, direction within %.0f degrees)\n%s", title, rules.timeToleranceMs,
                rules.directionToleranceDeg, score::TableHeading().c_str());
    for (const bench::BenchRoom& room : rooms) {
        if (room.name.find(options.roomFilter) == std::string::npos) continue;
        const auto pulse = pulses.Get(room.pulse, room.rateHz);
        if (!pulse) {
            std::printf("  %s: %s\n", room.name.c_str(), pulse.Message().c_str());
            return false;
        }
        const score::RoomScore scored = ScoreOne(room, *pulse, options, rules);
        std::fputs(score::Describe(scored, options.detailed).c_str(), stdout);
        std::fflush(stdout);
        score::Accumulate(total, scored);
    }
    std::fputs(score::DescribeTotal(total, goals, rules).c_str(), stdout);
    return true;
}

void PrintScore(const BenchOptions& options)
{
    bench::PulseCache pulses(options.realDataDir);
    const auto start = std::chrono::steady_clock::now();
    if (options.clean)
        ScoreSet("clean rooms", bench::CleanRooms(), score::kCleanRules, score::kCleanGoals, pulses, options);
    if (options.measured && !ScoreSet("measured-like rooms", bench::MeasuredLikeRooms(), score::kMeasuredRules,
                                      score::kMeasuredGoals, pulses, options)) {
        std::printf("measured-like rooms need the real responses in %s\n", options.realDataDir.c_str());
    }
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    std::printf("\nscored in %.1f s\n", took.count());
    std::fflush(stdout);
}

// FindArrivals over one response, the same one every time.
void TimeFindArrivals(benchmark::State& state, const simulation::SimulatedResponse& response)
{
    std::size_t count = 0;
    for (auto _ : state) {
        const std::vector<Arrival> arrivals = FindArrivals(response.signal, ArrivalOptions{});
        count = arrivals.size();
        benchmark::DoNotOptimize(arrivals.data());
    }
    state.counters["arrivals"] = static_cast<double>(count);
    state.counters["audio s"] = static_cast<double>(response.signal.Frames()) / response.signal.SampleRateHz;
}

// The room of that name, made 2 s long.
bench::BenchRoom TwoSecondsOf(const std::vector<bench::BenchRoom>& rooms, const std::string& name)
{
    bench::BenchRoom room = *std::find_if(rooms.begin(), rooms.end(), [&](const auto& r) { return r.name == name; });
    room.options.durationS = 2.0;
    return room;
}

// 2 s at 48 kHz: the hall and the studio (whose tail is dense from early on), clean pulses.
void BM_FindArrivalsHall2s(benchmark::State& state)
{
    bench::BenchRoom room = TwoSecondsOf(bench::CleanRooms(), "hall tail 48k");
    room.options.seed = 21;
    TimeFindArrivals(state, bench::Simulate(room, simulation::SystemPulse::Loudspeaker(room.rateHz)));
}
BENCHMARK(BM_FindArrivalsHall2s)->Unit(benchmark::kMillisecond);

void BM_FindArrivalsStudio2s(benchmark::State& state)
{
    bench::BenchRoom room = TwoSecondsOf(bench::CleanRooms(), "studio tail 48k");
    room.options.seed = 22;
    TimeFindArrivals(state, bench::Simulate(room, simulation::SystemPulse::Loudspeaker(room.rateHz)));
}
BENCHMARK(BM_FindArrivalsStudio2s)->Unit(benchmark::kMillisecond);

// 2 s at 48 kHz of the measured-like hall, when the real responses are at hand.
void BM_FindArrivalsMeasuredHall2s(benchmark::State& state)
{
    bench::PulseCache pulses(HALVANE_REAL_DATA_DIR);
    const bench::BenchRoom room = TwoSecondsOf(bench::MeasuredLikeRooms(), "hall st-andrews 48k");
    const auto pulse = pulses.Get(room.pulse, room.rateHz);
    if (!pulse) {
        state.SkipWithError(pulse.Message().c_str());
        return;
    }
    TimeFindArrivals(state, bench::Simulate(room, *pulse));
}
BENCHMARK(BM_FindArrivalsMeasuredHall2s)->Unit(benchmark::kMillisecond);

// Takes the benchmark's own arguments out of argv; the rest are Google Benchmark's.
BenchOptions ParseOptions(int argc, char** argv, std::vector<char*>& rest)
{
    BenchOptions options;
    auto value = [](const char* arg, const char* flag) -> const char* {
        const std::size_t length = std::strlen(flag);
        return std::strncmp(arg, flag, length) == 0 ? arg + length : nullptr;
    };
    for (int i = 0; i < argc; ++i) {
        const char* arg = argv[i];
        if (std::strcmp(arg, "--detail") == 0) {
            options.detailed = true;
        } else if (std::strcmp(arg, "--truth") == 0) {
            options.truth = true;
        } else if (std::strcmp(arg, "--score-only") == 0) {
            options.scoreOnly = true;
        } else if (const char* v = value(arg, "--rooms=")) {
            options.clean = std::strcmp(v, "measured") != 0;
            options.measured = std::strcmp(v, "clean") != 0;
        } else if (const char* v = value(arg, "--room=")) {
            options.roomFilter = v;
        } else if (const char* v = value(arg, "--real-data=")) {
            options.realDataDir = v;
        } else if (const char* v = value(arg, "--max-diffuseness=")) {
            options.arrivals.maxDiffuseness = std::strtod(v, nullptr);
        } else if (const char* v = value(arg, "--low-cut=")) {
            options.arrivals.lowCutHz = std::strtod(v, nullptr);
        } else {
            rest.push_back(argv[i]);
        }
    }
    return options;
}

}  // namespace

int main(int argc, char** argv)
{
    std::vector<char*> rest;
    const BenchOptions options = ParseOptions(argc, argv, rest);
    PrintScore(options);
    if (options.scoreOnly) return 0;
    int count = static_cast<int>(rest.size());
    benchmark::Initialize(&count, rest.data());
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
