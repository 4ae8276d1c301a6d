#pragma once

// The 32-bit float WAV layout that both a chunk-walking reader and a reader with fixed
// positions open: RIFF/WAVE, "fmt " (16 bytes, format code 3), "fact" (frame count),
// "PEAK" (version 1, time stamp 0, then per channel the largest absolute sample value and the
// first frame holding it), and then "data". With four channels the data chunk header starts
// at byte 97 (1-based, offset 96) and the first sample at byte 105.
//
// The bytes depend on the samples alone (the PEAK time stamp is 0), so equal samples give
// equal files, whether written at once or in blocks.

#include <cstdint>
#include <ostream>
#include <span>
#include <string>
#include <vector>

#include "values/Result.h"

namespace halvane {

// Offset (0-based) of the data chunk header in a four-channel file of this layout.
inline constexpr std::uint64_t kFourChannelDataHeaderOffset = 96;

// The largest data chunk written, in bytes: the window reads the data size as a signed
// 32-bit number, so it stays below 2^31 with room for the header.
inline constexpr std::uint64_t kMaxFloatWavDataBytes = 0x7FFFFFFF - 4096;

// Written, or why nothing or not everything was.
using WavWriteResult = Result<>;

// Whether a file of frameCount frames of channelCount channels at sampleRateHz fits the layout:
// refuses a channel count outside 1..65535, a sample rate of 0, and data above
// kMaxFloatWavDataBytes (or a byte rate above 2^32 - 1).
WavWriteResult CheckFloatWav(std::uint32_t sampleRateHz, int channelCount, std::uint64_t frameCount);

// Writes interleaved samples (frameCount x channelCount) as a 32-bit float WAV, header first;
// never seeks. Refuses, without writing, what CheckFloatWav refuses and a sample count that is
// not a whole number of frames; reports a stream that failed while writing.
WavWriteResult WriteFloatWav(std::ostream& out, std::uint32_t sampleRateHz, int channelCount,
                             std::span<const float> interleaved);

// The same layout built in memory for a known number of frames, set in any order (a
// backward filter pass sets them last to first) and each at most once; frames never set
// hold zeros. The bytes equal WriteFloatWav's for the same samples, the peaks included
// (the first frame holding each channel's largest magnitude).
class FloatWavImage {
public:
    // Refuses what CheckFloatWav refuses.
    static Result<FloatWavImage> Create(std::uint32_t sampleRateHz, int channelCount, std::uint64_t frameCount);

    // Sets frame (below the frame count) to samples, one per channel.
    void SetFrame(std::uint64_t frame, std::span<const float> samples);
    // The whole file, its header completed; the image is empty afterwards.
    std::vector<std::byte> TakeBytes();

private:
    FloatWavImage(std::uint32_t sampleRateHz, int channelCount, std::uint64_t frameCount);

    std::uint32_t m_sampleRateHz;
    std::size_t m_channels;
    std::uint64_t m_frameCount;
    std::vector<std::byte> m_bytes;
    std::size_t m_dataStart = 0;
    std::vector<float> m_peakValue;
    std::vector<std::uint32_t> m_peakFrame;
};

// The same layout written in blocks of frames, for data that is never held whole: Begin writes
// the header with the sizes and peaks left 0, Write appends frames, Finish goes back to the
// header's start to fill them in and then returns to the end. The stream must be able to seek
// back (a file or a string stream). The finished bytes equal WriteFloatWav's for the same
// samples. After a failure every later call returns that failure.
class FloatWavWriter {
public:
    FloatWavWriter(std::ostream& out, std::uint32_t sampleRateHz, int channelCount);

    // Checks the sample rate and channel count, and that the stream can tell its position.
    WavWriteResult Begin();
    // Appends whole frames (interleaved.size() a multiple of the channel count); refuses data
    // that would pass kMaxFloatWavDataBytes.
    WavWriteResult Write(std::span<const float> interleaved);
    // Completes the header and flushes the stream.
    WavWriteResult Finish();

    std::uint64_t FramesWritten() const { return m_frameCount; }

private:
    WavWriteResult Fail(std::string message);

    std::ostream& m_out;
    std::uint32_t m_sampleRateHz;
    int m_channelCount;
    std::streampos m_headerStart{};
    bool m_begun = false;
    WavWriteResult m_status;
    std::uint64_t m_frameCount = 0;
    std::vector<float> m_peakValue;
    std::vector<std::uint32_t> m_peakFrame;
    std::string m_block;
};

}  // namespace halvane
