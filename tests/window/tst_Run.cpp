// Whole runs inside the window on generated files, the dialogs answered by a
// fake: tables against the batch command, the prompts' defaults, and the run
// controls driven by events delivered during the run's yields.
#include <QtTest>

#include <QLineEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>

#include <ctime>
#include <functional>

#include "FakeDialogs.h"
#include "TestWavFile.h"
#include "WindowRig.h"
#include "app/Halvane.h"
#include "display/DrawingSurface.h"
#include "display/PictureBoxes.h"
#include "display/StaticDiagrams.h"

using namespace halvane;
using halvane::test::FakeDialogs;
using namespace halvane::test;

namespace {

// The tables halvane-batch writes for the same file and answers.
Tables BatchTables(const QByteArray& wav, const QString& skipMs, const QString& displayMs, const QString& windowMs)
{
    IrFolder folder(wav);
    QProcess batch;
    batch.start(QStringLiteral(HALVANE_BATCH_PATH),
                {"--skip", skipMs, "--display", displayMs, "--window", windowMs, folder.WavPath()});
    if (!batch.waitForFinished(30000) || batch.exitCode() != 0) {
        qWarning("halvane-batch failed: %s", batch.readAllStandardError().constData());
        return {};
    }
    return folder.Read();
}

// The colours the strip shows without a marker: white, the two bars, the grid.
bool IsStripColour(QRgb pixel)
{
    pixel |= 0xff000000u;
    return pixel == 0xffffffffu || pixel == qRgb(48, 32, 32) || pixel == qRgb(0, 0, 255) ||
           pixel == qRgb(128, 128, 128);
}

// The columns of the strip that carry the XOR marker (its colours are a strip
// colour XOR red); {-1, -1} when there is none.
std::pair<int, int> MarkerColumns(const DrawingSurface& strip)
{
    int first = -1;
    int last = -1;
    const QImage& image = strip.Image();
    for (int column = 0; column < image.width(); ++column) {
        const QRgb pixel = image.pixel(column, 1);
        if (!IsStripColour(pixel) && IsStripColour(pixel ^ 0x00ff0000u)) {
            first = first < 0 ? column : first;
            last = column;
        }
    }
    return {first, last};
}

double ProcessCpuMs() { return 1000.0 * static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

}  // namespace

class RunTest : public QObject {
    Q_OBJECT

private slots:
    void wholeRunWritesTheBatchCommandsTables();
    void afterTheRunTheStripHasNoMarkerAndTheMapOnlyItsScale();
    void promptsOfferTheDefaultsThenThePreviousAnswers();
    void cancelledPrompts();
    void pauseHoldsTheRunWithoutUsingTheProcessor();
    void jumpWhilePausedComputesTheChosenWindowNext();
    void stopDuringTheIntensityPass();
    void pauseAndStopBeforeProcessDoNotAffectTheRun();
    void closingDuringTheIntensityPassKeepsCompleteRows();
    void closingWhilePausedEndsTheRunAtOnce();
    void secondProcessClickDuringARunIsIgnored();
    void choosingAnotherFileDuringARunKeepsReadingTheFirst();
    void loadingABackgroundDuringARun();
    void rejectedFileShowsOneWarning();
};

void RunTest::wholeRunWritesTheBatchCommandsTables()
{
    const QByteArray wav = PlaneWaveFile();
    WindowRig rig(wav);
    rig.Process({"0", "300", "5", "0"});
    QCOMPARE(rig.window.LastRunReport().outcome, RunOutcome::Completed);
    QVERIFY(rig.dialogs.warnings.empty());
    const Tables window = rig.folder.Read();
    const Tables batch = BatchTables(wav, "0", "300", "5");
    QVERIFY(!batch.intensity.isEmpty() && !batch.reference.isEmpty());
    QCOMPARE(Lines(window.intensity).size(), 61);
    QVERIFY(Lines(window.reference).size() > 10);
    QCOMPARE(window.intensity, batch.intensity);
    QCOMPARE(window.reference, batch.reference);
    QCOMPARE(rig.Control<QProgressBar>("ProgressBar1")->value(), 0);

    // With a skip and a fractional first window as well.
    rig.Process({"12", "200", "5", "0"});
    const Tables skipped = BatchTables(wav, "12", "200", "5");
    QCOMPARE(rig.folder.Read().intensity, skipped.intensity);
    QCOMPARE(rig.folder.Read().reference, skipped.reference);
}

void RunTest::afterTheRunTheStripHasNoMarkerAndTheMapOnlyItsScale()
{
    WindowRig rig(PlaneWaveFile());
    rig.Process({"20", "280", "5", "0"});
    QCOMPARE(rig.window.LastRunReport().outcome, RunOutcome::Completed);

    const QImage& strip = rig.window.TimeStrip().Image();
    bool energy = false, intensity = false, grid = false;
    for (int y = 0; y < strip.height(); ++y) {
        for (int x = 0; x < strip.width(); ++x) {
            const QRgb pixel = strip.pixel(x, y) | 0xff000000u;
            QVERIFY2(IsStripColour(pixel), qPrintable(QStringLiteral("%1 at %2,%3").arg(pixel, 0, 16).arg(x).arg(y)));
            energy = energy || pixel == qRgb(48, 32, 32);
            intensity = intensity || pixel == qRgb(0, 0, 255);
            grid = grid || pixel == qRgb(128, 128, 128);
        }
    }
    QVERIFY(energy && intensity && grid);

    // The map: the placeholder and the scale, nothing else.
    std::unique_ptr<DrawingSurface> expected(CreateDirectionMap(nullptr));
    expected->setFont(rig.window.DirectionMap().font());
    expected->SetPenMode(PenMode::Merge);
    DrawMapScale(*expected, 20, 280, '.');
    QCOMPARE(rig.window.DirectionMap().Image(), expected->Image());

    // A plane wave from azimuth 30, elevation 10: the last window's meters.
    auto* pgY = rig.Control<QSlider>("PgY");
    QVERIFY(pgY->value() < -30 && pgY->value() > -70);
    QCOMPARE(rig.Control<QLineEdit>("TextBox1")->text().left(8), QStringLiteral("Azimuth:"));
}

void RunTest::promptsOfferTheDefaultsThenThePreviousAnswers()
{
    WindowRig rig(PlaneWaveFile());
    rig.Process({"20", "300", "10", "2"});
    QCOMPARE(rig.dialogs.prompts.size(), std::size_t{4});
    const FakeDialogs::Prompt expected[] = {
        {"Number of ms to skip:", "Initial Delay Removal", "0"},
        {"Displayed window in ms:", "Window Length", "1000"},
        {"Averaging window in ms:", "Window Length", "5"},
        {"Pause after each line in ms:", "Pause Length", "1"},
    };
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(rig.dialogs.prompts[i].prompt, expected[i].prompt);
        QCOMPARE(rig.dialogs.prompts[i].title, expected[i].title);
        QCOMPARE(rig.dialogs.prompts[i].defaultAnswer, expected[i].defaultAnswer);
    }
    rig.Process({"12.5", "300", "5", "0"});
    QCOMPARE(rig.dialogs.prompts[4].defaultAnswer, QStringLiteral("20"));
    QCOMPARE(rig.dialogs.prompts[5].defaultAnswer, QStringLiteral("300"));
    QCOMPARE(rig.dialogs.prompts[6].defaultAnswer, QStringLiteral("10"));
    QCOMPARE(rig.dialogs.prompts[7].defaultAnswer, QStringLiteral("2"));
    // A fractional answer comes back as typed; a pause of 0 is offered as 1 again.
    rig.Process({"0", "300", "5", "0"});
    QCOMPARE(rig.dialogs.prompts[8].defaultAnswer, QStringLiteral("12.5"));
    QCOMPARE(rig.dialogs.prompts[11].defaultAnswer, QStringLiteral("1"));
}

