#pragma once

#include <QString>

namespace halvane {

// The name suggested for the converted copy of an impulse response: the same
// folder and base name with "-ambix.wav" in place of a final ".wav" (any case),
// or appended when the name has no such ending ("hall.WAV" -> "hall-ambix.wav",
// "hall" -> "hall-ambix.wav"). Never the input's own name.
QString ConvertedFileName(const QString& inputPath);

// One shell word in double quotes: backslash, double quote, dollar and
// backquote are escaped, so the word pastes into a POSIX shell unchanged.
QString ShellQuoted(const QString& word);

// The converter command that turns inputPath into a file the window reads:
// halvane-convert "IN" "IN-ambix.wav" (the default conventions, AmbiX order
// and SN3D gains, which the window assumes too).
QString ConverterCommand(const QString& inputPath);

// A run's warning with one line added when the run refused the file for its
// sample format ("not 16 or 32 bits") or its channel count ("not a 4-ch."),
// the two refusals halvane-convert can lift: the line names the converter
// command for inputPath (bformat/ConverterAdvice.h gives its words, also for
// a file whose channels make a higher-order Ambisonic set). The first line
// stays exactly as the run gave it; every other warning is returned unchanged.
// The window's texts are the core's, in UTF-8.
QString WithConverterHint(const QString& warning, const QString& inputPath);

}  // namespace halvane
