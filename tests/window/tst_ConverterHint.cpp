// The converter's line in the window's warnings: the suggested output name,
// the shell quoting, which warnings get the line, and whole runs on files the
// window refuses. The command the line names is run as it stands and its
// output is then read by the window, so a wrong name or quoting fails here.
#include <QtTest>

#include <QProcess>
#include <QTemporaryDir>

#include <cmath>
#include <cstdint>

#include "FakeDialogs.h"
#include "TestPictureFiles.h"
#include "TestWavFile.h"
#include "app/ConverterHint.h"
#include "app/Halvane.h"
#include "bformat/WavHeader.h"

using namespace halvane;
using halvane::test::FakeDialogs;
using halvane::test::PlainPanoramaJpeg;
using halvane::test::WriteTestFile;

namespace {

// 300 ms at 48 kHz: 60 windows of 5 ms.
constexpr int SampleRate = 48000;
constexpr int FrameCount = 14400;
// The converter converts 300 ms in well under a second.
constexpr int ConverterTimeoutMs = 30000;

const QString Bits = QString::fromLatin1(kNotSixteenOrThirtyTwoBitsMessage);
const QString Channels = QString::fromLatin1(kNotFourChannelsMessage);

std::string U64(std::uint64_t v)
{
    return test::TextU32(static_cast<std::uint32_t>(v)) + test::TextU32(static_cast<std::uint32_t>(v >> 32));
}

// The plane wave's samples as integers of the given width, channel by
// channel in W, Y, Z, X order.
// Channels past the fourth (a higher-order file's) carry a scaled copy of W.
std::string IntegerSamples(int bitsPerSample, int channels = 4)
{
    const double fullScale = std::ldexp(1.0, bitsPerSample - 1) - 1;
    std::string samples;
    for (const test::Frame4& frame : test::PlaneWaveFrames(FrameCount, 30, 10, 0.5)) {
        std::vector<double> values = {frame.W, frame.Y, frame.Z, frame.X};
        for (int c = 4; c < channels; ++c) values.push_back(frame.W / c);
        for (const double sample : values) {
            const auto value =
                static_cast<std::uint64_t>(static_cast<std::int64_t>(std::nearbyint(sample * fullScale)));
            samples += U64(value).substr(0, static_cast<std::size_t>(bitsPerSample / 8));
        }
    }
    return samples;
}

std::string FmtChunk(int channels, int bitsPerSample)
{
    const auto blockAlign = static_cast<std::uint16_t>(channels * bitsPerSample / 8);
    return test::Chunk("fmt ", test::FmtBody(test::kTagPcm, static_cast<std::uint16_t>(channels), SampleRate,
                                             blockAlign, static_cast<std::uint16_t>(bitsPerSample)));
}

QByteArray AsQBytes(const std::string& bytes) { return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())); }

// A canonical four-channel 24-bit integer file, as most measured responses come.
QByteArray TwentyFourBitFile()
{
    return AsQBytes(test::RiffFile(FmtChunk(4, 24) + test::Chunk("data", IntegerSamples(24))));
}

// A third-order Ambisonic file: 16 channels of 16 bits, the first four a plane wave.
QByteArray ThirdOrderFile()
{
    return AsQBytes(test::RiffFile(FmtChunk(16, 16) + test::Chunk("data", IntegerSamples(16, 16))));
}

// A traditional B-format file, W, X, Y, Z with W 3 dB down, of the plane wave in 16 bits:
// the window reads it as AmbiX all the same.
QByteArray FumaOrderFile()
{
    std::string samples;
    for (const test::Frame4& f : test::PlaneWaveFrames(FrameCount, 30, 10, 0.5)) {
        for (const double sample : {f.W / std::sqrt(2.0), f.X, f.Y, f.Z}) {
            samples +=
                test::TextU16(static_cast<std::uint16_t>(static_cast<std::int16_t>(std::nearbyint(sample * 32767))));
        }
    }
    return AsQBytes(test::RiffFile(FmtChunk(4, 16) + test::Chunk("data", samples)));
}

