// halvane-demo end to end: the files it writes into a folder.

#include "support/RunCommand.h"

#include <gtest/gtest.h>

namespace halvane::testing {
namespace {

namespace fs = std::filesystem;

TEST(DemoCommand, WritesTheExamplesIntoAGivenFolder)
{
    ScratchFolder scratch("demo-command");
    const auto folder = scratch.Path() / "new" / "examples";
    const auto run = RunCommand(HALVANE_DEMO_COMMAND, {folder.string()}, scratch.Path());
    ASSERT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_EQ(Slurp(folder / "demo-room.wav"), Slurp(HALVANE_EXAMPLES_DIR "/demo-room.wav"));
    EXPECT_EQ(Slurp(folder / "demo-arrivals.csv"), Slurp(HALVANE_EXAMPLES_DIR "/demo-arrivals.csv"));
    EXPECT_NE(run.out.find("right wall"), std::string::npos);
#ifdef HALVANE_DEMO_PANORAMA
    const std::string jpeg = Slurp(folder / "demo-panorama.jpg");
    ASSERT_GT(jpeg.size(), 1000u);
    EXPECT_EQ(jpeg.substr(0, 2), "\xFF\xD8");
#endif
    for (const auto& entry : fs::directory_iterator(folder))
        EXPECT_NE(entry.path().extension(), ".partial") << entry.path();
}

TEST(DemoCommand, RejectsOptionsItDoesNotKnow)
{
    ScratchFolder scratch("demo-usage");
    EXPECT_EQ(RunCommand(HALVANE_DEMO_COMMAND, {"--seed", "3"}, scratch.Path()).exitStatus, 2);
    EXPECT_EQ(RunCommand(HALVANE_DEMO_COMMAND, {"--frobnicate"}, scratch.Path()).exitStatus, 2);
    EXPECT_EQ(RunCommand(HALVANE_DEMO_COMMAND, {"--help"}, scratch.Path()).exitStatus, 0);
}

}  // namespace
}  // namespace halvane::testing
