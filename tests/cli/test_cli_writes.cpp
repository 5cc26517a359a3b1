// The built tool's writes: what is not a regular file is written in place, and a write that
// fails (a full device, a file size limit) ends the run with a failure and leaves the earlier
// file as it was.
#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <functional>
#include <thread>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "cli/CliTestSupport.h"
#include "support/QStringPrinter.h"

using namespace pelagon;

namespace {

struct ProgramRun {
    int rc = -1;
    QByteArray out;
    QString err;
};

// Runs the built program on args with input on its standard input. stdoutFile, when given, is
// where its standard output goes; childSetup runs in the child before the program starts.
ProgramRun runProgram(const QStringList& args, const QByteArray& input,
                      const QString& stdoutFile = {},
                      const std::function<void()>& childSetup = {}) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("QT_QPA_PLATFORM");
    env.remove("XDG_RUNTIME_DIR");
    QProcess p;
    p.setProcessEnvironment(env);
    if (!stdoutFile.isEmpty()) {
        p.setStandardOutputFile(stdoutFile, QIODevice::Append);
    }
    if (childSetup) {
        p.setChildProcessModifier(childSetup);
    }
    p.start(QStringLiteral(PELAGON_CLI_EXE), args);
    ProgramRun r;
    if (!p.waitForStarted()) {
        return r;
    }
    p.write(input);
    p.closeWriteChannel();
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit) {
        return r;
    }
    r.rc = p.exitCode();
    r.out = p.readAllStandardOutput();
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

bool isFifo(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 && S_ISFIFO(st.st_mode);
}

const QByteArray kPositions = "x,y\n100,100\n";

// -o naming a FIFO (a reader takes the bytes), a symbolic link to one, or /dev/stdout (a pipe,
// or a file opened for appending, as `>> log`, that keeps what it held): the bytes arrive there
// and the FIFO or link is still what it was.
TEST(CliWrites, NonRegularOutputsAreWrittenInPlace) {
    test::TinyMap map;
    ASSERT_TRUE(map.isValid()) << map.problems();
    enum class Target { Fifo, LinkToFifo, DevStdout, DevStdoutToLog };
    struct Case {
        QStringList args;  // "-o" and the target follow
        Target target;
        QByteArray begins;
    };
    const QStringList page = {"query", map.definition(), "--at", "100,100"};
    const QStringList table = {"query", map.definition(), "--csv", "-"};
    const QStringList image = {"render", map.definition(), "--size", "40x20", "--format", "png"};
    const std::vector<Case> cases = {
        {page, Target::Fifo, "<html>\r\n"},
        {table, Target::Fifo, "id,lon,lat,x,y,"},
        {image, Target::LinkToFifo, "\x89PNG"},
        {page, Target::DevStdout, "<html>\r\n"},
        {table, Target::DevStdoutToLog, "earlier\nid,lon,lat,x,y,"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        const QString fifo = dir.filePath("pipe");
        const QString link = dir.filePath("link");
        ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        ASSERT_TRUE(QFile::link(fifo, link));
        const QString target = c.target == Target::Fifo         ? fifo
                               : c.target == Target::LinkToFifo ? link
                                                                : QStringLiteral("/dev/stdout");
        const QString log = dir.filePath("log");
        if (c.target == Target::DevStdoutToLog) {
            QFile f(log);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            ASSERT_EQ(f.write("earlier\n"), 8);
        }

        QByteArray received;
        std::thread reader([&] {
            if (c.target == Target::DevStdout || c.target == Target::DevStdoutToLog) {
                return;
            }
            const int fd = ::open(QFile::encodeName(fifo).constData(), O_RDONLY);
            char buffer[4096];
            for (ssize_t n; fd >= 0 && (n = ::read(fd, buffer, sizeof buffer)) > 0;) {
                received.append(buffer, n);
            }
            ::close(fd);
        });
        const ProgramRun r = runProgram(c.args + QStringList{"-o", target}, kPositions,
                                        c.target == Target::DevStdoutToLog ? log : QString());
        // A reader still waiting for a writer (the program never opened the FIFO) gets its end.
        if (const int fd = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK);
            fd >= 0) {
            ::close(fd);
        }
        reader.join();

        EXPECT_EQ(r.rc, 0) << r.err.toStdString();
        QFile logFile(log);
        const QByteArray bytes =
            c.target == Target::DevStdout ? r.out
            : c.target == Target::DevStdoutToLog
                ? (logFile.open(QIODevice::ReadOnly) ? logFile.readAll() : QByteArray())
                : received;
        EXPECT_TRUE(bytes.startsWith(c.begins)) << bytes.left(40).toStdString();
        EXPECT_TRUE(isFifo(fifo));
        EXPECT_EQ(QFileInfo(link).symLinkTarget(), fifo);
    }
}

