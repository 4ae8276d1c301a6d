#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "bformat/WavHeader.h"
#include "values/WindowQuantities.h"

namespace halvane {

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
