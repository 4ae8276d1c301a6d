#pragma once

// The 32-bit float WAV layout that both a chunk-walking reader and a reader with fixed
// positions open: RIFF/WAVE, "fmt " (16 bytes, format code 3), "fact" (frame count),
// "PEAK" (version, time stamp, then per channel the peak's absolute value and frame), and
// then "data". With four channels the data chunk header starts at byte 97 (1-based, offset
// 96) and the first sample at byte 105.

#include <cstdint>
#include <ostream>
#include <span>
#include <string>

namespace halvane::wavio {

/// Offset (0-based) of the data chunk header in a four-channel file of this layout.
inline constexpr std::uint64_t kFourChannelDataHeaderOffset = 96;

struct WavWriteResult {
    bool ok = true;
    std::string message;  // why nothing or not everything was written, when !ok
};

/// Writes interleaved samples (frameCount x channelCount) as a 32-bit float WAV.
/// The PEAK chunk's time stamp is 0 so the bytes depend on the samples alone.
/// Refuses (without writing) a channel count of 0, a sample count that is not a whole number
/// of frames, a sample rate of 0, and data too large for a 32-bit RIFF size; reports a stream
/// that failed while writing.
WavWriteResult WriteFloatWav(std::ostream& out, std::uint32_t sampleRateHz, int channelCount,
                             std::span<const float> interleaved);

}  // namespace halvane::wavio
