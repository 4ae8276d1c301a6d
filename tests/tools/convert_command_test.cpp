// halvane-convert end to end: exit status, messages, the output put in place whole, and the
// input never touched.

#include "ConventionSignals.h"
#include "SoundFiles.h"
#include "support/RunCommand.h"

#include <sys/stat.h>

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

// A 24-bit W, X, Y, Z file (W 3 dB down) of a plane wave from azimuthDeg, elevation 0.
void WriteFumaFile(const fs::path& path, double azimuthDeg, int format = SF_FORMAT_WAV | SF_FORMAT_PCM_24,
                   bool markBFormat = false)
{
    std::vector<double> signal(2400, 0.0);
    for (int n = 0; n < 24; ++n) signal[480 + n] = 0.6 * std::cos(0.5 * n) * std::exp(-n / 6.0);
    const auto frames = InConvention(PlaneWaveAmbix(azimuthDeg, 0, signal), Convention::FumaFuma);
    ASSERT_EQ(WriteSoundFile(path, format, 4, 48000, frames, markBFormat), "");
}

CommandResult Convert(const std::vector<std::string>& args, const fs::path& scratch)
{
    return RunCommand(HALVANE_CONVERT_COMMAND, args, scratch);
}

TEST(ConvertCommand, FindsTheConventionAndWritesTheFloatLayout)
{
    ScratchFolder scratch("convert-ok");
    const auto in = scratch.Path() / "hall.flac";
    const auto out = scratch.Path() / "hall-ambix.wav";
    WriteFumaFile(in, 30, SF_FORMAT_FLAC | SF_FORMAT_PCM_24);
    const auto run = Convert({in.string(), out.string()}, scratch.Path());
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_NE(run.out.find("convention: FuMa, found from the direct sound at 10.0 ms: a plane wave"), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("Az 30.0, El 0.0"), std::string::npos) << run.out;
    const std::string written = Slurp(out);
    EXPECT_EQ(written.substr(96, 4), "data");
    const SoundRead read = ReadSoundFile(out);
    EXPECT_EQ(read.info.format, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    EXPECT_EQ(read.info.frames, 2400);
    for (const auto& entry : fs::directory_iterator(scratch.Path()))
        EXPECT_EQ(entry.path().string().find(".partial"), std::string::npos) << entry.path();
}

TEST(ConvertCommand, WarnsButStillConvertsWhenTheDirectSoundComesFromBehind)
{
    ScratchFolder scratch("convert-behind");
    const auto in = scratch.Path() / "in.wav";
    const auto out = scratch.Path() / "out.wav";
    WriteFumaFile(in, 170);
    const auto run = Convert({in.string(), out.string(), "--order", "fuma", "--norm", "fuma"}, scratch.Path());
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_NE(run.err.find("warning: " + in.string() + ": the direct sound"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("from behind"), std::string::npos);
    EXPECT_TRUE(fs::exists(out));
}

TEST(ConvertCommand, AGivenConventionTheDataContradictIsObeyedWithAWarning)
{
    ScratchFolder scratch("convert-contradicted");
    const auto in = scratch.Path() / "in.wav";
    WriteFumaFile(in, 10);
    const auto run =
        Convert({in.string(), (scratch.Path() / "out.wav").string(), "--order=ambix", "--norm=sn3d"}, scratch.Path());
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_NE(run.out.find("convention: AmbiX/SN3D, as given"), std::string::npos) << run.out;
    EXPECT_NE(run.err.find("the data suggest FuMa rather than AmbiX/SN3D"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("--order fuma --norm fuma"), std::string::npos) << run.err;
}

TEST(ConvertCommand, RefusesToWriteOverItsInput)
{
    ScratchFolder scratch("convert-same");
    fs::create_directories(scratch.Path() / "sub");
    const auto in = scratch.Path() / "ir.wav";
    WriteFumaFile(in, 0);
    const std::string original = Slurp(in);
    fs::create_hard_link(in, scratch.Path() / "linked.wav");
    const std::vector<std::pair<const char*, std::string>> sameFile = {
        {"same path", in.string()},
        {"through ..", (scratch.Path() / "sub" / ".." / "ir.wav").string()},
        {"hard link", (scratch.Path() / "linked.wav").string()},
    };
    for (const auto& [name, outName] : sameFile) {
        SCOPED_TRACE(name);
        const auto run = Convert({in.string(), outName}, scratch.Path());
        EXPECT_EQ(run.exitStatus, 1);
        EXPECT_NE(run.err.find("is the input file"), std::string::npos) << run.err;
        EXPECT_EQ(Slurp(in), original);
    }
    // The temporary file beside OUT is created anew, so an input of that name is not truncated.
    const auto partialNamed = scratch.Path() / "out.wav.partial";
    fs::rename(scratch.Path() / "linked.wav", partialNamed);
    const auto run = Convert({partialNamed.string(), (scratch.Path() / "out.wav").string()}, scratch.Path());
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_EQ(Slurp(partialNamed), original);
    EXPECT_TRUE(fs::exists(scratch.Path() / "out.wav"));
}

TEST(ConvertCommand, ASymbolicLinkAtTheOutputNameIsReplacedAndItsTargetKept)
{
    ScratchFolder scratch("convert-symlink");
    const auto in = scratch.Path() / "in.wav";
    WriteFumaFile(in, 0);
    const auto target = scratch.Path() / "precious.txt";
    WriteBytes(target, "keep me");
    const auto out = scratch.Path() / "out.wav";
    fs::create_symlink(target, out);
    const auto run = Convert({in.string(), out.string()}, scratch.Path());
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_EQ(Slurp(target), "keep me");
    EXPECT_FALSE(fs::is_symlink(out));
    EXPECT_EQ(Slurp(out).substr(96, 4), "data");
    // A link to the input is a name of its own, replaced like any other.
    fs::remove(out);
    fs::create_symlink(in, out);
    const std::string original = Slurp(in);
    EXPECT_EQ(Convert({in.string(), out.string()}, scratch.Path()).exitStatus, 0);
    EXPECT_EQ(Slurp(in), original);
    EXPECT_FALSE(fs::is_symlink(out));
}

TEST(ConvertCommand, RefusedInputsAndOutputsFailWithAMessageAndWriteNothing)
{
    ScratchFolder scratch("convert-bad");
    const auto in = scratch.Path() / "in.wav";
    const auto out = scratch.Path() / "out.wav";
    const auto stereo = scratch.Path() / "stereo.wav";
    ASSERT_EQ(WriteSoundFile(stereo, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 48000, {0.5, -0.5, 0.25, -0.25}), "");
    const auto empty = scratch.Path() / "empty.wav";
    ASSERT_EQ(WriteSoundFile(empty, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 4, 48000, {}), "");
    const auto text = scratch.Path() / "text.wav";
    WriteBytes(text, "just some text, not audio");
    WriteFumaFile(in, 0);
    const auto occupied = scratch.Path() / "occupied";
    fs::create_directories(occupied);
    struct Case {
        const char* name;
        fs::path input;
        fs::path output;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"missing", scratch.Path() / "missing.wav", out, "missing.wav does not exist"},
        {"folder", scratch.Path(), out, "is not a regular file"},
        {"not audio", text, out, "text.wav cannot be read as audio: "},
        {"2 channels", stereo, out, "stereo.wav has 2 channels; a first-order B-format file has 4"},
        {"no frames", empty, out, "empty.wav holds no sample frames"},
        {"output a folder", in, occupied, "occupied cannot be created: it is a folder"},
        {"output folder missing", in, scratch.Path() / "no-such-folder" / "out.wav", "cannot be created"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto run = Convert({c.input.string(), c.output.string()}, scratch.Path());
        EXPECT_EQ(run.exitStatus, 1);
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_EQ(run.out, "");
        EXPECT_FALSE(fs::exists(out));
    }
    EXPECT_TRUE(fs::is_directory(occupied));
    EXPECT_FALSE(fs::exists(scratch.Path() / "no-such-folder"));
}

TEST(ConvertCommand, AFifoAsInputIsRefusedWithoutWaitingForAWriter)
{
    ScratchFolder scratch("convert-fifo");
    const auto fifo = scratch.Path() / "pipe.wav";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // Opening a FIFO for reading blocks until a writer comes, and none will: a blocking open
    // would hang until the timeout kills it (status 124).
    const auto run =
        RunCommand("timeout", {"20", HALVANE_CONVERT_COMMAND, fifo.string(), (scratch.Path() / "out.wav").string()},
                   scratch.Path());
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_NE(run.err.find("pipe.wav is not a regular file"), std::string::npos) << run.err;
}

TEST(ConvertCommand, AnRf64FileWhoseSizeFieldIsShortOfItsDataIsConvertedWithAWarning)
{
    ScratchFolder scratch("convert-rf64-short");
    const auto in = scratch.Path() / "long.wav";
    std::vector<double> samples(4 * 480000, 0.0);  // 10 s of 16-bit frames: 3.84 MB of data
    for (int n = 0; n < 24; ++n) samples[4 * (480 + n)] = 0.5;
    ASSERT_EQ(WriteSoundFile(in, SF_FORMAT_RF64 | SF_FORMAT_PCM_16, 4, 48000, samples), "");
    // The ds64 chunk's data size (bytes 29-36) says a tenth of what is there.
    std::fstream file(in, std::ios::in | std::ios::out | std::ios::binary);
    char id[4];
    file.seekg(12);
    file.read(id, 4);
    ASSERT_EQ(std::string(id, 4), "ds64");
    const std::uint64_t shortSize = 48000ull * 8;
    file.seekp(28);
    for (int i = 0; i < 8; ++i) file.put(static_cast<char>((shortSize >> (8 * i)) & 0xFF));
    file.close();

    const auto run = Convert({in.string(), (scratch.Path() / "out.wav").string()}, scratch.Path());
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_NE(run.err.find("bytes more than its header's 48000 frames take"), std::string::npos) << run.err;
    const auto plain = scratch.Path() / "plain.wav";
    ASSERT_EQ(WriteSoundFile(plain, SF_FORMAT_RF64 | SF_FORMAT_PCM_16, 4, 48000, samples), "");
    const auto honest = Convert({plain.string(), (scratch.Path() / "out2.wav").string()}, scratch.Path());
    EXPECT_EQ(honest.err.find("bytes more than"), std::string::npos) << honest.err;
}

TEST(ConvertCommand, HintsAtFumaForFilesMarkedAsBFormatReadInAmbixOrder)
{
    ScratchFolder scratch("convert-amb");
    const auto in = scratch.Path() / "hall.amb";
    WriteFumaFile(in, 0, SF_FORMAT_WAVEX | SF_FORMAT_PCM_16, true);
    const auto found = Convert({in.string(), (scratch.Path() / "a.wav").string()}, scratch.Path());
    EXPECT_EQ(found.exitStatus, 0);
    EXPECT_EQ(found.err, "");
    EXPECT_NE(found.out.find("convention: FuMa, found"), std::string::npos) << found.out;
    const auto told = Convert({in.string(), (scratch.Path() / "b.wav").string(), "--order", "ambix"}, scratch.Path());
    EXPECT_EQ(told.exitStatus, 0);
    EXPECT_NE(told.err.find("marked as B-format (.amb)"), std::string::npos) << told.err;
    EXPECT_NE(told.err.find("--order fuma --norm fuma"), std::string::npos) << told.err;
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
        EXPECT_NE(run.err.find("usage: halvane-convert IN OUT"), std::string::npos) << run.err;
    }
    const auto help = Convert({"--help"}, scratch.Path());
    EXPECT_EQ(help.exitStatus, 0);
    EXPECT_EQ(
        help.out.rfind("usage: halvane-convert IN OUT [--order auto|ambix|fuma] [--norm auto|sn3d|n3d|fuma]\n", 0), 0u);
    EXPECT_NE(help.out.find("FLAC"), std::string::npos);
    const auto version = Convert({"--version"}, scratch.Path());
    EXPECT_EQ(version.exitStatus, 0);
    EXPECT_EQ(version.out, "halvane-convert " HALVANE_VERSION "\n");
}

}  // namespace
}  // namespace halvane::testing
