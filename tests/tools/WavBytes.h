#pragma once

// Building WAV files as bytes inside tests, and encoding plane waves in the three
// first-order conventions, so every fixture is made in code.

#include "wavio/LittleEndian.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <numbers>
#include <span>
#include <string>
#include <vector>

namespace halvane::testing {

inline constexpr std::uint16_t kTagPcm = 1;
inline constexpr std::uint16_t kTagFloat = 3;
inline constexpr std::uint16_t kTagExtensible = 0xFFFE;

inline std::string U16(std::uint16_t v) { std::string s; wavio::AppendU16Le(s, v); return s; }
inline std::string U32(std::uint32_t v) { std::string s; wavio::AppendU32Le(s, v); return s; }
inline std::string U64(std::uint64_t v) { return U32(static_cast<std::uint32_t>(v)) + U32(static_cast<std::uint32_t>(v >> 32)); }

/// One chunk: id, 32-bit size (the body's length unless given), body, and a pad byte after an
/// odd-sized body.
inline std::string Chunk(const std::string& id, const std::string& body, std::int64_t declaredSize = -1)
{
    const auto size = declaredSize >= 0 ? static_cast<std::uint32_t>(declaredSize) : static_cast<std::uint32_t>(body.size());
    std::string chunk = id + U32(size) + body;
    if (body.size() % 2 == 1) chunk.push_back('\0');
    return chunk;
}

inline std::string RiffFile(const std::string& chunks, const std::string& riffId = "RIFF")
{
    return riffId + U32(static_cast<std::uint32_t>(4 + chunks.size())) + "WAVE" + chunks;
}

inline std::string FmtBody(std::uint16_t tag, std::uint16_t channels, std::uint32_t rateHz, std::uint16_t blockAlign,
                           std::uint16_t bits)
{
    return U16(tag) + U16(channels) + U32(rateHz) + U32(rateHz * blockAlign) + U16(blockAlign) + U16(bits);
}

/// WAVE_FORMAT_EXTENSIBLE with a standard sub-format (PCM or float).
inline std::string ExtensibleFmtBody(std::uint16_t subFormat, std::uint16_t channels, std::uint32_t rateHz,
                                     std::uint16_t containerBits, std::uint16_t validBits)
{
    const auto blockAlign = static_cast<std::uint16_t>(channels * containerBits / 8);
    std::string body = FmtBody(kTagExtensible, channels, rateHz, blockAlign, containerBits);
    body += U16(22) + U16(validBits) + U32(0);  // cbSize, valid bits, channel mask
    body += U16(subFormat) + std::string("\x00\x00\x00\x00\x10\x00\x80\x00\x00\xAA\x00\x38\x9B\x71", 14);
    return body;
}

enum class Encoding { Pcm8, Pcm16, Pcm24, Pcm32, Float32, Float64 };

inline int BitsOf(Encoding e)
{
    switch (e) {
    case Encoding::Pcm8: return 8;
    case Encoding::Pcm16: return 16;
    case Encoding::Pcm24: return 24;
    case Encoding::Pcm32:
    case Encoding::Float32: return 32;
    case Encoding::Float64: return 64;
    }
    return 0;
}

inline bool IsFloat(Encoding e) { return e == Encoding::Float32 || e == Encoding::Float64; }

/// Samples at full scale +-1 as the encoding stores them (integers rounded and clipped).
inline std::string EncodeSamples(Encoding e, const std::vector<double>& samples)
{
    std::string out;
    for (double v : samples) {
        switch (e) {
        case Encoding::Pcm8:
            out.push_back(static_cast<char>(std::lround(std::clamp(v * 128.0, -128.0, 127.0)) + 128));
            break;
        case Encoding::Pcm16:
            out += U16(static_cast<std::uint16_t>(std::lround(std::clamp(v * 32768.0, -32768.0, 32767.0))));
            break;
        case Encoding::Pcm24: {
            const auto i = static_cast<std::uint32_t>(std::lround(std::clamp(v * 8388608.0, -8388608.0, 8388607.0)));
            out += U32(i).substr(0, 3);
            break;
        }
        case Encoding::Pcm32:
            out += U32(static_cast<std::uint32_t>(
                std::llround(std::clamp(v * 2147483648.0, -2147483648.0, 2147483647.0))));
            break;
        case Encoding::Float32: out += U32(std::bit_cast<std::uint32_t>(static_cast<float>(v))); break;
        case Encoding::Float64: out += U64(std::bit_cast<std::uint64_t>(v)); break;
        }
    }
    return out;
}

/// The quantisation step of an encoding at full scale 1 (0 for float, whose output rounding
/// to 32 bits is checked separately).
inline double StepOf(Encoding e) { return IsFloat(e) ? 0.0 : std::ldexp(1.0, 1 - BitsOf(e)); }

inline std::span<const std::byte> AsBytes(const std::string& s)
{
    return {reinterpret_cast<const std::byte*>(s.data()), s.size()};
}

enum class Convention { AmbixSn3d, FumaFuma, AmbixN3d };

/// A plane wave from (azimuthDeg, elevationDeg) carrying signal, as frames of W, Y, Z, X with
/// SN3D gains (AmbiX), interleaved.
inline std::vector<double> PlaneWaveAmbix(double azimuthDeg, double elevationDeg, const std::vector<double>& signal)
{
    const double az = azimuthDeg * std::numbers::pi / 180.0;
    const double el = elevationDeg * std::numbers::pi / 180.0;
    std::vector<double> out;
    for (double s : signal) {
        out.push_back(s);
        out.push_back(s * std::sin(az) * std::cos(el));
        out.push_back(s * std::sin(el));
        out.push_back(s * std::cos(az) * std::cos(el));
    }
    return out;
}

/// AmbiX/SN3D frames re-encoded in another convention, in that convention's channel order.
inline std::vector<double> InConvention(const std::vector<double>& ambix, Convention c)
{
    std::vector<double> out(ambix.size());
    for (std::size_t f = 0; f + 3 < ambix.size(); f += 4) {
        const double w = ambix[f], y = ambix[f + 1], z = ambix[f + 2], x = ambix[f + 3];
        switch (c) {
        case Convention::AmbixSn3d: out[f] = w; out[f + 1] = y; out[f + 2] = z; out[f + 3] = x; break;
        case Convention::FumaFuma: out[f] = w / std::sqrt(2.0); out[f + 1] = x; out[f + 2] = y; out[f + 3] = z; break;
        case Convention::AmbixN3d:
            out[f] = w; out[f + 1] = y * std::sqrt(3.0); out[f + 2] = z * std::sqrt(3.0); out[f + 3] = x * std::sqrt(3.0);
            break;
        }
    }
    return out;
}

struct MeasuredDirection {
    double azimuthDeg = 0;
    double elevationDeg = 0;
    double magnitude = 0;
};

/// Az = atan2(sum Y*W, sum X*W), El = asin(sum Z*W / |I|) over frames [firstFrame, endFrame) of
/// interleaved W, Y, Z, X samples; worked out here independently of the code under test.
template <typename Sample>
MeasuredDirection DirectionOver(const std::vector<Sample>& wyzx, std::size_t firstFrame, std::size_t endFrame)
{
    double ix = 0, iy = 0, iz = 0;
    for (std::size_t f = firstFrame; f < endFrame && 4 * f + 3 < wyzx.size(); ++f) {
        const double w = wyzx[4 * f];
        iy += wyzx[4 * f + 1] * w;
        iz += wyzx[4 * f + 2] * w;
        ix += wyzx[4 * f + 3] * w;
    }
    MeasuredDirection d;
    d.magnitude = std::sqrt(ix * ix + iy * iy + iz * iz);
    d.azimuthDeg = std::atan2(iy, ix) * 180.0 / std::numbers::pi;
    d.elevationDeg = d.magnitude > 0 ? std::asin(std::clamp(iz / d.magnitude, -1.0, 1.0)) * 180.0 / std::numbers::pi : 0;
    return d;
}

/// Smallest difference between two azimuths, in degrees, across the +-180 seam.
inline double AzimuthDifferenceDeg(double a, double b)
{
    double d = std::fmod(a - b, 360.0);
    if (d > 180.0) d -= 360.0;
    if (d < -180.0) d += 360.0;
    return std::fabs(d);
}

}  // namespace halvane::testing
