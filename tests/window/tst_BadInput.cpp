// Bad input in the window and closing it at any moment of a run. Every case
// ends in a clear message or its designed behaviour, leaves the window ready
// for the next run, and writes or empties no file but the run's two tables.
#include <QtTest>

#include <QApplication>
#include <QDirIterator>
#include <QImageReader>
#include <QImageWriter>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>

#include <sys/resource.h>
#include <unistd.h>

#include <functional>

#include "FakeDialogs.h"
#include "TestWavFile.h"
#include "app/Halvane.h"
#include "bformat/WavHeader.h"
#include "display/BackgroundPicture.h"
#include "display/DrawingSurface.h"
#include "report/TablePaths.h"

using namespace halvane;
using halvane::test::FakeDialogs;

namespace {

// 300 ms of a plane wave at 48 kHz: 60 windows of 5 ms.
constexpr int SampleRate = 48000;
constexpr int FrameCount = 14400;
// A run that should have ended by now is let go, so a fault fails instead of hanging.
constexpr int WatchdogMs = 10000;
// Loading a refused picture may not raise the peak memory by more than this;
// decoding a 20000 x 10000 picture would take 800 MB.
constexpr long PictureMemoryKb = 100 * 1024;

const QStringList GoodAnswers = {"0", "300", "5", "0"};

QByteArray PlaneWaveFile(int bitsPerSample = 32)
{
    return test::MakeBFormatWav(SampleRate, bitsPerSample, test::PlaneWaveFrames(FrameCount, 30, 10, 0.5));
}

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(bytes);
    }
    return path;
}

QString IntensityTableOf(const QString& input)
{
    return QFile::decodeName(IntensityTableName(QFile::encodeName(input).toStdString()).c_str());
}

QString ReferenceTableOf(const QString& input)
{
    return QFile::decodeName(ReferenceTableName(QFile::encodeName(input).toStdString()).c_str());
}

// Every regular file under a folder with its bytes.
QMap<QString, QByteArray> FilesUnder(const QString& folder)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        files.insert(path, ReadAll(path));
    }
    return files;
}

// Empty, or whole lines each ended by CR LF.
bool CompleteLines(const QByteArray& table)
{
    return table.isEmpty() || (table.endsWith("\r\n") && table.count('\n') == table.count("\r\n"));
}

long PeakMemoryKb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// A JPEG of the given size, encoded from a one-bit picture so that neither
// the test nor the file needs much memory (about 2 MB for 20000 x 10000).
QByteArray PlainJpeg(int width, int height)
{
    QImage picture(width, height, QImage::Format_Mono);
    picture.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    picture.fill(1);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, "jpeg").write(picture);
    return bytes;
}

