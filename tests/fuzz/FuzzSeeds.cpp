#include "FuzzSeeds.h"

#include <cmath>
#include <cstddef>

#include "support/TestWav.h"

namespace halvane::fuzz {
namespace {

using test::Frame4;
using test::Layout;

// 200 frames at 48 kHz: a direct sound from the front left, two reflections
// from behind and above, and a decaying tail, so that the direction pass has
// windows to write.
std::vector<Frame4> Arrivals(double scale)
{
    std::vector<Frame4> frames(200);
    const struct {
        std::size_t frame;
        double gain, azDeg, elDeg;
    } arrivals[] = {{10, 1.0, 30, 0}, {70, 0.5, 170, 10}, {130, 0.3, -60, 45}};
    for (const auto& a : arrivals) {
        for (std::size_t i = 0; i < 30 && a.frame + i < frames.size(); ++i) {
            const Frame4 f =
                test::PlaneWave(a.gain * scale * std::exp(-0.15 * static_cast<double>(i)), a.azDeg, a.elDeg);
            Frame4& out = frames[a.frame + i];
            out.W += f.W;
            out.Y += f.Y;
            out.Z += f.Z;
            out.X += f.X;
        }
    }
    if (scale > 1) {
        for (Frame4& f : frames) f = {std::round(f.W), std::round(f.Y), std::round(f.Z), std::round(f.X)};
    }
    return frames;
}

// The canonical file with an odd-sized LIST chunk before fmt and an odd
// junk chunk between fmt and data, each followed by its pad byte.
std::vector<std::byte> WithOddChunks(std::vector<std::byte> canonical)
{
    const auto chunk = [](const char* id, std::uint32_t size) {
        std::vector<std::byte> b;
        test::PutId(b, id);
        test::PutU32(b, size);
        for (std::uint32_t i = 0; i < size + (size & 1u); ++i) b.push_back(std::byte('a' + i % 26));
        return b;
    };
    const auto list = chunk("LIST", 3);
    const auto junk = chunk("junk", 5);
    canonical.insert(canonical.begin() + 36, junk.begin(), junk.end());
    canonical.insert(canonical.begin() + 12, list.begin(), list.end());
    return canonical;
}

std::vector<std::uint8_t> AsBytes(const std::vector<std::byte>& b)
{
    std::vector<std::uint8_t> out(b.size());
    for (std::size_t i = 0; i < b.size(); ++i) out[i] = static_cast<std::uint8_t>(b[i]);
    return out;
}

}  // namespace

std::vector<Seed> SeedCorpus()
{
    std::vector<Seed> seeds;
    for (const int bits : {16, 32}) {
        const auto frames = Arrivals(bits == 16 ? 20000.0 : 0.6);
        test::WavFormat format;
        format.bits = bits;
        const std::string width = bits == 16 ? "16bit" : "32bit";
        struct {
            const char* name;
            std::vector<std::byte> bytes;
        } layouts[] = {
            {"data-at-37", test::MakeWav(frames, {.bits = bits, .layout = Layout::Canonical44})},
            {"data-at-97", test::MakeWav(frames, {.bits = bits, .layout = Layout::Data97})},
            {"odd-chunks", WithOddChunks(test::MakeWav(frames, {.bits = bits, .layout = Layout::Canonical44}))},
            {"not-riff", test::MakeWav(frames, {.bits = bits, .layout = Layout::NotRiff})},
        };
        for (const auto& layout : layouts) {
            const std::vector<std::uint8_t> whole = AsBytes(layout.bytes);
            const std::string name = std::string(layout.name) + "-" + width;
            seeds.push_back({name + ".wav", whole});
            // Cut inside the fixed header, right after it, inside the data
            // chunk header at 97, inside a frame, and halfway.
            for (const std::size_t cut : {std::size_t{20}, std::size_t{36}, std::size_t{44}, std::size_t{100},
                                          std::size_t{104}, whole.size() - 3, whole.size() / 2}) {
                seeds.push_back(
                    {name + "-cut-" + std::to_string(cut) + ".wav",
                     std::vector<std::uint8_t>(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(cut))});
            }
        }
    }
    return seeds;
}

}  // namespace halvane::fuzz
