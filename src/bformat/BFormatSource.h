#pragma once

#include <cstddef>

#include "bformat/BFormatSignal.h"

namespace halvane {

// A response whose frames are read a stretch at a time, so that an analysis
// that needs only part of a long file never holds all of it. Values are as
// in BFormatSignal (full scale +-1, AmbiX order), except that a source read
// from a file gives a non-finite sample as it is stored.
class BFormatSource {
public:
    virtual ~BFormatSource() = default;
    virtual std::size_t Frames() const = 0;
    virtual double SampleRateHz() const = 0;
    // Frames first .. first + count - 1, as far as the response goes (an
    // empty signal beyond its end). With omniOnly, Y, Z and X are left empty.
    virtual BFormatSignal Signal(std::size_t first, std::size_t count, bool omniOnly) const = 0;
};

// A response already in memory, served as a source. The signal must outlive it.
class SignalFrames final : public BFormatSource {
public:
    explicit SignalFrames(const BFormatSignal& signal) : m_signal(signal) { }

    std::size_t Frames() const override;
    double SampleRateHz() const override { return m_signal.SampleRateHz; }
    BFormatSignal Signal(std::size_t first, std::size_t count, bool omniOnly) const override;

private:
    const BFormatSignal& m_signal;
};

}  // namespace halvane