void RunTest::cancelledPrompts()
{
    WindowRig rig(PlaneWaveFile());
    rig.window.State().SkipMs = 40;
    // Cancelling the skip prompt stores 0, and the run goes on.
    rig.dialogs.textAnswers = {std::nullopt, QString("300"), QString("5"), QString("0")};
    QTest::mouseClick(rig.Control<QPushButton>("Command2"), Qt::LeftButton);
    QCOMPARE(rig.window.State().SkipMs, 0.0);
    QCOMPARE(rig.window.LastRunReport().outcome, RunOutcome::Completed);
    QCOMPARE(Lines(rig.folder.Read().intensity).size(), 61);

    // A cancelled averaging window leaves 0 for this run, which cannot
    // proceed; the next run offers 5 again.
    rig.dialogs.textAnswers = {QString("0"), QString("300"), std::nullopt, QString("0")};
    QTest::mouseClick(rig.Control<QPushButton>("Command2"), Qt::LeftButton);
    QCOMPARE(rig.window.State().AveragingWindowMs, 0.0);
    QCOMPARE(rig.window.LastRunReport().outcome, RunOutcome::Rejected);
    QCOMPARE(rig.dialogs.warnings.size(), std::size_t{1});
    rig.Process({"0", "300", "5", "0"});
    QCOMPARE(rig.dialogs.prompts[10].defaultAnswer, QStringLiteral("5"));
    QCOMPARE(rig.window.LastRunReport().outcome, RunOutcome::Completed);
}

