#include "bformat/WavHeader.h"

#include <algorithm>
#include <cmath>

#include "bformat/ByteReader.h"

namespace halvane {
namespace {

struct Chunk {
    std::int64_t bodyOffset = -1;  // 0-based offset of the chunk's first body byte
    std::uint32_t size = 0;
};

// Walks the RIFF chunk list from byte 13 and remembers the first "fmt " and
// "data" chunks. Each step moves at least 8 bytes forward, so a hostile size
// can only end the walk early, never loop it.
void FindChunks(std::span<const std::byte> image, Chunk& fmt, Chunk& data)
{
    const auto size = static_cast<std::int64_t>(image.size());
    std::int64_t offset = 12;
    while (offset + 8 <= size && (fmt.bodyOffset < 0 || data.bodyOffset < 0)) {
        const std::string id = ReadChars(image, offset, 4);
        const std::uint32_t chunkSize = ReadU32Le(image, offset + 4);
        if (id == "fmt " && fmt.bodyOffset < 0) fmt = {offset + 8, chunkSize};
        if (id == "data" && data.bodyOffset < 0) data = {offset + 8, chunkSize};
        offset += 8 + static_cast<std::int64_t>(chunkSize) + (chunkSize & 1u);
    }
}

void ReadFormatFields(std::span<const std::byte> image, std::int64_t offset, WavHeader& header)
{
    header.FormatTag = ReadI16Le(image, offset);
    header.Channels = ReadI16Le(image, offset + 2);
    header.SampleRate = ReadI32Le(image, offset + 4);
    header.ByteRate = ReadI32Le(image, offset + 8);
    header.BlockAlign = ReadI16Le(image, offset + 12);
    header.BitsPerSample = ReadI16Le(image, offset + 14);
}

}  // namespace

WavHeader ReadWavHeader(std::span<const std::byte> image)
{
    WavHeader header;
    header.RiffId = ReadChars(image, 0, 4);
    header.RiffSize = ReadI32Le(image, 4);
    header.WaveFmtId = ReadChars(image, 8, 8);
    header.FmtSize = ReadI32Le(image, 16);
    ReadFormatFields(image, 20, header);
    header.DataId = ReadChars(image, 96, 4);
    header.DataSize = ReadU32Le(image, 100);
    header.DataStart = 105;

    if (header.RiffId == "RIFF" && ReadChars(image, 8, 4) == "WAVE") {
        Chunk fmt;
        Chunk data;
        FindChunks(image, fmt, data);
        if (fmt.bodyOffset >= 0 && data.bodyOffset >= 0) {
            header.FmtSize = static_cast<std::int32_t>(fmt.size);
            ReadFormatFields(image, fmt.bodyOffset, header);
            header.DataId = "data";
            header.DataSize = static_cast<std::int64_t>(data.size);
            header.DataStart = data.bodyOffset + 1;
            header.ChunkListWalked = true;
        }
    }
    if (header.DataSize == 0xFFFFFFFF) {
        const std::int64_t present = static_cast<std::int64_t>(image.size()) - (header.DataStart - 1);
        header.DataSize = std::max<std::int64_t>(present, 0) + 8;
    }
    return header;
}

std::int64_t FramesPresent(const WavHeader& header, std::int64_t imageBytes)
{
    const std::int64_t bytes = imageBytes - (header.DataStart - 1);
    return bytes > 0 ? bytes / header.BlockAlign : 0;
}

std::optional<std::string> TestWavHeader(const WavHeader& header)
{
    if (header.Channels != 4) return std::string(kNotFourChannelsMessage);
    if (header.BitsPerSample != 16 && header.BitsPerSample != 32) {
        return std::string(kNotSixteenOrThirtyTwoBitsMessage);
    }
    return std::nullopt;
}

std::int64_t FrameCount(const WavHeader& header)
{
    const double quotient = (static_cast<double>(header.DataSize) - 8.0) / header.BlockAlign;
    return static_cast<std::int64_t>(std::nearbyint(quotient));
}

std::int64_t WindowStartFrame(double windowIndex, double samplesPerWindow)
{
    // Far beyond any real file (2^40 frames is 260 days at 48 kHz); the bound
    // keeps the byte arithmetic below inside 64 bits for any BlockAlign.
    constexpr double kLimit = 1099511627776.0;
    const double start = std::nearbyint(windowIndex * samplesPerWindow);
    if (!(start > -kLimit)) return static_cast<std::int64_t>(-kLimit);
    if (!(start < kLimit)) return static_cast<std::int64_t>(kLimit);
    return static_cast<std::int64_t>(start);
}

std::int64_t FramePosition(const WavHeader& header, std::int64_t windowStart, std::int64_t k)
{
    return (windowStart + k) * header.BlockAlign + header.DataStart;
}

Frame ReadFrame(std::span<const std::byte> image, std::int64_t position, int bitsPerSample)
{
    const std::int64_t offset = position - 1;
    Frame frame;
    if (bitsPerSample == 16) {
        frame.W = ReadI16Le(image, offset);
        frame.Y = ReadI16Le(image, offset + 2);
        frame.Z = ReadI16Le(image, offset + 4);
        frame.X = ReadI16Le(image, offset + 6);
    } else {
        frame.W = ReadF32Le(image, offset);
        frame.Y = ReadF32Le(image, offset + 4);
        frame.Z = ReadF32Le(image, offset + 8);
        frame.X = ReadF32Le(image, offset + 12);
    }
    return frame;
}

}  // namespace halvane
