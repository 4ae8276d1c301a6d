#pragma once

#include <array>
#include <cmath>
#include <cstddef>
#include <vector>

#include "analysis/arrivals/PulseTemplate.h"

namespace halvane {

// One copy of the system's pulse in a response: where its centre lies (in
// samples from the first sample, fractional) and its amplitude in each
// channel, W, Y, Z, X (the pulse template scaled by these gives the copy).
struct PulseCopy {
    double originSamples = 0;
    std::array<double, 4> amplitude{};
};

// Pseudo-intensity sums over a window: W times X, Y, Z, and De = W^2 + X^2 +
// Y^2 + Z^2 (SN3D).
struct WindowIntensity {
    double ix = 0, iy = 0, iz = 0, de = 0;
    double Magnitude() const { return std::sqrt(ix * ix + iy * iy + iz * iz); }
};

// Matching pursuit of a response with its own pulse (the CLEAN method of
// radio astronomy, applied to a room response): the omnidirectional channel
// is explained, strongest part first, as a sum of delayed and scaled copies of
// the pulse template; each copy found is fitted in all four channels and taken
// out of them before the next search. Side lobes and ripples of a pulse go out
// with it, and an arrival less than a pulse length behind a stronger one is
// found in what the stronger one leaves.
//
// Channels are W, Y, Z, X of equal length, finite. The template must outlive
// the pursuit.
class PulsePursuit {
public:
    // halfWindowSamples: half the pseudo-intensity window; maxDiffuseness:
    // a candidate whose window is more diffuse than this, and that explains
    // less than half of its window's energy, is tail.
    PulsePursuit(std::array<std::vector<double>, 4> channels, const PulseTemplate& pulse, double halfWindowSamples,
                 double maxDiffuseness);

    // Takes out copies of the pulse, strongest first, until the strongest
    // remaining correlation in W means an amplitude below stopAmplitude (in
    // units of the template).
    void Run(double stopAmplitude);

    // Refits every copy with all the others taken out, strongest first:
    // corrects first estimates that overlapped a weaker copy not yet found.
    void Refit();

    // Drops every copy, weakest first, that its neighbours can stand in for:
    // with it taken away and the copies around it refitted, the residual grows
    // by less than half its own energy. Two arrivals closer than the pulse can
    // tell apart are otherwise described by three copies or more.
    void Prune();

    const std::vector<PulseCopy>& Copies() const { return m_copies; }

    // The pseudo-intensity over the window centred on timeSamples, of what no
    // copy explains plus the given copies. False when the window lies outside
    // the response. At least one sample is used.
    bool Intensity(double timeSamples, const std::vector<const PulseCopy*>& added, WindowIntensity& intensity) const;

private:
    double Correlation(double origin) const;
    double RefineOrigin(double start, double sign) const;
    PulseCopy Fit(double origin) const;
    double Prominence(const PulseCopy& copy) const;
    double ResidualEnergy(std::ptrdiff_t from, std::ptrdiff_t to) const;
    double CopyEnergy(const PulseCopy& copy) const;
    void Subtract(const PulseCopy& copy, double scale);

    std::array<std::vector<double>, 4> m_residual;
    const PulseTemplate& m_pulse;
    double m_halfWindow;
    double m_maxDiffuseness;
    std::vector<PulseCopy> m_copies;
    mutable std::vector<double> m_placed;  // scratch for one placed copy of the pulse
};

}  // namespace halvane