void RunTest::pauseHoldsTheRunWithoutUsingTheProcessor()
{
    const QByteArray wav = PlaneWaveFile();
    WindowRig rig(wav);
    constexpr int PausedMs = 400;
    double cpuAtPause = 0;
    double cpuDuringPause = -1;
    std::pair<int, int> markerWhilePaused{-2, -2};
    QElapsedTimer wall;
    rig.AtFirstDirectionWindow([&] {
        rig.Click("Image1");
        cpuAtPause = ProcessCpuMs();
        QTimer::singleShot(PausedMs, &rig.window, [&] {
            cpuDuringPause = ProcessCpuMs() - cpuAtPause;
            markerWhilePaused = MarkerColumns(rig.window.TimeStrip());
            rig.Click("Image3");
        });
    });
    rig.ArmWatchdog();
    wall.start();
    rig.Process({"0", "300", "5", "1"});
    QVERIFY(!rig.watchdogFired);
    QVERIFY(wall.elapsed() >= PausedMs);
    // Held at the first window: its marker, 0 to 5 ms, stood on the strip.
    QCOMPARE(markerWhilePaused.first, 0);
    QVERIFY(markerWhilePaused.second >= 14 && markerWhilePaused.second <= 16);
    // Sleeping in the event loop: a few ms at most over the whole pause.
    QVERIFY2(cpuDuringPause >= 0 && cpuDuringPause < 0.1 * PausedMs, qPrintable(QString::number(cpuDuringPause)));
    QCOMPARE(rig.window.LastRunReport().outcome, RunOutcome::Completed);
    QCOMPARE(rig.folder.Read().reference, BatchTables(wav, "0", "300", "5").reference);
}

void RunTest::jumpWhilePausedComputesTheChosenWindowNext()
{
    const QByteArray wav = PlaneWaveFile();
    WindowRig rig(wav);
    std::pair<int, int> markerAfterJump{-2, -2};
    DrawingSurface& strip = rig.window.TimeStrip();
    rig.AtFirstDirectionWindow([&] {
        rig.Click("Image1");
        QTimer::singleShot(30, &rig.window, [&] {
            // The window starting at 200 ms: press a little inside it.
            const int column = *strip.Scale().ColumnOf(201);
            QTest::mousePress(&strip, Qt::LeftButton, {}, QPoint(column + DrawingSurface::BorderPx, 20));
            QTest::mouseRelease(&strip, Qt::LeftButton, {}, QPoint(column + DrawingSurface::BorderPx, 20));
            // Once the marker has left window 0 the run is waiting on the
            // window it jumped to, still paused; then resume.
            auto* poll = new QTimer(&rig.window);
            connect(poll, &QTimer::timeout, &rig.window, [&, poll] {
                if (MarkerColumns(strip).first != 0) {
                    poll->stop();
                    markerAfterJump = MarkerColumns(strip);
                    rig.Click("Image3");
                }
            });
            poll->start(10);
        });
    });
    rig.ArmWatchdog();
    rig.Process({"0", "300", "5", "1"});
    QVERIFY(!rig.watchdogFired);
    QCOMPARE(rig.window.LastRunReport().outcome, RunOutcome::Completed);
    // Still paused after the jump, the run waited on window 40 (200 to 205 ms).
    QCOMPARE(markerAfterJump.first, *strip.Scale().ColumnOf(200));
    QCOMPARE(rig.window.LastRunReport().directionWindows, 1 + 20);

    // The rows: window 0, then windows 40 to 59 with their own times.
    QList<QByteArray> expected;
    const QList<QByteArray> batch = Lines(BatchTables(wav, "0", "300", "5").reference);
    for (qsizetype i = 0; i < batch.size(); ++i) {
        const double timeMs = batch[i].split(',').front().toDouble();
        if (i == 0 || batch[i].startsWith("0,") || timeMs >= 200) {
            expected << batch[i];
        }
    }
    QCOMPARE(Lines(rig.folder.Read().reference), expected);
    QVERIFY(Lines(rig.folder.Read().reference).at(2).startsWith("200,"));
}

