#include "analysis/FrameAccumulator.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>

namespace halvane {
namespace {

std::int64_t FloorDiv(std::int64_t a, std::int64_t b)
{
    const std::int64_t q = a / b;
    return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}

std::int64_t CeilDiv(std::int64_t a, std::int64_t b) { return -FloorDiv(-a, b); }

// One frame into the sums, in the order the results depend on.
inline void AddFrame16(WindowSums& s, std::int32_t w, std::int32_t y, std::int32_t z, std::int32_t x)
{
    s.De16 += static_cast<std::int64_t>(w * w) + static_cast<std::int64_t>(x * x) + static_cast<std::int64_t>(y * y) +
              static_cast<std::int64_t>(z * z);
    s.Ix16 += x * w;
    s.Iy16 += y * w;
    s.Iz16 += z * w;
}

inline void AddFrame32(WindowSums& s, float w, float y, float z, float x)
{
    float de = s.De32;
    de = de + w * w;
    de = de + x * x;
    de = de + y * y;
    de = de + z * z;
    s.De32 = de;
    s.Ix32 = s.Ix32 + x * w;
    s.Iy32 = s.Iy32 + y * w;
    s.Iz32 = s.Iz32 + z * w;
}

template <typename T> inline T LoadLe(const std::byte* p)
{
    static_assert(std::endian::native == std::endian::little,
                  "the fast frame path reads little-endian samples directly");
    T value;
    std::memcpy(&value, p, sizeof value);
    return value;
}

// Frames of 16-bit samples wholly inside the image, stride known at compile
// time where it is the usual 8 bytes so that the loop vectorises. Integer sums
// are exact, so any order of additions gives the same result.
template <int kStride> void Sum16(WindowSums& s, const std::byte* p, std::int64_t count, std::int64_t stride)
{
    const std::int64_t step = kStride > 0 ? kStride : stride;
    std::int64_t de = 0, ix = 0, iy = 0, iz = 0;
    for (std::int64_t i = 0; i < count; ++i, p += step) {
        const std::int32_t w = LoadLe<std::int16_t>(p);
        const std::int32_t y = LoadLe<std::int16_t>(p + 2);
        const std::int32_t z = LoadLe<std::int16_t>(p + 4);
        const std::int32_t x = LoadLe<std::int16_t>(p + 6);
        de += static_cast<std::int64_t>(w * w) + static_cast<std::int64_t>(x * x) + static_cast<std::int64_t>(y * y) +
              static_cast<std::int64_t>(z * z);
        ix += x * w;
        iy += y * w;
        iz += z * w;
    }
    s.De16 += de;
    s.Ix16 += ix;
    s.Iy16 += iy;
    s.Iz16 += iz;
}

// The usual 16-bit layout (four samples, 8 bytes a frame). Compiled twice,
// for the baseline and for processors with AVX2 (chosen when the program
// starts), since the widening integer arithmetic vectorises much better there.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
__attribute__((target_clones("avx2", "default")))
#endif
void Sum16Packed(WindowSums& s, const std::byte* p, std::int64_t count)
{
    Sum16<8>(s, p, count, 8);
}

void Sum32(WindowSums& s, const std::byte* p, std::int64_t count, std::int64_t stride)
{
    for (std::int64_t i = 0; i < count; ++i, p += stride) {
        AddFrame32(s, LoadLe<float>(p), LoadLe<float>(p + 4), LoadLe<float>(p + 8), LoadLe<float>(p + 12));
    }
}

// Four windows side by side, one lane each: frame i of window j is at
// bases[j] + i * 16. The 4 x 4 transpose turns four frames (W Y Z X each)
// into a W vector, a Y vector and so on; every lane then sees exactly the
// scalar sequence of single-precision operations.
using Float4 = float __attribute__((vector_size(16)));

inline Float4 LoadFloat4(const std::byte* p)
{
    Float4 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

void SumFourWindows32(std::array<WindowSums*, 4> sums, std::array<const std::byte*, 4> bases, std::int64_t count)
{
    Float4 de = {0, 0, 0, 0}, ix = de, iy = de, iz = de;
    // The next four windows usually follow these; one cache line of them is
    // asked for per frame, so that they arrive while these are summed (the
    // first read of a file's page otherwise waits for memory).
    const std::byte* next = bases[3] + count * 16;
    for (std::int64_t i = 0; i < count; ++i) {
        const std::int64_t offset = i * 16;
        __builtin_prefetch(next + i * 64);
        const Float4 a = LoadFloat4(bases[0] + offset);
        const Float4 b = LoadFloat4(bases[1] + offset);
        const Float4 c = LoadFloat4(bases[2] + offset);
        const Float4 d = LoadFloat4(bases[3] + offset);
        const Float4 wy01 = __builtin_shufflevector(a, b, 0, 4, 1, 5);
        const Float4 wy23 = __builtin_shufflevector(c, d, 0, 4, 1, 5);
        const Float4 zx01 = __builtin_shufflevector(a, b, 2, 6, 3, 7);
        const Float4 zx23 = __builtin_shufflevector(c, d, 2, 6, 3, 7);
        const Float4 w = __builtin_shufflevector(wy01, wy23, 0, 1, 4, 5);
        const Float4 y = __builtin_shufflevector(wy01, wy23, 2, 3, 6, 7);
        const Float4 z = __builtin_shufflevector(zx01, zx23, 0, 1, 4, 5);
        const Float4 x = __builtin_shufflevector(zx01, zx23, 2, 3, 6, 7);
        de = de + w * w;
        de = de + x * x;
        de = de + y * y;
        de = de + z * z;
        ix = ix + x * w;
        iy = iy + y * w;
        iz = iz + z * w;
    }
    for (int lane = 0; lane < 4; ++lane) {
        sums[lane]->De32 = de[lane];
        sums[lane]->Ix32 = ix[lane];
        sums[lane]->Iy32 = iy[lane];
        sums[lane]->Iz32 = iz[lane];
    }
}

}  // namespace

FrameAccumulator::FrameAccumulator(std::span<const std::byte> image, const WavHeader& header, double samplesPerWindow)
    : m_image(image), m_header(header), m_samplesPerWindow(samplesPerWindow), m_framesPerWindow(0),
      m_frameBytes(header.BitsPerSample == 16 ? 8 : 16)
{
    // floor(SamplesPerWindow); the bound only matters for absurd windows.
    constexpr double kMaxFrames = 1099511627776.0;
    if (samplesPerWindow >= 1.0) {
        m_framesPerWindow = static_cast<std::int64_t>(std::floor(std::min(samplesPerWindow, kMaxFrames)));
    }
}

FrameAccumulator::FrameRange FrameAccumulator::RangeOf(std::int64_t windowStart) const
{
    const std::int64_t stride = m_header.BlockAlign;
    const std::int64_t dataOffset = m_header.DataStart - 1;
    const std::int64_t size = static_cast<std::int64_t>(m_image.size());
    // Frame k lies at byte offset (windowStart + k) * stride + dataOffset.
    FrameRange range;
    range.first = std::max<std::int64_t>(1, FloorDiv(-m_frameBytes - dataOffset, stride) + 1 - windowStart);
    range.last = std::min(m_framesPerWindow, CeilDiv(size - dataOffset, stride) - 1 - windowStart);
    range.fullFirst = std::max(range.first, CeilDiv(-dataOffset, stride) - windowStart);
    range.fullLast = std::min(range.last, FloorDiv(size - m_frameBytes - dataOffset, stride) - windowStart);
    if (range.fullLast < range.fullFirst) {
        range.fullFirst = range.last + 1;
        range.fullLast = range.last;
    }
    return range;
}

void FrameAccumulator::AddFramesChecked(WindowSums& sums, std::int64_t windowStart, std::int64_t kFirst,
                                        std::int64_t kLast) const
{
    for (std::int64_t k = kFirst; k <= kLast; ++k) {
        const Frame f = ReadFrame(m_image, FramePosition(m_header, windowStart, k), m_header.BitsPerSample);
        if (sums.isFloat) {
            AddFrame32(sums, static_cast<float>(f.W), static_cast<float>(f.Y), static_cast<float>(f.Z),
                       static_cast<float>(f.X));
        } else {
            AddFrame16(sums, static_cast<std::int32_t>(f.W), static_cast<std::int32_t>(f.Y),
                       static_cast<std::int32_t>(f.Z), static_cast<std::int32_t>(f.X));
        }
    }
}

void FrameAccumulator::AddFramesFast(WindowSums& sums, std::int64_t windowStart, std::int64_t kFirst,
                                     std::int64_t kLast) const
{
    if (kLast < kFirst) return;
    const std::int64_t stride = m_header.BlockAlign;
    const std::byte* p = m_image.data() + (FramePosition(m_header, windowStart, kFirst) - 1);
    const std::int64_t count = kLast - kFirst + 1;
    if (sums.isFloat) {
        Sum32(sums, p, count, stride);
    } else if (stride == 8) {
        Sum16Packed(sums, p, count);
    } else {
        Sum16<0>(sums, p, count, stride);
    }
}

WindowSums FrameAccumulator::Window(double windowIndex) const
{
    WindowSums sums;
    sums.isFloat = m_header.BitsPerSample == 32;
    const std::int64_t start = WindowStartFrame(windowIndex, m_samplesPerWindow);
    const FrameRange r = RangeOf(start);
    if (r.last < r.first) return sums;
    // Partial frames before the wholly-inside ones, then those, then partial
    // frames after them: the frames stay in k order.
    AddFramesChecked(sums, start, r.first, std::min(r.last, r.fullFirst - 1));
    AddFramesFast(sums, start, r.fullFirst, r.fullLast);
    AddFramesChecked(sums, start, std::max(r.fullLast + 1, r.fullFirst), r.last);
    return sums;
}

void FrameAccumulator::Windows(std::span<const double> windowIndices, std::span<WindowSums> out) const
{
    std::size_t i = 0;
    const bool lanes = m_header.BitsPerSample == 32 && m_header.BlockAlign == 16 && m_framesPerWindow > 0;
    while (lanes && i + 4 <= out.size()) {
        std::array<std::int64_t, 4> starts{};
        bool allInside = true;
        for (std::size_t j = 0; j < 4; ++j) {
            starts[j] = WindowStartFrame(windowIndices[i + j], m_samplesPerWindow);
            const FrameRange r = RangeOf(starts[j]);
            allInside = allInside && r.fullFirst == 1 && r.fullLast == m_framesPerWindow;
        }
        if (!allInside) {
            out[i] = Window(windowIndices[i]);
            ++i;
            continue;
        }
        std::array<WindowSums*, 4> sums{};
        std::array<const std::byte*, 4> bases{};
        for (std::size_t j = 0; j < 4; ++j) {
            out[i + j] = WindowSums{};
            out[i + j].isFloat = true;
            sums[j] = &out[i + j];
            bases[j] = m_image.data() + (FramePosition(m_header, starts[j], 1) - 1);
        }
        SumFourWindows32(sums, bases, m_framesPerWindow);
        i += 4;
    }
    for (; i < out.size(); ++i) out[i] = Window(windowIndices[i]);
}

}  // namespace halvane
