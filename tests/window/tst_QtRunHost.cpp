// The window's side of a run that the display tests do not reach: the
// progress bar's odd values, and waiting in the event loop.
#include <QtTest>

#include <QLineEdit>
#include <QProgressBar>
#include <QSlider>

#include <cmath>
#include <ctime>
#include <memory>

#include "FakeDialogs.h"
#include "app/QtRunHost.h"
#include "display/DrawingSurface.h"
#include "display/LiveDisplay.h"
#include "display/PictureBoxes.h"

using namespace halvane;

namespace {

DisplayControls ProgressOnly(QProgressBar& progress)
{
    DisplayControls controls;
    controls.progress = &progress;
    return controls;
}

struct HostRig {
    HostRig()
        : strip(CreateTimeStrip(&window)), map(CreateDirectionMap(&window)), polar(CreatePolarView(&window)),
          display(*strip, *map, *polar, ProgressOnly(progress), '.'), host(dialogs, window)
    {
        progress.setRange(0, 100);
    }

    QWidget window;
    DrawingSurface* strip;
    DrawingSurface* map;
    DrawingSurface* polar;
    QProgressBar progress;
    test::FakeDialogs dialogs;
    LiveDisplay display;
    QtRunHost host;
};

double ProcessCpuMs() { return 1000.0 * static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

}  // namespace

class QtRunHostTest : public QObject {
    Q_OBJECT

private slots:
    void progressValues_data();
    void progressValues();
    void waitLastsItsLengthWithoutSpinning();
    void waitWithoutLimitEndsAtTheNextEvent();
    void dialogsGoThroughTheDialogService();
};

void QtRunHostTest::progressValues_data()
{
    QTest::addColumn<float>("percent");
    QTest::addColumn<int>("shown");
    QTest::newRow("intensity pass end, 199 of 200 windows") << 99.5f << 100;
    QTest::newRow("half to even") << 98.5f << 98;
    QTest::newRow("slightly negative after a jump back") << -0.4f << 0;
    QTest::newRow("far negative") << -250.0f << 0;
    QTest::newRow("beyond the end") << 130.0f << 100;
    QTest::newRow("one-window pass, 0 over 0: bar unchanged") << std::nanf("") << 37;
    QTest::newRow("end of the run") << 0.0f << 0;
}

void QtRunHostTest::progressValues()
{
    QFETCH(float, percent);
    QFETCH(int, shown);
    HostRig rig;
    rig.progress.setValue(37);
    rig.display.SetProgress(percent);
    QCOMPARE(rig.progress.value(), shown);
}

void QtRunHostTest::waitLastsItsLengthWithoutSpinning()
{
    HostRig rig;
    const double startMs = rig.host.ClockMs();
    const double cpuStartMs = ProcessCpuMs();
    // The run's wait: sleep until the next event or the end of the pause.
    constexpr double PauseMs = 150;
    int rounds = 0;
    while (rig.host.ClockMs() - startMs < PauseMs) {
        rig.host.WaitForEvents(PauseMs - (rig.host.ClockMs() - startMs));
        ++rounds;
    }
    const double elapsedMs = rig.host.ClockMs() - startMs;
    QVERIFY(elapsedMs >= PauseMs);
    QVERIFY2(rounds < 20, qPrintable(QString::number(rounds)));
    QVERIFY2(ProcessCpuMs() - cpuStartMs < 0.2 * PauseMs, qPrintable(QString::number(ProcessCpuMs() - cpuStartMs)));
}

void QtRunHostTest::waitWithoutLimitEndsAtTheNextEvent()
{
    HostRig rig;
    bool delivered = false;
    QTimer::singleShot(40, &rig.window, [&] { delivered = true; });
    const double startMs = rig.host.ClockMs();
    while (!delivered && rig.host.ClockMs() - startMs < 5000) {
        rig.host.WaitForEvents(-1);
    }
    QVERIFY(delivered);
    QVERIFY(rig.host.ClockMs() - startMs < 2000);
    // Once the window is being closed, waits return at once.
    rig.host.RequestQuit();
    QVERIFY(rig.host.ShouldQuit());
    const double quitMs = rig.host.ClockMs();
    rig.host.WaitForEvents(-1);
    QVERIFY(rig.host.ClockMs() - quitMs < 1000);
}

void QtRunHostTest::dialogsGoThroughTheDialogService()
{
    HostRig rig;
    rig.dialogs.textAnswers.push_back(QStringLiteral("12.5 ms"));
    rig.dialogs.textAnswers.push_back(std::nullopt);
    QCOMPARE(rig.host.AskText("Number of ms to skip:", "Initial Delay Removal", "0"),
             std::optional<std::string>("12.5 ms"));
    QCOMPARE(rig.host.AskText("Pause after each line in ms:", "Pause Length", "1"), std::optional<std::string>());
    QCOMPARE(rig.dialogs.prompts[1].title, QStringLiteral("Pause Length"));
    QCOMPARE(rig.dialogs.prompts[1].defaultAnswer, QStringLiteral("1"));
    rig.host.ShowWarning("Sorry, this .WAV file is not 16 or 32 bits!");
    QCOMPARE(rig.dialogs.warnings, std::vector<QString>{QStringLiteral("Sorry, this .WAV file is not 16 or 32 bits!")});
}

QTEST_MAIN(QtRunHostTest)
#include "tst_QtRunHost.moc"
