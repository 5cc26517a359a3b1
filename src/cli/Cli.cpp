#include "cli/Cli.h"

#include <QDir>

#include <cstdio>

#include <functional>

#include "cli/CliContext.h"
#include "cli/CliErrors.h"
#include "cli/CommandLine.h"
#include "cli/GeoCommands.h"
#include "cli/InfoCommand.h"
#include "cli/QueryCommand.h"
#include "cli/RenderCommand.h"
#include "cli/TracksCommand.h"
#include "common/EchoText.h"
#include "common/ProgramInfo.h"

namespace pelagon::cli {

namespace {

struct Subcommand {
    const CommandSyntax& (*syntax)();
    int (*run)(const QStringList&, CliContext&);
};

const QList<Subcommand>& subcommands() {
    static const QList<Subcommand> all = {
        {&infoSyntax, &runInfo},         {&renderSyntax, &runRender},   {&querySyntax, &runQuery},
        {&positionSyntax, &runPosition}, {&measureSyntax, &runMeasure},
        {&visitsSyntax, &runVisits},     {&hoursSyntax, &runHours},
    };
    return all;
}

QString toolHelp() {
    QString text = QStringLiteral(
        "Usage: pelagon-cli SUBCOMMAND MAP.mv [OPTIONS]\n"
        "\n"
        "The map viewer's engine without a window: reads a map definition (.mv) and its map\n"
        "folder as the viewer does, for scripting, batch checks, reports and benchmarks.\n"
        "\n"
        "Subcommands:\n");
    for (const Subcommand& s : subcommands()) {
        text += QStringLiteral("  %1 %2\n").arg(s.syntax().name, -9).arg(s.syntax().summary);
    }
    text += QStringLiteral(
        "\n"
        "pelagon-cli SUBCOMMAND --help describes each one; pelagon-cli --version prints the\n"
        "version.\n"
        "\n"
        "Relative paths are taken from the folder the tool is started in; - as an output\n"
        "file is standard output, as an input file standard input. An output file is\n"
        "replaced only once it is whole; a FIFO, a device or /dev/stdout is written in\n"
        "place; a file the tool reads is never an output. While it works the map folder\n"
        "is the working folder, as in the viewer. No display is needed. Messages about\n"
        "layers that cannot be loaded go to standard error and do not stop the tool.\n"
        "\n"
        "Exit status: 0 on success, 1 when the map or an input cannot be used or an output\n"
        "cannot be written (the message names the file, the line and the problem), 2 for a\n"
        "usage error (unknown subcommand or option, missing argument, malformed number).\n");
    return text;
}

int runSubcommand(const QStringList& arguments, CliContext& context) {
    if (context.startFolder.isEmpty()) {
        context.startFolder = QDir::currentPath();
    }
    const QString first = arguments.value(0);
    if (first == QStringLiteral("--help") || first == QStringLiteral("-h") ||
        first == QStringLiteral("help")) {
        context.print(toolHelp());
        return kExitOk;
    }
    if (first == QStringLiteral("--version")) {
        context.print(QStringLiteral("pelagon-cli %1\n").arg(programVersion()));
        return kExitOk;
    }
    if (first.isEmpty()) {
        context.error(QStringLiteral("pelagon-cli: missing subcommand\n\n") + toolHelp());
        return kExitUsage;
    }
    for (const Subcommand& s : subcommands()) {
        if (s.syntax().name != first) {
            continue;
        }
        try {
            return s.run(arguments.mid(1), context);
        } catch (const UsageError& e) {
            context.error(QStringLiteral("pelagon-cli %1: %2\nTry 'pelagon-cli %1 --help'.")
                              .arg(first, e.message()));
            return kExitUsage;
        } catch (const InputError& e) {
            if (!e.message().isEmpty()) {
                context.error(e.message());
            }
            return kExitInputError;
        }
    }
    context.error(QStringLiteral("pelagon-cli: unknown subcommand '%1'\nTry 'pelagon-cli --help'.")
                      .arg(echoValue(first)));
    return kExitUsage;
}

}  // namespace

int runCli(const QStringList& arguments, CliContext& context) {
    const int status = runSubcommand(arguments, context);
    // A run whose output did not all reach the standard output never reports success.
    if (context.outputFailed()) {
        context.error(context.standardOutputProblem());
        return status == kExitOk ? kExitInputError : status;
    }
    return status;
}

QList<const CommandSyntax*> subcommandSyntaxes() {
    QList<const CommandSyntax*> all;
    for (const Subcommand& s : subcommands()) {
        all.append(&s.syntax());
    }
    return all;
}

namespace {

QtMessageHandler qtHandler = nullptr;

void toolMessageHandler(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    // Qt notes at start-up that the session names no runtime folder (as for root, or in a
    // container) and that it takes one of its own. The tool keeps nothing there, so the note
    // would only be noise on the error stream; every other message of Qt is passed on.
    if (type == QtWarningMsg &&
        text.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set"))) {
        return;
    }
    if (qtHandler != nullptr) {
        qtHandler(type, context, text);
    } else {
        std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, text)));
    }
}

}  // namespace

void keepQtStartupNotesOff() {
    qtHandler = qInstallMessageHandler(toolMessageHandler);
}

void useOffscreenPlatformByDefault() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
}

}  // namespace pelagon::cli