void RunTest::stopDuringTheIntensityPass()
{
    const QByteArray wav = PlaneWaveFile();
    WindowRig rig(wav);
    rig.AtIntensityProgress(50, [&] { rig.Click("Image4"); });
    rig.Process({"0", "300", "5", "1"});
    const RunReport& report = rig.window.LastRunReport();
    QCOMPARE(report.outcome, RunOutcome::Stopped);
    QCOMPARE(report.directionWindows, 1);
    const Tables batch = BatchTables(wav, "0", "300", "5");
    QCOMPARE(rig.folder.Read().intensity, batch.intensity);
    QCOMPARE(Lines(rig.folder.Read().reference), Lines(batch.reference).mid(0, 2));
    QCOMPARE(MarkerColumns(rig.window.TimeStrip()), std::make_pair(-1, -1));
    QCOMPARE(rig.Control<QProgressBar>("ProgressBar1")->value(), 0);
}

void RunTest::pauseAndStopBeforeProcessDoNotAffectTheRun()
{
    const QByteArray wav = PlaneWaveFile();
    WindowRig rig(wav);
    rig.Click("Image1");
    rig.Click("Image4");
    rig.ArmWatchdog();
    rig.Process({"0", "300", "5", "0"});
    QVERIFY(!rig.watchdogFired);
    QCOMPARE(rig.window.LastRunReport().outcome, RunOutcome::Completed);
    QCOMPARE(rig.folder.Read().reference, BatchTables(wav, "0", "300", "5").reference);
}

void RunTest::closingDuringTheIntensityPassKeepsCompleteRows()
{
    const QByteArray wav = PlaneWaveFile();
    WindowRig rig(wav);
    rig.AtIntensityProgress(30, [&] { rig.window.close(); });
    rig.Process({"0", "300", "5", "1"});
    const RunReport& report = rig.window.LastRunReport();
    QCOMPARE(report.outcome, RunOutcome::Closed);
    QVERIFY(!rig.window.isVisible());
    QVERIFY(report.intensityRows > 0 && report.intensityRows < 60);
    const QByteArray table = rig.folder.Read().intensity;
    QVERIFY(table.endsWith("\r\n"));
    const QList<QByteArray> rows = Lines(table);
    QCOMPARE(rows.size(), report.intensityRows + 1);
    QCOMPARE(rows, Lines(BatchTables(wav, "0", "300", "5").intensity).mid(0, rows.size()));
    QVERIFY(!QFile::exists(rig.folder.ReferencePath()));
    QCOMPARE(rig.dialogs.prompts.size(), std::size_t{4});
    QVERIFY(rig.dialogs.warnings.empty());
    // The window is gone for good: "Process" does nothing any more.
    rig.window.Process();
    QCOMPARE(rig.dialogs.prompts.size(), std::size_t{4});
}

void RunTest::closingWhilePausedEndsTheRunAtOnce()
{
    const QByteArray wav = PlaneWaveFile();
    WindowRig rig(wav);
    rig.AtFirstDirectionWindow([&] {
        rig.Click("Image1");
        QTimer::singleShot(30, &rig.window, [&] { rig.window.close(); });
    });
    rig.ArmWatchdog();
    rig.Process({"0", "300", "5", "1"});
    QVERIFY(!rig.watchdogFired);
    QCOMPARE(rig.window.LastRunReport().outcome, RunOutcome::Closed);
    QCOMPARE(rig.window.LastRunReport().directionWindows, 1);
    const QByteArray reference = rig.folder.Read().reference;
    QVERIFY(reference.endsWith("\r\n"));
    QCOMPARE(Lines(reference), Lines(BatchTables(wav, "0", "300", "5").reference).mid(0, 2));
}

