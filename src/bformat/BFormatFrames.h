#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "bformat/BFormatSource.h"
#include "bformat/WavHeader.h"
#include "values/Result.h"

namespace halvane {

// The frames of a four-channel 16 or 32-bit file image as the window's reader
// sees it (bformat/WavHeader.h), read one at a time where they lie: every
// whole frame of the data chunk from its first byte on, as far as both the
// header's DataSize and the file go. Values are full scale +-1 in single
// precision: 16-bit samples divided by 32768 (exact), float samples as
// stored (a NaN or an infinity stays what it is). The image must outlive the
// object.
class BFormatFrames final : public BFormatSource {
public:
    // Fails, with the window's own message, for a file the window refuses:
    // its header's tests, a sample rate of 0 or below, a frame size too small
    // for four samples.
    static Result<BFormatFrames> Open(std::span<const std::byte> image);

    std::size_t Count() const { return m_count; }
    double SampleRateHz() const override { return m_header.SampleRate; }
    std::size_t Frames() const override { return m_count; }
    BFormatSignal Signal(std::size_t first, std::size_t count, bool omniOnly) const override;
    // W, Y, Z, X of frames first to first + n - 1 (all below Count()) into
    // wyzx (4 n values), decoded a block at a time: the frames lie inside the
    // image by construction.
    void Read(std::size_t first, std::size_t n, std::span<float> wyzx) const;
    // Where frame i begins in the image, in bytes from its start (i may be
    // Count(): where the frames end).
    std::int64_t Offset(std::size_t i) const
    {
        return m_header.DataStart - 1 + static_cast<std::int64_t>(i) * m_header.BlockAlign;
    }

private:
    BFormatFrames(std::span<const std::byte> image, const WavHeader& header, std::size_t count)
        : m_image(image), m_header(header), m_count(count)
    {
    }

    std::span<const std::byte> m_image;
    WavHeader m_header;
    std::size_t m_count;
};

}  // namespace halvane
