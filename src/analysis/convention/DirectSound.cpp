#include "analysis/convention/DirectSound.h"

#include <algorithm>
#include <cmath>

namespace halvane {

bool DirectSoundFinder::Add(double energy, bool canBeDirect)
{
    const std::size_t window = m_windowCount++;
    if (!std::isfinite(energy) || !(energy > 0)) return false;
    if (energy > m_loudest) m_loudest = energy;
    // A window no louder than an earlier eligible one can never come first within 20 dB of
    // the loudest: that earlier window would.
    bool candidate = false;
    if (canBeDirect && energy > m_loudestEligible) {
        m_loudestEligible = energy;
        m_candidates.push_back({window, energy});
        candidate = true;
    }
    DropFaintCandidates();
    return candidate && IsCandidate(window);
}

void DirectSoundFinder::DropFaintCandidates()
{
    // Candidates rise in energy, so the faint ones are at the front. The loudest only grows,
    // so a candidate dropped here could never qualify again.
    while (!m_candidates.empty() && m_candidates.front().energy < DirectSoundLeastEnergy(m_loudest))
        m_candidates.pop_front();
}

std::optional<std::size_t> DirectSoundFinder::DirectWindow() const
{
    if (m_candidates.empty()) return std::nullopt;
    return m_candidates.front().window;
}

bool DirectSoundFinder::IsCandidate(std::size_t window) const
{
    const auto at = std::lower_bound(m_candidates.begin(), m_candidates.end(), window,
                                     [](const Candidate& c, std::size_t w) { return c.window < w; });
    return at != m_candidates.end() && at->window == window;
}

std::optional<std::size_t> FindDirectSoundWindow(std::span<const double> windowEnergies)
{
    DirectSoundFinder finder;
    for (double energy : windowEnergies) finder.Add(energy);
    return finder.DirectWindow();
}

}  // namespace halvane
