#include "BenchRooms.h"

#include <algorithm>

#include "simulation/MeasuredPulse.h"
#include "support/RecordedResponse.h"

namespace halvane::bench {
namespace {

using simulation::OpenSite;
using simulation::SampleFormat;
using simulation::ShoeboxRoom;
using simulation::SimulationOptions;

constexpr int kMaxOrder = 3;
constexpr double kSpeedOfSoundMPerS = 343.0;

SimulationOptions Clean(double durationS)
{
    SimulationOptions options;
    options.durationS = durationS;
    options.diffuseTail = false;
    options.noiseDb.reset();
    return options;
}

SimulationOptions Tailed(double durationS, SampleFormat format, std::uint64_t seed)
{
    SimulationOptions options;
    options.durationS = durationS;
    options.format = format;
    options.seed = seed;
    return options;
}

// Measured-like: every reflection coloured, scatteredShare of them scattered;
// a direct peak above 1 clips.
SimulationOptions Coloured(double durationS, SampleFormat format, std::uint64_t seed, double noiseDb,
                           double scatteredShare, double directPeak = 0.5)
{
    SimulationOptions options = Tailed(durationS, format, seed);
    options.noiseDb = noiseDb;
    options.wallFilters = true;
    options.scatteredShare = scatteredShare;
    options.directPeak = directPeak;
    return options;
}

simulation::Scene Room(const ShoeboxRoom& room) { return ShoeboxScene(room, kMaxOrder, kSpeedOfSoundMPerS); }

// Small rooms where reflections crowd, halls where the listener is far.
struct Rooms {
    ShoeboxRoom studio;  // 6 x 4.5 x 3 m, the defaults
    ShoeboxRoom nearWall = [] {
        ShoeboxRoom r;  // the listener 0.4 m from the back wall
        r.listener = {0.4, 2.9, 1.25};
        r.source = {3.9, 1.6, 1.5};
        return r;
    }();
    ShoeboxRoom booth{3.1, 2.4, 2.5, {2.2, 1.5, 1.5}, {0.9, 1.1, 1.3}, 0.7, 0.7, 0.65, 0.75, 0.85, 0.6};
    ShoeboxRoom living{5.5, 4.1, 2.6, {0.8, 3.2, 1.0}, {4.3, 1.4, 1.1}, 0.75, 0.8, 0.7, 0.85, 0.6, 0.8};
    ShoeboxRoom control{7.2, 5.3, 3.2, {5.0, 3.4, 1.3}, {2.6, 2.4, 1.25}, 0.5, 0.9, 0.75, 0.8, 0.85, 0.7};
    ShoeboxRoom classroom{9.0, 7.0, 3.2, {7.8, 2.1, 1.6}, {2.4, 4.3, 1.2}, 0.9, 0.88, 0.9, 0.86, 0.8, 0.92};
    ShoeboxRoom lecture{20.0, 15.0, 7.0, {17.5, 6.4, 1.7}, {4.5, 9.1, 2.6}, 0.85, 0.9, 0.8, 0.85, 0.7, 0.8};
    ShoeboxRoom hall{32.0, 21.0, 14.0, {24.0, 9.5, 1.8}, {7.5, 12.5, 4.2}, 0.88, 0.9, 0.86, 0.87, 0.7, 0.85};
    ShoeboxRoom hallFront = [this] {
        ShoeboxRoom r = hall;  // a seat 6 m from the stage
        r.listener = {18.3, 7.1, 1.3};
        return r;
    }();
    ShoeboxRoom wideHall{36.0, 24.0, 16.0, {29.0, 13.0, 1.5}, {6.0, 8.5, 2.2}, 0.85, 0.92, 0.88, 0.8, 0.75, 0.9};
    ShoeboxRoom church{40.0, 14.0, 18.0, {34.0, 7.3, 2.0}, {10.0, 5.5, 1.6}, 0.93, 0.9, 0.92, 0.94, 0.9, 0.88};
    // Low source and listener: the floor reflection 0.88 ms after the direct sound.
    ShoeboxRoom lowStudio = [] {
        ShoeboxRoom r;
        r.source = {4.0, 2.0, 0.6};
        r.listener = {1.0, 2.4, 0.8};
        return r;
    }();
    // Lower still, in the living room: the floor reflection 0.33 ms after it,
    // too close for either to count as resolvable, but the first row must
    // still be the direct sound and the floor no fragment.
    ShoeboxRoom lowLiving = [this] {
        ShoeboxRoom r = living;
        r.source = {0.8, 3.2, 0.45};
        r.listener = {4.3, 1.4, 0.5};
        return r;
    }();
};

// Snow-covered ground as at Koli: the ground reflection 0.86 ms after the
// direct sound, a tree line and two farther reflectors.
OpenSite SnowField()
{
    OpenSite site{{9.6, 0.0, 1.2}, {0.0, 0.0, 1.2}, 0.85, {}};
    site.distant = {simulation::DistantImage(site, {35, 12}, 1.3, 0.15),
                    simulation::DistantImage(site, {-70, -5}, 4.1, 0.3),
                    simulation::DistantImage(site, {130, -10}, 42.0, 0.6)};
    return site;
}

// A monument's plaza: source low, listener high, the ground 1.26 ms behind.
OpenSite Plaza()
{
    OpenSite site{{5.2, -3.0, 0.9}, {0.0, 0.0, 1.5}, 0.9, {}};
    site.distant = {simulation::DistantImage(site, {-150, 20}, 2.4, 0.6),
                    simulation::DistantImage(site, {75, 5}, 9.5, 0.5)};
    return site;
}

}  // namespace

std::vector<BenchRoom> CleanRooms()
{
    const Rooms r;
    const std::string ls = "loudspeaker";
    auto room = [&](const char* name, double rateHz, const ShoeboxRoom& shoebox, SimulationOptions options) {
        return BenchRoom{name, ls, rateHz, Room(shoebox), options};
    };
    return {
        room("studio clean 48k", 48000, r.studio, Clean(0.12)),
        room("booth clean 96k", 96000, r.booth, Clean(0.08)),
        room("hall clean 48k", 48000, r.hall, Clean(0.5)),
        room("church clean 44.1k", 44100, r.church, Clean(0.6)),
        room("studio tail 48k", 48000, r.studio, Tailed(0.6, SampleFormat::Float32, 11)),
        room("studio near wall tail 44.1k", 44100, r.nearWall, Tailed(0.6, SampleFormat::Float32, 18)),
        room("booth tail 44.1k 16-bit", 44100, r.booth, Tailed(0.4, SampleFormat::Pcm16, 12)),
        room("living room tail 48k 16-bit", 48000, r.living, Tailed(0.6, SampleFormat::Pcm16, 19)),
        room("control room tail 96k", 96000, r.control, Tailed(0.5, SampleFormat::Float32, 13)),
        room("classroom tail 48k 16-bit", 48000, r.classroom, Tailed(0.8, SampleFormat::Pcm16, 14)),
        room("lecture hall tail 96k 16-bit", 96000, r.lecture, Tailed(0.8, SampleFormat::Pcm16, 20)),
        room("hall tail 48k", 48000, r.hall, Tailed(1.0, SampleFormat::Float32, 15)),
        room("hall front seat tail 44.1k", 44100, r.hallFront, Tailed(1.0, SampleFormat::Float32, 23)),
        room("wide hall tail 44.1k 16-bit", 44100, r.wideHall, Tailed(1.0, SampleFormat::Pcm16, 16)),
        room("church tail 96k", 96000, r.church, Tailed(1.0, SampleFormat::Float32, 17)),
    };
}

std::vector<BenchRoom> MeasuredLikeRooms()
{
    const Rooms r;
    using F = SampleFormat;
    auto room = [](const char* name, const char* pulse, double rateHz, simulation::Scene scene,
                   SimulationOptions options) {
        return BenchRoom{name, pulse, rateHz, std::move(scene), options};
    };
    return {
        room("studio koli 48k", "koli", 48000, Room(r.studio), Coloured(0.4, F::Float32, 31, -66, 0.3)),
        room("booth tyndall 96k", "tyndall", 96000, Room(r.booth), Coloured(0.3, F::Float32, 32, -64, 0.3)),
        room("low studio st-andrews 44.1k 16-bit", "st-andrews", 44100, Room(r.lowStudio),
             Coloured(0.4, F::Pcm16, 33, -64, 0.3)),
        room("low living room koli 48k", "koli", 48000, Room(r.lowLiving), Coloured(0.4, F::Float32, 34, -66, 0.2)),
        room("living room koli 48k 16-bit clipped", "koli", 48000, Room(r.living),
             Coloured(0.5, F::Pcm16, 35, -62, 0.3, 1.6)),
        room("control room tyndall 44.1k", "tyndall", 44100, Room(r.control), Coloured(0.5, F::Float32, 36, -66, 0.4)),
        room("classroom st-andrews 48k 16-bit", "st-andrews", 48000, Room(r.classroom),
             Coloured(0.6, F::Pcm16, 37, -62, 0.3)),
        room("lecture hall koli 96k clipped", "koli", 96000, Room(r.lecture),
             Coloured(0.6, F::Float32, 38, -64, 0.4, 1.4)),
        room("hall st-andrews 48k", "st-andrews", 48000, Room(r.hall), Coloured(0.6, F::Float32, 39, -66, 0.4)),
        room("hall front seat tyndall 44.1k 16-bit", "tyndall", 44100, Room(r.hallFront),
             Coloured(0.6, F::Pcm16, 40, -62, 0.3)),
        room("church koli 48k", "koli", 48000, Room(r.church), Coloured(0.6, F::Float32, 41, -64, 0.5)),
        room("wide hall st-andrews 96k 16-bit clipped", "st-andrews", 96000, Room(r.wideHall),
             Coloured(0.6, F::Pcm16, 42, -60, 0.4, 1.8)),
        room("outdoors snow koli 48k", "koli", 48000, OpenSiteScene(SnowField()),
             Coloured(0.3, F::Float32, 43, -66, 0.3)),
        room("outdoors plaza tyndall 96k 16-bit clipped", "tyndall", 96000, OpenSiteScene(Plaza()),
             Coloured(0.3, F::Pcm16, 44, -62, 0.5, 1.5)),
    };
}

Result<simulation::SystemPulse> PulseCache::Get(const std::string& name, double rateHz)
{
    if (const auto found = m_pulses.find({name, rateHz}); found != m_pulses.end()) return found->second;
    if (name == "loudspeaker")
        return m_pulses.emplace(std::pair{name, rateHz}, simulation::SystemPulse::Loudspeaker(rateHz)).first->second;
    auto recording = m_recordings.find(name);
    if (recording == m_recordings.end()) {
        const auto source = std::find_if(simulation::kRecordedPulses.begin(), simulation::kRecordedPulses.end(),
                                         [&](const simulation::RecordedPulse& p) { return p.name == name; });
        if (source == simulation::kRecordedPulses.end()) return Failure{"no recorded pulse named " + name};
        const auto signal = test::ReadRecordedResponse(m_dir / source->fileName, kFuma);
        if (!signal) return Failure{signal.Message()};
        auto cut = simulation::CutDirectPulse(*signal, source->cut, name);
        if (!cut) return Failure{cut.Message()};
        recording = m_recordings.emplace(name, std::move(*cut)).first;
    }
    return m_pulses.emplace(std::pair{name, rateHz}, simulation::SystemPulse::Measured(recording->second, rateHz))
        .first->second;
}

simulation::SimulatedResponse Simulate(const BenchRoom& room, const simulation::SystemPulse& pulse)
{
    return simulation::RoomSimulator(pulse).Simulate(room.scene, room.options);
}

}  // namespace halvane::bench
