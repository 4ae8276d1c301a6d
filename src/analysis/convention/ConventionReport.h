#pragma once

// The words about a response's convention: halvane-convert's line saying which it used and
// why, its warnings when the data speak against it, and the description of a reading that
// halvane-batch and the window use too (InputConvention.h).

#include "analysis/convention/ConventionCheck.h"

#include <string>
#include <vector>

namespace halvane {

// "a plane wave (energy ratio 1.80) from the front (Az 1, El 3)" and the like.
std::string DescribeReading(const DirectSoundReading& reading);

// "direct sound: window at 35.0 ms, Az 0.7, El 2.9 degrees".
std::string DirectSoundLine(const DirectSoundReading& reading);

// One line for the report: the convention used and, unless both parts were given, what it
// was found from and what the other candidates would have given.
std::string ChoiceLine(const ConventionVerdict& verdict, bool orderGiven, bool normGiven);

// Warnings, in words for the user, each a sentence without the file's name: the data
// suggest another common convention (naming it and the options that select it); the direct
// sound comes from behind, well below the horizon, nearly overhead or from no direction; it
// is no plane wave under the convention used; the file is marked as B-format (.amb) but read
// in AmbiX order. None for a response that reads as a plane wave from the front or side.
std::vector<std::string> ConventionWarnings(const ConventionVerdict& verdict, bool markedAsBFormat);

}  // namespace halvane