QByteArray PanoramaJpeg(bool progressive = false)
{
    QImage panorama(960, 480, QImage::Format_RGB32);
    for (int y = 0; y < panorama.height(); ++y) {
        for (int x = 0; x < panorama.width(); ++x) {
            panorama.setPixel(x, y, qRgb(x % 256, (y + 64) % 256, (x ^ y) % 256));
        }
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(90);
    writer.setProgressiveScanWrite(progressive);
    writer.write(panorama);
    return bytes;
}

// The panorama with an application segment right after its start marker
// that carries an end-of-image marker of its own, as an embedded thumbnail does.
QByteArray PanoramaJpegWithThumbnailEnd()
{
    const QByteArray thumbnail = QByteArray::fromHex("FFD8") + " a thumbnail " + QByteArray::fromHex("FFD9");
    QByteArray segment("\xFF\xE1", 2);
    segment.append(char((thumbnail.size() + 2) >> 8)).append(char((thumbnail.size() + 2) & 0xFF)).append(thumbnail);
    QByteArray bytes = PanoramaJpeg();
    return bytes.insert(2, segment);
}

// The tables halvane-batch writes for the plane wave with the good answers.
struct Tables {
    QByteArray intensity;
    QByteArray reference;
};

const Tables& BatchTables()
{
    static const Tables tables = [] {
        QTemporaryDir dir;
        const QString wav = WriteFile(dir.filePath(QStringLiteral("room.wav")), PlaneWaveFile());
        QProcess batch;
        batch.start(QStringLiteral(HALVANE_BATCH_PATH), {"--skip", "0", "--display", "300", "--window", "5", wav});
        if (!batch.waitForFinished(30000) || batch.exitCode() != 0) {
            qWarning("halvane-batch failed: %s", batch.readAllStandardError().constData());
        }
        return Tables{ReadAll(IntensityTableOf(wav)), ReadAll(ReferenceTableOf(wav))};
    }();
    return tables;
}

// The fake dialogs, with an action run while one of them is open (recorded,
// not yet answered): where a user's close of the window arrives.
class HookedDialogs final : public DialogService {
public:
    enum class Kind { File, Prompt, Warning };

    std::optional<QString> OpenFile(const FileDialogRequest& request) override
    {
        auto answer = fake.OpenFile(request);
        WhileOpen(Kind::File);
        return answer;
    }
    std::optional<QString> AskText(const QString& prompt, const QString& title, const QString& defaultAnswer) override
    {
        auto answer = fake.AskText(prompt, title, defaultAnswer);
        WhileOpen(Kind::Prompt);
        return answer;
    }
    void ShowWarning(const QString& message) override
    {
        fake.ShowWarning(message);
        WhileOpen(Kind::Warning);
    }

    FakeDialogs fake;
    std::function<void(Kind)> whileOpen;

private:
    void WhileOpen(Kind kind)
    {
        if (whileOpen) {
            whileOpen(kind);
        }
    }
};

// One bad-input case: its own folder, the file chosen through "..." (or none),
// the answers to the four prompts, or a background picture to load instead
// of a run, and the message it must give.
struct BadInput {
    QTemporaryDir dir;
    std::optional<QString> chosen;
    QStringList answers = GoodAnswers;
    std::optional<QString> picture;
    std::function<void()> beforeProcess;
    QString warning;  // the message expected, or its beginning; empty: none
    RunOutcome outcome = RunOutcome::Rejected;

    QString Path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
    QString Write(const char* name, const QByteArray& bytes) const { return WriteFile(Path(name), bytes); }
    void ChooseGoodFile() { chosen = Write("room.wav", PlaneWaveFile()); }
    // The run or the picture is refused with message; a %1 in it stands for
    // the picture or the chosen file.
    void Refused(const QString& message)
    {
        outcome = RunOutcome::Rejected;
        warning = message.contains(QStringLiteral("%1")) ? message.arg(picture.value_or(chosen.value_or(QString())))
                                                         : message;
    }
    // One answer other than the good ones; no message: the run completes.
    void Answer(int prompt, const char* answer, const QString& message = {})
    {
        ChooseGoodFile();
        answers[prompt] = QString::fromLatin1(answer);
        if (message.isEmpty()) {
            outcome = RunOutcome::Completed;
        } else {
            Refused(message);
        }
    }
    // A background picture to load; no message: it is shown.
    void Picture(const char* name, const QByteArray& bytes, const QString& message = {})
    {
        picture = Write(name, bytes);
        warning = message.isEmpty() ? message : message.arg(*picture);
    }

    ~BadInput() { QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner); }
};

enum Prompt { Skip, DisplayWindow, AveragingWindow, Pause };

const QString AveragingRefused = QStringLiteral("Sorry, the averaging window must be a number of ms above 0!");
const QString DisplayRefused = QStringLiteral("Sorry, the displayed window must be a number of ms above 0!");
const QString NotRegular = QStringLiteral("Sorry, the file %1 cannot be opened: it is not a regular file!");
const QString NoTable = QStringLiteral("Sorry, the table %1 cannot be created!");
const QString NotAPicture = QStringLiteral("The file %1 could not be read as a picture");
const QString Incomplete = QStringLiteral("The picture %1 is incomplete");

QByteArray Patched(QByteArray bytes, std::initializer_list<std::pair<int, char>> changes)
{
    for (const auto& [at, value] : changes) {
        bytes[at] = value;
    }
    return bytes;
}