// Standard output on a full device: every command that prints fails with the reason, and the
// batch does not report its rows as read.
TEST(CliWrites, FullStandardOutputFails) {
    test::TinyMap map;
    ASSERT_TRUE(map.isValid()) << map.problems();
    const QString full = QStringLiteral("/dev/full");
    if (!QFileInfo::exists(full)) {
        GTEST_SKIP() << "the system has no full device";
    }
    struct Case {
        QStringList args;
        QString message;
    };
    const QString stdoutFull =
        QStringLiteral("pelagon-cli: cannot write standard output: No space left on device\n");
    const std::vector<Case> cases = {
        {{"--version"}, stdoutFull},
        {{"info", map.definition()}, stdoutFull},
        {{"query", map.definition(), "--at", "100,100"}, stdoutFull},
        {{"query", map.definition(), "--csv", "-"}, stdoutFull},
        {{"render", map.definition(), "--size", "40x20", "-o", "-"}, stdoutFull},
        {{"query", map.definition(), "--csv", "-", "-o", "/dev/stdout"},
         "Cannot write /dev/stdout: No space left on device\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const ProgramRun r = runProgram(c.args, kPositions, full);
        EXPECT_EQ(r.rc, 1);
        EXPECT_TRUE(r.err.endsWith(c.message)) << r.err.toStdString();
        EXPECT_FALSE(r.err.contains("read,")) << r.err.toStdString();
    }
    EXPECT_TRUE(QFileInfo(full).exists() && !QFileInfo(full).isFile());
}

// A file size limit smaller than the output (a full disk): the run fails naming the file, the
// earlier file keeps its bytes and nothing part-written is left beside it.
TEST(CliWrites, FailedWriteLeavesTheEarlierFile) {
    test::TinyMap map;
    ASSERT_TRUE(map.isValid()) << map.problems();
    struct Case {
        QStringList args;  // "-o" and the file follow
        QString name;
    };
    const std::vector<Case> cases = {
        {{"query", map.definition(), "--at", "100,100"}, "page.htm"},
        {{"query", map.definition(), "--csv", "-"}, "table.csv"},
        {{"render", map.definition(), "--size", "40x20"}, "view.png"},
    };
    const QByteArray earlier = "earlier\n";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        const QString path = dir.filePath(c.name);
        {
            QFile f(path);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            ASSERT_EQ(f.write(earlier), earlier.size());
        }
        // The tool ignores the signal of a write past the limit itself, so that the write
        // fails with EFBIG and is reported.
        const ProgramRun r = runProgram(c.args + QStringList{"-o", path}, kPositions, {}, [] {
            const rlimit limit{32, 32};
            ::setrlimit(RLIMIT_FSIZE, &limit);
        });
        EXPECT_EQ(r.rc, 1);
        EXPECT_TRUE(r.err.contains("Cannot write " + path + ": File too large"))
            << r.err.toStdString();
        EXPECT_FALSE(r.err.contains("read,")) << r.err.toStdString();
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(f.readAll(), earlier);
        EXPECT_EQ(
            QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
            QStringList{c.name});
    }
}

}  // namespace

// An output that is a file the run reads, by its own name or through a link, is refused before
// anything is written: the input keeps its bytes.
TEST(CliWrites, InputIsNeverTheOutput) {
    test::TinyMap map;
    ASSERT_TRUE(map.isValid()) << map.problems();
    const QString positions = map.folder() + "/tracks.csv";
    map.write("tracks.csv", "vessel,time,x,y\nA,2024-05-01T00:00:00Z,100,100\n");
    const QString dbf = map.folder() + "/Shapefiles/zones.dbf";
    struct Case {
        QStringList args;
        QString output;  // made a link to target when the two differ
        QString target;
    };
    const std::vector<Case> cases = {
        {{"query", map.definition(), "--csv", positions}, positions, positions},
        {{"hours", map.definition(), "--csv", positions}, map.folder() + "/sym.csv", positions},
        {{"render", map.definition(), "--format", "png"}, map.definition(), map.definition()},
        {{"query", map.definition(), "--at", "100,100"}, map.folder() + "/hard.htm", dbf},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.output.toStdString());
        if (c.output != c.target) {
            const bool hard = c.output.endsWith(".htm");
            ASSERT_EQ(hard ? ::link(c.target.toUtf8().constData(), c.output.toUtf8().constData())
                           : ::symlink(c.target.toUtf8().constData(),
                                       c.output.toUtf8().constData()),
                      0);
        }
        QFile before(c.target);
        ASSERT_TRUE(before.open(QIODevice::ReadOnly));
        const QByteArray bytes = before.readAll();
        const ProgramRun r = runProgram(c.args + QStringList{"-o", c.output}, {});
        EXPECT_EQ(r.rc, 1);
        const QString reason = c.output == c.target ? QString("the command reads that file")
                                                    : "it is " + c.target + ", which";
        EXPECT_TRUE(r.err.startsWith("Cannot write " + c.output + ": " + reason))
            << r.err.toStdString();
        QFile after(c.target);
        ASSERT_TRUE(after.open(QIODevice::ReadOnly));
        EXPECT_EQ(after.readAll(), bytes);
    }
}
