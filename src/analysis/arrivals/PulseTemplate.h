#pragma once

#include <cstddef>
#include <span>
#include <vector>

namespace halvane {

// The system's pulse (loudspeaker, room-independent filters and microphone) as
// it reached the microphone in one arrival, in practice the direct sound: the
// omnidirectional channel's samples around that arrival, tapered at both ends
// and held oversampled, so that a copy can be placed at any fractional time.
// Every reflection of a room is, to first order, this pulse again: delayed,
// scaled and encoded in its own direction.
//
// Offsets are in samples relative to the centre sample the template was cut
// around. The pulse's time is the peak of its energy envelope (the squared
// magnitude of its analytic signal), PeakOffsetSamples() from the centre; for
// a pulse symmetric about the centre that is the centre itself.
class PulseTemplate {
public:
    // Cuts w[centre - halfLengthSamples .. centre + halfLengthSamples] (values
    // outside w count as zero), when endAtNextArrival shortened on either side
    // where the envelope shows the next arrival beginning: walking out from
    // the peak, a pulse's ringing falls lobe by lobe, and a lobe higher than
    // the one before it (by more than 3 dB) belongs to another arrival. The outer half of each
    // side is tapered with a raised cosine. halfLengthSamples below 1 is taken
    // as 1. The cut never reaches further than reachBefore samples before the
    // centre or reachAfter after it (at least 1 each). Non-finite values must
    // have been replaced before.
    PulseTemplate(std::span<const double> w, std::ptrdiff_t centre, std::ptrdiff_t halfLengthSamples,
                  bool endAtNextArrival, std::ptrdiff_t reachBefore, std::ptrdiff_t reachAfter);

    std::ptrdiff_t HalfLengthSamples() const { return m_halfLength; }
    // How far the cut reaches before and after the centre, in samples.
    std::ptrdiff_t ReachBefore() const { return m_reachBefore; }
    std::ptrdiff_t ReachAfter() const { return m_reachAfter; }

    // The energy envelope's peak, in samples from the centre, within the span.
    double PeakOffsetSamples() const { return m_peakOffset; }

    // Where the template's magnitude is largest, on its fine grid (a multiple
    // of 1/32 sample from -HalfLengthSamples()).
    double LargestOffsetSamples() const { return m_largestOffset; }

    // The template at a fractional offset from the centre, interpolated with
    // the template's own band limit; 0 at and beyond +-HalfLengthSamples().
    double ValueAt(double offsetSamples) const;
    // The template's Hilbert transform at a fractional offset, on the same
    // grid: with ValueAt, the analytic signal, whose squared magnitude is the
    // energy envelope of any sum of copies of the template.
    double QuadratureAt(double offsetSamples) const;

    // The tapered samples at the integer offsets -HalfLengthSamples() ..
    // HalfLengthSamples() (index 0 is the first).
    const std::vector<double>& Samples() const { return m_samples; }

    // The sum of the squared tapered samples; 0 for a silent cut.
    double Energy() const { return m_energy; }

    // The template placed with its centre at the fractional sample position
    // originSamples: values[i] is the template at sample first + i, for every
    // integer sample strictly inside the span around the origin.
    void Place(double originSamples, std::ptrdiff_t& first, std::vector<double>& values) const;

private:
    void Prepare();
    double Interpolated(const std::vector<double>& fine, double offsetSamples) const;

    std::ptrdiff_t m_halfLength = 1;
    std::ptrdiff_t m_reachBefore = 1, m_reachAfter = 1;
    std::vector<double> m_samples;
    std::vector<double> m_fine;            // band-limited interpolation on a grid kOversampling times finer
    std::vector<double> m_fineQuadrature;  // its Hilbert transform on the same grid
    double m_peakOffset = 0;
    double m_largestOffset = 0;
    double m_energy = 0;
};

}  // namespace halvane