// A four-channel 16-bit RF64 file: its sizes in a ds64 chunk, 0xFFFFFFFF in
// the 32-bit fields. The window reads its header at the canonical places and
// finds no four channels there.
QByteArray Rf64File()
{
    const std::string samples = IntegerSamples(16);
    const std::string ds64 = "ds64" + test::TextU32(28) + U64(4 + 36 + 24 + 8 + samples.size()) + U64(samples.size()) +
                             U64(FrameCount) + test::TextU32(0);
    return AsQBytes("RF64" + test::TextU32(0xFFFFFFFFu) + "WAVE" + ds64 + FmtChunk(4, 16) + "data" +
                    test::TextU32(0xFFFFFFFFu) + samples);
}

// The window's 16-bit file with two channels in its header.
QByteArray StereoFile()
{
    QByteArray bytes = test::MakeBFormatWav(SampleRate, 16, test::PlaneWaveFrames(FrameCount, 30, 10, 0.5));
    bytes[22] = 2;
    return bytes;
}

// A run in the window on path, answering the four prompts.
struct WindowRun {
    explicit WindowRun(const QString& path) : window(&dialogs)
    {
        window.show();
        dialogs.fileAnswers.push_back(path);
        window.ChooseImpulseResponse();
        for (const char* answer : {"0", "300", "5", "0"}) {
            dialogs.textAnswers.push_back(QString::fromLatin1(answer));
        }
        window.Process();
    }
    FakeDialogs dialogs;
    Halvane window;
};

// Runs a command line as a user pastes it into a shell, the build's
// programs first on the path. Gives the exit status (-1 when it did not end).
int RunInShell(const QString& commandLine, const QString& folder)
{
    QProcess shell;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("PATH"),
                       QStringLiteral(HALVANE_CONVERT_DIR ":") + environment.value(QStringLiteral("PATH")));
    shell.setProcessEnvironment(environment);
    shell.setWorkingDirectory(folder);
    shell.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), commandLine});
    if (!shell.waitForFinished(ConverterTimeoutMs)) {
        shell.kill();
        shell.waitForFinished();
        return -1;
    }
    if (shell.exitCode() != 0) {
        qWarning("%s: %s", qPrintable(commandLine), shell.readAllStandardError().constData());
    }
    return shell.exitStatus() == QProcess::NormalExit ? shell.exitCode() : -1;
}

}  // namespace

class ConverterHintTest : public QObject {
    Q_OBJECT

private slots:
    void convertedFileName_data();
    void convertedFileName();
    void shellQuoting_data();
    void shellQuoting();
    void onlyTheTwoRefusalsGetTheLine_data();
    void onlyTheTwoRefusalsGetTheLine();

    void refusedFilesGetTheCommandThatMakesThemReadable_data();
    void refusedFilesGetTheCommandThatMakesThemReadable();
    void stereoFileGetsTheLineToo();
    void otherRunWarningsStayAsTheyAre();
    void anotherConventionGetsANoticeThatDoesNotStopTheRun();
};

void ConverterHintTest::convertedFileName_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("output");
    QTest::newRow(".wav replaced") << "/data/hall.wav"
                                   << "/data/hall-ambix.wav";
    QTest::newRow(".WAV in capitals replaced") << "/data/HALL.WAV"
                                               << "/data/HALL-ambix.wav";
    QTest::newRow("no ending: appended") << "/data/hall"
                                         << "/data/hall-ambix.wav";
    QTest::newRow("other ending: appended") << "/data/hall.rf64"
                                            << "/data/hall.rf64-ambix.wav";
    QTest::newRow("only the last .wav") << "/data/a.wav.wav"
                                        << "/data/a.wav-ambix.wav";
    QTest::newRow("dots in the folder") << "/data/v1.wav/hall"
                                        << "/data/v1.wav/hall-ambix.wav";
    QTest::newRow("hidden file named .wav") << "/data/.wav"
                                            << "/data/.wav-ambix.wav";
    QTest::newRow("relative bare .wav") << ".wav"
                                        << ".wav-ambix.wav";
    QTest::newRow("already converted once") << "/d/hall-ambix.wav"
                                            << "/d/hall-ambix-ambix.wav";
    QTest::newRow("spaces and umlaut kept") << "/d/Saal 1 (ö).wav"
                                            << "/d/Saal 1 (ö)-ambix.wav";
}

