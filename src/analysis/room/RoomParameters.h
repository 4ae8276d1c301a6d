#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "analysis/room/EnergyDecay.h"
#include "analysis/room/OctaveBands.h"
#include "bformat/BFormatSignal.h"
#include "values/Cancellation.h"
#include "values/RoomQuantities.h"

namespace halvane {

// The room-acoustic parameters of ISO 3382-1 from a B-format impulse response,
// per octave band (see OctaveBands.h) and for the unfiltered response.
//
// The start of the response (t = 0) is found once, on the unfiltered W
// channel, as ISO 3382-1 Annex A places it: the first frame where the squared
// response rises to 20 dB below its maximum. Every band uses that start.
// Band filtering is zero phase, so it moves no arrival time and no limit of
// 5, 50 or 80 ms; it spreads each arrival over both sides of it, so every
// early sum that begins at t = 0 begins instead where the pre-ringing of an
// arrival at t = 0 begins (OctaveBandFilter::RingFrames() earlier, reaching
// before the first frame of the file where need be), and energy totals
// include that stretch. Y is filtered only over the stretch LF needs.
//
// Energy windows hold the frames whose time t from the start satisfies
// a <= t < b: the frame at exactly 50 ms after the start is late. The decay
// of W is followed up to its last frame that is not exactly 0 (a simulated
// response may end in digital silence), less the band's ring frames, whose
// output already feels the end of the file.
//
// From W, noise handled by EnergyDecay (Lundeby's method):
//   EDT, T20, T30: -60 dB over the slope of a least-squares line through the
//     decay curve from 0 to -10 dB, -5 to -25 dB and -5 to -35 dB; each only
//     when the decay range (EnergyDecay::DecayRangeDb) is at least 20, 35 or
//     45 dB, so that the bottom of the fit lies 10 dB or more above the noise.
//   C50, C80 in dB: 10 log10 of the energy before 50 (80) ms over the energy
//     after it; D50 the energy before 50 ms over all of it; Ts, the centre
//     time, in ms: the energy-weighted mean time (the pre-ringing counting
//     at its times before the start). The late energy is the
//     decay's (noise removed, the hidden tail added); these need a decay to
//     have been found and the file to reach 50 (80) ms after the start.
// From W and Y (Y, in SN3D, is a figure-of-eight towards +Y with W's on-axis
// sensitivity), needing the file to reach 80 ms after the start:
//   LF = energy of Y from 5 to 80 ms / energy of W from 0 to 80 ms;
//   LFC = sum of |Y W| from 5 to 80 ms / energy of W from 0 to 80 ms.
//
// A value the signal does not allow stays empty: a silent or non-finite W
// (or Y, for LF and LFC), a sample rate outside (0, kMaxSampleRateHz], a
// band that cannot be designed at the rate, a decay range or a file too short,
// a ratio whose denominator is 0.

// Frames from the start of the response to the first frame at or after ms
// (ms >= 0): the count of frames whose time t from the start has t < ms, so
// that a frame exactly at ms lies after the stretch.
std::size_t FramesBefore(double ms, double sampleRateHz);

// The first frame whose squared value reaches 1/100 of the largest squared
// value of omni (20 dB below its maximum); nothing when omni is empty, silent
// or holds a value that is not finite.
std::optional<std::size_t> FindResponseStart(std::span<const float> omni);

// The parameters of one band: nominalHz one of kOctaveBandsHz, or kBroadband
// for the unfiltered response. An unknown nominalHz gives a row of empty
// values labelled with the number.
BandParameters ComputeBandParameters(const BFormatSignal& signal, int nominalHz);

// The rows 125, 250, 500, 1000, 2000, 4000 and "all", in that order. Polls
// cancellation between the bands: once it is requested the rows made so far
// come back, fewer than seven (the caller asks cancellation whether the
// result is whole).
std::vector<BandParameters> ComputeRoomParameters(const BFormatSignal& signal,
                                                  const Cancellation& cancellation = Cancellation::Never());

// The values of rows that lie outside what the parameter can be, each as
// "LF 1.23 in the 500 Hz band" (or "in the whole response"), in the rows'
// order: a fraction (D50, LF, LFC) below 0 or above 1, a reverberation time
// (EDT, T20, T30) or centre time not above 0. Such a value comes of channels
// whose gains or order do not match what is assumed (Y louder than W), not of
// the room; the caller flags it in its report. Empty when all are possible.
std::vector<std::string> ImpossibleValues(const std::vector<BandParameters>& rows);

}  // namespace halvane
