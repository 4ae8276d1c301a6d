#pragma once

// Whole analysis runs over arbitrary bytes, for the fuzzer and for the
// replay test that runs the seed corpus in every build.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace halvane::fuzz {

// The fixed answers to the four prompts of a fuzzed run.
enum class Answers {
    WholeWindowsFromZero,            // skip 0, display 20 ms, 1 ms windows
    FractionalWindowsBeforeTheFile,  // skip -2.5 ms, display 10 ms, 0.7 ms windows
};

// Runs the analysis over bytes as the input file with the batch host and
// the given answers: the header reading and test, the chunk walk, both
// passes and both tables, all in memory. Checks what every run must keep,
// whatever the input: a refusal is one "Sorry, ..." warning; a finished run
// wrote exactly the rows it reports, each a complete CR LF line; no pass ran
// more windows than the file allows. Returns the broken promise, or an
// empty text. Crashes, undefined behaviour and leaks are left to the
// sanitizers.
std::string RunOnBytes(std::span<const std::uint8_t> bytes, Answers answers);

// Runs the analysis over a fixed valid file (16-bit, 200 frames, 48 kHz)
// with text as the typed answers to the four prompts, one line each (lines
// past the fourth are ignored, missing ones take the prompt's default).
// Checks the same promises as RunOnBytes.
std::string RunWithAnswers(std::span<const std::uint8_t> text);

// Reads text as a typed prompt answer and checks the reading is a number
// (never not-a-number), whatever the text. Returns the broken promise, or an
// empty text.
std::string ReadAnswer(std::span<const std::uint8_t> bytes);

}  // namespace halvane::fuzz
