#include "cli/QueryCommand.h"

#include <QDir>

#include <cmath>

#include "cli/CliContext.h"
#include "cli/CliErrors.h"
#include "cli/CommandLine.h"
#include "cli/HeadlessMap.h"
#include "common/EchoText.h"
#include "reports/DrillIdQuery.h"

namespace pelagon::cli {

namespace {

double parseTolerance(const QString& text) {
    const double t = parseNumber(text, QStringLiteral("--tolerance"));
    if (t < 0) {
        throw UsageError(QStringLiteral("--tolerance: '%1' is negative").arg(text));
    }
    return t;
}

}  // namespace

const CommandSyntax& querySyntax() {
    static const CommandSyntax syntax{
        QStringLiteral("query"),
        QStringLiteral("MAP.mv (--at X,Y | --lonlat LON,LAT | --position TEXT | --csv POSITIONS) "
                       "[--tolerance METRES] [--distances] [--no-header] [--threads N] [-o FILE]"),
        QStringLiteral("What lies at a point (the Fish Tool's page), or at many (a table)."),
        QStringLiteral(
            "With --at, --lonlat or --position, writes the very bytes that the map window's Fish\n"
            "Tool writes into drillID_results.htm for that point (to standard output without\n"
            "-o). --position reads a position as people write it, as the viewer's \"Go to\n"
            "position\" field does: \"57 30.2N 152 10.5W\", \"57°30'12\"N 152°10'30\"W\",\n"
            "\"57.5033 -152.175\" (latitude first unless N/S and E/W say otherwise).\n"
            "Every layer with QueryMode > 0 is searched, hidden ones too.\n"
            "\n"
            "With --csv, reads a CSV file (\"-\" for standard input) with a header row and one\n"
            "position per row: columns lon and lat (decimal degrees) or x and y (map units;\n"
            "used when both pairs are present), and an optional id column; header names in any\n"
            "letter case, fields may be quoted. A GPX file (its waypoints and track points) is\n"
            "read as well. Writes a CSV table (RFC 4180, CR LF) with the\n"
            "columns id, lon, lat, x, y and one column per queryable layer, headed by its\n"
            "LayerName: the attribute value for an attribute layer (QueryMode 2), the DocFile\n"
            "for a document layer, empty where the layer has nothing at the point. Without an\n"
            "id column the id is the row's line number. A row that cannot be read is reported\n"
            "on standard error with its line number and left out; the run goes on with the\n"
            "next line and ends with a count on standard error (\"9,998 rows read, 2 left out\").\n"
            "The table is streamed: rows are read, searched on every processor core and written\n"
            "in input order as they come, so memory stays the same whatever the file's size.\n"
            "With --distances, one more column per queryable layer of areas, headed LAYER_nm:\n"
            "the distance in nautical miles, on the map's plane, to the boundary of the area the\n"
            "position lies in (positive) or of the nearest area (negative).\n"
            "--no-header leaves the header row out, for the parts of a file split elsewhere.\n"
            "\n"
            "The search tolerance for lines and points defaults to what the viewer uses for a\n"
            "click on the full extent: 3 pixels of its map control maximized on a 1920 x 1080\n"
            "screen at 96 dpi (info shows the value).\n"
            "Exit status: 0 when the map and the input could be read (also when rows were\n"
            "left out), 1 when they cannot be used, 2 for a usage error."),
        {
            {QStringLiteral("--at"),
             {},
             QStringLiteral("X,Y"),
             false,
             QStringLiteral("the point in map units (metres of the map's Albers plane)")},
            {QStringLiteral("--lonlat"),
             {},
             QStringLiteral("LON,LAT"),
             false,
             QStringLiteral("the point as longitude and latitude in decimal degrees")},
            {QStringLiteral("--position"),
             {},
             QStringLiteral("TEXT"),
             false,
             QStringLiteral("the point as a position typed as people write it")},
            {QStringLiteral("--csv"),
             {},
             QStringLiteral("POSITIONS"),
             false,
             QStringLiteral("query every position of a CSV or GPX file (- for standard input)")},
            {QStringLiteral("--distances"),
             {},
             {},
             false,
             QStringLiteral("with --csv: add the distance to boundaries of every layer of areas")},
            {QStringLiteral("--no-header"),
             {},
             {},
             false,
             QStringLiteral("with --csv: write no header row")},
            {QStringLiteral("--threads"),
             {},
             QStringLiteral("N"),
             false,
             QStringLiteral("with --csv: query on N threads (default: one per processor core)")},
            {QStringLiteral("--tolerance"),
             {},
             QStringLiteral("METRES"),
             false,
             QStringLiteral("search tolerance for lines and points, in map units")},
            {QStringLiteral("--output"), QStringLiteral("-o"), QStringLiteral("FILE"), false,
             QStringLiteral("write to FILE instead of standard output (- is standard output)")},
        },
    };
    return syntax;
}

int runQuery(const QStringList& words, CliContext& context) {
    const CommandSyntax& syntax = querySyntax();
    const ParsedArguments args = parseArguments(syntax, words);
    if (args.helpRequested) {
        context.print(commandHelp(syntax));
        return 0;
    }
    const int sources = static_cast<int>(args.has(QStringLiteral("--at"))) +
                        static_cast<int>(args.has(QStringLiteral("--lonlat"))) +
                        static_cast<int>(args.has(QStringLiteral("--position"))) +
                        static_cast<int>(args.has(QStringLiteral("--csv")));
    if (sources != 1) {
        throw UsageError(
            QStringLiteral("give one of --at X,Y, --lonlat LON,LAT, --position TEXT or --csv "
                           "POSITIONS.csv"));
    }
    std::optional<MapPoint> at;
    std::optional<MapPoint> lonLat;
    if (args.has(QStringLiteral("--at"))) {
        at = parsePoint(args.value(QStringLiteral("--at")), QStringLiteral("--at"));
    } else if (args.has(QStringLiteral("--lonlat"))) {
        lonLat = parsePoint(args.value(QStringLiteral("--lonlat")), QStringLiteral("--lonlat"));
    } else if (args.has(QStringLiteral("--position"))) {
        lonLat = parsePositionOption(args.value(QStringLiteral("--position")),
                                     QStringLiteral("--position"));
    }
    std::optional<double> tolerance;
    if (args.has(QStringLiteral("--tolerance"))) {
        tolerance = parseTolerance(args.value(QStringLiteral("--tolerance")));
    }
    const QString output = context.resolvePath(args.value(QStringLiteral("--output")));
    const QString csv = context.resolvePath(args.value(QStringLiteral("--csv")));
    BatchSettings batch;
    batch.distances = args.has(QStringLiteral("--distances"));
    batch.noHeader = args.has(QStringLiteral("--no-header"));
    if (csv.isEmpty() &&
        (batch.distances || batch.noHeader || args.has(QStringLiteral("--threads")))) {
        throw UsageError(QStringLiteral("--distances, --no-header and --threads go with --csv"));
    }
    if (args.has(QStringLiteral("--threads"))) {
        batch.threads = parseThreadCount(args.value(QStringLiteral("--threads")));
    }

    HeadlessMap map(context);
    map.open(context.resolvePath(args.positional.at(0)));
    refuseInputAsOutput(output, map.readFiles() << csv);
    map.loadLayers();
    map.readProjection();
    const double searchTolerance = tolerance.value_or(map.defaultQueryTolerance());

    if (!csv.isEmpty()) {
        batch.tolerance = searchTolerance;
        queryPositions(map, csv, output, batch, context);
        return 0;
    }
    QByteArray result;
    {
        if (args.has(QStringLiteral("--position"))) {
            // Read again now that the map is known: a position off it whose other hemisphere
            // lies on it is refused, as the viewer's "Go to position" field refuses it.
            const MapRect full = map.fullExtent();
            const AlbersProjection& projection = map.requireProjection();
            lonLat = parsePositionOptionForMap(
                args.value(QStringLiteral("--position")), QStringLiteral("--position"),
                [&](MapPoint g) {
                    MapPoint p;
                    return projection.LatLongToAlbers(g.x, g.y, p.x, p.y) && full.contains(p);
                });
        }
        if (lonLat) {
            MapPoint p;
            if (!map.requireProjection().LatLongToAlbers(lonLat->x, lonLat->y, p.x, p.y)) {
                const QString option = args.has(QStringLiteral("--position"))
                                           ? QStringLiteral("--position")
                                           : QStringLiteral("--lonlat");
                throw InputError(
                    QStringLiteral("The position %1 has no place on the map's projection.")
                        .arg(echoValue(args.value(option))));
            }
            at = p;
        }
        result = drillIdAt(map.LayerInfos, map.MapLayers, map.BaseDir, *at, searchTolerance).page;
    }
    if (output.isEmpty() || output == QStringLiteral("-")) {
        context.write(result);
    } else {
        writeOutputFile(output, result);
    }
    return 0;
}

}  // namespace pelagon::cli
