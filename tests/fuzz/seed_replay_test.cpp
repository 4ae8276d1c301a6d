// Every build runs the fuzzer's seed corpus through the fuzz harness, so the
// harness keeps compiling and its promises hold on the valid and cut files
// without clang or a fuzzing session.
#include <gtest/gtest.h>

#include <span>

#include "FuzzRun.h"
#include "FuzzSeeds.h"
#include "bformat/WavHeader.h"

namespace halvane::fuzz {
namespace {

TEST(FuzzSeeds, EverySeedKeepsTheRunsPromises)
{
    const auto seeds = SeedCorpus();
    ASSERT_GE(seeds.size(), 64u);
    for (const Seed& seed : seeds) {
        SCOPED_TRACE(seed.name);
        EXPECT_EQ(RunOnBytes(seed.bytes, Answers::WholeWindowsFromZero), "");
        EXPECT_EQ(RunOnBytes(seed.bytes, Answers::FractionalWindowsBeforeTheFile), "");
    }
}

TEST(FuzzSeeds, WholeSeedsReachBothPassesInEveryLayout)
{
    // A seed the header test rejects would leave the passes to chance.
    int whole = 0;
    for (const Seed& seed : SeedCorpus()) {
        if (seed.name.find("-cut-") != std::string::npos) continue;
        SCOPED_TRACE(seed.name);
        ++whole;
        const auto image = std::as_bytes(std::span(seed.bytes));
        const WavHeader header = ReadWavHeader(image);
        EXPECT_EQ(TestWavHeader(header), std::nullopt);
        EXPECT_EQ(header.ChunkListWalked, seed.name.find("not-riff") == std::string::npos);
        EXPECT_GT(FrameCount(header), 100);
    }
    EXPECT_EQ(whole, 8);
}

TEST(FuzzAnswers, HostileAnswersKeepTheRunsPromises)
{
    struct Row {
        const char* name;
        const char* answers;  // skip, display, averaging window and pause, one per line
    };
    const Row rows[] = {
        {"no answer at all: the defaults", ""},
        {"a window of a thousandth of a frame", "0\n1000\n0.00002\n0"},
        {"a window of 1e-300 ms", "0\n1000\n1e-300\n0"},
        {"a window of 1e300 ms", "0\n1000\n1e300\n0"},
        {"skip and display that overflow together", "1e308\n1e308\n1e300\n0"},
        {"a skip of -1e6 ms", "-1e6\n1000\n5\n0"},
        {"a skip just below the first window", "-0.0001\n1000\n5\n0"},
        {"a display of 1e-300 ms", "0\n1e-300\n5\n0"},
        {"hexadecimal and octal answers", "&HFF\n&O777\n&H1\n&H0"},
        {"a pause of -1e308 ms", "0\n20\n1\n-1e308"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string_view text(row.answers);
        EXPECT_EQ(RunWithAnswers({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()}), "");
    }
}

TEST(FuzzAnswers, TypedAnswersNeverReadAsNotANumber)
{
    for (const char* text : {"", "&H",
                             "&HFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF"
                             "FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF"
                             "FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF"
                             "FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF",
                             "1e99999", "-1e99999", "1e-99999", "nan", "inf", ".e5", "-.", "1D+", "&O777777"}) {
        SCOPED_TRACE(text);
        const std::string_view view(text);
        EXPECT_EQ(ReadAnswer({reinterpret_cast<const std::uint8_t*>(view.data()), view.size()}), "");
    }
}

}  // namespace
}  // namespace halvane::fuzz
