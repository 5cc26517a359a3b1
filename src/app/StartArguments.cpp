#include "app/StartArguments.h"
#include "common/ProgramInfo.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace pelagon {

namespace {

const QString kSample = QStringLiteral("sample");
const QString kNewWindow = QStringLiteral("new-window");
const QString kHelp = QStringLiteral("help");
const QString kVersion = QStringLiteral("version");
const QString kPositions = QStringLiteral("positions");

// A map named on the command line: a path, or a file: URL as some launchers pass it.
QString localPath(const QString& word, QString* error) {
    if (!word.startsWith(QStringLiteral("file:"), Qt::CaseInsensitive)) {
        return word;
    }
    QUrl url(word);
    if (url.host().compare(QStringLiteral("localhost"), Qt::CaseInsensitive) == 0) {
        url.setHost(QString());
    }
    if (!url.isValid() || !url.isLocalFile() || !url.host().isEmpty()) {
        *error = QStringLiteral("%1 is not a file on this computer").arg(word);
        return {};
    }
    return url.toLocalFile();
}

}  // namespace

const QList<StartOption>& startOptions() {
    static const QList<StartOption> options = {
        {{kSample}, QStringLiteral("open the sample map of Alaska that comes with the viewer")},
        {{kNewWindow},
         QStringLiteral("open the map in a viewer of its own, even when one is running")},
        {{kPositions},
         QStringLiteral("open a file of vessel positions (CSV or GPX) with the map, as File > "
                        "Open positions does; give it once per file"),
         QStringLiteral("FILE")},
        {{QStringLiteral("h"), kHelp}, QStringLiteral("show this help and exit")},
        {{QStringLiteral("v"), kVersion}, QStringLiteral("show the version and exit")},
    };
    return options;
}

StartArguments parseStartArguments(const QStringList& arguments) {
    QCommandLineParser parser;
    for (const StartOption& o : startOptions()) {
        parser.addOption(QCommandLineOption(o.names, o.help, o.value));
    }
    parser.addPositionalArgument(QStringLiteral("MAP.mv"), QStringLiteral("a map definition"));

    StartArguments result;
    auto fail = [&result](const QString& text) {
        result.action = StartArguments::Action::Error;
        result.error = text;
        return result;
    };
    if (!parser.parse(arguments)) {
        return fail(parser.errorText());
    }
    if (parser.isSet(kHelp)) {
        result.action = StartArguments::Action::Help;
        return result;
    }
    if (parser.isSet(kVersion)) {
        result.action = StartArguments::Action::Version;
        return result;
    }
    result.sample = parser.isSet(kSample);
    result.newWindow = parser.isSet(kNewWindow);
    const QStringList files = parser.positionalArguments();
    if (files.size() > 1) {
        return fail(QStringLiteral("one map at a time: %1 maps were named (%2)")
                        .arg(files.size())
                        .arg(files.join(QStringLiteral(", "))));
    }
    if (result.sample && !files.isEmpty()) {
        return fail(QStringLiteral("--sample opens the sample map; it cannot be given with %1")
                        .arg(files.first()));
    }
    if (!files.isEmpty()) {
        if (files.first().isEmpty()) {
            return fail(QStringLiteral("the map's name is empty"));
        }
        QString error;
        const QString path = localPath(files.first(), &error);
        if (!error.isEmpty()) {
            return fail(error);
        }
        result.file = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    }
    for (const QString& word : parser.values(kPositions)) {
        if (word.isEmpty()) {
            return fail(QStringLiteral("the name of a positions file is empty"));
        }
        QString error;
        const QString path = localPath(word, &error);
        if (!error.isEmpty()) {
            return fail(error);
        }
        result.positions.append(QDir::cleanPath(QFileInfo(path).absoluteFilePath()));
    }
    if (!result.positions.isEmpty() && result.file.isEmpty() && !result.sample) {
        return fail(QStringLiteral("--positions opens positions on a map: name the map (MAP.mv) "
                                   "or give --sample"));
    }
    return result;
}

QString startUsage() {
    QString text = QStringLiteral(
        "Usage: pelagon [OPTIONS] [MAP.mv]\n"
        "       pelagon [OPTIONS] MAP.mv --positions FILE [--positions FILE]...\n"
        "\n"
        "Dudadiruz Pelagon, a map viewer for fishery management areas.\n"
        "\n"
        "With no map, the map chooser opens. With MAP.mv (a path or a file: URL) that map\n"
        "opens directly; when the viewer is already running for you on this display, the map\n"
        "opens in that viewer and this command ends at once. Positions files given with\n"
        "--positions open with the map, each in a Positions window, there too.\n"
        "\n"
        "Options:\n");
    for (const StartOption& o : startOptions()) {
        QStringList names;
        for (const QString& n : o.names) {
            names.append((n.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + n);
        }
        QString name = names.join(QStringLiteral(", "));
        if (!o.value.isEmpty()) {
            name += QLatin1Char(' ') + o.value;
        }
        text += QStringLiteral("  %1  %2\n").arg(name, -16).arg(o.help);
    }
    text += QStringLiteral(
        "\n"
        "In the viewer, File > Open map (Ctrl+O) chooses another map and File > Recent maps\n"
        "lists the last eight. Exit status: 0, or 2 for a usage error.\n");
    return text;
}

QString startVersion() {
    return QStringLiteral("pelagon %1\n").arg(programVersion());
}

}  // namespace pelagon
