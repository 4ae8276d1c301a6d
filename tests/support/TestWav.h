#pragma once

// Builds B-format WAV files as bytes inside the tests, in the layouts that
// real recorders and simulators write.
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <span>
#include <string>
#include <vector>

namespace halvane::test {

struct Frame4 {
    double W = 0, Y = 0, Z = 0, X = 0;
};

enum class Layout {
    Canonical44,  // RIFF, fmt (16), data: the data chunk header at byte 37
    Data97,       // RIFF, fmt (16), fact, PEAK, data: the data chunk header at byte 97
    NotRiff,      // Data97's bytes with the RIFF id spoilt: read at fixed positions only
};

inline void PutU16(std::vector<std::byte>& b, std::uint16_t v)
{
    b.push_back(std::byte(v & 0xFF));
    b.push_back(std::byte(v >> 8));
}
inline void PutU32(std::vector<std::byte>& b, std::uint32_t v)
{
    PutU16(b, static_cast<std::uint16_t>(v & 0xFFFF));
    PutU16(b, static_cast<std::uint16_t>(v >> 16));
}
inline void PutId(std::vector<std::byte>& b, const char* id)
{
    for (int i = 0; i < 4; ++i) b.push_back(std::byte(id[i]));
}
inline void PutF32(std::vector<std::byte>& b, float v) { PutU32(b, std::bit_cast<std::uint32_t>(v)); }

struct WavFormat {
    int channels = 4;
    int bits = 32;  // 16 or 32 (or anything, for rejection tests)
    int sampleRate = 48000;
    int blockAlign = -1;  // -1: channels * bits / 8
    Layout layout = Layout::Data97;
    std::int64_t dataSizeDelta = 0;  // added to the true data size written in the header
};

// A file of the given frames. Channels beyond the four of a frame are zero.
inline std::vector<std::byte> MakeWav(const std::vector<Frame4>& frames, const WavFormat& format = {})
{
    const int bytesPerSample = format.bits / 8;
    const int blockAlign = format.blockAlign >= 0 ? format.blockAlign : format.channels * bytesPerSample;
    std::vector<std::byte> data;
    for (const Frame4& f : frames) {
        const double values[4] = {f.W, f.Y, f.Z, f.X};
        std::vector<std::byte> frame;
        for (int c = 0; c < format.channels; ++c) {
            const double v = c < 4 ? values[c] : 0.0;
            if (format.bits == 16)
                PutU16(frame, static_cast<std::uint16_t>(static_cast<std::int16_t>(v)));
            else if (format.bits == 32)
                PutF32(frame, static_cast<float>(v));
            else
                for (int i = 0; i < bytesPerSample; ++i) frame.push_back(std::byte(0));
        }
        frame.resize(static_cast<std::size_t>(blockAlign), std::byte(0));
        data.insert(data.end(), frame.begin(), frame.end());
    }

    std::vector<std::byte> b;
    PutId(b, "RIFF");
    PutU32(b, 0);  // patched below
    PutId(b, "WAVE");
    PutId(b, "fmt ");
    PutU32(b, 16);
    PutU16(b, format.bits == 32 ? 3 : 1);
    PutU16(b, static_cast<std::uint16_t>(format.channels));
    PutU32(b, static_cast<std::uint32_t>(format.sampleRate));
    // Unsigned: a hostile rate times BlockAlign 65535 overflows an int.
    PutU32(b, static_cast<std::uint32_t>(format.sampleRate) * static_cast<std::uint32_t>(blockAlign));
    PutU16(b, static_cast<std::uint16_t>(blockAlign));
    PutU16(b, static_cast<std::uint16_t>(format.bits));
    if (format.layout != Layout::Canonical44) {
        PutId(b, "fact");
        PutU32(b, 4);
        PutU32(b, static_cast<std::uint32_t>(frames.size()));
        PutId(b, "PEAK");
        PutU32(b, 40);
        PutU32(b, 1);
        PutU32(b, 0);
        for (int c = 0; c < 4; ++c) {
            PutF32(b, 1.0f);
            PutU32(b, 0);
        }
    }
    PutId(b, "data");
    PutU32(b, static_cast<std::uint32_t>(static_cast<std::int64_t>(data.size()) + format.dataSizeDelta));
    b.insert(b.end(), data.begin(), data.end());
    const auto riffSize = static_cast<std::uint32_t>(b.size() - 8);
    std::memcpy(b.data() + 4, &riffSize, 4);
    if (format.layout == Layout::NotRiff) b[0] = std::byte('X');
    return b;
}

// n identical frames.
inline std::vector<Frame4> Repeat(const Frame4& f, std::size_t n) { return std::vector<Frame4>(n, f); }

// A plane wave from (azDeg, elDeg) with AmbiX SN3D gains: W = s, Y = s sin az cos el,
// Z = s sin el, X = s cos az cos el.
inline Frame4 PlaneWave(double s, double azDeg, double elDeg)
{
    constexpr double kDeg = 3.14159265358979323846 / 180.0;
    return {s, s * std::sin(azDeg * kDeg) * std::cos(elDeg * kDeg), s * std::sin(elDeg * kDeg),
            s * std::cos(azDeg * kDeg) * std::cos(elDeg * kDeg)};
}

inline std::string AsText(const std::vector<std::byte>& bytes)
{
    return std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

// Writes bytes (or text) to a file, replacing it.
inline void WriteFile(const std::string& path, const std::vector<std::byte>& bytes)
{
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}
inline void WriteFile(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary).write(text.data(), static_cast<std::streamsize>(text.size()));
}

// A whole file's bytes as text ("" when it cannot be read).
inline std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The same file layouts as text, chunk by chunk, for hostile headers that
// the builder above does not make (a cut-short format chunk, no data chunk).
inline constexpr std::uint16_t kTagPcm = 1;

inline std::string TextU16(std::uint16_t v) { return {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)}; }
inline std::string TextU32(std::uint32_t v)
{
    return TextU16(static_cast<std::uint16_t>(v)) + TextU16(static_cast<std::uint16_t>(v >> 16));
}

// One chunk: id, 32-bit size (the body's length), body, and a pad byte after an odd-sized body.
inline std::string Chunk(const std::string& id, const std::string& body)
{
    std::string chunk = id + TextU32(static_cast<std::uint32_t>(body.size())) + body;
    if (body.size() % 2 == 1) chunk.push_back('\0');
    return chunk;
}

inline std::string RiffFile(const std::string& chunks)
{
    return "RIFF" + TextU32(static_cast<std::uint32_t>(4 + chunks.size())) + "WAVE" + chunks;
}

inline std::string FmtBody(std::uint16_t tag, std::uint16_t channels, std::uint32_t rateHz, std::uint16_t blockAlign,
                           std::uint16_t bits)
{
    return TextU16(tag) + TextU16(channels) + TextU32(rateHz) + TextU32(rateHz * blockAlign) + TextU16(blockAlign) +
           TextU16(bits);
}

inline std::span<const std::byte> AsBytes(const std::string& s)
{
    return {reinterpret_cast<const std::byte*>(s.data()), s.size()};
}

}  // namespace halvane::test
