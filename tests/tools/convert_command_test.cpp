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

// A 24-bit W, X, Y, Z file (W 3 dB down) of a plane wave from azDeg, elevation 0.
void WriteFumaFile(const fs::path& path, double azDeg, int format = SF_FORMAT_WAV | SF_FORMAT_PCM_24,
                   bool markBFormat = false)
{
    std::vector<double> signal(2400, 0.0);
    for (int n = 0; n < 24; ++n) signal[480 + n] = 0.6 * std::cos(0.5 * n) * std::exp(-n / 6.0);
    const auto frames = InConvention(PlaneWaveAmbix(azDeg, 0, signal), Convention::FumaFuma);
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

// The frames of a file, patched where the test says, for the hostile headers below.
struct PatchedFile {
    int format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    int channels = 4;
    int rateHz = 48000;
    int frames = 1000;
    std::size_t cutBytes = 0;                                    // taken off the file's end
    std::vector<std::pair<std::size_t, std::string>> overwrite;  // bytes put at an offset
};

void WritePatched(const fs::path& path, const PatchedFile& f)
{
    std::vector<double> samples(static_cast<std::size_t>(f.frames * f.channels), 0.0);
    // A plane wave from the front in the first four channels; the others carry their own
    // signals, which must not reach the output.
    for (int n = 0; n < std::min(f.frames, 24); ++n) {
        const double pulse = 0.5 * std::exp(-n / 6.0);
        const std::size_t at = static_cast<std::size_t>((100 + n) % f.frames * f.channels);
        samples[at] = pulse;      // W
        samples[at + 3] = pulse;  // X
        for (int c = 4; c < f.channels; ++c) samples[at + static_cast<std::size_t>(c)] = 0.25 * (c % 5 + 1) * pulse;
    }
    ASSERT_EQ(WriteSoundFile(path, f.format, f.channels, f.rateHz, samples), "");
    if (f.cutBytes > 0) fs::resize_file(path, fs::file_size(path) - f.cutBytes);
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    for (const auto& [offset, bytes] : f.overwrite) {
        file.seekp(static_cast<std::streamoff>(offset));
        file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
}

TEST(ConvertCommand, HostileHeadersAreNamedNotConvertedSilently)
{
    // An AIFF's 80-bit sample rate sits at bytes 28-37 (after FORM, its size, AIFF, COMM and
    // the channels, frames and bits).
    const std::string aiffRateZero(10, '\0');
    const std::string aiffRateInfinite("\x7f\xff\x80\0\0\0\0\0\0\0", 10);
    struct Case {
        const char* name;
        PatchedFile file;
        int status;
        std::string message;  // in the messages (standard error)
        long long framesOut;  // of the output; -1: none written
    };
    const int wav = SF_FORMAT_WAV | SF_FORMAT_PCM_16, aiff = SF_FORMAT_AIFF | SF_FORMAT_PCM_16,
              w64 = SF_FORMAT_W64 | SF_FORMAT_PCM_16;
    auto File = [](int format, int channels = 4, int rateHz = 48000, std::size_t cutBytes = 0,
                   std::vector<std::pair<std::size_t, std::string>> overwrite = {}) {
        return PatchedFile{format, channels, rateHz, 1000, cutBytes, std::move(overwrite)};
    };
    const std::vector<Case> cases = {
        {"truncated AIFF", File(aiff, 4, 48000, 2000), 0,
         "ends before its data do: its header declares 1000 frames, the file holds 750 (250 frames, 5.2 ms, missing)",
         750},
        {"truncated W64", File(w64, 4, 48000, 2000), 0,
         "its header declares 1000 frames, the file holds 750 (250 frames", 750},
        {"truncated WAV", File(wav, 4, 48000, 2000), 0, "its header declares 1000 frames, the file holds 750", 750},
        // libsndfile stops one frame short of a cut CAF's end; the warning names what it read.
        {"truncated CAF", File(SF_FORMAT_CAF | SF_FORMAT_PCM_16, 4, 48000, 2000), 0,
         "its header declares 1000 frames, the file holds 749", 749},
        {"whole AIFF: no warning", File(aiff, 4, 48000, 0), 0, "", 1000},
        {"AIFF at 0 Hz", File(aiff, 4, 48000, 0, {{28, aiffRateZero}}), 1,
         "has a sample rate of 0 Hz; halvane-convert reads 1000 to 768000 Hz", -1},
        {"AIFF at an infinite rate", File(aiff, 4, 48000, 0, {{28, aiffRateInfinite}}), 1,
         "has an infinite or undefined sample rate; halvane-convert reads 1000 to 768000 Hz", -1},
        {"WAV at 67 MHz", File(wav, 4, 67000000, 0), 1, "has a sample rate of 67000000 Hz; halvane-convert reads", -1},
        {"WAV at 999 Hz", File(wav, 4, 999, 0), 1, "has a sample rate of 999 Hz", -1},
        {"WAV at 1 kHz: converted", File(wav, 4, 1000, 0), 0, "", 1000},
        {"WAV at 768 kHz: converted", File(wav, 4, 768000, 0), 0, "", 1000},
        {"second-order, 9 channels", File(wav, 9, 48000, 0), 0, "", 1000},
        {"third-order W64, 16 channels", File(w64, 16, 48000, 0), 0, "", 1000},
        {"fourth-order, 25 channels", File(wav, 25, 48000, 0), 0, "", 1000},
        {"six channels: no Ambisonic set", File(wav, 6, 48000, 0), 1,
         "has 6 channels; a first-order B-format file has 4 (a higher-order Ambisonic one 9, 16, 25", -1},
    };
    ScratchFolder scratch("convert-hostile-headers");
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(c.name);
        const auto in = scratch.Path() / ("in-" + std::to_string(i));
        const auto out = scratch.Path() / ("out-" + std::to_string(i) + ".wav");
        WritePatched(in, c.file);
        const auto run = Convert({in.string(), out.string()}, scratch.Path());
        EXPECT_EQ(run.exitStatus, c.status) << run.err;
        if (c.message.empty()) {
            EXPECT_EQ(run.err, "");
        } else {
            EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        }
        if (c.framesOut < 0) {
            EXPECT_FALSE(fs::exists(out));
            continue;
        }
        const SoundRead read = ReadSoundFile(out);
        ASSERT_EQ(read.failure, "");
        EXPECT_EQ(read.info.channels, 4);
        EXPECT_EQ(read.info.frames, c.framesOut);
        // The first-order part of a plane wave from the front: W and X alike, Y and Z silent.
        EXPECT_EQ(read.samples[4 * 100], 0.5f);
        EXPECT_EQ(read.samples[4 * 100 + 1], 0.0f);
        EXPECT_EQ(read.samples[4 * 100 + 2], 0.0f);
        EXPECT_EQ(read.samples[4 * 100 + 3], 0.5f);
        if (c.file.channels > 4) {
            EXPECT_NE(run.out.find(std::to_string(c.file.channels) + " channels of an order " +
                                   std::to_string(static_cast<int>(std::lround(std::sqrt(c.file.channels))) - 1) +
                                   " Ambisonic response, its first-order part (channels 1 to 4) read as AmbiX"),
                      std::string::npos)
                << run.out;
        }
    }
}

TEST(ConvertCommand, FilesWithoutFramesSaySo)
{
    ScratchFolder scratch("convert-no-frames");
    // libsndfile writes nothing at all for a FLAC file without frames; a FLAC encoder writes
    // its STREAMINFO block with a total of 0 samples (meaning "unknown") and no frames.
    const auto empty = scratch.Path() / "empty.flac";
    WriteBytes(empty, "");
    std::string streamInfo = "fLaC";
    streamInfo += std::string("\x80\0\0\x22", 4);               // the last block: STREAMINFO, 34 bytes
    streamInfo += std::string("\x10\0\x10\0\0\0\0\0\0\0", 10);  // block sizes 4096, frame sizes unknown
    streamInfo += std::string("\x0b\xb8\x06\xf0\0\0\0\0", 8);   // 48000 Hz, 4 channels, 16 bits, 0 samples
    streamInfo += std::string(16, '\0');                        // no MD5 signature
    const auto header = scratch.Path() / "header-only.flac";
    WriteBytes(header, streamInfo);
    const std::vector<std::pair<fs::path, std::string>> cases = {
        {empty, "empty.flac is empty (0 bytes): it holds no frames"},
        {header, "header-only.flac holds no sample frames"},
    };
    for (const auto& [input, message] : cases) {
        SCOPED_TRACE(input.filename().string());
        const auto run = Convert({input.string(), (scratch.Path() / "out.wav").string()}, scratch.Path());
        EXPECT_EQ(run.exitStatus, 1);
        EXPECT_NE(run.err.find(message), std::string::npos) << run.err;
        EXPECT_FALSE(fs::exists(scratch.Path() / "out.wav"));
    }
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
