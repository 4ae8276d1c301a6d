#pragma once

// Plane waves encoded in the three first-order conventions, so every fixture is made in code.
// WAV files themselves come from the shared builder, support/TestWav.h.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <numbers>
#include <span>
#include <string>
#include <vector>

#include "support/TestWav.h"

namespace halvane::testing {

using test::AsBytes;
using test::Chunk;
using test::FmtBody;
using test::kTagPcm;
using test::RiffFile;

enum class Convention { AmbixSn3d, FumaFuma, AmbixN3d };

// A plane wave from (azDeg, elDeg) carrying signal, as frames of W, Y, Z, X with
// SN3D gains (AmbiX), interleaved.
inline std::vector<double> PlaneWaveAmbix(double azDeg, double elDeg, const std::vector<double>& signal)
{
    const double az = azDeg * std::numbers::pi / 180.0;
    const double el = elDeg * std::numbers::pi / 180.0;
    std::vector<double> out;
    for (double s : signal) {
        out.push_back(s);
        out.push_back(s * std::sin(az) * std::cos(el));
        out.push_back(s * std::sin(el));
        out.push_back(s * std::cos(az) * std::cos(el));
    }
    return out;
}

// AmbiX/SN3D frames re-encoded in another convention, in that convention's channel order.
inline std::vector<double> InConvention(const std::vector<double>& ambix, Convention c)
{
    std::vector<double> out(ambix.size());
    for (std::size_t f = 0; f + 3 < ambix.size(); f += 4) {
        const double w = ambix[f], y = ambix[f + 1], z = ambix[f + 2], x = ambix[f + 3];
        switch (c) {
        case Convention::AmbixSn3d:
            out[f] = w;
            out[f + 1] = y;
            out[f + 2] = z;
            out[f + 3] = x;
            break;
        case Convention::FumaFuma:
            out[f] = w / std::sqrt(2.0);
            out[f + 1] = x;
            out[f + 2] = y;
            out[f + 3] = z;
            break;
        case Convention::AmbixN3d:
            out[f] = w;
            out[f + 1] = y * std::sqrt(3.0);
            out[f + 2] = z * std::sqrt(3.0);
            out[f + 3] = x * std::sqrt(3.0);
            break;
        }
    }
    return out;
}

struct MeasuredDirection {
    double azDeg = 0;
    double elDeg = 0;
    double magnitude = 0;
};

// Az = atan2(sum Y*W, sum X*W), El = asin(sum Z*W / |I|) over frames [firstFrame, endFrame) of
// interleaved W, Y, Z, X samples; worked out here independently of the code under test.
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
    d.azDeg = std::atan2(iy, ix) * 180.0 / std::numbers::pi;
    d.elDeg = d.magnitude > 0 ? std::asin(std::clamp(iz / d.magnitude, -1.0, 1.0)) * 180.0 / std::numbers::pi : 0;
    return d;
}

// Smallest difference between two azimuths, in degrees, across the +-180 seam.
inline double AzimuthDifferenceDeg(double a, double b)
{
    double d = std::fmod(a - b, 360.0);
    if (d > 180.0) d -= 360.0;
    if (d < -180.0) d += 360.0;
    return std::fabs(d);
}

}  // namespace halvane::testing
