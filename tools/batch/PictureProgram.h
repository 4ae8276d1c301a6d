#pragma once

#include <string>
#include <vector>

namespace halvane {

// The program that draws the summary picture (halvane-picture) lies beside
// this one; it is a separate program so that a run without --png never loads
// the toolkit. Its path, or empty when there is none.
std::string FindPictureProgram();

// Ends the picture program under way, if one is (SIGTERM), and any started
// after it (also one whose start the stop came in the middle of).
// Async-signal-safe: a stop signal's handler calls it. A picture program also ends with the
// command however that ends (it is sent SIGKILL when its parent goes), and
// the hidden file it was writing is removed.
void StopPictureProgram();

// Runs the picture program on the encoded results (exchange/ResultsExchange.h)
// of one input, given on its standard input through an unnamed temporary
// file, to draw outPath (a PNG, or with "--report" among options the PDF
// report), with options before the names ("--background", PATH, ...). Its
// own messages go to standard error. False when it could not run or failed;
// when it could not even start, err says why, naming file.
bool RunPictureProgram(const std::string& program, const std::string& results, const std::vector<std::string>& options,
                       const std::string& outPath, const std::string& file, std::string& err);

}  // namespace halvane
