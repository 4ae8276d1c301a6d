#pragma once

// What the window tests that run whole analyses share: a generated impulse
// response in a folder of its own with the tables a run leaves beside it,
// and the window with fake dialogs and that file chosen, with hooks that act
// during the run's yields as a user's clicks and keys would.
#include <QtTest>

#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>

#include <functional>
#include <memory>

#include "FakeDialogs.h"
#include "TestWavFile.h"
#include "app/Halvane.h"

namespace halvane::test {

// 300 ms of a plane wave at 48 kHz in 32-bit floats: 60 windows of 5 ms.
constexpr int SampleRate = 48000;
constexpr int FrameCount = 14400;
// A run that is meant to finish but is held by a pause is let go after this.
constexpr int WatchdogMs = 10000;

inline QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return file.readAll();
}

inline QList<QByteArray> Lines(const QByteArray& table)
{
    QList<QByteArray> lines = table.split('\n');
    if (!lines.isEmpty() && lines.back().isEmpty()) {
        lines.pop_back();
    }
    return lines;
}

struct Tables {
    QByteArray intensity;
    QByteArray reference;
};

// An impulse response in its own folder, with the tables a run leaves beside it.
class IrFolder {
public:
    explicit IrFolder(const QByteArray& wav)
    {
        QFile file(WavPath());
        if (file.open(QIODevice::WriteOnly)) {
            file.write(wav);
        }
    }
    QString WavPath() const { return m_dir.filePath(QStringLiteral("room.wav")); }
    QString IntensityPath() const { return m_dir.filePath(QStringLiteral("room.csv")); }
    QString ReferencePath() const { return m_dir.filePath(QStringLiteral("room_ref.csv")); }
    Tables Read() const { return {ReadAll(IntensityPath()), ReadAll(ReferencePath())}; }

private:
    QTemporaryDir m_dir;
};

inline QByteArray PlaneWaveFile()
{
    return test::MakeBFormatWav(SampleRate, 32, test::PlaneWaveFrames(FrameCount, 30, 10, 0.5));
}

// The window, its fake dialogs and a file chosen through "...".
struct WindowRig {
    explicit WindowRig(const QByteArray& wav) : folder(wav), window(&dialogs)
    {
        window.show();
        dialogs.fileAnswers.push_back(folder.WavPath());
        window.ChooseImpulseResponse();
    }

    // Clicks "Process" with the four answers; returns when the run has ended.
    void Process(QStringList answers)
    {
        for (const QString& answer : answers) {
            dialogs.textAnswers.push_back(answer);
        }
        QTest::mouseClick(Control<QPushButton>("Command2"), Qt::LeftButton);
    }

    template <typename T> T* Control(const char* name) { return window.findChild<T*>(QString::fromLatin1(name)); }

    // Once the first direction-pass window is shown, action runs in the
    // run's next yield to the event loop, as a user's click would.
    void AtFirstDirectionWindow(std::function<void()> action)
    {
        auto done = std::make_shared<bool>(false);
        QObject::connect(Control<QLineEdit>("TextBox1"), &QLineEdit::textChanged, &window,
                         [this, done, action](const QString& text) {
                             if (!*done && text.startsWith(QStringLiteral("Azimuth:"))) {
                                 *done = true;
                                 QTimer::singleShot(0, &window, action);
                             }
                         });
    }

    // Once the intensity pass's progress reaches percent, action runs in the
    // run's next yield.
    void AtIntensityProgress(int percent, std::function<void()> action)
    {
        auto done = std::make_shared<bool>(false);
        QObject::connect(Control<QProgressBar>("ProgressBar1"), &QProgressBar::valueChanged, &window,
                         [this, done, action, percent](int value) {
                             if (!*done && value >= percent) {
                                 *done = true;
                                 QTimer::singleShot(0, &window, action);
                             }
                         });
    }

    void Click(const char* name) { QTest::mouseClick(Control<QWidget>(name), Qt::LeftButton); }

    // Lets a run held by a pause go after WatchdogMs, so a fault fails the
    // test instead of hanging it.
    void ArmWatchdog()
    {
        QTimer::singleShot(WatchdogMs, &window, [this] {
            if (window.RunUnderWay()) {
                watchdogFired = true;
                window.State().Paused = false;
                window.State().StopRequested = true;
            }
        });
    }

    FakeDialogs dialogs;
    IrFolder folder;
    Halvane window;
    bool watchdogFired = false;
};

}  // namespace halvane::test
