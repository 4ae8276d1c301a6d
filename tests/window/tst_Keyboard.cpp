// The main window's keyboard: Space pauses and lets a run go on, Escape stops
// it, Ctrl+O is the "..." button, from wherever the focus is; outside a run
// Space keeps its old use (it presses the focused button, it types a blank);
// the symbols' and the button's tooltips; the title naming the window shown
// during the direction pass.
#include <QtTest>

#include <QLineEdit>
#include <QPushButton>
#include <QSlider>

#include "FakeDialogs.h"
#include "WindowRig.h"
#include "app/Halvane.h"
#include "app/RunTitle.h"

using namespace halvane;
using namespace halvane::test;

namespace {

// The run's answers: skip 0, 300 ms shown, 5 ms windows, 1 ms after each.
const QStringList kAnswers{"0", "300", "5", "1"};

// A key pressed and released where the focus is, as a person's key is.
void PressKey(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QWidget* focus = QApplication::focusWidget();
    QVERIFY(focus != nullptr);
    QTest::keyClick(focus, key, modifiers);
}

void FocusOn(Halvane& window, const QString& name)
{
    auto* widget = window.findChild<QWidget*>(name);
    QVERIFY2(widget != nullptr, qPrintable(name));
    widget->setFocus(Qt::OtherFocusReason);
    QCOMPARE(QApplication::focusWidget(), widget);
}

}  // namespace

class KeyboardTest : public QObject {
    Q_OBJECT

private slots:
    void tooltipsNameTheKeys_data();
    void tooltipsNameTheKeys();
    void escapeAndCtrlOFromEveryControl_data();
    void escapeAndCtrlOFromEveryControl();
    void spaceOutsideARunKeepsItsOldUse();
    void spacePausesAndResumesDuringARun_data();
    void spacePausesAndResumesDuringARun();
    void escapeStopsARun();
    void titleNamesTheWindowShownThenTheFileAgain();
    void windowTimeInTheTitle_data();
    void windowTimeInTheTitle();
};

void KeyboardTest::tooltipsNameTheKeys_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("key");
    QTest::newRow("pause symbol") << "Image1"
                                  << "Space";
    QTest::newRow("play symbol") << "Image3"
                                 << "Space";
    QTest::newRow("stop symbol") << "Image4"
                                 << "Esc";
    QTest::newRow("file button") << "Command1"
                                 << "Ctrl+O";
}

void KeyboardTest::tooltipsNameTheKeys()
{
    QFETCH(QString, name);
    QFETCH(QString, key);
    FakeDialogs dialogs;
    Halvane window(&dialogs);
    const QString tip = window.findChild<QWidget*>(name)->toolTip();
    QVERIFY2(tip.contains(QLatin1Char('(') + key + QLatin1Char(')')), qPrintable(tip));
}

void KeyboardTest::escapeAndCtrlOFromEveryControl_data()
{
    QTest::addColumn<QString>("focus");
    for (const char* name : {"TextBox1", "Command1", "Command2", "Picture2", "Picture1", "Picture3", "PgX", "IDc"}) {
        QTest::newRow(name) << QString::fromLatin1(name);
    }
}

void KeyboardTest::escapeAndCtrlOFromEveryControl()
{
    QFETCH(QString, focus);
    FakeDialogs dialogs;
    Halvane window(&dialogs);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    FocusOn(window, focus);

    PressKey(Qt::Key_Escape);
    QVERIFY(window.State().StopRequested);
    QVERIFY(!window.State().Paused);

    dialogs.fileAnswers.push_back(QStringLiteral("/data/ir/hall.wav"));
    PressKey(Qt::Key_O, Qt::ControlModifier);
    QCOMPARE(dialogs.fileRequests.size(), std::size_t{1});
    QCOMPARE(dialogs.fileRequests[0].title, QStringLiteral("Load an Impulse Response File"));
    QCOMPARE(window.State().IrFileName, std::string("/data/ir/hall.wav"));
    QCOMPARE(window.windowTitle(), QStringLiteral("Halvane-Ambix - /data/ir/hall.wav"));
}

void KeyboardTest::spaceOutsideARunKeepsItsOldUse()
{
    FakeDialogs dialogs;
    Halvane window(&dialogs);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    auto* textBox = window.findChild<QLineEdit*>(QStringLiteral("TextBox1"));
    FocusOn(window, QStringLiteral("TextBox1"));
    textBox->setText(QStringLiteral("ab"));
    PressKey(Qt::Key_Space);
    QCOMPARE(textBox->text(), QStringLiteral("ab "));
    FocusOn(window, QStringLiteral("Command1"));
    PressKey(Qt::Key_Space);
    QCOMPARE(dialogs.fileRequests.size(), std::size_t{1});
    QVERIFY(!window.State().Paused);
}

