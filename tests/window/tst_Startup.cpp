// The window's command line: parsing, the window started with a file and a
// picture (the same state as after the dialogs), the warnings for what cannot
// be opened, and the program's answers to --help, --version and mistakes when
// run as a process with no display at all.
#include <QtTest>

#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>

#include "FakeDialogs.h"
#include "TestPictureFiles.h"
#include "TestWavFile.h"
#include "app/CommandLine.h"
#include "app/Halvane.h"
#include "display/DrawingSurface.h"

using namespace halvane;
using halvane::test::FakeDialogs;
using halvane::test::PlainPanoramaJpeg;
using halvane::test::WriteTestFile;

namespace {

// The program answers at once; this only keeps a hung start from hanging the test.
constexpr int ProcessTimeoutMs = 20000;

QString TextBox(Halvane& window) { return window.findChild<QLineEdit*>(QStringLiteral("TextBox1"))->text(); }

// The window as the dialogs leave it: the file through "...", the picture
// through a click on the map; the warnings they gave.
struct DialogWindow {
    DialogWindow(const QString& irFile, const QString& picture) : window(&dialogs)
    {
        if (!irFile.isEmpty()) {
            dialogs.fileAnswers.push_back(irFile);
            window.ChooseImpulseResponse();
        }
        if (!picture.isEmpty()) {
            dialogs.fileAnswers.push_back(picture);
            window.LoadBackground();
        }
    }
    FakeDialogs dialogs;
    Halvane window;
};

struct ProcessResult {
    int exitStatus = -1;
    QByteArray out;
    QByteArray err;
};

// The built program with no display of any kind: what it prints must not
// need one.
ProcessResult RunHalvane(const QStringList& arguments)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        environment.remove(QString::fromLatin1(name));
    }
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(HALVANE_WINDOW_PATH), arguments);
    if (!process.waitForFinished(ProcessTimeoutMs)) {
        process.kill();
        process.waitForFinished();
        return {};
    }
    const int status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return {status, process.readAllStandardOutput(), process.readAllStandardError()};
}

}  // namespace

class StartupTest : public QObject {
    Q_OBJECT

private slots:
    void parsing_data();
    void parsing();
    void helpAndVersionWinOverMistakes();

    void startedWithAFileAsTheDialogChoosesIt();
    void startedWithAPictureAsAClickOnTheMapLoadsIt();
    void badPictureGetsTheWindowsWarning();
    void missingOrFolderFileIsNotChosen_data();
    void missingOrFolderFileIsNotChosen();
    void nothingGivenChangesNothing();

    void programAnswers_data();
    void programAnswers();
};

