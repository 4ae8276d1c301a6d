// Speed of the frame sums and of a whole batch run.
//   build/core_bench --benchmark_min_time=1
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <sstream>

#include "analysis/FrameAccumulator.h"
#include "analysis/RunAnalysis.h"
#include "analysis/ScriptedDialogue.h"
#include "support/TestWav.h"

namespace {

using namespace halvane;

// A decaying noise-like signal, deterministic, so that sums are not trivially zero.
std::vector<std::byte> SyntheticFile(int bits, double seconds)
{
    const auto frames = static_cast<std::size_t>(48000 * seconds);
    std::vector<test::Frame4> samples(frames);
    std::uint32_t state = 12345;
    auto next = [&state] {
        state = state * 1664525u + 1013904223u;
        return static_cast<double>(state >> 8) / 16777216.0 - 0.5;
    };
    for (std::size_t i = 0; i < frames; ++i) {
        const double gain = (bits == 16 ? 30000.0 : 1.0) * std::exp(-static_cast<double>(i) / 48000.0);
        samples[i] = {gain * next(), gain * next(), gain * next(), gain * next()};
    }
    test::WavFormat format;
    format.bits = bits;
    return test::MakeWav(samples, format);
}

void Accumulate(benchmark::State& state, int bits)
{
    const auto image = SyntheticFile(bits, 10.0);
    const WavHeader header = ReadWavHeader(image);
    const double spw = 240;  // 5 ms at 48 kHz
    const FrameAccumulator frames(image, header, spw);
    std::vector<double> indices;
    for (int w = 0; w < 2000; ++w) indices.push_back(w);
    std::vector<WindowSums> sums(indices.size());
    for (auto _ : state) {
        frames.Windows(indices, sums);
        benchmark::DoNotOptimize(sums.data());
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * 2000 * 240);
}

void BM_Accumulate16(benchmark::State& state) { Accumulate(state, 16); }
void BM_Accumulate32(benchmark::State& state) { Accumulate(state, 32); }
BENCHMARK(BM_Accumulate16)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Accumulate32)->Unit(benchmark::kMillisecond);

// The input from memory, the tables into memory: the run's own cost.
class MemoryRunStorage final : public InputSource, public TableStorage {
public:
    explicit MemoryRunStorage(const std::vector<std::byte>& input) : m_input(input) { }
    Result<std::unique_ptr<InputImage>> Open(const std::string&) override
    {
        return std::unique_ptr<InputImage>(std::make_unique<BorrowedImage>(m_input));
    }
    std::unique_ptr<std::ostream> CreateTable(const std::string&) override
    {
        return std::make_unique<std::ostringstream>();
    }
    bool SameFile(const std::string&, const std::string&) override { return false; }

private:
    const std::vector<std::byte>& m_input;
};

void BM_BatchRun60sFloat(benchmark::State& state)
{
    const auto image = SyntheticFile(32, 60.0);
    MemoryRunStorage storage(image);
    for (auto _ : state) {
        SharedState shared;
        shared.IrFileName = "/bench/room.wav";
        ScriptedDialogue dialogue({"0", "1000", "5", "0"});
        benchmark::DoNotOptimize(RunAnalysis(shared, dialogue, storage, storage));
    }
}
BENCHMARK(BM_BatchRun60sFloat)->Unit(benchmark::kMillisecond);

// A data set: 300 responses of 2 s, one run each, as halvane-batch -j 1
// does them (without the files; bench/compare-peer measures whole processes).
void BM_BatchRun300Files2s(benchmark::State& state)
{
    const auto image = SyntheticFile(32, 2.0);
    MemoryRunStorage storage(image);
    for (auto _ : state) {
        for (int file = 0; file < 300; ++file) {
            SharedState shared;
            shared.IrFileName = "/bench/set/ir.wav";
            ScriptedDialogue dialogue({"0", "1000", "5", "0"});
            benchmark::DoNotOptimize(RunAnalysis(shared, dialogue, storage, storage));
        }
    }
}
BENCHMARK(BM_BatchRun300Files2s)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
