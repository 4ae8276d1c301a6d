#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace halvane {

// The fields of a B-format WAV header that a run uses. Positions are 1-based
// byte positions in the file, numbers little-endian.
//
// A file that begins with RIFF....WAVE is read by walking its chunk list from
// byte 13 (4-byte id, 32-bit size, odd sizes padded to even): the "fmt " chunk
// gives FormatTag to BitsPerSample at the same relative offsets as a canonical
// header's bytes 21-36, and the "data" chunk gives DataSize and DataStart (its
// first sample byte). A file without that frame, or without either chunk, is
// read at the fixed canonical positions: bytes 1-36, then the data chunk
// header at byte 97 and the samples from byte 105.
//
// DataSize is the unsigned 32-bit count the file gives, so a data chunk of
// 2 to 4 GB is read as what it is. 0xFFFFFFFF, the size a recorder leaves in
// a recording it could not finish, means "up to the end of the file": it is
// replaced by the bytes present from DataStart on, plus the 8 that
// FrameCount subtracts.
struct WavHeader {
    std::string RiffId;              // bytes 1-4, not tested
    std::int32_t RiffSize = 0;       // bytes 5-8, not used
    std::string WaveFmtId;           // bytes 9-16, not tested
    std::int32_t FmtSize = 0;        // size of the fmt chunk, not used
    std::int16_t FormatTag = 0;      // not used: BitsPerSample alone selects the decoding
    std::int16_t Channels = 0;       // must be 4
    std::int32_t SampleRate = 0;     // samples per second
    std::int32_t ByteRate = 0;       // not used
    std::int16_t BlockAlign = 0;     // bytes per frame (the frame stride)
    std::int16_t BitsPerSample = 0;  // 16 (signed integer) or 32 (single-precision float)
    std::string DataId;              // not tested
    std::int64_t DataSize = 0;       // bytes, as the file claims them: an unsigned 32-bit count (see below)
    std::int64_t DataStart = 105;    // 1-based position of the first sample byte
    bool ChunkListWalked = false;    // true when fmt and data were found by the chunk walk
};

inline constexpr const char* kNotFourChannelsMessage = "Sorry, this is not a 4-ch. .WAV file!";
inline constexpr const char* kNotSixteenOrThirtyTwoBitsMessage = "Sorry, this .WAV file is not 16 or 32 bits!";

// Reads the header from the whole file image. Never fails: fields past the
// end of a short file read as zeros.
WavHeader ReadWavHeader(std::span<const std::byte> image);

// The whole frames a file of imageBytes holds from DataStart on, whatever
// DataSize claims (0 for a file that ends before them). BlockAlign must be above 0.
std::int64_t FramesPresent(const WavHeader& header, std::int64_t imageBytes);

// Tests Channels first, then BitsPerSample. Returns the rejection message, or
// nothing when the header is accepted. Nothing else is tested here.
std::optional<std::string> TestWavHeader(const WavHeader& header);

// (DataSize - 8) / BlockAlign in double precision, rounded half to even
// (8 008 bytes with BlockAlign 8 give 1 000 frames; 8 012 give 1 000.5 -> 1 000).
// Held in 64 bits: DataSize 4 GB with BlockAlign 1 lies beyond the 32-bit range.
// BlockAlign must be above 0 (the run refuses other files before this).
std::int64_t FrameCount(const WavHeader& header);

// The samples of one window and how they are read. Window WindowIndex starts
// at frame offset R(WindowIndex x SamplesPerWindow) from DataStart (rounded
// once, half to even) and reads frames k = 1 .. floor(SamplesPerWindow) after
// it; the frame at the window's own start offset is not read.
std::int64_t WindowStartFrame(double windowIndex, double samplesPerWindow);

// 1-based byte position of frame k of the window starting at windowStart:
// (windowStart + k) x BlockAlign + DataStart.
std::int64_t FramePosition(const WavHeader& header, std::int64_t windowStart, std::int64_t k);

// One frame's four samples in the AmbiX order. 16-bit samples are the raw
// integers (-32768 to 32767), 32-bit samples the stored floats; both are
// exact as doubles.
struct Frame {
    double W = 0, Y = 0, Z = 0, X = 0;
};

// Reads W, Y, Z, X from 1-based position onward without gaps (2 or 4 bytes
// each, by bitsPerSample: 16 or 32). Bytes outside the image read as zeros.
Frame ReadFrame(std::span<const std::byte> image, std::int64_t position, int bitsPerSample);

}  // namespace halvane
