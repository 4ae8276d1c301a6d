#include "app/QtRunHost.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QGuiApplication>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <cmath>

#include "app/DialogService.h"

namespace halvane {

namespace {

// Longest single sleep asked of the toolkit's timer.
constexpr double LongestTimerMs = 24.0 * 3600.0 * 1000.0;

}  // namespace

QtRunHost::QtRunHost(DialogService& dialogs, QWidget& window) : m_dialogs(dialogs), m_window(window)
{
    m_clock.start();
}

std::optional<std::string> QtRunHost::AskText(const std::string& prompt, const std::string& title,
                                              const std::string& defaultAnswer)
{
    const auto answer = m_dialogs.AskText(QString::fromStdString(prompt), QString::fromStdString(title),
                                          QString::fromStdString(defaultAnswer));
    if (!answer) {
        return std::nullopt;
    }
    return answer->toStdString();
}

void QtRunHost::ShowWarning(const std::string& message) { m_dialogs.ShowWarning(QString::fromStdString(message)); }

void QtRunHost::ResetPointer()
{
    m_window.unsetCursor();
    while (QGuiApplication::overrideCursor() != nullptr) {
        QGuiApplication::restoreOverrideCursor();
    }
}

void QtRunHost::Yield() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

void QtRunHost::WaitForEvents(double maxMs)
{
    if (m_quitRequested || std::isnan(maxMs)) {
        return;
    }
    // The timer's event wakes the sleeping event loop when nothing else does;
    // whole milliseconds rounded up, so a wait never ends early and spins.
    QTimer wakeUp;
    wakeUp.setSingleShot(true);
    wakeUp.setTimerType(Qt::PreciseTimer);
    if (maxMs >= 0) {
        wakeUp.start(static_cast<int>(std::ceil(std::min(maxMs, LongestTimerMs))));
    }
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

double QtRunHost::ClockMs() { return static_cast<double>(m_clock.nsecsElapsed()) / 1e6; }

}  // namespace halvane
