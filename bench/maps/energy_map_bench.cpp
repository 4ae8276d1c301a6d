// Speed of the energy maps on a 5 s response at 48 kHz: the three default
// ranges (direct, early, late to the end of the decay) by each estimator.
//   build/energy_map_bench
#include <benchmark/benchmark.h>

#include "analysis/maps/EnergyMaps.h"
#include "analysis/room/RoomParameters.h"
#include "simulation/RoomSimulator.h"

namespace {

using namespace halvane;

// A shoebox room of RT about 1.4 s: image sources to the third order, a
// diffuse tail and sensor noise 70 dB down, float samples.
const BFormatSignal& FiveSecondRoom()
{
    static const BFormatSignal signal = [] {
        simulation::ShoeboxRoom room;
        room.lengthM = 14, room.widthM = 9, room.heightM = 6;
        room.source = {10.5, 3.2, 1.6};
        room.listener = {3.0, 5.1, 1.3};
        simulation::SimulationOptions options;
        options.durationS = 5.0;
        return simulation::RoomSimulator(48000).Simulate(room, options).signal;
    }();
    return signal;
}

void Maps(benchmark::State& state, MapEstimator estimator, int bandHz)
{
    const BFormatSignal& signal = FiveSecondRoom();
    EnergyMapOptions options;
    options.estimator = estimator;
    options.bandHz = bandHz;
    const BandParameters decay = ComputeBandParameters(signal, bandHz);
    for (auto _ : state) {
        Result<EnergyMapSet> maps = ComputeEnergyMaps(signal, options, decay);
        benchmark::DoNotOptimize(maps.Ok());
    }
}

void BM_BeamMaps5s48k(benchmark::State& state) { Maps(state, MapEstimator::Beam, kBroadband); }
void BM_HistogramMaps5s48k(benchmark::State& state) { Maps(state, MapEstimator::Histogram, kBroadband); }
void BM_HistogramMaps1000Hz5s48k(benchmark::State& state) { Maps(state, MapEstimator::Histogram, 1000); }
BENCHMARK(BM_BeamMaps5s48k)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HistogramMaps5s48k)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HistogramMaps1000Hz5s48k)->Unit(benchmark::kMillisecond);

// The whole command's share: the room parameters' decay found as well.
void BM_HistogramMapsWithDecay5s48k(benchmark::State& state)
{
    const BFormatSignal& signal = FiveSecondRoom();
    EnergyMapOptions options;
    options.estimator = MapEstimator::Histogram;
    for (auto _ : state) {
        Result<EnergyMapSet> maps = ComputeEnergyMaps(signal, options);
        benchmark::DoNotOptimize(maps.Ok());
    }
}
BENCHMARK(BM_HistogramMapsWithDecay5s48k)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
