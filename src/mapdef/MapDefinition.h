#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

#include <optional>

#include "mapdef/LayerInfo.h"

namespace pelagon {

// Splits origStr at every occurrence of delimiter (exact, case-sensitive). Empty pieces are kept:
// the result has one element more than origStr has delimiters.
void splitString(const QString& origStr, const QString& delimiter, QStringList& subStr);
QStringList splitString(const QString& origStr, const QString& delimiter);

// Converts a number text the way the definition's numbers are read: a decimal number, rounded to
// the nearest integer with halves going to the even neighbour, within -32768..32767. On failure
// returns nullopt and, when problem is given, a description in plain words.
std::optional<qint16> toInt16(const QString& text, QString* problem = nullptr);

// Converts a truth text: True or False in any letter case, or a number (0 false, other true).
// Returns kTrue or kFalse.
std::optional<qint16> toTruth(const QString& text, QString* problem = nullptr);

// Colour value of an R.G.B text: red + 256 * green + 65536 * blue, each part capped at 255.
// getRGB accepts what the checked variant accepts and returns 0 for anything else.
qint32 getRGB(const QString& s);
std::optional<qint32> parseRGB(const QString& s, QString* problem = nullptr);

// Where and why a definition could not be read.
struct DefinitionError {
    QString file;
    int line = 0;       // 1-based line number in the file, 0 when the file could not be read
    int field = 0;      // 1-based field number, 0 when the whole line or file is at fault
    QString fieldName;  // e.g. "query mode"
    QString problem;    // plain words

    // One message naming the file, the line, the field and the problem.
    QString message() const;
};

// Parses one trimmed layer line into a record. On failure fills error's field, fieldName and
// problem (not file or line) and returns false.
bool parseLayerLine(const QString& line, LayerInfo* record, DefinitionError* error);

// Lines that hold something after the blank line that ends the layer list: they are never read.
struct UnreadLines {
    int blankLine = 0;  // 1-based line numbers
    int first = 0;      // the first and the last line after it that are not blank
    int last = 0;

    // "FILE: lines 38–45 after the blank line at line 37 are not read (the layer list ends at
    // its first blank line)."
    QString message(const QString& file) const;
};

struct MapDefinition {
    QVector<LayerInfo> LayerInfos;
    int longestName = 0;  // length in characters of the longest LayerName
    std::optional<DefinitionError> error;
    std::optional<UnreadLines> unreadLines;  // set when the list ends early with lines after it

    // Index of the last record, -1 when there is none.
    int LastLayer() const { return static_cast<int>(LayerInfos.size()) - 1; }
};

// Reads a map definition: a header line, then one layer line per layer up to the first line that
// is empty after trimming, or the end of the file. Stops at the first malformed line, keeping the
// records before it.
MapDefinition readMapDefinition(const QString& path);

// The same on lines already read; file is used in error messages only.
MapDefinition parseMapDefinition(const QStringList& lines, const QString& file);

}  // namespace pelagon