QByteArray FirstHalf(const QByteArray& bytes) { return bytes.left(bytes.size() / 2); }

constexpr const char* ReadOnlyFolderRow = "read-only folder";

const struct {
    const char* name;
    void (*set)(BadInput&);
} BadInputs[] = {
    {"no file chosen",
     [](BadInput& c) { c.Refused("Please choose an impulse response file first (button \"...\")."); }},
    {"file deleted before Process",
     [](BadInput& c) {
         c.ChooseGoodFile();
         c.beforeProcess = [&c] { QFile::remove(*c.chosen); };
         c.Refused(QStringLiteral("Sorry, the file %1 cannot be opened: it does not exist!"));
     }},
    {"a folder",
     [](BadInput& c) {
         c.chosen = c.Path("takes.wav");
         QDir().mkdir(*c.chosen);
         c.Refused(NotRegular);
     }},
    {"/dev/zero",
     [](BadInput& c) {
         c.chosen = QStringLiteral("/dev/zero");
         c.Refused(NotRegular);
     }},
    {"/dev/null",
     [](BadInput& c) {
         c.chosen = QStringLiteral("/dev/null");
         c.Refused(NotRegular);
     }},
    {"zero-length file",
     [](BadInput& c) {
         c.chosen = c.Write("room.wav", {});
         c.Refused(kNotFourChannelsMessage);
     }},
    {"2 channels",
     [](BadInput& c) {
         c.chosen = c.Write("room.wav", Patched(PlaneWaveFile(), {{22, 2}}));
         c.Refused(kNotFourChannelsMessage);
     }},
    {"24 bits",  // BlockAlign 12, BitsPerSample 24
     [](BadInput& c) {
         c.chosen = c.Write("room.wav", Patched(PlaneWaveFile(16), {{32, 12}, {34, 24}}));
         c.Refused(kNotSixteenOrThirtyTwoBitsMessage);
     }},
    {"name ending in csv",
     [](BadInput& c) {
         c.chosen = c.Write("room.csv", PlaneWaveFile());
         c.Refused(QStringLiteral("Sorry, the tables of this run would overwrite the input file %1!"));
     }},
    {"intensity table cannot be created",
     [](BadInput& c) {
         c.ChooseGoodFile();
         QDir().mkdir(c.Path("room.csv"));
         c.Refused(NoTable.arg(c.Path("room.csv")));
     }},
    {"reference table cannot be created",
     [](BadInput& c) {
         c.ChooseGoodFile();
         QDir().mkdir(c.Path("room_ref.csv"));
         c.Refused(NoTable.arg(c.Path("room_ref.csv")));
     }},
    {"name with letters beyond ASCII: runs",
     [](BadInput& c) {
         c.chosen = WriteFile(c.dir.filePath(QStringLiteral("Saal-H\u00f6he \u00e9t\u00e9.wav")), PlaneWaveFile());
         c.outcome = RunOutcome::Completed;
     }},
    {"skip 1e308", [](BadInput& c) { c.Answer(Skip, "1e308", "Sorry, the number of ms to skip is out of range!"); }},
    {"skip negative: windows before the file read silence", [](BadInput& c) { c.Answer(Skip, "-20"); }},
    {"skip &HFFFF: past the end, header rows only", [](BadInput& c) { c.Answer(Skip, "&HFFFF"); }},
    {"displayed window 0", [](BadInput& c) { c.Answer(DisplayWindow, "0", DisplayRefused); }},
    {"displayed window negative", [](BadInput& c) { c.Answer(DisplayWindow, "-300", DisplayRefused); }},
    {"displayed window 1e308", [](BadInput& c) { c.Answer(DisplayWindow, "1e308"); }},
    {"displayed window &HFFFF", [](BadInput& c) { c.Answer(DisplayWindow, "&HFFFF"); }},
    {"averaging window 0", [](BadInput& c) { c.Answer(AveragingWindow, "0", AveragingRefused); }},
    {"averaging window negative", [](BadInput& c) { c.Answer(AveragingWindow, "-5", AveragingRefused); }},
    {"averaging window letters", [](BadInput& c) { c.Answer(AveragingWindow, "five", AveragingRefused); }},
    {"averaging window 1e308", [](BadInput& c) { c.Answer(AveragingWindow, "1e308", "Sorry, the averaging window"); }},
    {"averaging window &HFFFF", [](BadInput& c) { c.Answer(AveragingWindow, "&HFFFF"); }},
    {"pause negative", [](BadInput& c) { c.Answer(Pause, "-1"); }},
    {"pause letters", [](BadInput& c) { c.Answer(Pause, "none"); }},
    {"picture that is not a picture", [](BadInput& c) { c.Picture("room.jpg", "not a picture\n", NotAPicture); }},
    {"picture of 20000 x 10000 pixels",
     [](BadInput& c) {
         c.Picture("huge.jpg", PlainJpeg(20000, 10000),
                   QStringLiteral("The picture %1 is 20000 x 10000 pixels, too large to be shown"));
     }},
    // Cut inside the picture data, which decode with the rest left grey.
    {"truncated JPEG", [](BadInput& c) { c.Picture("cut.jpg", FirstHalf(PanoramaJpeg()), Incomplete); }},
    {"truncated JPEG with an end marker in its metadata",
     [](BadInput& c) { c.Picture("cut.jpg", FirstHalf(PanoramaJpegWithThumbnailEnd()), Incomplete); }},
    {"JPEG with an end marker in its metadata: shown",
     [](BadInput& c) { c.Picture("thumb.jpg", PanoramaJpegWithThumbnailEnd()); }},
    {"JPEG followed by other data: shown",
     [](BadInput& c) { c.Picture("motion.jpg", PanoramaJpeg() + QByteArray(4096, '\x5a')); }},
    {"progressive JPEG: shown", [](BadInput& c) { c.Picture("progressive.jpg", PanoramaJpeg(true)); }},
    {"picture that is a folder",
     [](BadInput& c) {
         c.Picture("room.jpg", {}, NotAPicture);
         QFile::remove(*c.picture);
         QDir().mkdir(*c.picture);
     }},
    // Permissions do not stop the superuser: this row only exists for others.
    {ReadOnlyFolderRow,
     [](BadInput& c) {
         c.ChooseGoodFile();
         QFile::setPermissions(c.dir.path(), QFile::ReadOwner | QFile::ExeOwner);
         c.Refused(NoTable.arg(c.Path("room.csv")));
     }},
};

