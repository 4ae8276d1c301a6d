#pragma once

// The pulse every arrival of a simulated response carries: the loudspeaker
// and microphone together, sampled at the response's rate, in W and in the
// figure-of-eight channels.
//
// An ideal pulse is a plane wave's: each figure-of-eight is W times its gain
// for the direction. A measured one keeps what the microphone did to its
// direct sound: its dipole triple D(t) = (X, Y, Z)(t) is split along the
// direct sound's own direction u_s into an on-axis part p(t) = u_s . D(t) and
// an off-axis remainder r(t) = D(t) - u_s p(t). Arriving from direction u it
// carries u p(t) + R r(t), R the rotation taking u_s to u, so every arrival
// reads the diffuseness and the dipole-to-W energy the direct sound read.

#include <array>
#include <cstddef>
#include <string>
#include <vector>

#include "simulation/Direction.h"
#include "simulation/MeasuredPulse.h"
#include "simulation/WallFilter.h"

namespace halvane::simulation {

// A pulse filtered and delayed, before it is given a direction: values from
// sample first on. onAxis and offAxis are empty for an ideal pulse.
struct PlacedPulse {
    std::ptrdiff_t first = 0;
    std::vector<double> w;
    std::vector<double> onAxis;
    std::array<std::vector<double>, 3> offAxis;  // x, y, z
};

class SystemPulse {
public:
    // The loudspeaker of the clean rooms: a windowed-sinc low-pass at 16 kHz
    // (at most 0.36 of the rate) followed by a second-order high-pass at
    // 80 Hz, so it rings a little after its peak as a real one does; peak 1;
    // ideal dipoles. Its tail colour is the low-pass part alone.
    static SystemPulse Loudspeaker(double rateHz);
    // A measured pulse at rateHz: low-passed at the lower of 20 kHz and 0.4 of
    // either rate and resampled, then scaled so that W's largest value is 1
    // (the dipoles alike). Its tail colour is its own W.
    static SystemPulse Measured(const MeasuredPulse& pulse, double rateHz);

    const std::string& Name() const { return m_name; }
    double RateHz() const { return m_rateHz; }
    bool Ideal() const { return m_onAxis.empty(); }
    const std::vector<double>& W() const { return m_w; }
    const std::vector<double>& OnAxis() const { return m_onAxis; }
    const std::array<std::vector<double>, 3>& OffAxis() const { return m_offAxis; }
    const Vector3& Axis() const { return m_axis; }
    // Where W's energy envelope peaks, in samples from W()[0].
    double PeakSamples() const { return m_peak; }
    // Unit energy: what the reverberant tail is filtered by.
    const std::vector<double>& TailColour() const { return m_tailColour; }
    // The sum of W()^2.
    double Energy() const;

    // Through filter (its ringing kept for kFilterTailMs), then delayed so
    // that the unfiltered pulse's envelope peak lies at timeSamples.
    PlacedPulse Placed(double timeSamples, const WallFilter& filter) const;
    // W, Y, Z, X of a placed pulse arriving from direction u (a unit vector).
    std::array<std::vector<double>, 4> Channels(const PlacedPulse& placed, const Vector3& u) const;

    static constexpr double kFilterTailMs = 8.0;

private:
    std::string m_name;
    double m_rateHz = 0;
    std::vector<double> m_w, m_onAxis;
    std::array<std::vector<double>, 3> m_offAxis;
    Vector3 m_axis{1, 0, 0};
    double m_peak = 0;
    std::vector<double> m_tailColour;
};

}  // namespace halvane::simulation
