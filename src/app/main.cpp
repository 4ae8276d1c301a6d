#include <QApplication>
#include <QTimer>

#include "app/CommandLine.h"
#include "app/Halvane.h"

int main(int argc, char** argv)
{
    // Parsed before the application object exists, so that --help and
    // --version answer without a display.
    const halvane::CommandLine commandLine = halvane::ParseCommandLine(halvane::ArgumentList(argc, argv));
    if (commandLine.action != halvane::StartAction::OpenWindow) {
        return halvane::PrintCommandLineAnswer(commandLine);
    }
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("halvane"));
    QApplication::setApplicationVersion(QStringLiteral(HALVANE_VERSION));
    // Ties the window to its desktop entry (its icon and name in a dock).
    QGuiApplication::setDesktopFileName(QStringLiteral("halvane"));
    halvane::Halvane window;
    window.show();
    // From the event loop, so that a warning about the file or the picture
    // opens over the window already shown.
    QTimer::singleShot(0, &window, [&window, &commandLine] {
        window.OpenAtStart(commandLine.irFile, commandLine.backgroundPicture);
        if (commandLine.openResults) window.OpenResults();
    });
    return QApplication::exec();
}