void ConverterHintTest::convertedFileName()
{
    QFETCH(QString, input);
    QFETCH(QString, output);
    QCOMPARE(ConvertedFileName(input), output);
    QVERIFY(ConvertedFileName(input) != input);
}

void ConverterHintTest::shellQuoting_data()
{
    QTest::addColumn<QString>("word");
    QTest::addColumn<QString>("quoted");
    QTest::newRow("plain") << "/d/hall.wav"
                           << "\"/d/hall.wav\"";
    QTest::newRow("spaces, parentheses, single quote") << "/d/Saal 1 (it's).wav"
                                                       << "\"/d/Saal 1 (it's).wav\"";
    QTest::newRow("double quote") << "/d/a\"b.wav"
                                  << "\"/d/a\\\"b.wav\"";
    QTest::newRow("dollar") << "/d/$HOME.wav"
                            << "\"/d/\\$HOME.wav\"";
    QTest::newRow("backquote") << "/d/`x`.wav"
                               << "\"/d/\\`x\\`.wav\"";
    QTest::newRow("backslash") << "/d/a\\b.wav"
                               << "\"/d/a\\\\b.wav\"";
    QTest::newRow("empty") << ""
                           << "\"\"";
}

void ConverterHintTest::shellQuoting()
{
    QFETCH(QString, word);
    QFETCH(QString, quoted);
    QCOMPARE(ShellQuoted(word), quoted);
    // The shell gives the word back unchanged.
    QProcess shell;
    shell.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), QStringLiteral("printf %s ") + quoted});
    QVERIFY(shell.waitForFinished(ConverterTimeoutMs));
    QCOMPARE(QString::fromUtf8(shell.readAllStandardOutput()), word);
}

void ConverterHintTest::onlyTheTwoRefusalsGetTheLine_data()
{
    QTest::addColumn<QString>("warning");
    QTest::addColumn<QString>("expected");
    const QString command = QStringLiteral("halvane-convert \"/d/hall.wav\" \"/d/hall-ambix.wav\"");
    QTest::newRow("sample format") << Bits << Bits + "\nTo convert it to 32-bit float: " + command;
    QTest::newRow("channel count") << Channels
                                   << Channels +
                                          "\nA four-channel B-format file in another layout converts with: " + command;
    QTest::newRow("cannot be opened") << "Sorry, the file /d/hall.wav cannot be opened: it does not exist!"
                                      << "Sorry, the file /d/hall.wav cannot be opened: it does not exist!";
    QTest::newRow("frame size") << "Sorry, this .WAV file gives no valid frame size (BlockAlign)!"
                                << "Sorry, this .WAV file gives no valid frame size (BlockAlign)!";
    QTest::newRow("refusal with more after it") << Channels + " (twice)" << Channels + " (twice)";
    QTest::newRow("refusal with a line already added") << Bits + "\nmore" << Bits + "\nmore";
    QTest::newRow("empty") << ""
                           << "";
}

void ConverterHintTest::onlyTheTwoRefusalsGetTheLine()
{
    QFETCH(QString, warning);
    QFETCH(QString, expected);
    QCOMPARE(WithConverterHint(warning, QStringLiteral("/d/hall.wav")), expected);
}

void ConverterHintTest::refusedFilesGetTheCommandThatMakesThemReadable_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("firstLine");
    QTest::addColumn<QString>("secondLineStart");
    QTest::newRow("24-bit integer") << TwentyFourBitFile() << Bits << "To convert it to 32-bit float: ";
    QTest::newRow("RF64") << Rf64File() << Channels << "A four-channel B-format file in another layout converts with: ";
    QTest::newRow("third order, 16 channels")
        << ThirdOrderFile() << Channels
        << "It looks like a higher-order Ambisonic file of order 3 (16 channels); its first-order part converts with: ";
}

