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

TEST(FuzzAnswers, TypedAnswersNeverReadAsNotANumber)
{
    for (const char* text : {"", "&H", "&HFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF"
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
