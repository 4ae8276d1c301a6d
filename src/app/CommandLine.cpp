#include "app/CommandLine.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdio>

namespace halvane {

namespace {

constexpr int kExitOk = 0;
constexpr int kExitUsage = 2;

// The toolkit's own options, which the application object takes out of the
// arguments after parsing: accepted here so that `halvane -platform offscreen
// FILE` works as with any Qt program. Single-dash words parse as long options.
constexpr const char* kToolkitValueOptions[] = {
    "platform",      "platformpluginpath",
    "platformtheme", "plugin",
    "qmljsdebugger", "qwindowgeometry",
    "geometry",      "qwindowicon",
    "icon",          "qwindowtitle",
    "title",         "session",
    "display",       "name",
    "style",         "stylesheet",
};
constexpr const char* kToolkitFlags[] = {"reverse", "widgetcount", "testability", "nograb", "dograb", "sync"};

QString AbsoluteCleanPath(const QString& path)
{
    return path.isEmpty() ? QString() : QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

CommandLine UsageError(const QString& why)
{
    CommandLine result;
    result.action = StartAction::UsageError;
    result.text = QStringLiteral("halvane: ") + why + QStringLiteral("\n\n") + HalvaneUsage();
    result.exitStatus = kExitUsage;
    return result;
}

}  // namespace

QString HalvaneUsage()
{
    return QStringLiteral("Usage: halvane [FILE] [--background PICTURE] [--results]\n"
                          "\n"
                          "Opens the Halvane window, which shows where the sound energy of a first-order\n"
                          "Ambisonic room impulse response comes from, window by window, and writes its\n"
                          "two CSV tables next to the file.\n"
                          "\n"
                          "  FILE                  a four-channel B-format WAV file (AmbiX: W, Y, Z, X with\n"
                          "                        SN3D gains; 16-bit integer or 32-bit float samples),\n"
                          "                        chosen as if picked with the \"...\" button; Process\n"
                          "                        starts the analysis. A FILE that does not exist is not\n"
                          "                        chosen: the window opens with a warning.\n"
                          "  --background PICTURE  a 960 x 480 equirectangular JPEG panorama of the room,\n"
                          "                        shown behind the map as if chosen with a click on it\n"
                          "  --results             also opens the results window over FILE's whole-response\n"
                          "                        analyses (arrivals, room parameters, exports), as Ctrl+R\n"
                          "                        does in the window\n"
                          "  -h, --help            this text\n"
                          "  -v, --version         the program's version\n"
                          "\n"
                          "A WAV file dropped on the window is chosen; a JPEG picture dropped on the map\n"
                          "becomes its background. 24-bit files, traditional B-format and RF64 files are\n"
                          "made readable with halvane-convert. The toolkit's own options (-platform NAME,\n"
                          "-style NAME, -reverse, ...) are accepted too.\n"
                          "\n"
                          "Exit status: 0 when the window closes and after --help or --version, 2 on wrong\n"
                          "usage.\n");
}

QStringList ArgumentList(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments << QFile::decodeName(argv[i]);
    }
    return arguments;
}

CommandLine ParseCommandLine(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringList{QStringLiteral("v"), QStringLiteral("version")});
    const QCommandLineOption background(QStringLiteral("background"), QString(), QStringLiteral("PICTURE"));
    const QCommandLineOption results(QStringLiteral("results"));
    parser.addOption(results);
    parser.addOption(help);
    parser.addOption(version);
    parser.addOption(background);
    for (const char* name : kToolkitValueOptions) {
        parser.addOption(QCommandLineOption(QString::fromLatin1(name), QString(), QStringLiteral("VALUE")));
    }
    for (const char* name : kToolkitFlags) {
        parser.addOption(QCommandLineOption(QString::fromLatin1(name)));
    }

    // The parser takes the first argument for the program's name; a missing
    // argv[0] (possible from execve) must not swallow the first real argument.
    const QStringList withProgram = arguments.isEmpty() ? QStringList{QStringLiteral("halvane")} : arguments;
    const bool parsed = parser.parse(withProgram);
    // --help and --version answer even beside a mistake elsewhere, as a user
    // asking for help after a wrong attempt expects.
    const QStringList given = parser.optionNames();
    if (given.contains(QStringLiteral("h")) || given.contains(QStringLiteral("help"))) {
        return {StartAction::PrintHelp, {}, {}, HalvaneUsage(), kExitOk};
    }
    if (given.contains(QStringLiteral("v")) || given.contains(QStringLiteral("version"))) {
        return {StartAction::PrintVersion, {}, {}, QStringLiteral("halvane " HALVANE_VERSION "\n"), kExitOk};
    }
    if (!parsed) {
        return UsageError(parser.errorText());
    }
    const QStringList files = parser.positionalArguments();
    if (files.size() > 1) {
        return UsageError(QStringLiteral("one impulse response at a time (%1 files given)").arg(files.size()));
    }
    CommandLine result;
    result.irFile = AbsoluteCleanPath(files.isEmpty() ? QString() : files.front());
    // Given twice, the last one counts, as for most programs' options.
    const QStringList pictures = parser.values(background);
    result.backgroundPicture = AbsoluteCleanPath(pictures.isEmpty() ? QString() : pictures.back());
    result.openResults = parser.isSet(results);
    if (result.openResults && result.irFile.isEmpty()) {
        return UsageError(QStringLiteral("--results needs the FILE whose results it shows"));
    }
    return result;
}

int PrintCommandLineAnswer(const CommandLine& commandLine)
{
    if (commandLine.action == StartAction::OpenWindow) {
        return kExitOk;
    }
    std::FILE* stream = commandLine.action == StartAction::UsageError ? stderr : stdout;
    std::fputs(commandLine.text.toLocal8Bit().constData(), stream);
    std::fflush(stream);
    return commandLine.exitStatus;
}

}  // namespace halvane
