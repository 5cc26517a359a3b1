#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace pelagon {

// Decodes the bytes of a text file: UTF-8 when they are valid UTF-8 (a leading byte order mark is
// dropped), otherwise Windows-1252, the 8-bit character set in which older map folders were
// written.
QString decodeText(const QByteArray& bytes);

// Encodes text as Windows-1252 where every character has a code there; returns false otherwise.
bool encodeWindows1252(const QString& text, QByteArray* out);

// Splits decoded text into lines. Lines end with CR LF or LF; a line break after the last line
// does not make an extra empty line.
QStringList splitLines(const QString& text);

struct TextFile {
    bool ok = false;
    QString error;  // plain words, naming the file, when ok is false
    QStringList lines;
};

// Reads a whole text file as lines (see decodeText and splitLines).
TextFile readTextFile(const QString& path);

}  // namespace pelagon
