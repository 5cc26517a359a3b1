#include "common/FileWrite.h"

#include <QDir>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#endif

namespace pelagon {

namespace {

// True when the path names something that exists and is not a regular file, following
// symbolic links (/dev/stdout leads through /proc to a pipe, a terminal or a file).
bool namesSomethingElseThanAFile(const QString& path) {
#ifdef Q_OS_UNIX
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 && !S_ISREG(st.st_mode);
#else
    const QFileInfo info(path);
    return info.exists() && !info.isFile();
#endif
}

// The descriptor that /dev/stdout, /dev/stderr, /dev/fd/N or /proc/self/fd/N names, or -1.
// Such an output is written through a copy of that descriptor, so that it shares its offset and
// its append mode (`>> log`): opening the name again would start a new offset, or truncate.
int namedDescriptor(const QString& path) {
#ifdef Q_OS_UNIX
    if (path == QLatin1String("/dev/stdout")) {
        return 1;
    }
    if (path == QLatin1String("/dev/stderr")) {
        return 2;
    }
    for (const QLatin1String folder :
         {QLatin1String("/dev/fd/"), QLatin1String("/proc/self/fd/")}) {
        if (path.startsWith(folder)) {
            bool ok = false;
            const int fd = path.mid(folder.size()).toInt(&ok);
            return ok && fd >= 0 ? fd : -1;
        }
    }
#else
    Q_UNUSED(path);
#endif
    return -1;
}

}  // namespace

OutputFile::OutputFile(const QString& path)
    : path_(path), inPlace_(namedDescriptor(path) >= 0 || namesSomethingElseThanAFile(path)) {}

bool OutputFile::fail(const QFileDevice& device) {
    if (problem_.isEmpty()) {
        problem_ = QStringLiteral("Cannot write %1: %2")
                       .arg(QDir::toNativeSeparators(path_), device.errorString());
    }
    return false;
}

bool OutputFile::open() {
    if (inPlace_) {
        // Unbuffered: every write reaches the system at once, and its failure is seen there.
        constexpr QIODevice::OpenMode mode = QIODevice::WriteOnly | QIODevice::Unbuffered;
#ifdef Q_OS_UNIX
        if (const int fd = namedDescriptor(path_); fd >= 0) {
            const int copy = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
            if (copy < 0) {
                problem_ = QStringLiteral("Cannot write %1: %2")
                               .arg(QDir::toNativeSeparators(path_),
                                    QString::fromLocal8Bit(std::strerror(errno)));
                return false;
            }
            return direct_.open(copy, mode, QFileDevice::AutoCloseHandle) || fail(direct_);
        }
#endif
        direct_.setFileName(path_);
        return direct_.open(mode) || fail(direct_);
    }
    // Unbuffered here too: QSaveFile notices a failed write of its own, but not one of the
    // buffer flushed when it is committed, and would then rename a cut-short file into place.
    replaced_.setFileName(path_);
    return replaced_.open(QIODevice::WriteOnly | QIODevice::Unbuffered) || fail(replaced_);
}

bool OutputFile::write(const QByteArray& bytes) {
    if (!problem_.isEmpty()) {
        return false;
    }
    QFileDevice& device = inPlace_ ? static_cast<QFileDevice&>(direct_) : replaced_;
    if (writeAll(device, bytes)) {
        return true;
    }
    fail(device);
    if (!inPlace_) {
        replaced_.cancelWriting();
    }
    return false;
}

bool OutputFile::commit() {
    if (!problem_.isEmpty()) {
        return false;
    }
    if (inPlace_) {
        if (!direct_.flush()) {
            return fail(direct_);
        }
        direct_.close();
        return true;
    }
    // QSaveFile flushes, and renames over the earlier file only when all went well; otherwise
    // it removes its temporary file and the earlier one stays.
    return replaced_.commit() || fail(replaced_);
}

bool writeAll(QIODevice& device, const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const qint64 written = device.write(bytes.constData() + done, bytes.size() - done);
        if (written <= 0) {
            return false;
        }
        done += written;
    }
    return true;
}

QString writeFileAtomically(const QString& path, const QByteArray& bytes) {
    OutputFile file(path);
    if (file.open() && file.write(bytes)) {
        file.commit();
    }
    return file.problem();
}

}  // namespace pelagon
