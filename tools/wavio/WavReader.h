#pragma once

// A WAV reader for impulse responses as recorders and other programs write them.
//
// Accepts RIFF and RF64 (with its ds64 chunk) files, chunks in any order with odd sizes
// padded, PCM integer samples of 8, 16, 24 and 32 bits, IEEE float samples of 32 and 64 bits,
// and WAVE_FORMAT_EXTENSIBLE with the standard PCM/float sub-formats or the Ambisonic
// B-format ones of .amb files. Samples come back as doubles at full scale +-1
// (integers divided by 2^(bits-1); 8-bit samples are unsigned around 128).
//
// No header field is trusted: sizes are checked against the bytes that are really there
// before anything is allocated or read, so the samples buffer never exceeds what the file
// holds. A data chunk that claims more bytes than the file has is read up to its last whole
// frame and reported as a warning.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace halvane::wavio {

enum class WavReadStatus {
    Ok,
    NotWave,            // does not begin with RIFF....WAVE or RF64....WAVE
    Truncated,          // the file ends inside its header or format chunk
    MissingFormat,      // no "fmt " chunk
    MissingData,        // no "data" chunk
    BadFormat,          // a format field that cannot describe samples (0 channels, block align 0, ...)
    UnsupportedFormat,  // a valid but unsupported encoding (ADPCM, 12-bit, ...)
};

enum class SampleEncoding { Integer, Float };

struct WavFormat {
    std::uint16_t formatTag = 0;       // as stored; 0xFFFE for WAVE_FORMAT_EXTENSIBLE
    SampleEncoding encoding = SampleEncoding::Integer;
    int channelCount = 0;
    std::uint32_t sampleRateHz = 0;
    int containerBits = 0;             // bits each sample occupies in a frame
    int validBits = 0;                 // significant bits (extensible files may hold fewer)
    int blockAlignBytes = 0;           // bytes per frame
    bool isRf64 = false;
    bool isAmbisonicBFormat = false;   // extensible sub-format of .amb files (traditionally W, X, Y, Z)
};

struct WavAudio {
    WavFormat format;
    std::size_t frameCount = 0;
    std::vector<double> samples;       // interleaved, frameCount x channelCount, full scale +-1
    std::vector<std::string> warnings; // things that were read past, in words for the user
};

struct WavReadResult {
    WavReadStatus status = WavReadStatus::Ok;
    std::string message;               // empty when status is Ok
    WavAudio audio;
};

/// Reads the WAV file held in fileBytes. Never reads outside fileBytes.
WavReadResult ReadWav(std::span<const std::byte> fileBytes);

/// A short description such as "24-bit integer PCM" or "32-bit float (extensible)".
std::string DescribeEncoding(const WavFormat& format);

}  // namespace halvane::wavio
