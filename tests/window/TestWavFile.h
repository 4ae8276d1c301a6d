#pragma once

#include <QByteArray>
#include <QString>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

namespace halvane::test {

// One frame of a 16-bit B-format file, in file order W, Y, Z, X.
using Frame16 = std::array<std::int16_t, 4>;

inline void PutLe(QByteArray& bytes, std::uint32_t value, int width) {
    for (int i = 0; i < width; ++i) {
        bytes.append(static_cast<char>((value >> (8 * i)) & 0xff));
    }
}

// A four-channel 16-bit file laid out as the reader expects it: the 36-byte
// canonical header, a 60-byte filler chunk, the data chunk header at byte 97
// and the samples from byte 105. DataSize counts the 8 bytes the reader
// subtracts, so the reader finds exactly frames.size() frames.
inline QByteArray MakeBFormatWav16(int sampleRate, const std::vector<Frame16>& frames) {
    constexpr int BlockAlign = 8;
    const auto dataBytes = static_cast<std::uint32_t>(frames.size() * BlockAlign);
    QByteArray bytes;
    bytes.append("RIFF");
    PutLe(bytes, 96 + dataBytes, 4);
    bytes.append("WAVEfmt ");
    PutLe(bytes, 16, 4);
    PutLe(bytes, 1, 2);  // integer samples
    PutLe(bytes, 4, 2);  // channels
    PutLe(bytes, static_cast<std::uint32_t>(sampleRate), 4);
    PutLe(bytes, static_cast<std::uint32_t>(sampleRate * BlockAlign), 4);
    PutLe(bytes, BlockAlign, 2);
    PutLe(bytes, 16, 2);
    bytes.append("JUNK");
    PutLe(bytes, 52, 4);
    bytes.append(QByteArray(52, '\0'));
    bytes.append("data");
    PutLe(bytes, dataBytes + 8, 4);
    for (const Frame16& frame : frames) {
        for (const std::int16_t sample : frame) {
            PutLe(bytes, static_cast<std::uint16_t>(sample), 2);
        }
    }
    return bytes;
}

// A decaying plane wave from azimuth azDeg, elevation elDeg, with a little
// decorrelated noise on every channel so that no two channels carry the same
// signal and some late windows come out diffuse.
inline std::vector<Frame16> PlaneWaveFrames(int count, double azDeg, double elDeg) {
    constexpr double DegToRad = 3.14159265358979323846 / 180.0;
    const double x = std::cos(azDeg * DegToRad) * std::cos(elDeg * DegToRad);
    const double y = std::sin(azDeg * DegToRad) * std::cos(elDeg * DegToRad);
    const double z = std::sin(elDeg * DegToRad);
    std::uint32_t noiseState = 12345;
    auto noise = [&noiseState] {
        noiseState = noiseState * 1664525u + 1013904223u;
        return static_cast<double>(static_cast<int>(noiseState >> 24) - 128);
    };
    std::vector<Frame16> frames;
    frames.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        const double s = 20000.0 * std::exp(-i / 3000.0) * std::sin(i * 0.05);
        auto sample = [](double v) { return static_cast<std::int16_t>(std::lround(std::clamp(v, -32768.0, 32767.0))); };
        frames.push_back({sample(s + noise()), sample(s * y + noise()), sample(s * z + noise()),
                          sample(s * x + noise())});
    }
    return frames;
}

}  // namespace halvane::test
