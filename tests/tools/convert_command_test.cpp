// halvane-convert end to end: exit status, messages, and that the input is never touched.

#include "RunCommand.h"
#include "WavBytes.h"
#include "wavio/FileImage.h"
#include "wavio/WavReader.h"

#include <gtest/gtest.h>

#include <fstream>

namespace halvane::testing {
namespace {

namespace fs = std::filesystem;

void WriteBytes(const fs::path& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

// A FuMa 24-bit file of a plane wave from azimuthDeg, elevation 0.
std::string FumaFile(double azimuthDeg)
{
    std::vector<double> signal(2400, 0.0);
    for (int n = 0; n < 24; ++n) signal[480 + n] = 0.6 * std::cos(0.5 * n) * std::exp(-n / 6.0);
    const auto frames = InConvention(PlaneWaveAmbix(azimuthDeg, 0, signal), Convention::FumaFuma);
    return RiffFile(Chunk("fmt ", FmtBody(kTagPcm, 4, 48000, 12, 24)) + Chunk("data", EncodeSamples(Encoding::Pcm24, frames)));
}

CommandResult Convert(const std::vector<std::string>& args, const fs::path& scratch)
{
    return RunCommand(HALVANE_CONVERT_COMMAND, args, scratch);
}

TEST(ConvertCommand, ConvertsAFumaFileToTheFloatLayout)
{
    ScratchFolder scratch("convert-ok");
    const auto in = scratch.Path() / "hall.wav";
    const auto out = scratch.Path() / "hall-ambix.wav";
    WriteBytes(in, FumaFile(30));
    const auto run = Convert({in.string(), out.string(), "--order", "fuma", "--norm", "fuma"}, scratch.Path());
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_NE(run.out.find("Az 30"), std::string::npos) << run.out;
    const auto image = wavio::ReadFileImage(out);
    ASSERT_TRUE(image.ok);
    const std::string written(reinterpret_cast<const char*>(image.bytes.data()), image.bytes.size());
    EXPECT_EQ(written.substr(96, 4), "data");
    const auto read = wavio::ReadWav(image.bytes);
    ASSERT_EQ(read.status, wavio::WavReadStatus::Ok);
    EXPECT_EQ(read.audio.format.encoding, wavio::SampleEncoding::Float);
    EXPECT_EQ(read.audio.frameCount, 2400u);
    EXPECT_FALSE(fs::exists(scratch.Path() / "hall-ambix.wav.partial"));
}

TEST(ConvertCommand, WarnsButStillConvertsWhenTheDirectSoundComesFromBehind)
{
    ScratchFolder scratch("convert-behind");
    const auto in = scratch.Path() / "in.wav";
    const auto out = scratch.Path() / "out.wav";
    WriteBytes(in, FumaFile(170));
    const auto run = Convert({in.string(), out.string(), "--order", "fuma", "--norm", "fuma"}, scratch.Path());
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_NE(run.err.find("warning"), std::string::npos);
    EXPECT_NE(run.err.find("behind"), std::string::npos);
    EXPECT_TRUE(fs::exists(out));
}

TEST(ConvertCommand, RefusesToWriteOverItsInput)
{
    ScratchFolder scratch("convert-same");
    fs::create_directories(scratch.Path() / "sub");
    const auto in = scratch.Path() / "ir.wav";
    const std::string original = FumaFile(0);
    WriteBytes(in, original);
    fs::create_hard_link(in, scratch.Path() / "linked.wav");
    const std::vector<std::pair<const char*, std::string>> sameFile = {
        {"same path", in.string()},
        {"through ..", (scratch.Path() / "sub" / ".." / "ir.wav").string()},
        {"hard link", (scratch.Path() / "linked.wav").string()},
    };
    // The temporary file beside OUT must not be the input either.
    const auto partialNamed = scratch.Path() / "out.wav.partial";
    WriteBytes(partialNamed, original);
    const auto run = Convert({partialNamed.string(), (scratch.Path() / "out.wav").string()}, scratch.Path());
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_EQ(Slurp(partialNamed), original);
    EXPECT_TRUE(fs::exists(scratch.Path() / "out.wav"));

    for (const auto& [name, outName] : sameFile) {
        SCOPED_TRACE(name);
        const auto run = Convert({in.string(), outName}, scratch.Path());
        EXPECT_EQ(run.exitStatus, 1);
        EXPECT_NE(run.err.find("input"), std::string::npos) << run.err;
        EXPECT_EQ(Slurp(in), original);
    }
}

TEST(ConvertCommand, UnreadableInputFailsWithAMessageAndWritesNothing)
{
    ScratchFolder scratch("convert-bad");
    const auto out = scratch.Path() / "out.wav";
    struct Case {
        const char* name;
        std::string bytes;
        const char* messagePart;
    };
    const std::vector<Case> cases = {
        {"truncated header", RiffFile(Chunk("fmt ", FmtBody(kTagPcm, 4, 48000, 8, 16))).substr(0, 25), "ends inside"},
        {"not a WAV file", "just some text, not audio", "RIFF"},
        {"stereo", RiffFile(Chunk("fmt ", FmtBody(kTagPcm, 2, 48000, 4, 16)) + Chunk("data", std::string(16, '\1'))), "2 channels"},
        {"no frames", RiffFile(Chunk("fmt ", FmtBody(kTagPcm, 4, 48000, 8, 16)) + Chunk("data", "")), "no sample frames"},
        {"zero block align", RiffFile(Chunk("fmt ", FmtBody(kTagPcm, 4, 48000, 0, 16)) + Chunk("data", std::string(16, '\1'))), "block align"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto in = scratch.Path() / "in.wav";
        WriteBytes(in, c.bytes);
        const auto run = Convert({in.string(), out.string()}, scratch.Path());
        EXPECT_EQ(run.exitStatus, 1);
        EXPECT_NE(run.err.find(c.messagePart), std::string::npos) << run.err;
        EXPECT_NE(run.err.find("in.wav"), std::string::npos) << run.err;
        EXPECT_FALSE(fs::exists(out));
    }
    const auto missing = Convert({(scratch.Path() / "missing.wav").string(), out.string()}, scratch.Path());
    EXPECT_EQ(missing.exitStatus, 1);
    EXPECT_NE(missing.err.find("does not exist"), std::string::npos);
    const auto folder = Convert({scratch.Path().string(), out.string()}, scratch.Path());
    EXPECT_EQ(folder.exitStatus, 1);
}

TEST(ConvertCommand, AnUnwritableOutputFailsAndLeavesNothingBehind)
{
    ScratchFolder scratch("convert-unwritable");
    const auto in = scratch.Path() / "in.wav";
    WriteBytes(in, FumaFile(0));
    const auto out = scratch.Path() / "no-such-folder" / "out.wav";
    const auto run = Convert({in.string(), out.string()}, scratch.Path());
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_NE(run.err.find("cannot be created"), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(scratch.Path() / "no-such-folder"));
}

TEST(ConvertCommand, HintsAtFumaForFilesMarkedAsBFormat)
{
    ScratchFolder scratch("convert-amb");
    std::string fmt = ExtensibleFmtBody(kTagPcm, 4, 48000, 16, 16);
    fmt.replace(fmt.size() - 14, 14, std::string("\x00\x00\x21\x07\xD3\x11\x86\x44\xC8\xC1\xCA\x00\x00\x00", 14));
    const auto frames = InConvention(PlaneWaveAmbix(0, 0, {0.5, -0.25, 0.125}), Convention::FumaFuma);
    const auto in = scratch.Path() / "hall.amb";
    WriteBytes(in, RiffFile(Chunk("fmt ", fmt) + Chunk("data", EncodeSamples(Encoding::Pcm16, frames))));
    const auto plain = Convert({in.string(), (scratch.Path() / "a.wav").string()}, scratch.Path());
    EXPECT_EQ(plain.exitStatus, 0);
    EXPECT_NE(plain.err.find("--order fuma --norm fuma"), std::string::npos) << plain.err;
    const auto told = Convert({in.string(), (scratch.Path() / "b.wav").string(), "--order", "fuma", "--norm", "fuma"},
                              scratch.Path());
    EXPECT_EQ(told.exitStatus, 0);
    EXPECT_EQ(told.err, "");
    EXPECT_NE(told.out.find("Az 0.0, El 0.0"), std::string::npos) << told.out;
}

TEST(ConvertCommand, UsageErrorsExitWithTwo)
{
    ScratchFolder scratch("convert-usage");
    const std::vector<std::pair<const char*, std::vector<std::string>>> cases = {
        {"no arguments", {}},
        {"one file", {"a.wav"}},
        {"three files", {"a.wav", "b.wav", "c.wav"}},
        {"unknown option", {"a.wav", "b.wav", "--gain", "2"}},
        {"bad order", {"a.wav", "b.wav", "--order", "acn"}},
        {"bad norm", {"a.wav", "b.wav", "--norm", "maxn"}},
        {"norm without value", {"a.wav", "b.wav", "--norm"}},
    };
    for (const auto& [name, args] : cases) {
        SCOPED_TRACE(name);
        const auto run = Convert(args, scratch.Path());
        EXPECT_EQ(run.exitStatus, 2);
        EXPECT_NE(run.err.find("usage:"), std::string::npos);
    }
    EXPECT_EQ(Convert({"--help"}, scratch.Path()).exitStatus, 0);
}

}  // namespace
}  // namespace halvane::testing