void KeyboardTest::spacePausesAndResumesDuringARun_data()
{
    QTest::addColumn<QString>("focus");
    QTest::newRow("text box") << "TextBox1";
    QTest::newRow("file button") << "Command1";
    QTest::newRow("process button") << "Command2";
    QTest::newRow("meter") << "PgY";
}

void KeyboardTest::spacePausesAndResumesDuringARun()
{
    QFETCH(QString, focus);
    WindowRig rig(PlaneWaveFile());
    QVERIFY(QTest::qWaitForWindowActive(&rig.window));
    rig.ArmWatchdog();
    bool pausedBySpace = false;
    bool resumedBySpace = false;
    QString textWhilePaused;
    rig.AtFirstDirectionWindow([&] {
        FocusOn(rig.window, focus);
        textWhilePaused = rig.Control<QLineEdit>("TextBox1")->text();
        PressKey(Qt::Key_Space);
        pausedBySpace = rig.window.State().Paused;
        QTimer::singleShot(50, &rig.window, [&] {
            PressKey(Qt::Key_Space);
            resumedBySpace = !rig.window.State().Paused;
        });
    });
    rig.Process(kAnswers);
    QVERIFY(!rig.watchdogFired);
    QVERIFY(pausedBySpace);
    QVERIFY(resumedBySpace);
    QCOMPARE(rig.window.LastRunReport().outcome, RunOutcome::Completed);
    // Space was no blank in the text box and no press of a button.
    QVERIFY(!rig.Control<QLineEdit>("TextBox1")->text().endsWith(QLatin1Char(' ')));
    QVERIFY(!textWhilePaused.isEmpty());
    QCOMPARE(rig.dialogs.fileRequests.size(), std::size_t{1});  // the rig's own choice
}

void KeyboardTest::escapeStopsARun()
{
    WindowRig rig(PlaneWaveFile());
    QVERIFY(QTest::qWaitForWindowActive(&rig.window));
    rig.ArmWatchdog();
    rig.AtFirstDirectionWindow([&] {
        FocusOn(rig.window, QStringLiteral("TextBox1"));
        PressKey(Qt::Key_Escape);
    });
    rig.Process(kAnswers);
    QVERIFY(!rig.watchdogFired);
    QCOMPARE(rig.window.LastRunReport().outcome, RunOutcome::Stopped);
    QVERIFY(rig.window.LastRunReport().directionWindows < 60);
}

void KeyboardTest::titleNamesTheWindowShownThenTheFileAgain()
{
    WindowRig rig(PlaneWaveFile());
    const QString fileTitle = QStringLiteral("Halvane-Ambix - ") + rig.folder.WavPath();
    QCOMPARE(rig.window.windowTitle(), fileTitle);
    QStringList titles;
    QObject::connect(&rig.window, &QWidget::windowTitleChanged, &rig.window,
                     [&titles](const QString& title) { titles << title; });
    rig.Process(kAnswers);
    QCOMPARE(rig.window.LastRunReport().outcome, RunOutcome::Completed);
    // Every window of the direction pass in turn (the title changes only
    // when its text does), then the file's title.
    QStringList expected;
    for (int window = 0; window < 60; ++window) {
        expected << fileTitle + QStringLiteral(" - window at %1 ms").arg(5 * window);
    }
    expected << fileTitle;
    QCOMPARE(titles, expected);
    QCOMPARE(rig.window.windowTitle(), fileTitle);
}

void KeyboardTest::windowTimeInTheTitle_data()
{
    QTest::addColumn<double>("timeMs");
    QTest::addColumn<QString>("title");
    QTest::newRow("first window") << 0.0 << "F - window at 0 ms";
    QTest::newRow("whole ms") << 1235.0 << "F - window at 1235 ms";
    QTest::newRow("0.1 ms windows: 3 x 0.1 as the table writes it") << 3 * 0.1 << "F - window at 0.3 ms";
    QTest::newRow("fraction") << 12.5 << "F - window at 12.5 ms";
    QTest::newRow("long file") << 3600000.0 << "F - window at 3600000 ms";
}

void KeyboardTest::windowTimeInTheTitle()
{
    QFETCH(double, timeMs);
    QFETCH(QString, title);
    QCOMPARE(RunTitle::WithWindowTime(QStringLiteral("F"), timeMs), title);
}

QTEST_MAIN(KeyboardTest)
#include "tst_Keyboard.moc"
