#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>

#include "geo/AlbersProjection.h"

namespace pelagon {

// The number at the start of a text, read with "." as the decimal separator whatever the locale:
// an optional sign, digits with at most one decimal point, and an optional exponent (E or D, with
// an optional sign and at least one digit). Blanks, tabs and line breaks anywhere in it are
// skipped, so "  -154 west" reads -154 and "1 000" reads 1000. A text that does not begin with a
// number reads as 0; a number too large for a double reads as an infinity.
double readLeadingNumber(QStringView text);

// The same, and whether a number was there at all and what follows it (its blanks skipped).
struct LeadingNumber {
    double value = 0.0;
    bool found = false;  // false: the text does not begin with a number (value 0)
    QStringView rest;    // what follows the number, from its first character that is not a blank
};
LeadingNumber scanLeadingNumber(QStringView text);

// Why the projection parameters could not be read.
struct ProjParsError {
    enum class Kind {
        Unreadable,         // the file does not exist or cannot be read
        MissingParameters,  // fewer than four lines, or values that give no usable projection
    };
    Kind kind = Kind::Unreadable;
    QString file;    // the path as given
    int line = 0;    // 1-based line at fault; 0 when the file or the values as a whole are
    QString detail;  // plain words: what is wrong

    // The text the user is shown. For missing parameters "Missing parameters in 'ProjPars.alb'"
    // followed, after a blank line, by the detail; otherwise it names the file, its folder and
    // why.
    QString message() const;
};

struct ProjParsResult {
    std::optional<AlbersProjection> projection;  // set on success
    std::optional<ProjParsError> error;          // set on failure
};

// Reads the projection parameter file at path (ProjPars.alb of the map folder): the first four
// lines hold the central meridian, the latitude of origin and the two standard parallels, in
// decimal degrees; later lines are ignored. Lines may end with CR LF or LF. Each of the four lines
// must hold one number (read as readLeadingNumber reads it) and nothing else: a finite one, the
// meridian within ±360°, the latitudes within ±90°, and standard parallels that are neither equal
// nor equal and opposite. Anything else is missing parameters, with the line and the reason.
ProjParsResult ReadProjPars(const QString& path);

// The same on the file's lines already read; path names the file in messages.
ProjParsResult parseProjPars(const QStringList& lines, const QString& path);

}  // namespace pelagon
