// Stopping long work: the request that a signal handler, another thread or the caller makes,
// and what the work polling it sees.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <thread>
#include <vector>

#include "values/Cancellation.h"

namespace halvane {
namespace {

TEST(Cancellation, TheFirstReasonStaysAndNothingResetsIt)
{
    struct Case {
        const char* name;
        std::vector<int> requests;
        int reason;
    };
    const std::vector<Case> cases = {
        {"none", {}, 0},
        {"one signal", {SIGINT}, SIGINT},
        {"a second signal does not replace the first", {SIGTERM, SIGINT}, SIGTERM},
        {"the same twice", {SIGINT, SIGINT}, SIGINT},
        {"0 is no reason: it still asks", {0}, 1},
        {"the default reason", {1, 7}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Cancellation cancellation;
        for (const int reason : c.requests) cancellation.Request(reason);
        EXPECT_EQ(cancellation.Requested(), c.reason != 0);
        EXPECT_EQ(cancellation.Reason(), c.reason);
    }
    EXPECT_FALSE(Cancellation::Never().Requested());
}

Cancellation g_bySignal;
extern "C" void RequestBySignal(int signal) { g_bySignal.Request(signal); }

TEST(Cancellation, ASignalHandlerRequestsIt)
{
    struct sigaction action { };
    struct sigaction previous { };
    action.sa_handler = RequestBySignal;
    sigemptyset(&action.sa_mask);
    ASSERT_EQ(sigaction(SIGUSR1, &action, &previous), 0);
    EXPECT_FALSE(g_bySignal.Requested());
    std::raise(SIGUSR1);
    sigaction(SIGUSR1, &previous, nullptr);
    EXPECT_EQ(g_bySignal.Reason(), SIGUSR1);
}

TEST(Cancellation, WorkOnAnotherThreadSeesTheRequestAtItsNextPoll)
{
    Cancellation cancellation;
    std::atomic<long> blocks{0};
    std::thread work([&] {
        while (!cancellation.Requested()) ++blocks;
    });
    while (blocks < 1000) std::this_thread::yield();
    const auto asked = std::chrono::steady_clock::now();
    cancellation.Request();
    work.join();
    // A relaxed store reaches the polling thread in far less than this on any machine.
    constexpr auto kPromptly = std::chrono::seconds(1);
    EXPECT_LT(std::chrono::steady_clock::now() - asked, kPromptly);
}

}  // namespace
}  // namespace halvane
