#include "app/ViewerApplication.h"

#include <QApplication>

#include <cstdio>

#include "common/EchoText.h"
#include "common/ProgramInfo.h"
#include "tools/ToolbarFaceIconEngine.h"

namespace pelagon {

namespace {

bool isOption(const QString& word) {
    return word.size() > 1 && word.startsWith(QLatin1Char('-'));
}

}  // namespace

QString viewerUsage() {
    return QStringLiteral(
               "Usage: pelagon [MAP.mv]\n"
               "\n"
               "%1, a map viewer for fishery management areas.\n"
               "Without an argument it shows the map chooser; with a map definition (.mv) it "
               "opens\n"
               "that map directly. The map's folder becomes the working folder.\n"
               "\n"
               "Options:\n"
               "  -h, --help     show this help and exit\n"
               "  --version      show the version and exit\n"
               "\n"
               "pelagon-cli does the same work without a window (pelagon-cli --help).\n")
        .arg(programName());
}

ViewerCommandLine parseViewerCommandLine(const QStringList& arguments) {
    ViewerCommandLine line;
    bool optionsEnded = false;
    for (const QString& word : arguments) {
        if (!optionsEnded && word == QStringLiteral("--")) {
            optionsEnded = true;
            continue;
        }
        if (!optionsEnded && (word == QStringLiteral("--help") || word == QStringLiteral("-h"))) {
            return {ViewerCommandLine::Request::Help, {}, viewerUsage()};
        }
        if (!optionsEnded && word == QStringLiteral("--version")) {
            return {ViewerCommandLine::Request::Version,
                    {},
                    QStringLiteral("pelagon %1\n").arg(programVersion())};
        }
        if (!optionsEnded && isOption(word)) {
            return {ViewerCommandLine::Request::UsageError,
                    {},
                    QStringLiteral("pelagon: unknown option %1\nTry 'pelagon --help'.\n")
                        .arg(echoValue(word))};
        }
        if (!line.mapFile.isEmpty()) {
            return {ViewerCommandLine::Request::UsageError,
                    {},
                    QStringLiteral("pelagon: one map at a time; unexpected argument %1\nTry "
                                   "'pelagon --help'.\n")
                        .arg(echoValue(word))};
        }
        line.request = ViewerCommandLine::Request::OpenMap;
        line.mapFile = word;
    }
    return line;
}

std::optional<int> answerCommandLine(int argc, char* argv[]) {
    // Only the requests that must work without a display are answered here; Qt's own options
    // (-platform, -style, ...) are left for the application to take out.
    for (int i = 1; i < argc; ++i) {
        const QString word = QString::fromLocal8Bit(argv[i]);
        if (word == QStringLiteral("--")) {
            break;
        }
        if (word == QStringLiteral("--help") || word == QStringLiteral("-h") ||
            word == QStringLiteral("--version")) {
            const ViewerCommandLine line = parseViewerCommandLine({word});
            std::fputs(line.text.toLocal8Bit().constData(), stdout);
            std::fflush(stdout);
            return 0;
        }
    }
    return std::nullopt;
}

void configureViewerApplication() {
    QApplication::setApplicationName(QStringLiteral("pelagon"));
    QApplication::setApplicationVersion(programVersion());
    QApplication::setOrganizationName(QStringLiteral("Dudadiruz"));
    // No application display name: the window system would append it to every window's title.
    // The Fish Tool's face doubles as the program's icon.
    QApplication::setWindowIcon(toolbarFaceIcon(6));
}

}  // namespace pelagon
