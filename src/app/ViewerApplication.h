#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace pelagon {

// What the viewer's command line asks for: `pelagon [MAP.mv]`, `pelagon --help`,
// `pelagon --version`.
struct ViewerCommandLine {
    enum class Request { Chooser, OpenMap, Help, Version, UsageError };
    Request request = Request::Chooser;
    QString mapFile;  // OpenMap: the definition to open
    QString text;     // Help, Version: what to print; UsageError: what is wrong
};

// Reads the arguments after the program's name (Qt's own options already taken out).
ViewerCommandLine parseViewerCommandLine(const QStringList& arguments);

// The text of `pelagon --help`.
QString viewerUsage();

// Answers --help and --version (and a usage error) on the standard streams before anything needs
// a display: returns the exit status, or nullopt when the program goes on to its windows.
std::optional<int> answerCommandLine(int argc, char* argv[]);

// Names the running application and gives its windows the program's icon. The windows' titles
// are exactly the program's own: no name of the application is appended to them.
void configureViewerApplication();

}  // namespace pelagon
