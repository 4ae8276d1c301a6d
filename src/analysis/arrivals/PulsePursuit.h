#pragma once

#include <array>
#include <cmath>
#include <cstddef>
#include <vector>

#include "analysis/arrivals/PulseTemplate.h"
#include "values/Cancellation.h"

namespace halvane {

// One copy of the system's pulse in a response: where its centre lies (in
// samples from the first sample, fractional) and its amplitude in each
// channel, W, Y, Z, X (the pulse template scaled by these gives the copy).
struct PulseCopy {
    double originSamples = 0;
    std::array<double, 4> amplitude{};
};

// Pseudo-intensity sums over a window: W times X, Y, Z, De = W^2 + X^2 +
// Y^2 + Z^2 (SN3D), and the energy of W alone.
struct WindowIntensity {
    double ix = 0, iy = 0, iz = 0, de = 0, ww = 0;
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
// Each copy is the omni pulse in W and the figure-of-eight pulse, scaled by
// its own gain, in each of Y, Z and X: a real microphone's figure-of-eights
// do not have its omni's response, and fitting them with their own pulse
// leaves far less of each copy behind. (For an ideal microphone the two
// pulses are the same.) Both templates are cut around the same centre over
// the same span.
//
// Channels are W, Y, Z, X of equal length, finite. The templates must
// outlive the pursuit.
class PulsePursuit {
public:
    // halfWindowSamples: half the window over which a candidate must stand
    // out (and the default window of Intensity).
    PulsePursuit(std::array<std::vector<double>, 4> channels, const PulseTemplate& pulse,
                 const PulseTemplate& dipolePulse, double halfWindowSamples);

    // Takes out copies of the pulse, strongest first, until the strongest
    // remaining correlation in W means an amplitude below stopAmplitude (in
    // units of the template), or maxCopies have been taken. A candidate that
    // carries less energy in its window (all four channels) than what would
    // remain there once it is taken out is a fluctuation of the tail, not a
    // copy: it is passed over, and so is its window.
    // Polls stop every few candidates and ends there when it is requested.
    void Run(double stopAmplitude, std::size_t maxCopies, const Cancellation& stop = Cancellation::Never());

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
    // What a window's sums are taken of: the residual and the given copies in
    // every channel; or the copies alone in W against the residual and the
    // copies in X, Y and Z (the figure-of-eights read against the arrival's
    // own omni pulse, which nothing else in the window correlates with).
    enum class Sums { Everything, OwnOmni };
    // The same over the window of halfWindowSamples either side of timeSamples.
    bool Intensity(double timeSamples, double halfWindowSamples, const std::vector<const PulseCopy*>& added,
                   WindowIntensity& intensity, Sums sums = Sums::Everything) const;

    double HalfWindowSamples() const { return m_halfWindow; }

    // What no copy explains, W, Y, Z, X.
    const std::array<std::vector<double>, 4>& Residual() const { return m_residual; }

private:
    double Correlation(double origin) const;
    double RefineOrigin(double start, double sign) const;
    PulseCopy Fit(double origin) const;
    double Prominence(const PulseCopy& copy) const;
    double StandOut(double timeSamples) const;
    double ResidualEnergy(std::ptrdiff_t from, std::ptrdiff_t to) const;
    double CopyEnergy(const PulseCopy& copy) const;
    void Subtract(const PulseCopy& copy, double scale);
    const PulseTemplate& PulseOf(std::size_t channel) const { return channel == 0 ? m_pulse : m_dipole; }

    std::array<std::vector<double>, 4> m_residual;
    const PulseTemplate& m_pulse;
    const PulseTemplate& m_dipole;
    double m_halfWindow;
    std::vector<PulseCopy> m_copies;
    mutable std::vector<double> m_placed;  // scratch for one placed copy of the pulse
};

}  // namespace halvane
