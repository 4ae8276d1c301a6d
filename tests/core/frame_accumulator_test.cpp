#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "analysis/FrameAccumulator.h"
#include "support/TestWav.h"

namespace halvane {
namespace {

using test::Frame4;
using test::MakeWav;
using test::WavFormat;

// The sums of one window by the plain reading of every frame: the reference
// the fast paths must equal bit for bit.
WindowSums NaiveWindow(const std::vector<std::byte>& image, const WavHeader& h, double spw, double windowIndex)
{
    WindowSums s;
    s.isFloat = h.BitsPerSample == 32;
    const std::int64_t start = WindowStartFrame(windowIndex, spw);
    for (std::int64_t k = 1; k <= spw; ++k) {
        const Frame f = ReadFrame(image, FramePosition(h, start, k), h.BitsPerSample);
        if (s.isFloat) {
            const float w = static_cast<float>(f.W), y = static_cast<float>(f.Y), z = static_cast<float>(f.Z),
                        x = static_cast<float>(f.X);
            s.De32 = s.De32 + w * w;
            s.De32 = s.De32 + x * x;
            s.De32 = s.De32 + y * y;
            s.De32 = s.De32 + z * z;
            s.Ix32 = s.Ix32 + x * w;
            s.Iy32 = s.Iy32 + y * w;
            s.Iz32 = s.Iz32 + z * w;
        } else {
            const auto w = static_cast<std::int64_t>(f.W), y = static_cast<std::int64_t>(f.Y),
                       z = static_cast<std::int64_t>(f.Z), x = static_cast<std::int64_t>(f.X);
            s.De16 += w * w + x * x + y * y + z * z;
            s.Ix16 += x * w;
            s.Iy16 += y * w;
            s.Iz16 += z * w;
        }
    }
    return s;
}

void ExpectSameBits(const WindowSums& a, const WindowSums& b, const std::string& where)
{
    SCOPED_TRACE(where);
    if (a.isFloat) {
        EXPECT_EQ(std::bit_cast<std::uint32_t>(a.De32), std::bit_cast<std::uint32_t>(b.De32));
        EXPECT_EQ(std::bit_cast<std::uint32_t>(a.Ix32), std::bit_cast<std::uint32_t>(b.Ix32));
        EXPECT_EQ(std::bit_cast<std::uint32_t>(a.Iy32), std::bit_cast<std::uint32_t>(b.Iy32));
        EXPECT_EQ(std::bit_cast<std::uint32_t>(a.Iz32), std::bit_cast<std::uint32_t>(b.Iz32));
    } else {
        EXPECT_EQ(a.De16, b.De16);
        EXPECT_EQ(a.Ix16, b.Ix16);
        EXPECT_EQ(a.Iy16, b.Iy16);
        EXPECT_EQ(a.Iz16, b.Iz16);
    }
}

TEST(FrameAccumulator, SumsOfKnownWindows)
{
    {
        SCOPED_TRACE("32-bit W = X = 0.5 over 240 frames: 120, 60, 0, 0");
        const auto bytes = MakeWav(test::Repeat({0.5, 0, 0, 0.5}, 1000));
        const FrameAccumulator acc(bytes, ReadWavHeader(bytes), 240);
        const WindowSums s = acc.Window(1);
        EXPECT_EQ(s.De32, 120.0f);
        EXPECT_EQ(s.Ix32, 60.0f);
        EXPECT_EQ(s.Iy32, 0.0f);
        EXPECT_EQ(s.IntensityMagnitude(), 60.0);
    }
    {
        SCOPED_TRACE("16-bit full-scale negative samples do not overflow");
        WavFormat format;
        format.bits = 16;
        const auto bytes = MakeWav(test::Repeat({-32768, -32768, -32768, -32768}, 500), format);
        const FrameAccumulator acc(bytes, ReadWavHeader(bytes), 240);
        const WindowSums s = acc.Window(0);
        EXPECT_EQ(s.De16, 4294967296LL * 240);
        EXPECT_EQ(s.Ix16, 1073741824LL * 240);
        EXPECT_EQ(s.Iy16, 1073741824LL * 240);
        EXPECT_EQ(s.Iz16, 1073741824LL * 240);
    }
    {
        SCOPED_TRACE("16-bit W = 200, X = -100: negative Ix, exact");
        WavFormat format;
        format.bits = 16;
        const auto bytes = MakeWav(test::Repeat({200, 0, 0, -100}, 500), format);
        const WindowSums s = FrameAccumulator(bytes, ReadWavHeader(bytes), 240).Window(0);
        EXPECT_EQ(s.Ix16, -20000 * 240);
        EXPECT_EQ(s.De16, 50000 * 240);
    }
}

TEST(FrameAccumulator, FrameCountPerWindowIsTheWholePartOfSamplesPerWindow)
{
    const auto bytes = MakeWav(test::Repeat({1, 0, 0, 0}, 2000));
    const WavHeader h = ReadWavHeader(bytes);
    EXPECT_EQ(FrameAccumulator(bytes, h, 220.5).Window(0).De32, 220.0f);
    EXPECT_EQ(FrameAccumulator(bytes, h, 0.9).Window(3).De32, 0.0f);  // below one sample: no frame
}

TEST(FrameAccumulator, FastPathsEqualTheFrameByFrameReading)
{
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> uniform(-1.0f, 1.0f);
    std::uniform_int_distribution<int> int16(-32768, 32767);
    struct Row {
        const char* name;
        int bits;
        int blockAlign;
        double spw;
        double firstWindow;
    };
    const Row rows[] = {
        {"float, 48 kHz, 5 ms", 32, 16, 240, 0},  {"float, 44.1 kHz, 5 ms, fractional start", 32, 16, 220.5, 2.4},
        {"float, padded frames", 32, 20, 100, 0}, {"16-bit, 44.1 kHz", 16, 8, 220.5, 0},
        {"16-bit, padded frames", 16, 16, 48, 1}, {"float, negative start", 32, 16, 64, -3},
    };
    for (const Row& row : rows) {
        std::vector<Frame4> frames(3000);
        for (auto& f : frames) {
            if (row.bits == 32)
                f = {uniform(rng), uniform(rng), uniform(rng), uniform(rng)};
            else
                f = {double(int16(rng)), double(int16(rng)), double(int16(rng)), double(int16(rng))};
        }
        WavFormat format;
        format.bits = row.bits;
        format.blockAlign = row.blockAlign;
        const auto bytes = MakeWav(frames, format);
        const WavHeader h = ReadWavHeader(bytes);
        const FrameAccumulator acc(bytes, h, row.spw);
        // Windows up to and past the end of the file, as the rounded window count allows.
        std::vector<double> indices;
        for (double w = row.firstWindow; w < 3000 / row.spw + 3; w += 1) indices.push_back(w);
        std::vector<WindowSums> batch(indices.size());
        acc.Windows(indices, batch);
        for (std::size_t i = 0; i < indices.size(); ++i) {
            const std::string where = std::string(row.name) + ", window " + std::to_string(indices[i]);
            const WindowSums naive = NaiveWindow(bytes, h, row.spw, indices[i]);
            ExpectSameBits(acc.Window(indices[i]), naive, where + " (single)");
            ExpectSameBits(batch[i], naive, where + " (side by side)");
        }
    }
}

TEST(FrameAccumulator, NonFiniteSamplesGiveNonFiniteSums)
{
    const float inf = std::numeric_limits<float>::infinity();
    const auto bytes = MakeWav({{1, 0, 0, 0}, {inf, 0, 0, 1}, {1, 0, 0, 0}});
    const WindowSums s = FrameAccumulator(bytes, ReadWavHeader(bytes), 2).Window(0);
    EXPECT_FALSE(s.Finite());
    EXPECT_TRUE(std::isinf(s.De32));
}

TEST(FrameAccumulator, WindowsFarOutsideTheFileCostNothingAndSumZero)
{
    const auto bytes = MakeWav(test::Repeat({1, 1, 1, 1}, 10));
    const FrameAccumulator acc(bytes, ReadWavHeader(bytes), 1e9);  // a claimed billion frames per window
    const WindowSums s = acc.Window(1e6);
    EXPECT_EQ(s.De32, 0.0f);
    const WindowSums first = acc.Window(0);
    EXPECT_EQ(first.De32, 36.0f);  // frames 1 to 9 of the file exist, 4 each
}

}  // namespace
}  // namespace halvane
