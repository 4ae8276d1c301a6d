#include "simulation/Direction.h"

#include <cmath>

namespace halvane::simulation {

Direction DirectionOf(const Vector3& v)
{
    if (v[0] == 0 && v[1] == 0 && v[2] == 0) return {};
    return {std::atan2(v[1], v[0]) * kDegPerRad, std::atan2(v[2], std::hypot(v[0], v[1])) * kDegPerRad};
}

Vector3 UnitVector(const Direction& d)
{
    const double az = d.azDeg / kDegPerRad, el = d.elDeg / kDegPerRad;
    return {std::cos(el) * std::cos(az), std::cos(el) * std::sin(az), std::sin(el)};
}

double AngleBetweenDeg(const Direction& a, const Direction& b)
{
    const Vector3 u = UnitVector(a), v = UnitVector(b);
    const Vector3 c = Cross(u, v);
    return std::atan2(std::sqrt(Dot(c, c)), Dot(u, v)) * kDegPerRad;
}

std::array<double, 4> Sn3dGainsRad(double azRad, double elRad)
{
    const double cosEl = std::cos(elRad);
    return {1.0, std::sin(azRad) * cosEl, std::sin(elRad), std::cos(azRad) * cosEl};
}

std::array<double, 4> Sn3dGains(const Direction& d) { return Sn3dGainsRad(d.azDeg / kDegPerRad, d.elDeg / kDegPerRad); }

double Dot(const Vector3& a, const Vector3& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

Vector3 Cross(const Vector3& a, const Vector3& b)
{
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

Rotation RotationTaking(const Vector3& from, const Vector3& to)
{
    const Vector3 axis = Cross(from, to);
    const double sine = std::sqrt(Dot(axis, axis));
    const double cosine = Dot(from, to);
    constexpr double kParallel = 1e-12;
    if (sine < kParallel && cosine > 0) return {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};
    if (sine < kParallel) {
        // Opposite: a half turn about any axis square to from, R = 2 a a' - I.
        Vector3 a = Cross(from, std::fabs(from[0]) < 0.9 ? Vector3{1, 0, 0} : Vector3{0, 1, 0});
        const double norm = std::sqrt(Dot(a, a));
        for (double& v : a) v /= norm;
        Rotation r{};
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) r[i][j] = 2 * a[i] * a[j] - (i == j ? 1.0 : 0.0);
        return r;
    }
    // Rodrigues: R = I + [k] + [k]^2 (1 - cos) / sin^2, k = from x to.
    const Rotation k{{{0, -axis[2], axis[1]}, {axis[2], 0, -axis[0]}, {-axis[1], axis[0], 0}}};
    const double scale = (1 - cosine) / (sine * sine);
    Rotation r{};
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            double kk = 0;
            for (int m = 0; m < 3; ++m) kk += k[i][m] * k[m][j];
            r[i][j] = (i == j ? 1.0 : 0.0) + k[i][j] + kk * scale;
        }
    }
    return r;
}

Vector3 Rotate(const Rotation& r, const Vector3& v) { return {Dot(r[0], v), Dot(r[1], v), Dot(r[2], v)}; }

}  // namespace halvane::simulation