void RunTest::secondProcessClickDuringARunIsIgnored()
{
    const QByteArray wav = PlaneWaveFile();
    WindowRig rig(wav);
    rig.AtFirstDirectionWindow([&] { QTest::mouseClick(rig.Control<QPushButton>("Command2"), Qt::LeftButton); });
    rig.Process({"0", "300", "5", "1"});
    QCOMPARE(rig.dialogs.prompts.size(), std::size_t{4});
    QCOMPARE(rig.window.LastRunReport().outcome, RunOutcome::Completed);
    QCOMPARE(rig.window.LastRunReport().directionWindows, 60);
    const Tables batch = BatchTables(wav, "0", "300", "5");
    QCOMPARE(rig.folder.Read().intensity, batch.intensity);
    QCOMPARE(rig.folder.Read().reference, batch.reference);
}

void RunTest::choosingAnotherFileDuringARunKeepsReadingTheFirst()
{
    const QByteArray wav = PlaneWaveFile();
    WindowRig rig(wav);
    const QString other = rig.folder.WavPath() + QStringLiteral(".other.wav");
    rig.AtFirstDirectionWindow([&] {
        rig.dialogs.fileAnswers.push_back(other);
        rig.window.ChooseImpulseResponse();
    });
    rig.Process({"0", "300", "5", "1"});
    QCOMPARE(rig.window.windowTitle(), QStringLiteral("Halvane-Ambix - ") + other);
    QCOMPARE(QString::fromStdString(rig.window.State().IrFileName), other);
    QCOMPARE(rig.window.LastRunReport().outcome, RunOutcome::Completed);
    QCOMPARE(rig.folder.Read().reference, BatchTables(wav, "0", "300", "5").reference);
}

void RunTest::loadingABackgroundDuringARun()
{
    QTemporaryDir pictures;
    QImage panorama(960, 480, QImage::Format_RGB32);
    panorama.fill(qRgb(0, 0, 0));
    const QString path = pictures.filePath(QStringLiteral("room.jpg"));
    QVERIFY(panorama.save(path, "JPG", 100));
    WindowRig rig(PlaneWaveFile());
    rig.AtFirstDirectionWindow([&] {
        rig.dialogs.fileAnswers.push_back(path);
        rig.window.LoadBackground();
    });
    rig.Process({"0", "300", "5", "0"});
    QCOMPARE(rig.window.LastRunReport().outcome, RunOutcome::Completed);
    // The run went on over the new picture; its last clearing redrew the scale.
    std::unique_ptr<DrawingSurface> expected(CreateDirectionMap(nullptr));
    expected->setFont(rig.window.DirectionMap().font());
    expected->SetBackgroundPicture(QImage(path));
    expected->Clear();
    expected->SetPenMode(PenMode::Merge);
    DrawMapScale(*expected, 0, 300, '.');
    QCOMPARE(rig.window.DirectionMap().Image(), expected->Image());
}

void RunTest::rejectedFileShowsOneWarning()
{
    // Two channels: refused before any row is written.
    QByteArray stereo = PlaneWaveFile();
    stereo[22] = 2;
    WindowRig rig(stereo);
    rig.Process({"0", "300", "5", "0"});
    QCOMPARE(rig.window.LastRunReport().outcome, RunOutcome::Rejected);
    // The core's message, and the converter's command on a line of its own.
    QCOMPARE(rig.dialogs.warnings.size(), std::size_t{1});
    QCOMPARE(rig.dialogs.warnings[0].section(QLatin1Char('\n'), 0, 0),
             QStringLiteral("Sorry, this is not a 4-ch. .WAV file!"));
    QCOMPARE(rig.dialogs.warnings[0].count(QLatin1Char('\n')), 1);
    QCOMPARE(rig.folder.Read().intensity, QByteArray());
    QVERIFY(!QFile::exists(rig.folder.ReferencePath()));
    QVERIFY(rig.window.isVisible());
}

QTEST_MAIN(RunTest)
#include "tst_Run.moc"
