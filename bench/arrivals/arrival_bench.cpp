// The arrival analysis: first its score over a fixed set of simulated rooms,
// then its speed.
//   build/arrival_bench                       score, then timing
//   build/arrival_bench --detail              also every miss and false arrival
//   build/arrival_bench --benchmark_filter=^$ score only
//   build/arrival_bench --max-diffuseness=0.4  score with another threshold
//   build/arrival_bench --low-cut=500          score with another low cut
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "ArrivalScore.h"
#include "analysis/arrivals/Arrivals.h"
#include "support/RoomSimulator.h"

namespace {

using namespace halvane;
using test::SampleFormat;

struct ScoredRoom {
    const char* name;
    double rateHz;
    test::ShoeboxRoom room;
    test::SimulationOptions options;
};

test::SimulationOptions Clean(double durationS)
{
    test::SimulationOptions options;
    options.durationS = durationS;
    options.diffuseTail = false;
    options.noiseDb.reset();
    return options;
}

test::SimulationOptions Tailed(double durationS, SampleFormat format, std::uint64_t seed)
{
    test::SimulationOptions options;
    options.durationS = durationS;
    options.format = format;
    options.seed = seed;
    return options;
}

// Small rooms where reflections crowd, halls where the listener is far; each
// long enough for its third-order reflections.
std::vector<ScoredRoom> Rooms()
{
    // A small studio: the defaults of ShoeboxRoom.
    const test::ShoeboxRoom studio;
    test::ShoeboxRoom nearWall = studio;  // the listener 0.4 m from the back wall
    nearWall.listener = {0.4, 2.9, 1.25};
    nearWall.source = {3.9, 1.6, 1.5};
    const test::ShoeboxRoom booth{3.1, 2.4, 2.5, {2.2, 1.5, 1.5}, {0.9, 1.1, 1.3}, 0.7, 0.7, 0.65, 0.75, 0.85, 0.6};
    const test::ShoeboxRoom living{5.5, 4.1, 2.6, {0.8, 3.2, 1.0}, {4.3, 1.4, 1.1}, 0.75, 0.8, 0.7, 0.85, 0.6, 0.8};
    const test::ShoeboxRoom control{7.2, 5.3, 3.2, {5.0, 3.4, 1.3}, {2.6, 2.4, 1.25}, 0.5, 0.9, 0.75, 0.8, 0.85, 0.7};
    const test::ShoeboxRoom classroom{9.0, 7.0, 3.2, {7.8, 2.1, 1.6}, {2.4, 4.3, 1.2}, 0.9, 0.88, 0.9, 0.86, 0.8, 0.92};
    const test::ShoeboxRoom lecture{20.0, 15.0, 7.0, {17.5, 6.4, 1.7}, {4.5, 9.1, 2.6}, 0.85, 0.9, 0.8, 0.85, 0.7, 0.8};
    const test::ShoeboxRoom hall{32.0, 21.0, 14.0, {24.0, 9.5, 1.8}, {7.5, 12.5, 4.2}, 0.88, 0.9, 0.86,
                                 0.87, 0.7,  0.85};
    test::ShoeboxRoom hallFront = hall;  // a seat 6 m from the stage
    hallFront.listener = {18.3, 7.1, 1.3};
    const test::ShoeboxRoom wideHall{36.0, 24.0, 16.0, {29.0, 13.0, 1.5}, {6.0, 8.5, 2.2}, 0.85, 0.92, 0.88,
                                     0.8,  0.75, 0.9};
    const test::ShoeboxRoom church{40.0, 14.0, 18.0, {34.0, 7.3, 2.0}, {10.0, 5.5, 1.6}, 0.93, 0.9, 0.92,
                                   0.94, 0.9,  0.88};
    return {
        {"studio clean 48k", 48000, studio, Clean(0.12)},
        {"booth clean 96k", 96000, booth, Clean(0.08)},
        {"hall clean 48k", 48000, hall, Clean(0.5)},
        {"church clean 44.1k", 44100, church, Clean(0.6)},
        {"studio tail 48k", 48000, studio, Tailed(0.6, SampleFormat::Float32, 11)},
        {"studio near wall tail 44.1k", 44100, nearWall, Tailed(0.6, SampleFormat::Float32, 18)},
        {"booth tail 44.1k 16-bit", 44100, booth, Tailed(0.4, SampleFormat::Pcm16, 12)},
        {"living room tail 48k 16-bit", 48000, living, Tailed(0.6, SampleFormat::Pcm16, 19)},
        {"control room tail 96k", 96000, control, Tailed(0.5, SampleFormat::Float32, 13)},
        {"classroom tail 48k 16-bit", 48000, classroom, Tailed(0.8, SampleFormat::Pcm16, 14)},
        {"lecture hall tail 96k 16-bit", 96000, lecture, Tailed(0.8, SampleFormat::Pcm16, 20)},
        {"hall tail 48k", 48000, hall, Tailed(1.0, SampleFormat::Float32, 15)},
        {"hall front seat tail 44.1k", 44100, hallFront, Tailed(1.0, SampleFormat::Float32, 23)},
        {"wide hall tail 44.1k 16-bit", 44100, wideHall, Tailed(1.0, SampleFormat::Pcm16, 16)},
        {"church tail 96k", 96000, church, Tailed(1.0, SampleFormat::Float32, 17)},
    };
}

void PrintScore(bool detailed, const ArrivalOptions& options)
{
    score::RoomScore total;
    total.name = "overall";
    score::RoomScore tailed;
    tailed.name = "rooms with tail and noise";
    for (const ScoredRoom& r : Rooms()) {
        const test::RoomSimulator simulator(r.rateHz);
        const test::SimulatedResponse response = simulator.Simulate(r.room, r.options);
        const std::vector<Arrival> listed = FindArrivals(response.signal, options);
        const score::RoomScore room = score::ScoreRoom(r.name, response.arrivals, listed);
        std::fputs(score::Describe(room, detailed).c_str(), stdout);
        score::Accumulate(total, room);
        if (r.options.diffuseTail) score::Accumulate(tailed, room);
    }
    std::fputs(score::Describe(tailed, false).c_str(), stdout);
    std::fputs(score::Describe(total, false).c_str(), stdout);
    std::fflush(stdout);
}

// A 2 s response at 48 kHz: the hall with its tail.
void BM_FindArrivalsHall2s(benchmark::State& state)
{
    const std::vector<ScoredRoom> rooms = Rooms();
    test::SimulationOptions options = Tailed(2.0, SampleFormat::Float32, 21);
    const test::SimulatedResponse response = test::RoomSimulator(48000).Simulate(rooms[11].room, options);
    std::size_t count = 0;
    for (auto _ : state) {
        const std::vector<Arrival> arrivals = FindArrivals(response.signal, ArrivalOptions{});
        count = arrivals.size();
        benchmark::DoNotOptimize(arrivals.data());
    }
    state.counters["arrivals"] = static_cast<double>(count);
}
BENCHMARK(BM_FindArrivalsHall2s)->Unit(benchmark::kMillisecond);

// A 2 s response at 48 kHz: the studio, whose tail is dense from early on.
void BM_FindArrivalsStudio2s(benchmark::State& state)
{
    const test::SimulationOptions options = Tailed(2.0, SampleFormat::Float32, 22);
    const test::SimulatedResponse response = test::RoomSimulator(48000).Simulate(test::ShoeboxRoom{}, options);
    std::size_t count = 0;
    for (auto _ : state) {
        const std::vector<Arrival> arrivals = FindArrivals(response.signal, ArrivalOptions{});
        count = arrivals.size();
        benchmark::DoNotOptimize(arrivals.data());
    }
    state.counters["arrivals"] = static_cast<double>(count);
}
BENCHMARK(BM_FindArrivalsStudio2s)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    bool detailed = false;
    ArrivalOptions options;
    std::vector<char*> args;
    constexpr const char* kDiffusenessFlag = "--max-diffuseness=";
    constexpr const char* kLowCutFlag = "--low-cut=";
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "--detail") == 0)
            detailed = true;
        else if (std::strncmp(argv[i], kDiffusenessFlag, std::strlen(kDiffusenessFlag)) == 0)
            options.maxDiffuseness = std::strtod(argv[i] + std::strlen(kDiffusenessFlag), nullptr);
        else if (std::strncmp(argv[i], kLowCutFlag, std::strlen(kLowCutFlag)) == 0)
            options.lowCutHz = std::strtod(argv[i] + std::strlen(kLowCutFlag), nullptr);
        else
            args.push_back(argv[i]);
    }
    PrintScore(detailed, options);
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
