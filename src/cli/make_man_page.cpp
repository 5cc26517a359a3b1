// Writes the manual page of pelagon-cli; run by the build, not installed.
//   pelagon-cli-man-page OUTPUT VERSION DATE
#include <QFile>
#include <QString>

#include <cstdio>

#include "cli/ManPage.h"

int main(int argc, char* argv[]) {
    if (argc != 4) {
        std::fputs("usage: pelagon-cli-man-page OUTPUT VERSION DATE\n", stderr);
        return 2;
    }
    QFile out(QString::fromLocal8Bit(argv[1]));
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        std::fprintf(stderr, "pelagon-cli-man-page: %s: %s\n", argv[1],
                     qPrintable(out.errorString()));
        return 1;
    }
    const QByteArray page =
        pelagon::cli::manPage(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]))
            .toUtf8();
    if (out.write(page) != page.size() || !out.flush()) {
        std::fprintf(stderr, "pelagon-cli-man-page: %s: %s\n", argv[1],
                     qPrintable(out.errorString()));
        return 1;
    }
    return 0;
}
