// Speed of the room parameters on a 5 s response at 48 kHz.
//   build/room_parameter_bench
#include <benchmark/benchmark.h>

#include "RoomSignals.h"
#include "analysis/room/OctaveBands.h"
#include "analysis/room/RoomParameters.h"

namespace {

using namespace halvane;

// A direct sound from the front-left, a diffuse decay of RT 1.2 s behind it
// and a noise floor 70 dB down: every band finds its decay and its noise.
BFormatSignal FiveSecondResponse()
{
    const double rateHz = 48000;
    test::Random random(2024);
    std::vector<double> direct(test::FramesOf(5.0, rateHz), 0.0);
    direct[test::FramesOf(0.01, rateHz)] = 1;
    BFormatSignal signal = test::PlaneWave(direct, rateHz, 30, 0);
    auto diffuse = test::DecayingNoise(rateHz, 1.2, 0.012, 5.0, random);
    for (double& v : diffuse) v *= 0.05;
    test::AddNoise(diffuse, 0.05 * std::pow(10.0, -70.0 / 20), random);
    test::AddDiffuse(signal, diffuse, random);
    return signal;
}

void BM_RoomParameters5s48k(benchmark::State& state)
{
    const BFormatSignal signal = FiveSecondResponse();
    for (auto _ : state) {
        std::vector<BandParameters> rows = ComputeRoomParameters(signal);
        benchmark::DoNotOptimize(rows.data());
    }
}
BENCHMARK(BM_RoomParameters5s48k)->Unit(benchmark::kMillisecond);

// One band of one channel, zero phase: the inner loop of the above.
void BM_ZeroPhase125Hz5s48k(benchmark::State& state)
{
    const BFormatSignal signal = FiveSecondResponse();
    const auto filter = OctaveBandFilter::Design(125, signal.SampleRateHz);
    for (auto _ : state) {
        ZeroPhaseSequence band = filter->FilterZeroPhase(signal.W);
        benchmark::DoNotOptimize(band.values.data());
    }
}
BENCHMARK(BM_ZeroPhase125Hz5s48k)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
