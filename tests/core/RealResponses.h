#pragma once

// Reads the real B-format impulse responses of the shared data folder into
// AmbiX/SN3D signals for the room-parameter tests. A small RIFF reader of its
// own: chunks are walked by their sizes, and only PCM 16/24-bit and IEEE
// float 32-bit samples are decoded (what those files hold).

#include <bit>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "bformat/BFormatSignal.h"

namespace halvane::test {

// How a file's four channels map onto AmbiX: traditional W, X, Y, Z with W
// 3 dB down (FuMa), or ACN W, Y, Z, X with N3D or SN3D gains.
enum class ChannelLayout { FumaWxyz, AcnN3d, AcnSn3d };

inline std::optional<BFormatSignal> ReadRealResponse(const std::string& path, ChannelLayout layout)
{
    std::ifstream file(path, std::ios::binary);
    if (!file) return std::nullopt;
    const std::vector<unsigned char> bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    auto u16 = [&bytes](std::size_t at) { return static_cast<std::uint32_t>(bytes[at] | bytes[at + 1] << 8); };
    auto u32 = [&](std::size_t at) { return u16(at) | u16(at + 2) << 16; };
    if (bytes.size() < 12) return std::nullopt;

    int formatTag = 0, channels = 0, bits = 0;
    double rateHz = 0;
    std::size_t dataAt = 0, dataSize = 0;
    for (std::size_t at = 12; at + 8 <= bytes.size();) {
        const std::string id(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                             bytes.begin() + static_cast<std::ptrdiff_t>(at + 4));
        const std::size_t size = u32(at + 4);
        if (id == "fmt " && at + 8 + 16 <= bytes.size()) {
            formatTag = static_cast<int>(u16(at + 8));
            channels = static_cast<int>(u16(at + 10));
            rateHz = u32(at + 12);
            bits = static_cast<int>(u16(at + 22));
        } else if (id == "data") {
            dataAt = at + 8;
            dataSize = std::min(size, bytes.size() - dataAt);
        }
        at += 8 + size + (size & 1);
    }
    const bool pcm = formatTag == 1 && (bits == 16 || bits == 24);
    const bool float32 = formatTag == 3 && bits == 32;
    if (channels != 4 || dataAt == 0 || !(pcm || float32)) return std::nullopt;

    const std::size_t sampleBytes = static_cast<std::size_t>(bits / 8);
    const std::size_t frames = dataSize / (4 * sampleBytes);
    auto sample = [&](std::size_t frame, std::size_t channel) -> double {
        const std::size_t at = dataAt + (frame * 4 + channel) * sampleBytes;
        if (float32) return std::bit_cast<float>(u32(at));
        if (bits == 16) return static_cast<std::int16_t>(u16(at)) / 32768.0;
        const auto raw = static_cast<std::int32_t>((u16(at) | bytes[at + 2] << 16) << 8);  // sign from bit 23
        return (raw >> 8) / 8388608.0;
    };

    BFormatSignal signal;
    signal.SampleRateHz = rateHz;
    const double sqrt3 = std::sqrt(3.0);
    for (std::size_t n = 0; n < frames; ++n) {
        double w = sample(n, 0), y = 0, z = 0, x = 0;
        switch (layout) {
        case ChannelLayout::FumaWxyz:
            w *= std::sqrt(2.0);
            x = sample(n, 1), y = sample(n, 2), z = sample(n, 3);
            break;
        case ChannelLayout::AcnN3d:
            y = sample(n, 1) / sqrt3, z = sample(n, 2) / sqrt3, x = sample(n, 3) / sqrt3;
            break;
        case ChannelLayout::AcnSn3d:
            y = sample(n, 1), z = sample(n, 2), x = sample(n, 3);
            break;
        }
        signal.W.push_back(static_cast<float>(w));
        signal.Y.push_back(static_cast<float>(y));
        signal.Z.push_back(static_cast<float>(z));
        signal.X.push_back(static_cast<float>(x));
    }
    return signal;
}

}  // namespace halvane::test