void ConverterHintTest::refusedFilesGetTheCommandThatMakesThemReadable()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, firstLine);
    QFETCH(QString, secondLineStart);
    QTemporaryDir dir;
    // A name that needs the quoting: spaces, a dollar, a single quote.
    const QString input = WriteTestFile(dir.filePath(QStringLiteral("Saal $1 (Jo's).wav")), bytes);
    const WindowRun refused(input);
    QCOMPARE(refused.window.LastRunReport().outcome, RunOutcome::Rejected);
    QCOMPARE(refused.dialogs.warnings.size(), std::size_t{1});
    const QStringList lines = refused.dialogs.warnings[0].split(QLatin1Char('\n'));
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines[0], firstLine);
    const QString command = QStringLiteral("halvane-convert ") + ShellQuoted(input) + QLatin1Char(' ') +
                            ShellQuoted(dir.filePath(QStringLiteral("Saal $1 (Jo's)-ambix.wav")));
    QVERIFY2(lines[1].startsWith(secondLineStart), qPrintable(lines[1]));
    QVERIFY2(lines[1].endsWith(QStringLiteral(": ") + command), qPrintable(lines[1]));
    // The report keeps the core's message; only the box gets the line.
    QCOMPARE(QString::fromStdString(refused.window.LastRunReport().message), firstLine);

    // The command as it stands, pasted into a shell, writes a file the window reads.
    QCOMPARE(RunInShell(lines[1].mid(lines[1].indexOf(QStringLiteral("halvane-convert"))), dir.path()), 0);
    const WindowRun converted(dir.filePath(QStringLiteral("Saal $1 (Jo's)-ambix.wav")));
    QCOMPARE(converted.window.LastRunReport().outcome, RunOutcome::Completed);
    QVERIFY(converted.dialogs.warnings.empty());
    QVERIFY(converted.window.LastRunReport().referenceRows > 0);
}

void ConverterHintTest::stereoFileGetsTheLineToo()
{
    // The converter refuses a genuine two-channel file in turn; the line says
    // which files it converts.
    QTemporaryDir dir;
    const QString input = WriteTestFile(dir.filePath(QStringLiteral("stereo.wav")), StereoFile());
    const WindowRun run(input);
    QCOMPARE(run.window.LastRunReport().outcome, RunOutcome::Rejected);
    QCOMPARE(run.dialogs.warnings,
             std::vector<QString>{Channels +
                                  QStringLiteral("\nA four-channel B-format file in another layout "
                                                 "converts with: halvane-convert \"") +
                                  input + QStringLiteral("\" \"") + dir.filePath(QStringLiteral("stereo-ambix.wav")) +
                                  QStringLiteral("\"")});
}

void ConverterHintTest::otherRunWarningsStayAsTheyAre()
{
    QTemporaryDir dir;
    const QString missing = dir.filePath(QStringLiteral("gone.wav"));
    const WindowRun run(missing);
    const QString cannotOpen = QStringLiteral("Sorry, the file %1 cannot be opened: it does not exist!").arg(missing);
    QCOMPARE(run.dialogs.warnings, std::vector<QString>{cannotOpen});
}

void ConverterHintTest::anotherConventionGetsANoticeThatDoesNotStopTheRun()
{
    QTemporaryDir dir;
    const QString fuma = WriteTestFile(dir.filePath(QStringLiteral("hall.wav")), FumaOrderFile());
    const WindowRun run(fuma);
    // The run goes through, with no box to answer: the notice is no dialog.
    QCOMPARE(run.window.LastRunReport().outcome, RunOutcome::Completed);
    QVERIFY(run.dialogs.warnings.empty());
    const QString notice = run.window.Notice();
    QVERIFY2(notice.contains(QStringLiteral("from the front (Az 30, El 10) in FuMa")), qPrintable(notice));
    QVERIFY2(notice.contains(QStringLiteral(" in AmbiX/SN3D as read here")), qPrintable(notice));
    const QString command = ConverterCommand(fuma);
    QVERIFY2(notice.contains(command), qPrintable(notice));

    // The command it names writes the AmbiX file, which runs without a notice.
    QCOMPARE(RunInShell(command, dir.path()), 0);
    const WindowRun converted(dir.filePath(QStringLiteral("hall-ambix.wav")));
    QCOMPARE(converted.window.LastRunReport().outcome, RunOutcome::Completed);
    QCOMPARE(converted.window.Notice(), QString());
}

QTEST_MAIN(ConverterHintTest)
#include "tst_ConverterHint.moc"