// Clicks "Process" inside the application's event loop, as a user does, and
// returns the loop's exit code: 0 when the window ended the program, 1 when
// the watchdog had to (then also letting any dialog and pause go).
int ProcessUntilTheProgramEnds(Halvane& window)
{
    QTimer::singleShot(0, &window, [&window] {
        QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("Command2")), Qt::LeftButton);
    });
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [&window] {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            dialog->reject();
        }
        window.State().Paused = false;
        window.State().StopRequested = true;
        QCoreApplication::exit(1);
    });
    watchdog.start(WatchdogMs);
    const bool quitOnLastWindow = QGuiApplication::quitOnLastWindowClosed();
    // Only the window itself may end the loop.
    QGuiApplication::setQuitOnLastWindowClosed(false);
    const int code = QCoreApplication::exec();
    QGuiApplication::setQuitOnLastWindowClosed(quitOnLastWindow);
    return code;
}

enum class Moment {
    IntensityPass,
    BetweenPasses,
    DirectionPass,
    Paused,
    FirstPrompt,
    LastPrompt,
    MessageBox,
    MessageBoxAfterIntensityPass,
    BackgroundDialogDuringRun,
    ToolkitPrompt,
    ToolkitMessageBox,
};

}  // namespace

Q_DECLARE_METATYPE(Moment)
Q_DECLARE_METATYPE(RunOutcome)

