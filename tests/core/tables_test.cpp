#include <gtest/gtest.h>

#include <sstream>

#include "analysis/RunAnalysis.h"
#include "report/IntensityTable.h"
#include "report/ReferenceTable.h"
#include "support/FakeHost.h"
#include "support/TestWav.h"

namespace halvane {
namespace {

using test::MakeWav;
using test::WavFormat;

// Both tables of a whole run, byte for byte: quoting, commas, CR LF after
// every line, '.' decimals, no blanks.
std::pair<std::string, std::string> TablesOf(const std::vector<std::byte>& input)
{
    SharedState state;
    state.IrFileName = "/ir/room.wav";
    test::FakeHost host;
    host.answers = {"0", "1000", "5", "0"};
    test::MemoryStorage storage;
    storage.inputs[state.IrFileName] = input;
    test::RunWith(state, host, storage);
    return {storage.Table("/ir/room.csv"), storage.Table("/ir/room_ref.csv")};
}

TEST(Tables, SixteenBitRunByteForByte)
{
    // 1 kHz and 5 ms windows: 5 frames each; 25 frames give a frame count of
    // 24 and 5 windows, the last reading one frame past the end as zeros.
    WavFormat format;
    format.bits = 16;
    format.sampleRate = 1000;
    const auto [intensity, reference] = TablesOf(MakeWav(test::Repeat({100, 0, 0, 100}, 25), format));
    EXPECT_EQ(intensity, "\"De\",\"Ix\",\"Iy\",\"Iz\"\r\n"
                         "100000,50000,0,0\r\n100000,50000,0,0\r\n100000,50000,0,0\r\n100000,50000,0,0\r\n"
                         "80000,40000,0,0\r\n");
    EXPECT_EQ(reference, "\"time (ms)\",\"Az\",\"El\",\"I/D (dB)\",\"Li (dB)\"\r\n"
                         "0,0,0,-3.01029995663981,46.9897000433602\r\n"
                         "5,0,0,-3.01029995663981,46.9897000433602\r\n"
                         "10,0,0,-3.01029995663981,46.9897000433602\r\n"
                         "15,0,0,-3.01029995663981,46.9897000433602\r\n"
                         "20,0,0,-3.01029995663981,46.0205999132796\r\n");
}

TEST(Tables, ThirtyTwoBitRunByteForByte)
{
    // 26 frames: a frame count of 25.5, rounded to the even 26, and 5 whole windows.
    WavFormat format;
    format.sampleRate = 1000;
    const auto [intensity, reference] = TablesOf(MakeWav(test::Repeat({0.7, 0.21, -0.11, 0.33}, 26), format));
    std::string expectedIntensity = "\"De\",\"Ix\",\"Iy\",\"Iz\"\r\n";
    std::string expectedReference = "\"time (ms)\",\"Az\",\"El\",\"I/D (dB)\",\"Li (dB)\"\r\n";
    for (int window = 0; window < 5; ++window) {
        expectedIntensity += "3.2755,1.155,0.735,-0.385\r\n";
        expectedReference +=
            std::to_string(window * 5) + ",32.4711934387795,-15.7070708573918,-3.6233606178706,1.52941581432203\r\n";
    }
    EXPECT_EQ(intensity, expectedIntensity);
    EXPECT_EQ(reference, expectedReference);
}

TEST(Tables, WritersAloneAndAFirstWindowBeyondTheFile)
{
    std::ostringstream out;
    WriteIntensityHeader(out);
    WindowSums sums;
    sums.De16 = 1073741824;
    sums.Ix16 = -52311;
    WriteIntensityRow(out, sums);
    EXPECT_EQ(out.str(), "\"De\",\"Ix\",\"Iy\",\"Iz\"\r\n1073741824,-52311,0,0\r\n");

    // A skip past the end of the file: the intensity table holds its header only.
    SharedState state;
    state.IrFileName = "/ir/short.wav";
    test::FakeHost host;
    host.answers = {"5000", "1000", "5", "0"};
    test::MemoryStorage storage;
    storage.inputs[state.IrFileName] = MakeWav(test::Repeat({1, 0, 0, 1}, 480));
    EXPECT_EQ(test::RunWith(state, host, storage).outcome, RunOutcome::Completed);
    EXPECT_EQ(storage.Table("/ir/short.csv"), "\"De\",\"Ix\",\"Iy\",\"Iz\"\r\n");
    EXPECT_EQ(storage.Table("/ir/short_ref.csv"), "\"time (ms)\",\"Az\",\"El\",\"I/D (dB)\",\"Li (dB)\"\r\n");
}

}  // namespace
}  // namespace halvane
