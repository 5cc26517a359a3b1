#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace pelagon {

// What the viewer was asked to do on its command line.
struct StartArguments {
    enum class Action {
        Run,      // open the chooser, a map file or the sample map
        Help,     // print the usage and exit
        Version,  // print the version and exit
        Error,    // a usage error: print it and exit with status 2
    };
    Action action = Action::Run;
    QString file;            // the map definition to open, absolute; empty: none given
    bool sample = false;     // --sample: open the installed sample map
    bool newWindow = false;  // --new-window: do not hand the file to a running viewer
    QStringList positions;   // --positions: files to open with the map, absolute
    QString error;           // the usage error, for Action::Error
};

// One option of the viewer, for its usage text and its manual page.
struct StartOption {
    QStringList names;  // "h", "help": one-letter names are written with one dash
    QString help;
    QString value = {};  // the name of the option's value ("FILE"); empty: it takes none
};

// The viewer's options, in the order of the usage text.
const QList<StartOption>& startOptions();

// Reads the command line: arguments as QCoreApplication::arguments() gives them, the program's
// name first. A relative file is made absolute against the working folder; a file: URL becomes
// its local path, and so is each --positions file. At most one map is named; --sample names
// none; --positions needs a map.
StartArguments parseStartArguments(const QStringList& arguments);

// The text of --help and of --version.
QString startUsage();
QString startVersion();

}  // namespace pelagon
