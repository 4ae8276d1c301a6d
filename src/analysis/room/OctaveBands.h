#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "bformat/BFormatSignal.h"
#include "values/Cancellation.h"

namespace halvane {

// Octave-band filters for room-acoustic parameters, in the base-10 system of
// IEC 61260-1: the band labelled 1000 Hz has its exact mid-band frequency at
// 1000 Hz, each octave step multiplies it by G = 10^0.3, and a band reaches
// from fm * G^-1/2 to fm * G^1/2. The labels are the nominal values; the exact
// mid-band frequencies are 125.89, 251.19, 501.19, 1000, 1995.26 and
// 3981.07 Hz.
//
// Each band is a Butterworth band-pass (a third-order low-pass prototype, so
// three second-order sections, sixth order) designed in double precision from
// the sample rate by the bilinear transform, with the band edges pre-warped.
// It is meant to be run forward and backward (zero phase), so the response
// that counts is the squared magnitude |H|^2, and the bandwidth is set for
// that: |H|^2 is 1 at the exact mid-band frequency and 1/sqrt(2) (-3 dB) at
// both band edges. That squared response meets the class 1 acceptance limits
// of IEC 61260-1 at 44.1 kHz and above. A band whose upper edge is not below
// half the sample rate cannot be designed.

inline constexpr std::array<int, 6> kOctaveBandsHz = {125, 250, 500, 1000, 2000, 4000};

// The highest sample rate the filters (and the room parameters) accept: far
// above any audio rate, low enough that the slowest band's ringing stays a
// few hundred thousand frames.
inline constexpr double kMaxSampleRateHz = 1e6;

// The exact mid-band frequency in Hz of the band labelled nominalHz; nothing
// when nominalHz is not one of kOctaveBandsHz.
std::optional<double> ExactMidBandHz(int nominalHz);

// One second-order section with a0 = 1:
// y[n] = b0 x[n] + b1 x[n-1] + b2 x[n-2] - a1 y[n-1] - a2 y[n-2].
// The band filters' sections are all band-pass sections, b1 = 0 and b2 = -b0.
struct Biquad {
    double b0 = 0, b1 = 0, b2 = 0, a1 = 0, a2 = 0;
};

// A sequence filtered forward and backward, held together with the frames
// around it that the filter's ringing reaches. values[leadFrames + n] belongs
// to input frame n; the leadFrames values before it lie at times before the
// first input frame (the pre-ringing of the backward pass), and as many values
// after the last input frame hold the ring-out of the forward pass. Outside
// the held frames the response has fallen by more than kRingDecayDb.
struct ZeroPhaseSequence {
    std::vector<double> values;
    std::size_t leadFrames = 0;
};

// Interleaved frames read and written by OctaveBandFilter::FilterZeroPhaseInBlocks.
using FrameBlockSource = std::function<void(std::size_t firstFrame, std::span<double> interleaved)>;
using FrameBlockSink = std::function<void(std::size_t firstFrame, std::span<const double> interleaved)>;

class OctaveBandFilter {
public:
    static constexpr int kSectionCount = 3;
    // How far the single-pass impulse response must have decayed, in energy,
    // before the frames past it count as silent: RingFrames() is where the
    // energy still to come falls below 10^(-kRingDecayDb/10) of the whole.
    static constexpr double kRingDecayDb = 100.0;

    // Nothing when nominalHz is not one of kOctaveBandsHz, sampleRateHz is not
    // in (0, kMaxSampleRateHz], or the band's upper edge is not below
    // sampleRateHz / 2.
    static std::optional<OctaveBandFilter> Design(int nominalHz, double sampleRateHz);

    int NominalHz() const { return m_nominalHz; }
    double MidBandHz() const { return m_midBandHz; }
    double SampleRateHz() const { return m_sampleRateHz; }
    const std::array<Biquad, kSectionCount>& Sections() const { return m_sections; }

    // The magnitude of one pass, |H|, at frequencyHz (0 to half the rate): 1 at
    // the exact mid-band frequency.
    double PassGain(double frequencyHz) const;
    // The gain of forward-backward filtering, |H|^2: the response that the
    // class 1 limits apply to. Its relative attenuation in dB is
    // -20 log10(ZeroPhaseGain(f)).
    double ZeroPhaseGain(double frequencyHz) const;

    // Frames over which the single-pass impulse response decays by
    // kRingDecayDb (at least 1): how far the zero-phase output reaches before
    // and after its input.
    std::size_t RingFrames() const { return m_ringFrames; }

    // Zero-phase filtering of input, taken as silent before its first and
    // after its last frame: the forward pass runs from rest over the input and
    // RingFrames() frames of silence after it, the backward pass from rest
    // over all of that and RingFrames() frames before the input, which hold
    // the pre-ringing. Arrival times do not move. Empty input gives RingFrames()
    // of silence on either side.
    // Polls cancellation between blocks of kBlockFrames: once it is
    // requested the values are left unfinished (the caller asks it whether
    // they are whole).
    ZeroPhaseSequence FilterZeroPhase(std::span<const float> input,
                                      const Cancellation& cancellation = Cancellation::Never()) const;
    ZeroPhaseSequence FilterZeroPhase(std::span<const double> input,
                                      const Cancellation& cancellation = Cancellation::Never()) const;

    // Frames a block of FilterZeroPhaseInBlocks holds.
    static constexpr std::size_t kBlockFrames = std::size_t{1} << 16;
    // Zero-phase filtering of frames frames of channels interleaved channels
    // without holding them: for each channel, the values FilterZeroPhase
    // gives for input frames 0 to frames - 1, bit for bit (the pre-ringing
    // and the ring-out are not given out). The forward pass runs once over
    // the input and RingFrames() frames of silence after it, noting its state
    // every kBlockFrames frames; then, block by block from the end, each
    // block's forward output is made again from its note and the backward
    // pass runs over it. read(first, values) fills values with the input
    // frames from first on (values.size() / channels of them, all below
    // frames): first in increasing order over every frame, then again block by
    // block in decreasing order. write(first, values) takes the output frames
    // from first on, the last block first. Memory: a block of doubles per
    // channel and a note per block, whatever the length. Polls cancellation
    // between blocks and returns false when it stopped there (the output is
    // then incomplete).
    bool FilterZeroPhaseInBlocks(std::size_t frames, std::size_t channels, const FrameBlockSource& read,
                                 const FrameBlockSink& write, const Cancellation& cancellation) const;

private:
    OctaveBandFilter() = default;
    void RunForwardBackward(std::vector<double>& values, const Cancellation& cancellation) const;

    int m_nominalHz = 0;
    double m_midBandHz = 0;
    double m_sampleRateHz = 0;
    std::array<Biquad, kSectionCount> m_sections{};
    std::size_t m_ringFrames = 1;
};

// All four channels of signal filtered to the octave band labelled nominalHz,
// zero phase, as single-precision values of the same length and sample rate:
// arrival times do not move; the pre-ringing before the first frame and the
// ring-out after the last are not kept. An unknown band, or one that cannot be
// designed at the signal's rate (see OctaveBandFilter::Design), gives a signal
// with the same rate and no frames.
BFormatSignal FilterToOctaveBand(const BFormatSignal& signal, int nominalHz);

}  // namespace halvane