void StartupTest::parsing_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("action");
    QTest::addColumn<QString>("irFile");
    QTest::addColumn<QString>("picture");
    QTest::addColumn<QString>("errorStart");  // the beginning of a usage error's text

    const QDir here = QDir::current();
    const auto open = static_cast<int>(StartAction::OpenWindow);
    const auto usage = static_cast<int>(StartAction::UsageError);
    const QString none;

    QTest::newRow("nothing") << QStringList{"halvane"} << open << none << none << none;
    QTest::newRow("absolute file") << QStringList{"halvane", "/data/hall.wav"} << open << "/data/hall.wav" << none
                                   << none;
    QTest::newRow("relative file made absolute")
        << QStringList{"halvane", "hall.wav"} << open << here.absoluteFilePath("hall.wav") << none << none;
    QTest::newRow("dots cleaned as the dialog gives paths")
        << QStringList{"halvane", "/data/x/../hall.wav"} << open << "/data/hall.wav" << none << none;
    QTest::newRow("file and picture") << QStringList{"halvane", "/a/hall.wav", "--background", "/a/pano.jpg"} << open
                                      << "/a/hall.wav"
                                      << "/a/pano.jpg" << none;
    QTest::newRow("picture before the file, relative")
        << QStringList{"halvane", "--background", "pano.jpg", "/a/hall.wav"} << open << "/a/hall.wav"
        << here.absoluteFilePath("pano.jpg") << none;
    QTest::newRow("picture given twice: the last counts")
        << QStringList{"halvane", "--background", "/a/1.jpg", "--background", "/a/2.jpg"} << open << none << "/a/2.jpg"
        << none;
    QTest::newRow("file with spaces and umlaut")
        << QStringList{"halvane", "/a/Saal 1 (ö).wav"} << open << "/a/Saal 1 (ö).wav" << none << none;
    QTest::newRow("file named like an option after --")
        << QStringList{"halvane", "--", "-hall.wav"} << open << here.absoluteFilePath("-hall.wav") << none << none;
    QTest::newRow("empty file counts as none") << QStringList{"halvane", ""} << open << none << none << none;
    QTest::newRow("toolkit options left to the toolkit")
        << QStringList{"halvane", "-platform", "offscreen", "-style", "fusion", "-reverse", "/a/hall.wav"} << open
        << "/a/hall.wav" << none << none;

    QTest::newRow("unknown option") << QStringList{"halvane", "--frobnicate"} << usage << none << none
                                    << "halvane: Unknown option 'frobnicate'.";
    QTest::newRow("unknown short option")
        << QStringList{"halvane", "-x", "/a/hall.wav"} << usage << none << none << "halvane: Unknown option 'x'.";
    QTest::newRow("two files") << QStringList{"halvane", "/a/1.wav", "/a/2.wav"} << usage << none << none
                               << "halvane: one impulse response at a time (2 files given)";
    QTest::newRow("picture without its value") << QStringList{"halvane", "/a/hall.wav", "--background"} << usage << none
                                               << none << "halvane: Missing value after '--background'.";
}

void StartupTest::parsing()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, action);
    QFETCH(QString, irFile);
    QFETCH(QString, picture);
    QFETCH(QString, errorStart);
    const CommandLine commandLine = ParseCommandLine(arguments);
    QCOMPARE(static_cast<int>(commandLine.action), action);
    QCOMPARE(commandLine.irFile, irFile);
    QCOMPARE(commandLine.backgroundPicture, picture);
    if (commandLine.action == StartAction::UsageError) {
        QVERIFY2(commandLine.text.startsWith(errorStart + QStringLiteral("\n\n")), qPrintable(commandLine.text));
        QVERIFY(commandLine.text.endsWith(HalvaneUsage()));
        QCOMPARE(commandLine.exitStatus, 2);
    } else {
        QVERIFY(commandLine.text.isEmpty());
    }
}

void StartupTest::helpAndVersionWinOverMistakes()
{
    const struct {
        QStringList arguments;
        StartAction action;
    } rows[] = {
        {{"halvane", "--help"}, StartAction::PrintHelp},
        {{"halvane", "-h"}, StartAction::PrintHelp},
        {{"halvane", "--frobnicate", "--help"}, StartAction::PrintHelp},
        {{"halvane", "/a/1.wav", "/a/2.wav", "-h"}, StartAction::PrintHelp},
        {{"halvane", "--version"}, StartAction::PrintVersion},
        {{"halvane", "-v", "/a/hall.wav"}, StartAction::PrintVersion},
        {{"halvane", "--background", "--version"}, StartAction::OpenWindow},  // --version is the picture's name
    };
    for (const auto& row : rows) {
        const CommandLine commandLine = ParseCommandLine(row.arguments);
        QVERIFY2(commandLine.action == row.action, qPrintable(row.arguments.join(QLatin1Char(' '))));
        QCOMPARE(commandLine.exitStatus, 0);
    }
    QCOMPARE(ParseCommandLine({"halvane", "--help"}).text, HalvaneUsage());
    QCOMPARE(ParseCommandLine({"halvane", "--version"}).text, QStringLiteral("halvane " HALVANE_VERSION "\n"));
}

