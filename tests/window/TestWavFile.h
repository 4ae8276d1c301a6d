#pragma once

// The window tests' input files, made with the test WAV builder every suite
// shares, as the bytes Qt's file functions take.
#include <QByteArray>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "support/TestWav.h"

namespace halvane::test {

// A four-channel file with the data chunk header at byte 97 and the samples
// from byte 105, as 32-bit floats (bitsPerSample 32) or rounded 16-bit
// integers (16). DataSize counts the 8 bytes the reader subtracts, so the
// reader finds exactly frames.size() frames.
inline QByteArray MakeBFormatWav(int sampleRate, int bitsPerSample, const std::vector<Frame4>& frames)
{
    std::vector<Frame4> stored = frames;
    if (bitsPerSample == 16) {
        for (Frame4& f : stored) {
            for (double* v : {&f.W, &f.Y, &f.Z, &f.X}) {
                *v = static_cast<double>(std::lround(std::clamp(*v, -32768.0, 32767.0)));
            }
        }
    }
    WavFormat format;
    format.bits = bitsPerSample;
    format.sampleRate = sampleRate;
    format.dataSizeDelta = 8;
    const std::vector<std::byte> bytes = MakeWav(stored, format);
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
}

// A decaying plane wave of peak `amplitude` from azimuth azDeg, elevation
// elDeg, with a little decorrelated noise on every channel, so that no two
// channels carry the same signal and the late, quiet windows turn diffuse.
// Samples are single-precision values, as a float file stores them.
inline std::vector<Frame4> PlaneWaveFrames(int count, double azDeg, double elDeg, double amplitude)
{
    constexpr double DegToRad = 3.14159265358979323846 / 180.0;
    const double x = std::cos(azDeg * DegToRad) * std::cos(elDeg * DegToRad);
    const double y = std::sin(azDeg * DegToRad) * std::cos(elDeg * DegToRad);
    const double z = std::sin(elDeg * DegToRad);
    std::uint32_t noiseState = 12345;
    auto noise = [&noiseState, amplitude] {
        noiseState = noiseState * 1664525u + 1013904223u;
        return amplitude * 0.004 * (static_cast<double>(noiseState >> 24) - 127.5) / 128.0;
    };
    auto single = [](double v) { return static_cast<double>(static_cast<float>(v)); };
    std::vector<Frame4> frames;
    frames.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        const double s = amplitude * std::exp(-i / 2500.0) * std::sin(i * 0.05);
        frames.push_back(
            {single(s + noise()), single(s * y + noise()), single(s * z + noise()), single(s * x + noise())});
    }
    return frames;
}

}  // namespace halvane::test
