#include "cli/CliContext.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>

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
