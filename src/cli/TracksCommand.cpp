// The visits and hours subcommands: vessels' tracks through the areas of a map.
#include "cli/TracksCommand.h"

#include <QThread>

#include <atomic>

#include <cmath>
#include <optional>

#include "cli/CliContext.h"
#include "cli/CliErrors.h"
#include "cli/CommandLine.h"
#include "cli/HeadlessMap.h"
#include "cli/TrackPipeline.h"
#include "common/EchoText.h"
#include "common/FileWrite.h"
#include "positions/PositionsFile.h"
#include "query/PositionBatch.h"
#include "query/PositionQuery.h"
#include "tracks/AreaVisits.h"
#include "tracks/TrackTables.h"
#include "tracks/TrackTime.h"

namespace pelagon::cli {

namespace {

const QString kTracksDetails = QStringLiteral(
    "Reads the positions of a CSV or GPX file (\"-\" for standard input) as query --csv\n"
    "does, with a time column (ISO 8601, \"2024-05-01T06:30:00Z\"; with an offset or\n"
    "fractions of seconds; without a zone it is UTC) and an optional vessel column (GPX:\n"
    "each track's name). A row without a usable time is reported on standard error with\n"
    "its line and left out, as are rows that cannot be read; the run ends with a count.\n"
    "Each vessel's positions, in time order (equal times in input order), make its track;\n"
    "between two consecutive positions the vessel is taken to move in a straight line on\n"
    "the map's plane at a steady speed, unless they lie more than --max-gap hours apart\n"
    "(default 6; exactly that is still joined). Every area of every queryable layer of\n"
    "areas is followed on its own; an area's boundary counts as inside, but a single\n"
    "instant of contact (touching a corner) is no visit.\n"
    "Without --sorted, the positions may come in any order; they are held in memory at 24\n"
    "bytes each. With --sorted the input must be ordered by vessel (byte order of the\n"
    "UTF-8 names) and time; it is then read in one pass with memory for the vessel being\n"
    "followed, and the first row out of order ends the run with an error naming its line.\n");

QList<OptionSyntax> commonOptions() {
    return {
        {QStringLiteral("--csv"),
         {},
         QStringLiteral("TRACKS"),
         false,
         QStringLiteral("the positions: a CSV or GPX file (- for standard input)")},
        {QStringLiteral("--max-gap"),
         {},
         QStringLiteral("HOURS"),
         false,
         QStringLiteral("longest time between positions that are joined (default 6)")},
        {QStringLiteral("--threads"),
         {},
         QStringLiteral("N"),
         false,
         QStringLiteral("follow tracks on N threads (default: one per processor core)")},
        {QStringLiteral("--sorted"),
         {},
         {},
         false,
         QStringLiteral("the input is ordered by vessel and time: read it in one pass")},
        {QStringLiteral("--output"), QStringLiteral("-o"), QStringLiteral("FILE"), false,
         QStringLiteral("write to FILE instead of standard output (- is standard output)")},
    };
}

struct TrackSettings {
    QString input;
    QString output;
    tracks::TrackWork work;
    bool sorted = false;
};

double parseNonNegative(const QString& text, const QString& what) {
    const double v = parseNumber(text, what);
    if (v < 0) {
        throw UsageError(QStringLiteral("%1: '%2' is negative").arg(what, text));
    }
    return v;
}

TrackSettings readSettings(const ParsedArguments& args, const CliContext& context) {
    TrackSettings s;
    if (!args.has(QStringLiteral("--csv"))) {
        throw UsageError(QStringLiteral("give the positions with --csv TRACKS"));
    }
    s.input = context.resolvePath(args.value(QStringLiteral("--csv")));
    s.output = context.resolvePath(args.value(QStringLiteral("--output")));
    s.sorted = args.has(QStringLiteral("--sorted"));
    if (args.has(QStringLiteral("--max-gap"))) {
        s.work.track.maxGapHours =
            parseNonNegative(args.value(QStringLiteral("--max-gap")), QStringLiteral("--max-gap"));
    }
    if (args.has(QStringLiteral("--threads"))) {
        s.work.threads = parseThreadCount(args.value(QStringLiteral("--threads")));
    }
    return s;
}

// Writes to standard output or to a file replaced once whole (written in place when it is a
// FIFO or a device).
class Sink {
public:
    Sink(const QString& output, CliContext& context) : context_(context) {
        if (!output.isEmpty() && output != QStringLiteral("-")) {
            file_.emplace(output);
            if (!file_->open()) {
                throw InputError(file_->problem());
            }
        }
    }
    void write(const QByteArray& bytes) {
        if (file_) {
            file_->write(bytes);
        } else {
            context_.write(bytes);
        }
    }
    void commit() {
        if (file_ && !file_->commit()) {
            throw InputError(file_->problem());
        }
    }

private:
    CliContext& context_;
    std::optional<OutputFile> file_;
};

enum class Table { Visits, Hours };

void runTracks(const HeadlessMap& map, const TrackSettings& settings, Table tableKind,
               CliContext& context) {
    positions::OpenedPositions opened = positions::openPositions(settings.input, context.in);
    if (!opened.reader) {
        throw InputError(opened.error);
    }
    positions::PositionReader& reader = *opened.reader;
    if (!reader.hasTimes()) {
        throw InputError(QStringLiteral("%1 gives no times (a time column, or GPX time stamps): "
                                        "tracks need the time of every position.")
                             .arg(reader.where()));
    }
    const AlbersProjection* projection = map.projection ? &*map.projection : nullptr;
    if (reader.units() == positions::Units::Degrees) {
        projection = &map.requireProjection();
    }
    PositionQuery::Options options;
    options.csvCells = true;
    const auto query =
        std::make_shared<const PositionQuery>(map.LayerInfos, map.MapLayers, options);
    const tracks::TrackAreas areas(query, map.MapLayers);
    const tracks::AreaOrder order(areas);
    // The reading threads only place the rows: a query without layers asks nothing.
    const PositionQuery placeOnly({}, {}, PositionQuery::Options{});

    Sink sink(settings.output, context);
    const tracks::VisitTable visitTable(areas, projection);
    const tracks::HoursTable hoursTable(areas, settings.work.hours.by);
    sink.write(tableKind == Table::Visits ? tracks::VisitTable::header() : hoursTable.header());
    tracks::TrackWork work = settings.work;
    work.visits = tableKind == Table::Visits;
    work.wantHours = tableKind == Table::Hours;

    // A vessel's rows, made on the thread that followed it.
    const auto writeRows = [&](const QByteArray& name, std::vector<tracks::Visit>& visits,
                               std::vector<tracks::AreaHours>& hours, QByteArray& rows) {
        // All of one vessel, whatever its index in the reading.
        tracks::sortVisits(visits, order, {});
        for (const tracks::Visit& v : visits) {
            visitTable.appendRow(rows, name, v);
        }
        tracks::sortHours(hours, order, {});
        for (const tracks::AreaHours& h : hours) {
            hoursTable.appendRow(rows, name, h);
        }
    };
    // Sorted input: each vessel followed as its positions come, vessels on several threads.
    std::optional<TrackPipeline> pipeline;
    if (settings.sorted) {
        const int workers =
            settings.work.threads > 0 ? settings.work.threads : QThread::idealThreadCount();
        pipeline.emplace(areas, work, workers, writeRows);
    }
    bool anyVessel = false;
    QByteArray vessel;
    std::optional<qint64> lastTime;
    tracks::TrackCollector collector;

    qsizetype rowsRead = 0;
    qsizetype rowsLeftOut = 0;
    PositionBatchOptions batch;
    batch.threads = settings.work.threads;
    batch.chunkRows = 16384;
    // A row out of order stops the reading; the error is raised once the threads are done.
    std::atomic<bool> cancel{false};
    batch.cancel = &cancel;
    QString orderError;
    runPositionBatch(reader, placeOnly, projection, batch, [&](PositionChunk& chunk) {
        for (std::size_t r = 0; r < chunk.rows.size() && orderError.isEmpty(); ++r) {
            positions::PositionRow& row = chunk.rows[r];
            std::optional<qint64> time;
            if (chunk.places[r].status == PlacedPosition::Status::Placed) {
                if (row.time.isEmpty()) {
                    row.problem = QStringLiteral("the row has no time");
                } else if (!(time = tracks::readIsoTime(row.time))) {
                    row.problem = QStringLiteral("the time '%1' is not an ISO 8601 date and time")
                                      .arg(echoValue(QString::fromUtf8(row.time)));
                }
            }
            if (!time) {
                ++rowsLeftOut;
                context.error(QStringLiteral("%1, %2: %3; the row is left out.")
                                  .arg(reader.where(), reader.rowName(row.line), row.problem));
                continue;
            }
            ++rowsRead;
            const MapPoint xy = chunk.places[r].xy;
            if (!settings.sorted) {
                collector.add(row.vessel, xy, *time);
                continue;
            }
            if (!anyVessel || row.vessel != vessel) {
                if (anyVessel && row.vessel < vessel) {
                    cancel = true;
                    orderError =
                        (QStringLiteral("%1, %2: the vessel '%3' comes after '%4': with --sorted "
                                        "the input must be ordered by vessel and time.")
                             .arg(reader.where(), reader.rowName(row.line),
                                  echoValue(QString::fromUtf8(row.vessel)),
                                  echoValue(QString::fromUtf8(vessel))));
                    break;
                }
                anyVessel = true;
                vessel = row.vessel;
                pipeline->startVessel(vessel);
            } else if (*time < *lastTime) {
                cancel = true;
                orderError =
                    (QStringLiteral("%1, %2: the time '%3' comes before the vessel's time on the "
                                    "row before: with --sorted the input must be ordered by "
                                    "vessel and time.")
                         .arg(reader.where(), reader.rowName(row.line),
                              echoValue(QString::fromUtf8(row.time))));
                break;
            }
            lastTime = time;
            pipeline->add({xy, *time});
        }
        if (pipeline) {
            sink.write(pipeline->takeRows());
        }
    });
    if (!orderError.isEmpty()) {
        throw InputError(orderError);
    }
    if (!reader.failure().isEmpty()) {
        throw InputError(
            QStringLiteral("Cannot read %1: %2").arg(reader.where(), reader.failure()));
    }
    if (pipeline) {
        sink.write(pipeline->finish());
    } else {
        sink.write(collector.computeRows(areas, work, writeRows));
    }
    sink.commit();
    if (context.outputFailed()) {
        return;
    }
    context.reportRows(reader.notice(), rowsRead, rowsLeftOut);
}

int runTrackCommand(const CommandSyntax& syntax, Table table, const QStringList& words,
                    CliContext& context) {
    const ParsedArguments args = parseArguments(syntax, words);
    if (args.helpRequested) {
        context.print(commandHelp(syntax));
        return 0;
    }
    TrackSettings settings = readSettings(args, context);
    if (table == Table::Hours) {
        if (args.has(QStringLiteral("--speed"))) {
            const QString text = args.value(QStringLiteral("--speed"));
            const qsizetype dash = text.indexOf(u'-', 1);
            if (dash < 0) {
                throw UsageError(
                    QStringLiteral("--speed: '%1' is not a range MIN-MAX in knots").arg(text));
            }
            tracks::HoursOptions& h = settings.work.hours;
            h.speedRange = true;
            h.minKnots = parseNonNegative(text.left(dash), QStringLiteral("--speed"));
            h.maxKnots = parseNonNegative(text.mid(dash + 1), QStringLiteral("--speed"));
            if (h.minKnots > h.maxKnots) {
                throw UsageError(
                    QStringLiteral("--speed: '%1' has its minimum above its maximum").arg(text));
            }
        }
        if (args.has(QStringLiteral("--by"))) {
            const QString by = args.value(QStringLiteral("--by"));
            if (by == QStringLiteral("day")) {
                settings.work.hours.by = tracks::Period::Day;
            } else if (by == QStringLiteral("month")) {
                settings.work.hours.by = tracks::Period::Month;
            } else {
                throw UsageError(QStringLiteral("--by: '%1' is neither day nor month").arg(by));
            }
        }
    }
    HeadlessMap map(context);
    map.open(context.resolvePath(args.positional.at(0)));
    refuseInputAsOutput(settings.output, map.readFiles() << settings.input);
    map.loadLayers();
    map.readProjection();
    runTracks(map, settings, table, context);
    return 0;
}

}  // namespace

const CommandSyntax& visitsSyntax() {
    static const CommandSyntax syntax{
        QStringLiteral("visits"),
        QStringLiteral("MAP.mv --csv TRACKS [-o OUT] [--max-gap HOURS] [--threads N] [--sorted]"),
        QStringLiteral("When each vessel entered and left each area."),
        kTracksDetails +
            QStringLiteral("\n"
                           "Writes a CSV table (RFC 4180, CR LF) with the columns vessel, "
                           "layer, area,\n"
                           "enter_time, exit_time, hours, enter_lon, enter_lat, exit_lon, "
                           "exit_lat,\n"
                           "positions_inside, enter_kind and exit_kind: one row per stretch "
                           "of a track\n"
                           "inside an area (area: the Fish Tool's answer for it), entered "
                           "where the track\n"
                           "crosses in (crossing), at its first position (first) or at the "
                           "first after a\n"
                           "gap (after_gap), left where it crosses out (crossing), at its "
                           "last position\n"
                           "(last) or at the last before a gap (before_gap). Times in UTC to "
                           "the second,\n"
                           "crossing times interpolated; a position alone between gaps "
                           "makes a visit of 0\n"
                           "hours. Rows by vessel, enter time, layer (map order) and area.\n"
                           "Exit status: 0 when the map and the input could be read (also "
                           "when rows were\n"
                           "left out), 1 when they cannot be used, 2 for a usage error."),
        commonOptions(),
    };
    return syntax;
}

const CommandSyntax& hoursSyntax() {
    static const CommandSyntax syntax = [] {
        QList<OptionSyntax> options = commonOptions();
        options.insert(
            2, {QStringLiteral("--speed"),
                {},
                QStringLiteral("MIN-MAX"),
                false,
                QStringLiteral("count only segments with a speed in knots within MIN-MAX")});
        options.insert(3, {QStringLiteral("--by"),
                           {},
                           QStringLiteral("day|month"),
                           false,
                           QStringLiteral("one row per UTC day or month")});
        return CommandSyntax{
            QStringLiteral("hours"),
            QStringLiteral("MAP.mv --csv TRACKS [-o OUT] [--max-gap HOURS] [--speed MIN-MAX] "
                           "[--by day|month] [--threads N] [--sorted]"),
            QStringLiteral("The hours each vessel spent in each area."),
            kTracksDetails +
                QStringLiteral(
                    "\n"
                    "Writes a CSV table (RFC 4180, CR LF) with the columns vessel, layer, "
                    "area,\n"
                    "period (with --by: \"2024-05-01\" or \"2024-05\", split at UTC midnight), "
                    "hours\n"
                    "(4 decimals) and positions (the vessel's positions inside the area in the\n"
                    "period, whatever --speed says). With --speed only the time of segments "
                    "whose\n"
                    "speed, length on the map's plane over time, lies within MIN-MAX knots "
                    "(both\n"
                    "included) counts. Rows where hours or positions are not 0, by vessel, "
                    "period,\n"
                    "layer (map order) and area.\n"
                    "Exit status: 0 when the map and the input could be read (also when rows "
                    "were\n"
                    "left out), 1 when they cannot be used, 2 for a usage error."),
            options,
        };
    }();
    return syntax;
}

int runVisits(const QStringList& words, CliContext& context) {
    return runTrackCommand(visitsSyntax(), Table::Visits, words, context);
}

int runHours(const QStringList& words, CliContext& context) {
    return runTrackCommand(hoursSyntax(), Table::Hours, words, context);
}

}  // namespace pelagon::cli