class BadInputTest : public QObject {
    Q_OBJECT

private slots:
    void badInputGetsAMessageAndLeavesTheWindowUsable_data();
    void badInputGetsAMessageAndLeavesTheWindowUsable();
    void closingAtAnyMomentEndsTheRunWithCompleteTables_data();
    void closingAtAnyMomentEndsTheRunWithCompleteTables();
    void picturesWithinTheStatedLimitAreShown_data();
    void picturesWithinTheStatedLimitAreShown();
};

void BadInputTest::badInputGetsAMessageAndLeavesTheWindowUsable_data()
{
    QTest::addColumn<int>("row");
    for (int row = 0; row < int(std::size(BadInputs)); ++row) {
        if (BadInputs[row].name != ReadOnlyFolderRow || geteuid() != 0) {
            QTest::newRow(BadInputs[row].name) << row;
        }
    }
}

void BadInputTest::badInputGetsAMessageAndLeavesTheWindowUsable()
{
    QFETCH(int, row);
    BadInput c;
    BadInputs[row].set(c);

    FakeDialogs dialogs;
    Halvane window(&dialogs);
    window.show();
    QTemporaryDir goodDir;
    const QString goodPicture = WriteFile(goodDir.filePath(QStringLiteral("panorama.jpg")), PanoramaJpeg());
    dialogs.fileAnswers.push_back(goodPicture);
    window.LoadBackground();
    const QImage mapBefore = window.DirectionMap().Image();
    if (c.chosen) {
        dialogs.fileAnswers.push_back(*c.chosen);
        window.ChooseImpulseResponse();
    }
    if (c.beforeProcess) {
        c.beforeProcess();
    }
    const QMap<QString, QByteArray> before = FilesUnder(c.dir.path());
    const QString input = c.chosen.value_or(QString());
    const QStringList tables = {IntensityTableOf(input), ReferenceTableOf(input)};
    QStringList tablesBefore;
    for (const QString& table : tables) {
        if (QFileInfo::exists(table)) {
            tablesBefore << table;
        }
    }

    QElapsedTimer clock;
    clock.start();
    if (c.picture) {
        const long peakKb = PeakMemoryKb();
        dialogs.fileAnswers.push_back(*c.picture);
        window.LoadBackground();
        QVERIFY2(PeakMemoryKb() - peakKb < PictureMemoryKb, qPrintable(QString::number(PeakMemoryKb() - peakKb)));
        // A refused picture leaves the previous one behind the cleared map;
        // a good one is shown whole.
        const QImage& shown = window.DirectionMap().Image();
        if (c.warning.isEmpty()) {
            const QImage picture(*c.picture);
            for (const QPoint p : {QPoint(0, 0), QPoint(500, 300), QPoint(956, 476)}) {
                QCOMPARE(shown.pixel(p) | 0xff000000u, picture.pixel(p) | 0xff000000u);
            }
        } else {
            QCOMPARE(shown, mapBefore);
        }
    } else {
        for (const QString& answer : c.answers) {
            dialogs.textAnswers.push_back(answer);
        }
        QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("Command2")), Qt::LeftButton);
        QVERIFY2(window.LastRunReport().outcome == c.outcome, window.LastRunReport().message.c_str());
        QCOMPARE(dialogs.prompts.size(), std::size_t{4});
    }
    QVERIFY2(clock.elapsed() < WatchdogMs, qPrintable(QString::number(clock.elapsed())));

    // One clear message, or none.
    if (c.warning.isEmpty()) {
        QCOMPARE(dialogs.warnings, std::vector<QString>{});
    } else {
        QCOMPARE(dialogs.warnings.size(), std::size_t{1});
        QVERIFY2(dialogs.warnings[0].startsWith(c.warning), qPrintable(dialogs.warnings[0]));
    }

    // Nothing written or emptied but the two tables, never the input itself.
    const QMap<QString, QByteArray> after = FilesUnder(c.dir.path());
    for (auto file = before.cbegin(); file != before.cend(); ++file) {
        if (!tables.contains(file.key()) || file.key() == c.chosen) {
            QVERIFY2(after.value(file.key()) == file.value(), qPrintable(file.key()));
        }
    }
    for (const QString& path : after.keys()) {
        QVERIFY2(before.contains(path) || (tables.contains(path) && path != c.chosen), qPrintable(path));
    }
    for (const QString& table : tables) {
        const QFileInfo info(table);
        QVERIFY2(!info.exists() || tablesBefore.contains(table) ||
                     info.absolutePath() == QDir(c.dir.path()).absolutePath(),
                 qPrintable(table));
        if (info.isFile() && table != c.chosen) {
            QVERIFY2(CompleteLines(ReadAll(table)), qPrintable(table));
        }
        QVERIFY2(c.picture || c.outcome != RunOutcome::Completed || info.isFile(), qPrintable(table));
    }

    // The window is ready for the next run.
    QVERIFY(!window.RunUnderWay());
    const QString good = WriteFile(goodDir.filePath(QStringLiteral("good.wav")), PlaneWaveFile());
    dialogs.fileAnswers.push_back(good);
    window.ChooseImpulseResponse();
    const std::size_t warnings = dialogs.warnings.size();
    for (const QString& answer : GoodAnswers) {
        dialogs.textAnswers.push_back(answer);
    }
    QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("Command2")), Qt::LeftButton);
    QCOMPARE(window.LastRunReport().outcome, RunOutcome::Completed);
    QCOMPARE(dialogs.warnings.size(), warnings);
    QCOMPARE(ReadAll(IntensityTableOf(good)), BatchTables().intensity);
    QCOMPARE(ReadAll(ReferenceTableOf(good)), BatchTables().reference);
}

