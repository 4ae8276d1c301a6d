#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "bformat/WavHeader.h"

namespace halvane {

// The four sums of one averaging window, in the arithmetic of the samples:
// 16-bit samples give exact integer sums (products as 32-bit integers, sums in
// 64 bits); 32-bit samples give single-precision sums, every product and every
// addition rounded to single precision, in the order
// De = (((De + W^2) + X^2) + Y^2) + Z^2, Ix += X W, Iy += Y W, Iz += Z W.
struct WindowSums {
    bool isFloat = false;  // 32-bit samples: the f fields hold the sums
    std::int64_t De16 = 0, Ix16 = 0, Iy16 = 0, Iz16 = 0;
    float De32 = 0, Ix32 = 0, Iy32 = 0, Iz32 = 0;

    double De() const { return isFloat ? De32 : static_cast<double>(De16); }
    double Ix() const { return isFloat ? Ix32 : static_cast<double>(Ix16); }
    double Iy() const { return isFloat ? Iy32 : static_cast<double>(Iy16); }
    double Iz() const { return isFloat ? Iz32 : static_cast<double>(Iz16); }
    // True unless a 32-bit sum is not-a-number or infinite.
    bool Finite() const;
    // sqrt((Ix^2 + Iy^2) + Iz^2): squares and additions in double precision
    // for 16-bit sums, in single precision (each step rounded) for 32-bit
    // sums; the square root in double precision. Not floored.
    double IntensityMagnitude() const;
};

// Sums the frames of averaging windows in one in-memory file image. Frames
// outside the image read as zeros and add nothing, so they are not visited:
// a window far past the end of a file costs no more than an empty one.
class FrameAccumulator {
public:
    // header must have BlockAlign above 0 and BitsPerSample 16 or 32.
    FrameAccumulator(std::span<const std::byte> image, const WavHeader& header, double samplesPerWindow);

    // The sums of window windowIndex (frames k = 1 .. floor(SamplesPerWindow)).
    WindowSums Window(double windowIndex) const;

    // The sums of the windows windowIndices[i] into out[i] (same sizes).
    // Identical to calling Window for each; 32-bit windows are summed side by
    // side, one SIMD lane per window, which keeps every lane's order of
    // additions and so its result bit for bit.
    void Windows(std::span<const double> windowIndices, std::span<WindowSums> out) const;

private:
    // The frames k of a window that touch the image at all, and among them
    // the ones lying wholly inside it.
    struct FrameRange {
        std::int64_t first = 1, last = 0;          // touching frames
        std::int64_t fullFirst = 1, fullLast = 0;  // wholly inside
    };
    FrameRange RangeOf(std::int64_t windowStart) const;
    void AddFramesChecked(WindowSums& sums, std::int64_t windowStart, std::int64_t kFirst, std::int64_t kLast) const;
    void AddFramesFast(WindowSums& sums, std::int64_t windowStart, std::int64_t kFirst, std::int64_t kLast) const;
    

    std::span<const std::byte> m_image;
    WavHeader m_header;
    double m_samplesPerWindow;
    std::int64_t m_framesPerWindow;  // floor(SamplesPerWindow), 0 when below 1
    int m_frameBytes;                // bytes of the four samples actually read
};

}  // namespace halvane
