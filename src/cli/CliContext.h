#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QString>
#include <QStringList>

namespace pelagon::cli {

// Where a run of the tool reads and writes: the program's standard streams, or buffers in tests.
struct CliContext {
    QIODevice& out;
    QIODevice& err;
    QIODevice* in = nullptr;  // standard input, read for the input file name "-"
    QString startFolder;      // the working folder when the run began
    QString outProblem = {};  // why a write to out failed, or empty

    // A path given on the command line, made absolute against the folder the run began in (the
    // tool moves into the map folder, as the viewer does, before it reads the map).
    QString resolvePath(const QString& path) const;

    // Bytes on the standard output. The first write that fails is remembered (and nothing more
    // is written): runCli then ends the run with standardOutputProblem().
    void write(const QByteArray& bytes);
    void print(const QString& text) { write(text.toUtf8()); }
    bool outputFailed() const { return !outProblem.isEmpty(); }
    // "pelagon-cli: cannot write standard output: reason", or empty while every write went well.
    QString standardOutputProblem() const;
    // One message on the error stream, ended by a line break.
    void error(const QString& text) { err.write(text.toUtf8() + '\n'); }
    // The end of a run over a positions file: what the reader says of the whole file, then
    // "1,234 rows read, 5 left out" (thousands separators the same in every locale).
    void reportRows(const QString& notice, qint64 rowsRead, qint64 rowsLeftOut);
};

// Writes bytes to path (made absolute by the caller) with an OutputFile: a regular file is
// replaced once all is written, anything else (a FIFO, a device, /dev/stdout) is written in
// place. Throws InputError naming the file and the reason when it cannot be written.
void writeOutputFile(const QString& path, const QByteArray& bytes);

// Throws InputError when output (made absolute) is a regular file that is one of inputs, by
// any name (a symbolic or hard link too): replacing it would lose what the run reads. A new
// file, standard output ("-") and what is written in place (a FIFO, a device) pass.
void refuseInputAsOutput(const QString& output, const QStringList& inputs);

}  // namespace pelagon::cli
