#include "cli/CliContext.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>

#include <sys/stat.h>

#include "cli/CliErrors.h"
#include "common/FileWrite.h"

namespace pelagon::cli {

QString CliContext::resolvePath(const QString& path) const {
    if (path.isEmpty() || path == QStringLiteral("-")) {
        return path;
    }
    return QDir::cleanPath(QDir(startFolder).absoluteFilePath(path));
}

void CliContext::write(const QByteArray& bytes) {
    if (outputFailed() || bytes.isEmpty()) {
        return;
    }
    if (!writeAll(out, bytes)) {
        outProblem = out.errorString();
        if (outProblem.isEmpty()) {
            outProblem = QStringLiteral("Unknown error");
        }
    }
}

QString CliContext::standardOutputProblem() const {
    if (!outputFailed()) {
        return {};
    }
    return QStringLiteral("pelagon-cli: cannot write standard output: %1").arg(outProblem);
}

void writeOutputFile(const QString& path, const QByteArray& bytes) {
    if (const QString problem = writeFileAtomically(path, bytes); !problem.isEmpty()) {
        throw InputError(problem);
    }
}

void refuseInputAsOutput(const QString& output, const QStringList& inputs) {
    if (output.isEmpty() || output == QStringLiteral("-")) {
        return;
    }
    struct stat out {};
    if (::stat(QFile::encodeName(output).constData(), &out) != 0 || !S_ISREG(out.st_mode)) {
        return;
    }
    for (const QString& input : inputs) {
        struct stat in {};
        if (input.isEmpty() || input == QStringLiteral("-") ||
            ::stat(QFile::encodeName(input).constData(), &in) != 0 || in.st_dev != out.st_dev ||
            in.st_ino != out.st_ino) {
            continue;
        }
        const QString reason =
            QDir::cleanPath(input) == QDir::cleanPath(output)
                ? QStringLiteral("the command reads that file")
                : QStringLiteral("it is %1, which the command reads")
                      .arg(QDir::toNativeSeparators(input));
        throw InputError(QStringLiteral("Cannot write %1: %2; write to another file.")
                             .arg(QDir::toNativeSeparators(output), reason));
    }
}

void CliContext::reportRows(const QString& notice, qint64 rowsRead, qint64 rowsLeftOut) {
    if (!notice.isEmpty()) {
        error(notice);
    }
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    error(QStringLiteral("%1 %2 read, %3 left out")
              .arg(english.toString(rowsRead),
                   rowsRead == 1 ? QStringLiteral("row") : QStringLiteral("rows"),
                   english.toString(rowsLeftOut)));
}

}  // namespace pelagon::cli
