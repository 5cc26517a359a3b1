#include "cli/CliContext.h"

#include <QDir>
#include <QFileInfo>

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

}  // namespace pelagon::cli
