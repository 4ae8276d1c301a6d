#pragma once

// The halvane-convert command that makes a refused input readable, and the line that names it
// under a refusal: one wording for the window's message box and for halvane-batch.

#include <string>
#include <string_view>

namespace halvane {

// The name suggested for the converted copy of an impulse response: the same folder and base
// name with "-ambix.wav" in place of a final ".wav" (any case), or appended when the name has
// no such ending ("hall.WAV" -> "hall-ambix.wav", "hall" -> "hall-ambix.wav", ".wav" ->
// ".wav-ambix.wav"). Never the input's own name. Bytes beyond ASCII pass unchanged.
std::string ConvertedName(std::string_view inputPath);

// One shell word in double quotes: backslash, double quote, dollar and backquote are
// escaped, so the word pastes into a POSIX shell unchanged.
std::string ShellWord(std::string_view word);

// halvane-convert "IN" "IN-ambix.wav": the default conventions, AmbiX order and SN3D gains,
// which the window assumes too.
std::string ConvertCommandLine(std::string_view inputPath);

// The line to put under a run's refusal of inputPath that halvane-convert can lift, without a
// line break or the file's name before it; empty for any other refusal (it must equal the
// run's message exactly):
// - "not 16 or 32 bits": "To convert it to 32-bit float: COMMAND";
// - "not a 4-ch.": for a file whose header gives (order + 1)^2 channels of a higher order
//   (see HigherAmbisonicOrder), "It looks like a higher-order Ambisonic file of order N
//   (C channels); its first-order part converts with: COMMAND"; for any other file, whose
//   header may only be one the window cannot walk (RF64, say), "A four-channel B-format file
//   in another layout converts with: COMMAND".
// The header is read from the file at inputPath only for the channel refusal; a file that
// cannot be read gives the second wording.
std::string ConverterAdvice(std::string_view refusal, const std::string& inputPath);

}  // namespace halvane
