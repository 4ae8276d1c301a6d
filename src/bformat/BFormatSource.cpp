#include "bformat/BFormatSource.h"

#include <algorithm>

namespace halvane {

std::size_t SignalFrames::Frames() const
{
    return std::min({m_signal.W.size(), m_signal.Y.size(), m_signal.Z.size(), m_signal.X.size()});
}

BFormatSignal SignalFrames::Signal(std::size_t first, std::size_t count, bool omniOnly) const
{
    BFormatSignal signal;
    signal.SampleRateHz = m_signal.SampleRateHz;
    const std::size_t frames = Frames();
    first = std::min(first, frames);
    count = std::min(count, frames - first);
    const auto from = static_cast<std::ptrdiff_t>(first), to = static_cast<std::ptrdiff_t>(first + count);
    signal.W.assign(m_signal.W.begin() + from, m_signal.W.begin() + to);
    if (!omniOnly) {
        signal.Y.assign(m_signal.Y.begin() + from, m_signal.Y.begin() + to);
        signal.Z.assign(m_signal.Z.begin() + from, m_signal.Z.begin() + to);
        signal.X.assign(m_signal.X.begin() + from, m_signal.X.begin() + to);
    }
    return signal;
}

}  // namespace halvane
