#pragma once

// The benchmark's rooms: clean simulated rooms (the ideal loudspeaker pulse,
// plane-wave gains) and measured-like ones (a measured pulse with its own
// figure-of-eight responses, wall filters, scattering, floor and ground
// reflections close behind the direct sound, some clipped). The set is fixed:
// every run scores the same responses.

#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "simulation/RoomSimulator.h"
#include "values/Result.h"

namespace halvane::bench {

struct BenchRoom {
    std::string name;
    std::string pulse;  // "loudspeaker", or the name of one of simulation::kRecordedPulses
    double rateHz = 48000;
    simulation::Scene scene;
    simulation::SimulationOptions options;
};

std::vector<BenchRoom> CleanRooms();
std::vector<BenchRoom> MeasuredLikeRooms();

// The system pulses, each made once per rate: the recordings are read from
// the real-data folder and cut the first time a measured pulse is asked for.
class PulseCache {
public:
    explicit PulseCache(std::filesystem::path realDataDir) : m_dir(std::move(realDataDir)) { }
    // Fails with the reader's words when the recording cannot be read.
    Result<simulation::SystemPulse> Get(const std::string& name, double rateHz);

private:
    std::filesystem::path m_dir;
    std::map<std::string, simulation::MeasuredPulse> m_recordings;
    std::map<std::pair<std::string, double>, simulation::SystemPulse> m_pulses;
};

simulation::SimulatedResponse Simulate(const BenchRoom& room, const simulation::SystemPulse& pulse);

}  // namespace halvane::bench
