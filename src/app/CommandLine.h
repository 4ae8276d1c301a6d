#pragma once

#include <QString>
#include <QStringList>

namespace halvane {

// What the window's command line asks for.
enum class StartAction {
    OpenWindow,    // open the window, with the file and picture given
    PrintHelp,     // print the help text to standard output, exit 0
    PrintVersion,  // print "halvane VERSION" to standard output, exit 0
    UsageError,    // print the error and the help text to standard error, exit 2
};

struct CommandLine {
    StartAction action = StartAction::OpenWindow;
    QString irFile;             // the impulse response, absolute and cleaned; empty: none given
    QString backgroundPicture;  // the map's background, absolute and cleaned; empty: none given
    QString text;               // what the print actions print, ending in a line break
    int exitStatus = 0;         // the print actions' exit status
    bool openResults = false;   // --results: the results window opens over FILE's results
};

// The help text of `halvane --help`, also the usage printed after an error.
QString HalvaneUsage();

// The arguments as the program received them, argv[0] first, decoded as file
// names are.
QStringList ArgumentList(int argc, char** argv);

// Parses `halvane [FILE] [--background PICTURE] [--results]` (arguments[0]
// is the program and is skipped). --help (-h) and --version (-v) win over
// everything else given. An unknown option, a missing option value, more than
// one FILE or --results without a FILE is a usage error. The toolkit's own options (-platform NAME, -style NAME,
// -reverse, ...) are accepted and left for the application object. Relative
// paths are made absolute against the current folder, as the file dialog
// gives them; whether the files exist is not tested here. An empty FILE or
// PICTURE counts as not given.
CommandLine ParseCommandLine(const QStringList& arguments);

// Prints a print action's text where it belongs (standard output, or standard
// error for a usage error) and gives its exit status. Nothing for OpenWindow.
int PrintCommandLineAnswer(const CommandLine& commandLine);

}  // namespace halvane
