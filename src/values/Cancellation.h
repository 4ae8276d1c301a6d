#pragma once

// A request to stop long work early, shared by whoever asks (a signal handler, the window's
// close, a test) and the analyses that honour it.
//
// The contract, for both sides:
// - Request may be called from any thread and from a signal handler: it is one store to a
//   lock-free std::atomic<int> (checked below), so it is async-signal-safe. The first reason
//   given stays; later requests change nothing. Nothing resets a request: it covers the rest
//   of the work it was made for (make a new Cancellation for new work).
// - An analysis that takes a Cancellation polls Requested() between blocks of its work, each
//   block small enough that two polls lie at most about 50 ms apart on this kind of machine
//   whatever the input (a block of at most a few million multiply-adds). A poll is one relaxed
//   load, cheap enough for every block.
// - Once it sees a request it returns promptly, without finishing, and its result says so
//   (a std::nullopt, a Failure with kCancelledMessage, or a flag of its own, as its header
//   states). A result that came back while a request was pending is never passed off as
//   complete: a caller that cannot tell from the result asks Requested() afterwards and
//   treats the result as unfinished when it is true.
// - Never() is a Cancellation nobody requests, the default for callers that cannot stop.

#include <atomic>

namespace halvane {

// The words of a failure that is a cancellation, so callers can tell it from a refusal.
inline constexpr const char* kCancelledMessage = "stopped before the end, as asked";

class Cancellation {
public:
    Cancellation() = default;
    Cancellation(const Cancellation&) = delete;
    Cancellation& operator=(const Cancellation&) = delete;

    // Asks the work to stop. reason must not be 0 (0 means "not requested"); a signal handler
    // passes its signal number, other callers any positive number.
    void Request(int reason = 1) noexcept
    {
        int none = 0;
        m_reason.compare_exchange_strong(none, reason == 0 ? 1 : reason, std::memory_order_relaxed);
    }

    // Whether a stop was requested: the poll an analysis makes between blocks.
    bool Requested() const noexcept { return m_reason.load(std::memory_order_relaxed) != 0; }

    // The reason of the first request (a signal number, say); 0 while none was made.
    int Reason() const noexcept { return m_reason.load(std::memory_order_relaxed); }

    // A Cancellation that is never requested.
    static const Cancellation& Never() noexcept
    {
        static const Cancellation never;
        return never;
    }

private:
    static_assert(std::atomic<int>::is_always_lock_free, "Request is made from signal handlers");
    std::atomic<int> m_reason{0};
};

}  // namespace halvane
