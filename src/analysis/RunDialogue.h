#pragma once

#include <optional>
#include <string>

namespace halvane {

// What a run needs from the person at the window: the prompts and the
// warning box, and the message loop with its clock, through which pauses,
// jumps, stops and the closing of the window reach the run. The window
// answers with its dialogs and the toolkit's event loop, the batch command
// with typed answers and a simulated clock, tests with a recording fake.
// The core never includes a toolkit header.
class RunDialogue {
public:
    virtual ~RunDialogue() = default;

    // A modal input box. Returns the typed answer, or nothing when cancelled
    // (the run reads a cancelled answer like an empty one).
    virtual std::optional<std::string> AskText(const std::string& prompt, const std::string& title,
                                               const std::string& defaultAnswer) = 0;
    // A modal message box titled "Warning!" with the critical icon and one OK button.
    virtual void ShowWarning(const std::string& message) = 0;
    // Sets the window's mouse pointer back to the default pointer.
    virtual void ResetPointer() = 0;

    // Processes every pending window message, then returns.
    virtual void Yield() = 0;
    // Sleeps until the next window message arrives or maxMs have passed,
    // processing what arrived. A negative maxMs waits for the next message
    // however long it takes. Never spins a processor core.
    virtual void WaitForEvents(double maxMs) = 0;
    // Milliseconds on a monotonic clock; only differences are used.
    virtual double ClockMs() = 0;
    // True once the window is being closed: the run stops without another step.
    virtual bool ShouldQuit() const = 0;
};

}  // namespace halvane