void StartupTest::startedWithAFileAsTheDialogChoosesIt()
{
    QTemporaryDir dir;
    const QString wav = WriteTestFile(dir.filePath(QStringLiteral("Saal 1 (ö).wav")),
                                      test::MakeBFormatWav(48000, 32, test::PlaneWaveFrames(480, 30, 10, 0.5)));
    const CommandLine commandLine = ParseCommandLine({"halvane", wav});

    FakeDialogs dialogs;
    Halvane window(&dialogs);
    window.show();
    window.OpenAtStart(commandLine.irFile, commandLine.backgroundPicture);

    DialogWindow expected(wav, QString());
    QCOMPARE(window.State().IrFileName, expected.window.State().IrFileName);
    QCOMPARE(window.State().IrFileName, QFile::encodeName(wav).toStdString());
    QCOMPARE(window.windowTitle(), expected.window.windowTitle());
    QCOMPARE(TextBox(window), TextBox(expected.window));
    QCOMPARE(window.DirectionMap().Image(), expected.window.DirectionMap().Image());
    QVERIFY(dialogs.warnings.empty());
    QVERIFY(dialogs.fileRequests.empty());  // no dialog was shown
}

void StartupTest::startedWithAPictureAsAClickOnTheMapLoadsIt()
{
    QTemporaryDir dir;
    const QString picture =
        WriteTestFile(dir.filePath(QStringLiteral("pano.jpg")), PlainPanoramaJpeg(qRgb(200, 40, 40)));
    FakeDialogs dialogs;
    Halvane window(&dialogs);
    window.show();
    window.OpenAtStart(QString(), picture);

    DialogWindow expected(QString(), picture);
    QCOMPARE(window.DirectionMap().Image(), expected.window.DirectionMap().Image());
    const QRgb middle = window.DirectionMap().Image().pixel(478, 238);
    QVERIFY(std::abs(qRed(middle) - 200) < 8 && std::abs(qGreen(middle) - 40) < 8);
    QCOMPARE(window.windowTitle(), QStringLiteral("Halvane AMBIX version"));  // no file chosen
    QVERIFY(dialogs.warnings.empty());
}

void StartupTest::badPictureGetsTheWindowsWarning()
{
    QTemporaryDir dir;
    const QString wav = WriteTestFile(dir.filePath(QStringLiteral("hall.wav")),
                                      test::MakeBFormatWav(48000, 32, test::PlaneWaveFrames(480, 30, 10, 0.5)));
    const QString text = WriteTestFile(dir.filePath(QStringLiteral("notes.jpg")), "this is text, not a picture\n");
    const QString cut =
        WriteTestFile(dir.filePath(QStringLiteral("cut.jpg")), PlainPanoramaJpeg(qRgb(0, 0, 200)).left(400));
    const QString missing = dir.filePath(QStringLiteral("missing.jpg"));
    for (const QString& picture : {text, cut, missing}) {
        FakeDialogs dialogs;
        Halvane window(&dialogs);
        window.show();
        const QImage placeholder = window.DirectionMap().Image();
        window.OpenAtStart(wav, picture);

        DialogWindow expected(QString(), picture);
        QCOMPARE(dialogs.warnings, expected.dialogs.warnings);
        QCOMPARE(dialogs.warnings.size(), std::size_t{1});
        QVERIFY2(dialogs.warnings[0].contains(picture), qPrintable(dialogs.warnings[0]));
        QCOMPARE(window.DirectionMap().Image(), placeholder);
        // The file is chosen all the same: the picture is not the run's input.
        QCOMPARE(window.State().IrFileName, QFile::encodeName(wav).toStdString());
    }
}

void StartupTest::missingOrFolderFileIsNotChosen_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("makeFolder");
    QTest::addColumn<QString>("warning");  // %1: the absolute path
    QTest::newRow("missing file") << "typo.wav" << false
                                  << "Sorry, the file %1 does not exist: no impulse response is chosen.";
    QTest::newRow("a folder") << "takes.wav" << true << "Sorry, %1 is not a file: no impulse response is chosen.";
}

