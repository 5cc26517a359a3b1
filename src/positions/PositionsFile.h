#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <memory>
#include <optional>

class QIODevice;

namespace pelagon::positions {

// How a file gives its positions: longitude and latitude in decimal degrees, or x and y in map
// units (metres of the map's plane).
enum class Units { Degrees, MapUnits };

// One position as a file gives it, before it is placed on the map.
struct PositionRow {
    qint64 line = 0;    // CSV: the line the row begins on; GPX: the point's number in the file
    QByteArray id;      // UTF-8 as written; the line (or point) number when the file has none
    double first = 0;   // longitude or x
    double second = 0;  // latitude or y
    QByteArray vessel;  // UTF-8; empty when the file names none
    QByteArray time;    // as written (ISO 8601); empty when the file gives none
    QString problem;    // why the row cannot be used (it is then left out); empty when it can
};

// Reads the positions of a file one by one, in file order, holding only the row being read.
class PositionReader {
public:
    virtual ~PositionReader() = default;

    // The file as messages name it: its path, or "standard input".
    const QString& where() const { return where_; }
    Units units() const { return units_; }
    // Whether the file names vessels and times (CSV columns vessel and time; GPX tracks and
    // time stamps).
    bool hasVessels() const { return hasVessels_; }
    bool hasTimes() const { return hasTimes_; }

    // The next row (blank lines are passed over); false at the end of the file. Every row the
    // file holds is given, those that cannot be used with their problem: a coordinate that is
    // missing, empty or not a finite number, a latitude beyond ±90° or a longitude beyond ±360°.
    virtual bool next(PositionRow& row) = 0;
    // How messages name a row: "line 7" in a CSV file, "point 7" in a GPX file.
    virtual QString rowName(qint64 line) const { return QStringLiteral("line %1").arg(line); }
    // Said once the whole file is read, when there is something to say about all of it (x and y
    // columns that hold degrees); empty otherwise.
    virtual QString notice() const { return {}; }
    // Why the reading stopped before the end of the file (a read error); empty when it did not.
    virtual QString failure() const { return {}; }
    // How far the reading has got, as a share of the file from 0 to 1, where that is known.
    virtual double progress() const { return 0; }

protected:
    QString where_;
    Units units_ = Units::Degrees;
    bool hasVessels_ = false;
    bool hasTimes_ = false;
};

struct ReaderOptions {
    // Read the vessel and time of every row (the viewer); the command line needs neither.
    bool vesselsAndTimes = true;
};

struct OpenedPositions {
    std::unique_ptr<PositionReader> reader;  // null when the file cannot be read
    QString error;  // plain words naming the file and the problem, when reader is null
};

// Opens a positions file. path "-" reads standardInput. A file whose first character other
// than white space is "<" is read as GPX through OGR (waypoints and track points, with each
// track's name as the vessel); anything else as CSV with a header row naming the columns lon and
// lat, or x and y (taken when both pairs are present), and optionally id, vessel and time, in any
// letter case. The header is read here: a file without one, or without position columns, or a
// GPX file without tracks and waypoints, gives an error.
OpenedPositions openPositions(const QString& path, QIODevice* standardInput,
                              const ReaderOptions& options = {});

// A time stamp in ISO 8601 ("2024-05-01T06:30:00Z", with an offset, fractions of seconds, or
// without a zone, which counts as UTC) as milliseconds since 1970 in UTC; nothing when the
// text is not such a time.
std::optional<qint64> parseIsoTime(QByteArrayView text);

}  // namespace pelagon::positions
