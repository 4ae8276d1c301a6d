// The whole-response analyses (bands, room parameters) as a hostile or unlucky input drives
// them: damaged samples, a stop asked for in the middle, responses far longer than a room's.

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "analysis/room/BandFiltered.h"
#include "analysis/room/OctaveBands.h"
#include "bformat/BFormatSignal.h"
#include "bformat/WavWriter.h"
#include "files/InputSource.h"
#include "support/RunCommand.h"
#include "support/TestWav.h"

namespace halvane {
namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

// A decaying plane wave of 0.4 s at 48 kHz in the float layout, with the given samples
// replaced: (frame, channel in W, Y, Z, X order, value).
std::vector<std::byte> DamagedResponse(const std::vector<std::tuple<std::size_t, int, float>>& damage)
{
    std::vector<test::Frame4> frames;
    for (std::size_t n = 0; n < 19200; ++n) frames.push_back(test::PlaneWave(0.5 * std::exp(-1e-3 * n), 40, 10));
    for (const auto& [frame, channel, value] : damage) {
        double* slots[] = {&frames[frame].W, &frames[frame].Y, &frames[frame].Z, &frames[frame].X};
        *slots[channel] = value;
    }
    return test::MakeWav(frames);
}

// The band image made the way it was before it was streamed: the whole signal filtered at once.
std::vector<std::byte> BandOfWholeSignal(const BFormatSignal& signal, int nominalHz)
{
    const BFormatSignal band = FilterToOctaveBand(signal, nominalHz);
    std::vector<float> interleaved;
    for (std::size_t i = 0; i < band.Frames(); ++i)
        interleaved.insert(interleaved.end(), {band.W[i], band.Y[i], band.Z[i], band.X[i]});
    std::ostringstream file;
    EXPECT_TRUE(WriteFloatWav(file, static_cast<std::uint32_t>(signal.SampleRateHz), 4, interleaved).Ok());
    const std::string bytes = file.str();
    const auto* first = reinterpret_cast<const std::byte*>(bytes.data());
    return {first, first + bytes.size()};
}

TEST(WholeResponseHostile, NonFiniteSamplesAreHeldAsZeroAndCounted)
{
    struct Case {
        const char* name;
        std::vector<std::tuple<std::size_t, int, float>> damage;
    };
    const std::vector<Case> cases = {
        {"none", {}},
        {"one NaN in W at the direct sound", {{0, 0, kNaN}}},
        {"infinities of both signs in Y and X", {{200, 1, kInf}, {9000, 3, -kInf}}},
        {"a NaN in every channel of one frame", {{5, 0, kNaN}, {5, 1, kNaN}, {5, 2, kNaN}, {5, 3, kNaN}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<std::byte> file = DamagedResponse(c.damage);
        const auto signal = ReadBFormatSignal(file);
        ASSERT_TRUE(signal.Ok()) << signal.Message();
        EXPECT_EQ(signal->NonFiniteSamples, static_cast<std::int64_t>(c.damage.size()));
        const std::vector<float>* channels[] = {&signal->W, &signal->Y, &signal->Z, &signal->X};
        for (const auto& [frame, channel, value] : c.damage) EXPECT_EQ((*channels[channel])[frame], 0.0f);
        for (const std::vector<float>* channel : channels)
            for (const float v : *channel) ASSERT_TRUE(std::isfinite(v));

        // The band of the damaged file is the band of the file with zeros there, byte for byte.
        std::int64_t counted = -1;
        const auto band = BandFilteredImage(BorrowedImage(file), 500, Cancellation::Never(), &counted);
        ASSERT_TRUE(band.Ok()) << band.Message();
        EXPECT_EQ(counted, static_cast<std::int64_t>(c.damage.size()));
        EXPECT_EQ(*band, BandOfWholeSignal(*signal, 500));
    }
}

TEST(WholeResponseHostile, BandImagesAreTheWholeSignalsFilteredAtEveryLength)
{
    // Lengths about the filter's blocks, 16-bit and float, a band at each end of the range.
    const std::size_t block = OctaveBandFilter::kBlockFrames;
    for (const std::size_t frames : {std::size_t{0}, std::size_t{1}, block - 1, block + 1, 2 * block + 5}) {
        for (const int bits : {16, 32}) {
            for (const int hz : {125, 4000}) {
                SCOPED_TRACE(std::to_string(frames) + " frames, " + std::to_string(bits) + " bits, " +
                             std::to_string(hz) + " Hz");
                std::vector<test::Frame4> response;
                for (std::size_t n = 0; n < frames; ++n) {
                    const double s = (bits == 16 ? 16000.0 : 0.5) * std::exp(-2e-5 * n) * std::cos(0.07 * n);
                    response.push_back({s, 0.5 * s, -0.25 * s, 0.75 * s});
                }
                test::WavFormat format;
                format.bits = bits;
                const std::vector<std::byte> file = test::MakeWav(response, format);
                const auto band = BandFilteredImage(BorrowedImage(file), hz);
                ASSERT_TRUE(band.Ok()) << band.Message();
                EXPECT_EQ(*band, BandOfWholeSignal(*ReadBFormatSignal(file), hz));
            }
        }
    }
}

// The resident pages of the mapping of path in this process, in kB (-1: not mapped).
long MappedKilobytes(const std::string& path)
{
    std::ifstream maps("/proc/self/smaps");
    bool inMapping = false;
    for (std::string line; std::getline(maps, line);) {
        if (line.find(path) != std::string::npos) inMapping = true;
        if (inMapping && line.rfind("Rss:", 0) == 0) return std::stol(line.substr(4));
    }
    return -1;
}

TEST(WholeResponseHostile, TheBandFilteringGivesTheFilesPagesBack)
{
    // 16 MB of float frames, so that pages kept back would show.
    std::vector<test::Frame4> frames(1'000'000);
    for (std::size_t n = 0; n < frames.size(); ++n) frames[n] = test::PlaneWave(0.5 * std::exp(-1e-4 * n), 40, 10);
    const halvane::testing::ScratchFolder scratch("band-pages");
    const std::string path = (scratch.Path() / "long.wav").string();
    {
        const std::vector<std::byte> bytes = test::MakeWav(frames);
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    }
    frames = {};
    DiskInput disk;
    auto input = disk.Open(path);
    ASSERT_TRUE(input.Ok()) << input.Message();
    const auto band = BandFilteredImage(**input, 500, Cancellation::Never(), nullptr);
    ASSERT_TRUE(band.Ok()) << band.Message();
    const long kept = MappedKilobytes(path);
    ASSERT_GE(kept, 0);
    EXPECT_LE(kept, 4096);
}

TEST(WholeResponseHostile, AStopDuringTheBandFilteringEndsItWithoutAnImage)
{
    const std::vector<std::byte> file = DamagedResponse({});
    Cancellation stop;
    stop.Request(2);
    const auto band = BandFilteredImage(BorrowedImage(file), 1000, stop);
    EXPECT_FALSE(band.Ok());
    EXPECT_EQ(band.Message(), kCancelledMessage);
}

}  // namespace
}  // namespace halvane
