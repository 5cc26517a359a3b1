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
// the Fish Tool for one point; `query MAP.mv --csv POSITIONS [--distances] [--no-header]
// [--threads N] [-o OUT.csv]`: a table of what lies at many points.
const CommandSyntax& querySyntax();
int runQuery(const QStringList& words, CliContext& context);

// How the batch runs.
struct BatchSettings {
    double tolerance = 0;    // search tolerance for lines and points, in map units
    bool distances = false;  // one LAYER_nm column per layer of areas
    bool noHeader = false;   // leave the header row out (for the parts of a split input)
    int threads = 0;         // 0: one per processor core
};

// The batch: reads the positions file input ("-" for standard input; CSV or GPX), streams the
// table to output ("-" or empty for standard output) in input order, reports rows that cannot
// be read on the error stream with their line numbers, and ends with a count of the rows read
// and left out there ("9,998 rows read, 2 left out"). Throws InputError when the file cannot be
// read or names no position columns, or the output cannot be written.
void queryPositions(const HeadlessMap& map, const QString& input, const QString& output,
                    const BatchSettings& settings, CliContext& context);

}  // namespace pelagon::cli
