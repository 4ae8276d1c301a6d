// halvane-picture end to end: its options, its exit status and its messages.
#include <gtest/gtest.h>

#include <QImage>

#include <filesystem>
#include <string>
#include <vector>

#include "display/summary/Reflectogram.h"
#include "display/summary/SummaryPicture.h"
#include "support/RunCommand.h"
#include "support/TestWav.h"

namespace halvane {
namespace {

using testing::RunCommand;
using testing::ScratchFolder;

const std::string kDemoRoom = HALVANE_EXAMPLES_DIR "/demo-room.wav";

// True when the two pictures differ somewhere inside the rectangle.
bool DifferIn(const QImage& a, const QImage& b, QRect rect)
{
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        for (int x = rect.left(); x <= rect.right(); ++x) {
            if (a.pixel(x, y) != b.pixel(x, y)) return true;
        }
    }
    return false;
}

TEST(PictureCommand, DrawsTheDemoRoomWithItsDecayCurves)
{
    ScratchFolder scratch("picture-demo");
    const std::string png = (scratch.Path() / "demo.png").string();
    const auto run = RunCommand(
        HALVANE_PICTURE_COMMAND,
        {"--room-parameters", "--background", HALVANE_EXAMPLES_DIR "/demo-panorama.jpg", "--", kDemoRoom, png},
        scratch.Path());
    ASSERT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_EQ(QImage(QString::fromStdString(png)).size(), QSize(kSummaryWidthPx, kSummaryHeightWithDecayPx));
}

TEST(PictureCommand, ABandChangesTheRunButNotTheArrivals)
{
    ScratchFolder scratch("picture-band");
    const std::string broadPng = (scratch.Path() / "broad.png").string();
    const std::string bandPng = (scratch.Path() / "band.png").string();
    ASSERT_EQ(RunCommand(HALVANE_PICTURE_COMMAND, {"--display", "300", kDemoRoom, broadPng}, scratch.Path()).exitStatus,
              0);
    const auto band =
        RunCommand(HALVANE_PICTURE_COMMAND, {"--display", "300", "--band", "4000", kDemoRoom, bandPng}, scratch.Path());
    ASSERT_EQ(band.exitStatus, 0) << band.err;
    const QImage broad(QString::fromStdString(broadPng));
    const QImage filtered(QString::fromStdString(bandPng));
    ASSERT_EQ(broad.size(), filtered.size());

    // The run's level bars come from the band; the arrivals (the reflectogram
    // below its title line) are the whole response's either way.
    const SummaryLayout layout = LayoutSummary(false);
    EXPECT_TRUE(DifferIn(broad, filtered, layout.strip));
    const QRect plot = layout.reflectogram.adjusted(0, kReflectogramMarginsPx.top, 0, 0);
    EXPECT_FALSE(DifferIn(broad, filtered, plot));
}

struct RefusalRow {
    const char* name;
    std::vector<std::string> args;  // "IN" and "OUT" stand for the input file and the picture
    std::string input;              // the input file's bytes; empty: no file is written
    int exitStatus;
    const char* message;  // a part of standard error
};

TEST(PictureCommand, RefusesWhatItCannotReadAndWritesNoPicture)
{
    test::WavFormat lowRate;
    lowRate.sampleRate = 8000;
    const std::string quiet = test::AsText(test::MakeWav(test::Repeat(test::PlaneWave(0.5, 30, 0), 400), lowRate));
    const std::vector<RefusalRow> rows = {
        {"a missing file", {"IN", "OUT"}, "", 1, "cannot be opened: it does not exist"},
        {"text, not a sound file", {"IN", "OUT"}, "just some words\n", 1, "Sorry, this is not a 4-ch. .WAV file!"},
        {"a band above the file's rate", {"--band", "4000", "IN", "OUT"}, quiet, 1, "lies too high"},
        {"a background that is no picture",
         {"--background", "IN", "IN", "OUT"},
         "just some words\n",
         1,
         "could not be read as a picture"},
        {"a band that is no octave band", {"--band", "300", "IN", "OUT"}, quiet, 2, "--band needs one of"},
        {"a floor that is no number", {"--floor", "deep", "IN", "OUT"}, quiet, 2, "--floor needs a level"},
        {"a diffuseness above 1", {"--max-diffuseness", "1.5", "IN", "OUT"}, quiet, 2, "a number from 0 to 1"},
        {"a direction window of 0", {"--direction-window", "0", "IN", "OUT"}, quiet, 2, "above 0"},
        {"an option without its value", {"IN", "OUT", "--floor"}, quiet, 2, "--floor needs a value"},
        {"an unknown option", {"--colour", "IN", "OUT"}, quiet, 2, "unknown option --colour"},
        {"no picture named", {"IN"}, quiet, 2, "one FILE and one OUT.png"},
    };
    for (const RefusalRow& row : rows) {
        SCOPED_TRACE(row.name);
        ScratchFolder scratch("picture-refusal");
        const std::filesystem::path in = scratch.Path() / "room.wav";
        const std::filesystem::path out = scratch.Path() / "room.png";
        if (!row.input.empty()) test::WriteFile(in.string(), row.input);
        std::vector<std::string> args;
        for (const std::string& a : row.args) args.push_back(a == "IN" ? in.string() : a == "OUT" ? out.string() : a);
        const auto run = RunCommand(HALVANE_PICTURE_COMMAND, args, scratch.Path());
        EXPECT_EQ(run.exitStatus, row.exitStatus) << run.err;
        EXPECT_NE(run.err.find(row.message), std::string::npos) << run.err;
        EXPECT_FALSE(std::filesystem::exists(out));
        if (row.exitStatus == 1) {
            EXPECT_NE(run.err.find(in.string() + ": "), std::string::npos) << "names the file";
        } else {
            EXPECT_NE(run.err.find("usage: halvane-picture"), std::string::npos);
        }
    }
}

}  // namespace
}  // namespace halvane
