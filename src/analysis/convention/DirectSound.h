#pragma once

// Where the direct sound of an impulse response lies among its analysis windows.
//
// The direct sound is the first window whose energy comes within kDirectSoundWithinDb
// (values/Arrival.h, 20 dB: a factor of 100) of the loudest window's energy.
//
// Energies are sums of squares over a window, in any unit (only their ratios count). A
// non-finite energy (a window of NaN or infinite samples) is passed over: it is neither the
// loudest nor the direct sound. A negative energy counts as none. With no energy above 0
// (silence) there is no direct sound.

#include <cstddef>
#include <deque>
#include <optional>
#include <span>

#include "values/Arrival.h"

namespace halvane {

// The direct sound's window over a sequence of windows taken one at a time, for data that is
// never held whole. Holds only the windows that can still be the answer: each is louder than
// every earlier window that may be the direct sound, and within 20 dB of the loudest so far.
class DirectSoundFinder {
public:
    // Takes the next window's energy. A window with canBeDirect false still counts for the
    // loudest but is never the answer (a caller passes over, say, windows without a
    // direction). Returns true when this window could still turn out to be the direct sound.
    bool Add(double energy, bool canBeDirect = true);

    // The direct sound's window index (from 0, in the order added), over the windows added so
    // far; std::nullopt while there is none.
    std::optional<std::size_t> DirectWindow() const;
    // True when window could still turn out to be the direct sound, given what came so far.
    bool IsCandidate(std::size_t window) const;
    std::size_t WindowCount() const { return m_windowCount; }
    // The loudest finite energy so far (0 before any).
    double LoudestEnergy() const { return m_loudest; }

private:
    struct Candidate {
        std::size_t window;
        double energy;
    };
    void DropFaintCandidates();

    std::deque<Candidate> m_candidates;  // rising energies, in window order
    double m_loudest = 0;
    double m_loudestEligible = 0;
    std::size_t m_windowCount = 0;
};

// The direct sound's window among windowEnergies (window k has energy windowEnergies[k]).
std::optional<std::size_t> FindDirectSoundWindow(std::span<const double> windowEnergies);

}  // namespace halvane
