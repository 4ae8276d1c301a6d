#include "wavio/WavReader.h"

#include "wavio/LittleEndian.h"

#include <array>
#include <cmath>
#include <bit>
#include <limits>
#include <new>
#include <optional>

namespace halvane::wavio {
namespace {

constexpr std::uint16_t kFormatPcm = 0x0001;
constexpr std::uint16_t kFormatFloat = 0x0003;
constexpr std::uint16_t kFormatExtensible = 0xFFFE;
constexpr std::uint32_t kRf64SizeFromDs64 = 0xFFFFFFFF;
constexpr std::uint64_t kRiffHeaderBytes = 12;
constexpr std::uint64_t kChunkHeaderBytes = 8;
constexpr std::uint64_t kPlainFormatBytes = 16;
constexpr std::uint64_t kExtensibleFormatBytes = 40;

// The last 14 bytes of the sub-format GUID after its leading 16-bit format code.
constexpr std::array<unsigned char, 14> kStandardSubFormatTail{
    0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
constexpr std::array<unsigned char, 14> kAmbisonicSubFormatTail{
    0x00, 0x00, 0x21, 0x07, 0xD3, 0x11, 0x86, 0x44, 0xC8, 0xC1, 0xCA, 0x00, 0x00, 0x00};

struct ChunkLocation {
    std::uint64_t bodyOffset = 0;
    std::uint64_t declaredBytes = 0;
    bool found = false;
};

WavReadResult Failure(WavReadStatus status, std::string message)
{
    WavReadResult result;
    result.status = status;
    result.message = std::move(message);
    return result;
}

bool TailMatches(std::span<const std::byte> bytes, std::uint64_t offset,
                 const std::array<unsigned char, 14>& tail)
{
    for (std::size_t i = 0; i < tail.size(); ++i)
        if (std::to_integer<unsigned char>(bytes[static_cast<std::size_t>(offset) + i]) != tail[i]) return false;
    return true;
}

// Parses the "fmt " chunk body; the caller has checked that declaredBytes bytes are present.
std::optional<WavReadResult> ParseFormat(std::span<const std::byte> bytes, const ChunkLocation& fmt,
                                         WavFormat& format)
{
    if (fmt.declaredBytes < kPlainFormatBytes)
        return Failure(WavReadStatus::BadFormat, "the format chunk is " + std::to_string(fmt.declaredBytes) +
                                                     " bytes long, shorter than the 16 bytes every WAV format needs");
    const std::uint64_t at = fmt.bodyOffset;
    format.formatTag = *ReadU16Le(bytes, at);
    format.channelCount = *ReadU16Le(bytes, at + 2);
    format.sampleRateHz = *ReadU32Le(bytes, at + 4);
    format.blockAlignBytes = *ReadU16Le(bytes, at + 12);
    format.containerBits = *ReadU16Le(bytes, at + 14);
    format.validBits = format.containerBits;

    std::uint16_t codedFormat = format.formatTag;
    if (format.formatTag == kFormatExtensible) {
        if (fmt.declaredBytes < kExtensibleFormatBytes || *ReadU16Le(bytes, at + 16) < 22)
            return Failure(WavReadStatus::BadFormat,
                           "the extensible format chunk is too short to hold its sub-format");
        const int validBits = *ReadU16Le(bytes, at + 18);
        if (validBits > format.containerBits)
            return Failure(WavReadStatus::BadFormat, "the extensible format claims " + std::to_string(validBits) +
                                                         " valid bits in a " +
                                                         std::to_string(format.containerBits) + "-bit sample");
        if (validBits > 0) format.validBits = validBits;
        codedFormat = *ReadU16Le(bytes, at + 24);
        const bool standard = TailMatches(bytes, at + 26, kStandardSubFormatTail);
        const bool ambisonic = TailMatches(bytes, at + 26, kAmbisonicSubFormatTail);
        if (!standard && !ambisonic)
            return Failure(WavReadStatus::UnsupportedFormat, "the extensible sub-format is neither PCM nor float");
        format.isAmbisonicBFormat = ambisonic;
    }

    if (format.channelCount == 0) return Failure(WavReadStatus::BadFormat, "the format chunk gives 0 channels");
    if (format.sampleRateHz == 0) return Failure(WavReadStatus::BadFormat, "the format chunk gives a sample rate of 0");
    if (format.blockAlignBytes == 0) return Failure(WavReadStatus::BadFormat, "the format chunk gives a block align of 0");

    if (codedFormat == kFormatPcm) {
        format.encoding = SampleEncoding::Integer;
        const int bits = format.containerBits;
        if (bits != 8 && bits != 16 && bits != 24 && bits != 32)
            return Failure(WavReadStatus::UnsupportedFormat,
                           std::to_string(bits) + "-bit integer samples are not supported (8, 16, 24 or 32)");
    } else if (codedFormat == kFormatFloat) {
        format.encoding = SampleEncoding::Float;
        if (format.containerBits != 32 && format.containerBits != 64)
            return Failure(WavReadStatus::UnsupportedFormat,
                           std::to_string(format.containerBits) + "-bit float samples are not supported (32 or 64)");
    } else {
        return Failure(WavReadStatus::UnsupportedFormat,
                       "format code " + std::to_string(codedFormat) + " is not PCM or IEEE float");
    }

    const int frameBytes = format.channelCount * (format.containerBits / 8);
    if (format.blockAlignBytes != frameBytes)
        return Failure(WavReadStatus::BadFormat,
                       "the block align of " + std::to_string(format.blockAlignBytes) + " bytes does not match " +
                           std::to_string(format.channelCount) + " channels of " +
                           std::to_string(format.containerBits) + "-bit samples (" + std::to_string(frameBytes) +
                           " bytes)");
    return std::nullopt;
}

double DecodeSample(const std::byte* p, const WavFormat& format)
{
    if (format.encoding == SampleEncoding::Float) {
        if (format.containerBits == 32) return std::bit_cast<float>(LoadU32Le(p));
        return std::bit_cast<double>(LoadU64Le(p));
    }
    switch (format.containerBits) {
    case 8:
        return (std::to_integer<int>(p[0]) - 128) / 128.0;
    case 16: {
        const auto raw = static_cast<std::uint16_t>(std::to_integer<unsigned>(p[0]) | (std::to_integer<unsigned>(p[1]) << 8));
        return std::bit_cast<std::int16_t>(raw) / 32768.0;
    }
    case 24: {
        // Place the three bytes in the top of a 32-bit word so the sign comes along.
        const std::uint32_t raw = (std::to_integer<std::uint32_t>(p[0]) << 8) |
                                  (std::to_integer<std::uint32_t>(p[1]) << 16) |
                                  (std::to_integer<std::uint32_t>(p[2]) << 24);
        return std::bit_cast<std::int32_t>(raw) / 2147483648.0;
    }
    default:
        return std::bit_cast<std::int32_t>(LoadU32Le(p)) / 2147483648.0;
    }
}

}  // namespace

std::string DescribeEncoding(const WavFormat& format)
{
    std::string text = std::to_string(format.containerBits) + "-bit ";
    text += format.encoding == SampleEncoding::Float ? "float" : "integer PCM";
    if (format.validBits != format.containerBits) text += " (" + std::to_string(format.validBits) + " valid bits)";
    if (format.formatTag == kFormatExtensible) text += format.isAmbisonicBFormat ? ", B-format extensible" : ", extensible";
    if (format.isRf64) text += ", RF64";
    return text;
}

WavReadResult ReadWav(std::span<const std::byte> bytes)
{
    const auto riffId = ReadFourCc(bytes, 0);
    const auto waveId = ReadFourCc(bytes, 8);
    if (!riffId || !waveId)
        return Failure(WavReadStatus::Truncated, "the file is " + std::to_string(bytes.size()) +
                                                     " bytes long, too short for a WAV header");
    const bool isRf64 = *riffId == "RF64";
    if ((*riffId != "RIFF" && !isRf64) || *waveId != "WAVE")
        return Failure(WavReadStatus::NotWave, "the file does not begin with a RIFF/WAVE header");

    ChunkLocation fmt;
    ChunkLocation data;
    std::optional<std::uint64_t> ds64DataBytes;
    std::vector<std::string> warnings;

    std::uint64_t offset = kRiffHeaderBytes;
    while (HasBytes(bytes, offset, kChunkHeaderBytes)) {
        const std::string id = *ReadFourCc(bytes, offset);
        std::uint64_t declared = *ReadU32Le(bytes, offset + 4);
        const std::uint64_t body = offset + kChunkHeaderBytes;
        if (isRf64 && id == "ds64") {
            // ds64: RIFF size, data size, sample count (64-bit each), then a table we do not need.
            if (const auto dataBytes = ReadU64Le(bytes, body + 8); dataBytes && declared >= 24) ds64DataBytes = *dataBytes;
        }
        if (isRf64 && id == "data" && declared == kRf64SizeFromDs64) {
            if (!ds64DataBytes)
                return Failure(WavReadStatus::BadFormat, "the RF64 file has no ds64 chunk giving its data size");
            declared = *ds64DataBytes;
        }

        const std::uint64_t available = bytes.size() - body;
        if (id == "fmt " && !fmt.found) {
            if (declared > available)
                return Failure(WavReadStatus::Truncated, "the file ends inside its format chunk");
            fmt = {body, declared, true};
        } else if (id == "data" && !data.found) {
            data = {body, declared, true};
            if (declared > available) {
                warnings.push_back("the data chunk declares " + std::to_string(declared) + " bytes but only " +
                                   std::to_string(available) + " follow; the file was read to its end");
                data.declaredBytes = available;
                break;
            }
        }
        if (declared > available) break;  // a chunk running past the end ends the walk
        offset = body + declared + (declared & 1);
    }

    if (!fmt.found) return Failure(WavReadStatus::MissingFormat, "the file has no format (\"fmt \") chunk");
    if (!data.found) return Failure(WavReadStatus::MissingData, "the file has no \"data\" chunk");

    WavReadResult result;
    result.audio.format.isRf64 = isRf64;
    if (auto failure = ParseFormat(bytes, fmt, result.audio.format)) return std::move(*failure);
    WavAudio& audio = result.audio;
    const WavFormat& format = audio.format;

    const auto frameBytes = static_cast<std::uint64_t>(format.blockAlignBytes);
    audio.frameCount = static_cast<std::size_t>(data.declaredBytes / frameBytes);
    if (data.declaredBytes % frameBytes != 0)
        warnings.push_back("the data chunk ends with " + std::to_string(data.declaredBytes % frameBytes) +
                           " bytes of an incomplete frame, which were left out");
    try {
        audio.samples.resize(audio.frameCount * static_cast<std::size_t>(format.channelCount));
    } catch (const std::bad_alloc&) {
        return Failure(WavReadStatus::BadFormat, "not enough memory for " + std::to_string(audio.frameCount) + " frames");
    }

    const std::size_t sampleBytes = static_cast<std::size_t>(format.containerBits / 8);
    const std::byte* p = bytes.data() + data.bodyOffset;
    std::size_t nonFinite = 0;
    for (double& sample : audio.samples) {
        sample = DecodeSample(p, format);
        if (!std::isfinite(sample)) ++nonFinite;
        p += sampleBytes;
    }
    if (nonFinite > 0)
        warnings.push_back(std::to_string(nonFinite) + " samples are not finite numbers (NaN or infinity)");
    audio.warnings = std::move(warnings);
    return result;
}

}  // namespace halvane::wavio