void BadInputTest::closingAtAnyMomentEndsTheRunWithCompleteTables_data()
{
    QTest::addColumn<Moment>("moment");
    QTest::addColumn<RunOutcome>("outcome");
    QTest::newRow("during the intensity pass") << Moment::IntensityPass << RunOutcome::Closed;
    QTest::newRow("between the passes") << Moment::BetweenPasses << RunOutcome::Closed;
    QTest::newRow("during the direction pass") << Moment::DirectionPass << RunOutcome::Closed;
    QTest::newRow("while paused") << Moment::Paused << RunOutcome::Closed;
    QTest::newRow("while the first prompt is open") << Moment::FirstPrompt << RunOutcome::Closed;
    QTest::newRow("while the last prompt is open") << Moment::LastPrompt << RunOutcome::Closed;
    QTest::newRow("while a message box is open") << Moment::MessageBox << RunOutcome::Rejected;
    QTest::newRow("while a message box is open after the intensity pass")
        << Moment::MessageBoxAfterIntensityPass << RunOutcome::Rejected;
    QTest::newRow("while the background picture's dialog is open")
        << Moment::BackgroundDialogDuringRun << RunOutcome::Closed;
    QTest::newRow("while the toolkit's prompt is open") << Moment::ToolkitPrompt << RunOutcome::Closed;
    QTest::newRow("while the toolkit's message box is open") << Moment::ToolkitMessageBox << RunOutcome::Rejected;
}

