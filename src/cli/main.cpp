// pelagon-cli: the map viewer's engine without a window.
#include <QFile>
#include <QGuiApplication>

#include <cstdio>

#include "cli/Cli.h"
#include "cli/CliContext.h"

int main(int argc, char* argv[]) {
    pelagon::cli::useOffscreenPlatformByDefault();
    pelagon::cli::keepQtStartupNotesOff();
    QGuiApplication app(argc, argv);
    QGuiApplication::setApplicationName(QStringLiteral("pelagon-cli"));

    QFile out;
    QFile err;
    QFile in;
    if (!out.open(stdout, QIODevice::WriteOnly | QIODevice::Unbuffered) ||
        !err.open(stderr, QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        return pelagon::cli::kExitInputError;
    }
    const bool haveInput = in.open(stdin, QIODevice::ReadOnly);
    pelagon::cli::CliContext context{out, err, haveInput ? &in : nullptr, {}};
    return pelagon::cli::runCli(QGuiApplication::arguments().mid(1), context);
}
