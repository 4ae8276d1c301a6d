#pragma once

#include <QByteArray>
#include <QString>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <vector>

namespace halvane::test {

// One frame of four samples, in file order W, Y, Z, X.
using Frame = std::array<float, 4>;

inline void PutLe(QByteArray& bytes, std::uint32_t value, int width) {
    for (int i = 0; i < width; ++i) {
        bytes.append(static_cast<char>((value >> (8 * i)) & 0xff));
    }
}

// A four-channel file laid out as the reader expects it: the 36-byte
// canonical header, a 60-byte filler chunk, the data chunk header at byte 97
// and the samples from byte 105, as 32-bit floats (bitsPerSample 32) or
// rounded 16-bit integers (16). DataSize counts the 8 bytes the reader
// subtracts, so the reader finds exactly frames.size() frames.
inline QByteArray MakeBFormatWav(int sampleRate, int bitsPerSample, const std::vector<Frame>& frames) {
    const int blockAlign = 4 * bitsPerSample / 8;
    const auto dataBytes = static_cast<std::uint32_t>(frames.size() * static_cast<std::size_t>(blockAlign));
    QByteArray bytes;
    bytes.append("RIFF");
    PutLe(bytes, 96 + dataBytes, 4);
    bytes.append("WAVEfmt ");
    PutLe(bytes, 16, 4);
    PutLe(bytes, bitsPerSample == 32 ? 3 : 1, 2);
    PutLe(bytes, 4, 2);
    PutLe(bytes, static_cast<std::uint32_t>(sampleRate), 4);
    PutLe(bytes, static_cast<std::uint32_t>(sampleRate * blockAlign), 4);
    PutLe(bytes, static_cast<std::uint32_t>(blockAlign), 2);
    PutLe(bytes, static_cast<std::uint32_t>(bitsPerSample), 2);
    bytes.append("JUNK");
    PutLe(bytes, 52, 4);
    bytes.append(QByteArray(52, '\0'));
    bytes.append("data");
    PutLe(bytes, dataBytes + 8, 4);
    for (const Frame& frame : frames) {
        for (const float sample : frame) {
            if (bitsPerSample == 32) {
                PutLe(bytes, std::bit_cast<std::uint32_t>(sample), 4);
            } else {
                const double clamped = std::clamp(static_cast<double>(sample), -32768.0, 32767.0);
                PutLe(bytes, static_cast<std::uint16_t>(static_cast<std::int16_t>(std::lround(clamped))), 2);
            }
        }
    }
    return bytes;
}

// A decaying plane wave of peak `amplitude` from azimuth azDeg, elevation
// elDeg, with a little decorrelated noise on every channel, so that no two
// channels carry the same signal and the late, quiet windows turn diffuse.
inline std::vector<Frame> PlaneWaveFrames(int count, double azDeg, double elDeg, double amplitude) {
    constexpr double DegToRad = 3.14159265358979323846 / 180.0;
    const double x = std::cos(azDeg * DegToRad) * std::cos(elDeg * DegToRad);
    const double y = std::sin(azDeg * DegToRad) * std::cos(elDeg * DegToRad);
    const double z = std::sin(elDeg * DegToRad);
    std::uint32_t noiseState = 12345;
    auto noise = [&noiseState, amplitude] {
        noiseState = noiseState * 1664525u + 1013904223u;
        return amplitude * 0.004 * (static_cast<double>(noiseState >> 24) - 127.5) / 128.0;
    };
    std::vector<Frame> frames;
    frames.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        const double s = amplitude * std::exp(-i / 2500.0) * std::sin(i * 0.05);
        frames.push_back({static_cast<float>(s + noise()), static_cast<float>(s * y + noise()),
                          static_cast<float>(s * z + noise()), static_cast<float>(s * x + noise())});
    }
    return frames;
}

}  // namespace halvane::test