void BadInputTest::closingAtAnyMomentEndsTheRunWithCompleteTables()
{
    QFETCH(Moment, moment);
    QFETCH(RunOutcome, outcome);
    const bool toolkitDialogs = moment == Moment::ToolkitPrompt || moment == Moment::ToolkitMessageBox;
    const bool refusedFile = moment == Moment::MessageBox || moment == Moment::ToolkitMessageBox;

    QTemporaryDir dir;
    QByteArray wav = PlaneWaveFile();
    if (refusedFile) {
        wav[22] = 2;
    }
    const QString input = WriteFile(dir.filePath(QStringLiteral("room.wav")), wav);
    if (moment == Moment::MessageBoxAfterIntensityPass) {
        QDir().mkdir(ReferenceTableOf(input));
    }

    HookedDialogs dialogs;
    Halvane window(toolkitDialogs ? nullptr : &dialogs);
    window.show();
    window.State().IrFileName = QFile::encodeName(input).toStdString();
    for (const char* answer : {"0", "300", "5", "1"}) {
        dialogs.fake.textAnswers.push_back(QString::fromLatin1(answer));
    }

    bool closed = false;
    std::size_t promptsAtClose = 0;
    std::size_t warningsAtClose = 0;
    int dialogsAfterClose = 0;
    auto close = [&] {
        if (closed) {
            return;
        }
        closed = true;
        promptsAtClose = dialogs.fake.prompts.size();
        warningsAtClose = dialogs.fake.warnings.size();
        window.close();
    };
    auto* textBox = window.findChild<QLineEdit*>(QStringLiteral("TextBox1"));
    int directionWindowsShown = 0;
    QObject::connect(textBox, &QLineEdit::textChanged, &window, [&](const QString& text) {
        if (!text.startsWith(QStringLiteral("Azimuth:")) || ++directionWindowsShown != 10) {
            return;
        }
        // In the run's next yield, as a user's click would arrive.
        QTimer::singleShot(0, &window, [&] {
            switch (moment) {
            case Moment::DirectionPass:
                close();
                break;
            case Moment::Paused:
                QTest::mouseClick(window.findChild<QWidget*>(QStringLiteral("Image1")), Qt::LeftButton);
                QTimer::singleShot(30, &window, close);
                break;
            case Moment::BackgroundDialogDuringRun:
                window.LoadBackground();
                break;
            default:
                break;
            }
        });
    });
    if (moment == Moment::IntensityPass) {
        auto* progress = window.findChild<QProgressBar*>(QStringLiteral("ProgressBar1"));
        QObject::connect(progress, &QProgressBar::valueChanged, &window, [&](int value) {
            if (value >= 30) {
                QTimer::singleShot(0, &window, close);
            }
        });
    }
    // The run's first yield once the reference table is begun (it is
    // written beside its name until it is complete) is the one before the
    // direction pass.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &window, [&] {
        const QFileInfo reference(ReferenceTableOf(input));
        const QStringList begun = reference.dir().entryList(
            {QLatin1Char('.') + reference.fileName() + QStringLiteral(".part-*")}, QDir::Files | QDir::Hidden);
        if (!begun.isEmpty()) {
            close();
        }
    });
    if (moment == Moment::BetweenPasses) {
        poll.start(0);
    }
    dialogs.whileOpen = [&](HookedDialogs::Kind kind) {
        const bool now =
            (moment == Moment::FirstPrompt && kind == HookedDialogs::Kind::Prompt &&
             dialogs.fake.prompts.size() == 1) ||
            (moment == Moment::LastPrompt && kind == HookedDialogs::Kind::Prompt && dialogs.fake.prompts.size() == 4) ||
            (kind == HookedDialogs::Kind::Warning &&
             (moment == Moment::MessageBox || moment == Moment::MessageBoxAfterIntensityPass)) ||
            (moment == Moment::BackgroundDialogDuringRun && kind == HookedDialogs::Kind::File);
        if (closed) {
            ++dialogsAfterClose;
        } else if (now) {
            close();
        }
    };
    // The toolkit's own dialogs: the prompts are accepted with their default
    // answers until the dialog to close over is open; a dialog seen after the
    // close was either asked anew or outlived the window.
    QTimer driver;
    QObject::connect(&driver, &QTimer::timeout, &window, [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr) {
            return;
        }
        const bool target = (moment == Moment::ToolkitPrompt && qobject_cast<QInputDialog*>(dialog)) ||
                            (moment == Moment::ToolkitMessageBox && qobject_cast<QMessageBox*>(dialog));
        if (closed) {
            ++dialogsAfterClose;
            dialog->reject();
        } else if (target) {
            close();
        } else {
            dialog->accept();
        }
    });
    if (toolkitDialogs) {
        driver.start(10);
    }

    QCOMPARE(ProcessUntilTheProgramEnds(window), 0);
    driver.stop();
    QVERIFY(closed);
    QVERIFY(!window.isVisible());
    QVERIFY(!window.RunUnderWay());
    const RunReport& report = window.LastRunReport();
    QCOMPARE(report.outcome, outcome);
    // Nothing asked or shown after the close.
    QCOMPARE(dialogsAfterClose, 0);
    QCOMPARE(dialogs.fake.prompts.size(), promptsAtClose);
    QCOMPARE(dialogs.fake.warnings.size(), warningsAtClose);

    // Each table holds whole CR LF lines, the first lines of the full run's.
    const QByteArray intensity = ReadAll(IntensityTableOf(input));
    const QByteArray reference = ReadAll(ReferenceTableOf(input));
    QVERIFY(CompleteLines(intensity));
    QVERIFY(CompleteLines(reference));
    if (!refusedFile) {
        QVERIFY(BatchTables().intensity.startsWith(intensity));
        QVERIFY(BatchTables().reference.startsWith(reference));
    }
    // The close came at the moment the row names.
    switch (moment) {
    case Moment::IntensityPass:
        QVERIFY(report.intensityRows > 0 && report.intensityRows < 60);
        QVERIFY(!QFile::exists(ReferenceTableOf(input)));
        break;
    case Moment::BetweenPasses:
        QCOMPARE(intensity, BatchTables().intensity);
        QCOMPARE(reference.count('\n'), 1);
        QCOMPARE(report.directionWindows, 0);
        break;
    case Moment::DirectionPass:
    case Moment::Paused:
    case Moment::BackgroundDialogDuringRun:
        QCOMPARE(report.directionWindows, 10);
        QVERIFY(reference.count('\n') > 1);
        break;
    case Moment::FirstPrompt:
    case Moment::LastPrompt:
        QCOMPARE(promptsAtClose, std::size_t{moment == Moment::FirstPrompt ? 1u : 4u});
        QVERIFY(!QFile::exists(IntensityTableOf(input)));
        break;
    case Moment::MessageBoxAfterIntensityPass:
        QCOMPARE(intensity, BatchTables().intensity);
        break;
    case Moment::MessageBox:
    case Moment::ToolkitMessageBox:
        QCOMPARE(intensity, QByteArray());
        break;
    case Moment::ToolkitPrompt:
        QVERIFY(!QFile::exists(IntensityTableOf(input)));
        break;
    }

    // The window is gone for good: "Process" asks nothing any more.
    window.Process();
    QCOMPARE(dialogs.fake.prompts.size(), promptsAtClose);
}

