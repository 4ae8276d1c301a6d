#include "analysis/maps/SteeredBeam.h"

#include <Eigen/Core>
#include <algorithm>
#include <cmath>

#include "values/MapGrid.h"
#include "values/SoundField.h"

namespace halvane {
namespace {

// The first-order max-rE weights on SN3D components: the beam
// 1 + sqrt(3) cos(angle) has the largest energy vector, r_E = 1/sqrt(3).
const double kDipoleWeight = std::sqrt(3.0);

// Row c: the weighted steering vector (1, w u_y, w u_z, w u_x) of cell c.
Eigen::Matrix<double, Eigen::Dynamic, 4> SteeringVectors()
{
    Eigen::Matrix<double, Eigen::Dynamic, 4> steering(static_cast<Eigen::Index>(kMapCells), 4);
    for (std::size_t row = 0; row < kMapRows; ++row) {
        const double el = RadiansFromDegrees(MapRowElDeg(row));
        for (std::size_t column = 0; column < kMapColumns; ++column) {
            const double az = RadiansFromDegrees(MapColumnAzDeg(column));
            const auto cell = static_cast<Eigen::Index>(row * kMapColumns + column);
            steering(cell, 0) = 1;
            steering(cell, 1) = kDipoleWeight * std::sin(az) * std::cos(el);
            steering(cell, 2) = kDipoleWeight * std::sin(el);
            steering(cell, 3) = kDipoleWeight * std::cos(az) * std::cos(el);
        }
    }
    return steering;
}

}  // namespace

std::vector<double> SteeredBeamMap(const BFormatSignal& signal, std::size_t first, std::size_t end)
{
    const std::size_t frames = std::min({signal.W.size(), signal.Y.size(), signal.Z.size(), signal.X.size()});
    end = std::min(end, frames);
    Eigen::Matrix4d covariance = Eigen::Matrix4d::Zero();
    for (std::size_t n = first; n < end; ++n) {
        const Eigen::Vector4d b(signal.W[n], signal.Y[n], signal.Z[n], signal.X[n]);
        covariance.noalias() += b * b.transpose();
    }
    std::vector<double> cells(kMapCells, 0.0);
    const double omni = covariance(0, 0);
    const double total = covariance.trace();
    if (!(omni > 0) || !std::isfinite(total)) return cells;

    static const Eigen::Matrix<double, Eigen::Dynamic, 4> steering = SteeringVectors();
    const Eigen::VectorXd energies = (steering * covariance).cwiseProduct(steering).rowwise().sum() * (omni / total);
    std::copy(energies.data(), energies.data() + energies.size(), cells.begin());
    return cells;
}

}  // namespace halvane
