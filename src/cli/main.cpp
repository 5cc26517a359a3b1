// pelagon-cli: the map viewer's engine without a window.
#include <QFile>
#include <QGuiApplication>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

#include "cli/Cli.h"
#include "cli/CliContext.h"

int main(int argc, char* argv[]) {
    // A write past the file-size limit then fails (EFBIG) and is reported as any failed write,
    // instead of the signal ending the tool without a word.
    std::signal(SIGXFSZ, SIG_IGN);
    pelagon::cli::useOffscreenPlatformByDefault();
    pelagon::cli::keepQtStartupNotesOff();
    QGuiApplication app(argc, argv);
    QGuiApplication::setApplicationName(QStringLiteral("pelagon-cli"));

    QFile out;
    QFile err;
    QFile in;
    // Standard output by its descriptor, unbuffered: every write goes to the system at once, so
    // a failure (a full disk, /dev/full, a closed pipe's reader gone) is seen by the write
    // itself, not lost in a buffer flushed at exit.
    if (!out.open(fileno(stdout), QIODevice::WriteOnly | QIODevice::Unbuffered) ||
        !err.open(stderr, QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        return pelagon::cli::kExitInputError;
    }
    const bool haveInput = in.open(stdin, QIODevice::ReadOnly);
    pelagon::cli::CliContext context{out, err, haveInput ? &in : nullptr, {}};
    int status = pelagon::cli::runCli(QGuiApplication::arguments().mid(1), context);
    // Nothing should be left in the C library's buffer, but whatever is must get out too.
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        const int code = errno;
        if (!context.outputFailed()) {
            std::fprintf(stderr, "pelagon-cli: cannot write standard output: %s\n",
                         std::strerror(code));
        }
        if (status == pelagon::cli::kExitOk) {
            status = pelagon::cli::kExitInputError;
        }
    }
    return status;
}
