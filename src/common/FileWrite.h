#pragma once

#include <QByteArray>
#include <QFile>
#include <QSaveFile>
#include <QString>

namespace pelagon {

// An output file written as a stream of pieces. A regular file (or a new one) is replaced only
// once every piece was written and flushed without error: a failed write leaves an earlier file
// as it was and no part-written one. Anything else the path names (a FIFO, a character device,
// /dev/stdout, /dev/fd/N, or a symbolic link to one of those) is written in place, never renamed
// over, so it stays what it was.
class OutputFile {
public:
    explicit OutputFile(const QString& path);
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Each returns false once anything failed; problem() then says why.
    bool open();
    bool write(const QByteArray& bytes);
    // Ends the writing: the new file takes the place of the earlier one, or the last bytes reach
    // what is written in place.
    bool commit();

    // True when the path is written in place (it names something other than a regular file).
    bool inPlace() const { return inPlace_; }
    // "Cannot write FILE: reason" (the file as the system writes paths), or empty.
    QString problem() const { return problem_; }

private:
    bool fail(const QFileDevice& device);

    QString path_;
    bool inPlace_ = false;
    QSaveFile replaced_;
    QFile direct_;
    QString problem_;
};

// Writes all bytes to an unbuffered device, writing the rest again after a short write (a disk
// that fills, a file size limit): the write that then fails sets the device's error to the
// system's reason. Returns false when not all were written.
bool writeAll(QIODevice& device, const QByteArray& bytes);

// Writes bytes to a file with an OutputFile. Returns an empty text, or why it could not
// ("Cannot write FILE: reason").
QString writeFileAtomically(const QString& path, const QByteArray& bytes);

}  // namespace pelagon
