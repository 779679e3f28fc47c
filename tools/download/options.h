// The command line of talveno-download: what it may say, and what a run
// of the downloader is asked to do.
//
// Parsing is pure: it reads the arguments and gives back either the run's
// options, a text to show (help, version) or the reason the command line is
// wrong. It prints nothing and ends nothing; main() does that.
#pragma once

#include <QString>
#include <QStringList>
#include <chrono>
#include <optional>
#include <string>

#include "portsettings.h"

namespace talveno::download {

// The exit status of talveno-download; documented in --help and README.md.
enum ExitCode : int {
    kExitSuccess = 0,    // the file was written (and the bar erased, if asked)
    kExitFailure = 1,    // an unexpected internal failure
    kExitUsage = 2,      // the command line is wrong
    kExitPort = 3,       // the port could not be opened, written or read, or vanished
    kExitBarSilent = 4,  // the bar fell silent before 1000 lines had arrived
    kExitFile = 5,       // a file could not be written
};

// How long the bar may leave a 1000th line without its CR LF before the
// line is taken as it stands.
inline constexpr std::chrono::milliseconds kLastLineSettle{500};

struct Options {
    // The port and its line; the program's design settings unless the
    // command line changes them. With --simulate, port is filled in later
    // with the simulated bar's device.
    link::PortSettings port;
    // Where the readings go, with ".txt" added to a name without extension.
    std::string output;
    // Where the lines that came go when the download stops short, if anywhere.
    std::optional<std::string> partial;
    bool erase = false;
    // How long the bar may stay silent before the download is given up.
    std::chrono::milliseconds timeout{10000};
    bool listPorts = false;
    bool quiet = false;
    // Set when --simulate: the simulated bar's pace in bit/s, 0 unpaced.
    std::optional<int> simulatedBaud;
};

struct CommandLine {
    enum class Action { Download, ListPorts, ShowHelp, ShowVersion, UsageError };
    Action action = Action::UsageError;
    Options options;       // for Download and ListPorts
    QString usageMessage;  // for UsageError: what is wrong, in the user's words
};

// Reads arguments (the program's name first, as QCoreApplication gives
// them). Never throws for a wrong command line: that is a UsageError.
CommandLine parseCommandLine(const QStringList& arguments);

// The texts of --help and --version, each ending in a newline.
QString helpText();
QString versionText();

}  // namespace talveno::download