QTEST_MAIN(BadInputTest)
// Colour JPEGs of 32 to 64 megapixels decode to 128 to 256 MB, past the
// toolkit's default allocation limit of 128 MB: the one limit the message
// states (64 megapixels) is the one the loading honours.
void BadInputTest::picturesWithinTheStatedLimitAreShown_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<bool>("shown");
    QTest::newRow("36 megapixels in colour: shown") << 6000 << 6000 << true;
    QTest::newRow("just above 64 megapixels: refused by the stated limit") << 8193 << 8192 << false;
}

void BadInputTest::picturesWithinTheStatedLimitAreShown()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(bool, shown);
    QTemporaryDir dir;
    QImage picture(width, height, QImage::Format_RGB32);
    picture.fill(qRgb(200, 60, 30));
    const QString path = dir.filePath(QStringLiteral("large.jpg"));
    QVERIFY(QImageWriter(path, "jpeg").write(picture));
    picture = QImage();
    const int limitBefore = QImageReader::allocationLimit();

    const LoadedPicture loaded = LoadBackgroundPicture(path);
    QCOMPARE(QImageReader::allocationLimit(), limitBefore);
    if (shown) {
        QVERIFY2(loaded.whyNot.isEmpty(), qPrintable(loaded.whyNot));
        QCOMPARE(loaded.picture.size(), QSize(width, height));
        // JPEG's colour conversion moves a plain colour by a step or two.
        constexpr int JpegColourSteps = 3;
        QVERIFY(qAbs(qRed(loaded.picture.pixel(width - 1, height - 1)) - 200) <= JpegColourSteps);
    } else {
        QVERIFY(loaded.picture.isNull());
        QVERIFY2(loaded.whyNot.contains(QStringLiteral("at most 64 megapixels")), qPrintable(loaded.whyNot));
    }
}

#include "tst_BadInput.moc"
