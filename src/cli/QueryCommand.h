#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include "common/MapTypes.h"

namespace pelagon::cli {

class HeadlessMap;
struct CliContext;
struct CommandSyntax;

// `query MAP.mv (--at X,Y | --lonlat LON,LAT) [--tolerance METRES] [-o FILE]`: the query page of
// the Fish Tool for one point; `query MAP.mv --csv POSITIONS.csv [-o OUT.csv]`: a table of what
// lies at many points.
const CommandSyntax& querySyntax();
int runQuery(const QStringList& words, CliContext& context);

// The batch: reads positions from csvText (file names the input in messages), reports rows that
// cannot be read on the error stream with their line numbers, ends with a count of the rows read
// and left out there ("9,998 rows read, 2 left out"), and returns the output table. Throws
// InputError when the header names no usable columns.
QByteArray queryPositions(const HeadlessMap& map, const QString& csvText, const QString& file,
                          double tolerance, CliContext& context);

}  // namespace pelagon::cli
