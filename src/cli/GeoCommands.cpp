#include "cli/GeoCommands.h"

#include <vector>

#include "cli/CliContext.h"
#include "cli/CliErrors.h"
#include "cli/CommandLine.h"
#include "cli/HeadlessMap.h"
#include "common/EchoText.h"
#include "geo/AngleText.h"
#include "geo/Measure.h"

namespace pelagon::cli {

namespace {

OptionSyntax localeOption() {
    return {QStringLiteral("--locale"),
            {},
            QStringLiteral("NAME"),
            false,
            QStringLiteral("format with this locale's separators (e.g. de_DE, en_US); the "
                           "default is the C locale, the same on every machine, where the viewer "
                           "uses the user's locale")};
}

}  // namespace

QLocale textLocale(const ParsedArguments& args) {
    if (!args.has(QStringLiteral("--locale"))) {
        return QLocale::c();
    }
    const QString name = args.value(QStringLiteral("--locale"));
    const QLocale locale(name);
    // An unknown name gives the C locale; only "C" and "POSIX" mean it.
    if (locale.language() == QLocale::C && name != QStringLiteral("C") &&
        name != QStringLiteral("POSIX")) {
        throw UsageError(
            QStringLiteral("--locale: '%1' is not a known locale").arg(echoValue(name)));
    }
    return locale;
}

const CommandSyntax& positionSyntax() {
    static const CommandSyntax syntax{
        QStringLiteral("position"),
        QStringLiteral("MAP.mv (--at X,Y | --position TEXT) [--locale NAME]"),
        QStringLiteral(
            "The longitude and latitude of a map point, or the map point of a position."),
        QStringLiteral(
            "With --at, prints the longitude and latitude in decimal degrees with 9 decimals,\n"
            "separated by a comma (always with \".\" as decimal separator), then on a second line\n"
            "the text that the map window's pointer read-out shows for that point, in degrees\n"
            "and decimal minutes. Uses the map's ProjPars.alb.\n"
            "With --position, reads a position as people write it (as the viewer's \"Go to\n"
            "position\" field does) and prints first its map point \"X,Y\" in map units with 3\n"
            "decimals, then the same two lines for it.\n"
            "Exit status: 1 when the point has no position in the map's projection or the\n"
            "projection cannot be read, 2 for a usage error."),
        {{QStringLiteral("--at"),
          {},
          QStringLiteral("X,Y"),
          false,
          QStringLiteral("the point in map units")},
         {QStringLiteral("--position"),
          {},
          QStringLiteral("TEXT"),
          false,
          QStringLiteral("a position as people write it, e.g. \"57 30.2N 152 10.5W\"")},
         localeOption()},
    };
    return syntax;
}

int runPosition(const QStringList& words, CliContext& context) {
    const CommandSyntax& syntax = positionSyntax();
    const ParsedArguments args = parseArguments(syntax, words);
    if (args.helpRequested) {
        context.print(commandHelp(syntax));
        return 0;
    }
    const bool hasAt = args.has(QStringLiteral("--at"));
    const bool hasPosition = args.has(QStringLiteral("--position"));
    if (hasAt == hasPosition) {
        throw UsageError(QStringLiteral("give one of --at X,Y or --position TEXT"));
    }
    const QLocale locale = textLocale(args);

    HeadlessMap map(context);
    double lon = 0;
    double lat = 0;
    if (hasAt) {
        const MapPoint p = parsePoint(args.value(QStringLiteral("--at")), QStringLiteral("--at"));
        map.open(context.resolvePath(args.positional.at(0)));
        map.readProjection();
        if (!map.requireProjection().AlbersToLatLong(p.x, p.y, lon, lat)) {
            throw InputError(
                QStringLiteral(
                    "The point %1 has no position: it lies outside the map's projection.")
                    .arg(echoValue(args.value(QStringLiteral("--at")))));
        }
    } else {
        const QString text = args.value(QStringLiteral("--position"));
        (void)parsePositionOption(text, QStringLiteral("--position"));
        map.open(context.resolvePath(args.positional.at(0)));
        map.loadLayers();
        map.readProjection();
        // Read again now that the map is known: a position off it whose other hemisphere lies
        // on it is refused, as by the viewer's "Go to position" field and query --position.
        const AlbersProjection& projection = map.requireProjection();
        const MapRect full = map.fullExtent();
        const MapPoint g =
            parsePositionOptionForMap(text, QStringLiteral("--position"), [&](MapPoint ll) {
                MapPoint q;
                return projection.LatLongToAlbers(ll.x, ll.y, q.x, q.y) && full.contains(q);
            });
        lon = g.x;
        lat = g.y;
        MapPoint p;
        if (!projection.LatLongToAlbers(lon, lat, p.x, p.y)) {
            throw InputError(QStringLiteral("The position %1 has no place on the map's projection.")
                                 .arg(echoValue(args.value(QStringLiteral("--position")))));
        }
        context.print(QString::number(p.x, 'f', 3) + QLatin1Char(',') +
                      QString::number(p.y, 'f', 3) + QLatin1Char('\n'));
    }
    context.print(QString::number(lon, 'f', 9) + QLatin1Char(',') + QString::number(lat, 'f', 9) +
                  QLatin1Char('\n'));
    context.print(Ddec_to_DMdec(lon, locale) + QLatin1Char(',') + Ddec_to_DMdec(lat, locale) +
                  QLatin1Char('\n'));
    return 0;
}

const CommandSyntax& measureSyntax() {
    static const CommandSyntax syntax{
        QStringLiteral("measure"),
        QStringLiteral("MAP.mv X1,Y1 [X2,Y2 ...] [--locale NAME]"),
        QStringLiteral("The measure tool's message for a path of map points."),
        QStringLiteral(
            "Prints the text of the map window's measure message for the path through the\n"
            "points (map units), e.g. \"2 segments, total distance 5.94 nautical miles\".\n"
            "Negative coordinates need no quoting: -2200000,600000 is a point."),
        {localeOption()},
        2,
        -1,
        QStringLiteral("MAP.mv X1,Y1"),
    };
    return syntax;
}

int runMeasure(const QStringList& words, CliContext& context) {
    const CommandSyntax& syntax = measureSyntax();
    const ParsedArguments args = parseArguments(syntax, words);
    if (args.helpRequested) {
        context.print(commandHelp(syntax));
        return 0;
    }
    std::vector<MapPoint> path;
    for (qsizetype k = 1; k < args.positional.size(); ++k) {
        path.push_back(parsePoint(args.positional.at(k), QStringLiteral("point %1").arg(k)));
    }
    const QLocale locale = textLocale(args);
    // The definition is read so that a wrong map is reported as for every other subcommand.
    HeadlessMap map(context);
    map.open(context.resolvePath(args.positional.at(0)));
    context.print(measureMessage(path, locale) + QLatin1Char('\n'));
    return 0;
}

}  // namespace pelagon::cli