void StartupTest::missingOrFolderFileIsNotChosen()
{
    QFETCH(QString, name);
    QFETCH(bool, makeFolder);
    QFETCH(QString, warning);
    QTemporaryDir dir;
    const QString path = dir.filePath(name);
    if (makeFolder) {
        QVERIFY(QDir(dir.path()).mkdir(name));
    }
    const QString picture =
        WriteTestFile(dir.filePath(QStringLiteral("pano.jpg")), PlainPanoramaJpeg(qRgb(200, 40, 40)));
    FakeDialogs dialogs;
    Halvane window(&dialogs);
    window.show();
    window.OpenAtStart(path, picture);

    QCOMPARE(dialogs.warnings, std::vector<QString>{warning.arg(path)});
    QCOMPARE(window.State().IrFileName, std::string());
    QCOMPARE(window.windowTitle(), QStringLiteral("Halvane AMBIX version"));
    QCOMPARE(TextBox(window), QStringLiteral("Click this button to load IR =>"));
    // The picture does not depend on the file: it is shown.
    QCOMPARE(window.DirectionMap().Image(), DialogWindow(QString(), picture).window.DirectionMap().Image());
}

void StartupTest::nothingGivenChangesNothing()
{
    FakeDialogs dialogs;
    Halvane window(&dialogs);
    window.show();
    const QImage map = window.DirectionMap().Image();
    window.OpenAtStart(QString(), QString());
    QVERIFY(dialogs.warnings.empty());
    QCOMPARE(window.State().IrFileName, std::string());
    QCOMPARE(window.windowTitle(), QStringLiteral("Halvane AMBIX version"));
    QCOMPARE(window.DirectionMap().Image(), map);
}

void StartupTest::programAnswers_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitStatus");
    QTest::addColumn<QByteArray>("out");
    QTest::addColumn<QByteArray>("errStart");
    const QByteArray usage = HalvaneUsage().toUtf8();
    QTest::newRow("--help") << QStringList{"--help"} << 0 << usage << QByteArray();
    QTest::newRow("-h") << QStringList{"-h"} << 0 << usage << QByteArray();
    QTest::newRow("--version") << QStringList{"--version"} << 0 << QByteArray("halvane " HALVANE_VERSION "\n")
                               << QByteArray();
    QTest::newRow("--version beside the toolkit's -platform")
        << QStringList{"-platform", "xcb", "--version"} << 0 << QByteArray("halvane " HALVANE_VERSION "\n")
        << QByteArray();
    QTest::newRow("unknown option") << QStringList{"--frobnicate", "hall.wav"} << 2 << QByteArray()
                                    << QByteArray("halvane: Unknown option 'frobnicate'.\n\nUsage: halvane [FILE]");
    QTest::newRow("two files") << QStringList{"a.wav", "b.wav"} << 2 << QByteArray()
                               << QByteArray("halvane: one impulse response at a time");
    QTest::newRow("missing picture") << QStringList{"--background"} << 2 << QByteArray()
                                     << QByteArray("halvane: Missing value after '--background'.");
}

void StartupTest::programAnswers()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitStatus);
    QFETCH(QByteArray, out);
    QFETCH(QByteArray, errStart);
    const ProcessResult result = RunHalvane(arguments);
    QCOMPARE(result.exitStatus, exitStatus);
    QCOMPARE(result.out, out);
    QVERIFY2(result.err.startsWith(errStart), result.err.constData());
    if (errStart.isEmpty()) {
        QCOMPARE(result.err, QByteArray());
    } else {
        QVERIFY(result.err.endsWith(HalvaneUsage().toUtf8()));
    }
}

QTEST_MAIN(StartupTest)
#include "tst_Startup.moc"
