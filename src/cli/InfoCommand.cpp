#include "cli/InfoCommand.h"

#include <QJsonArray>
#include <QJsonDocument>

#include "cli/CliContext.h"
#include "cli/CommandLine.h"
#include "cli/HeadlessMap.h"
#include "render/MapLayer.h"
#include "store/FeatureStore.h"

namespace pelagon::cli {

namespace {

const QStringList kRecordFields = {
    QStringLiteral("LayerName"),   QStringLiteral("QueryMode"),   QStringLiteral("Visible"),
    QStringLiteral("ShapeFile"),   QStringLiteral("DocFile"),     QStringLiteral("SymbolColor"),
    QStringLiteral("BorderColor"), QStringLiteral("SymbolStyle"), QStringLiteral("LabelField"),
    QStringLiteral("AttrCaption"), QStringLiteral("AttrField"),
};
const QStringList kProjectionFields = {
    QStringLiteral("CentralLon"),   QStringLiteral("OriginLat"), QStringLiteral("StdParallel1"),
    QStringLiteral("StdParallel2"), QStringLiteral("ConeN"),     QStringLiteral("ConeC"),
    QStringLiteral("Rho0"),
};

QJsonValue rectJson(const MapRect& r) {
    if (!r.isValid()) {
        return QJsonValue::Null;
    }
    return QJsonObject{{QStringLiteral("left"), r.left},
                       {QStringLiteral("right"), r.right},
                       {QStringLiteral("bottom"), r.bottom},
                       {QStringLiteral("top"), r.top}};
}

QString kindName(GeometryKind kind) {
    switch (kind) {
        case GeometryKind::Points:
            return QStringLiteral("points");
        case GeometryKind::Lines:
            return QStringLiteral("lines");
        case GeometryKind::Polygons:
            break;
    }
    return QStringLiteral("polygons");
}

QJsonObject layerJson(const LayerInfo& r, const MapLayer* layer) {
    QJsonObject o{
        {QStringLiteral("LayerName"), r.LayerName},
        {QStringLiteral("QueryMode"), r.QueryMode},
        {QStringLiteral("Visible"), r.Visible},
        {QStringLiteral("ShapeFile"), r.ShapeFile},
        {QStringLiteral("DocFile"), r.DocFile},
        {QStringLiteral("SymbolColor"), r.SymbolColor},
        {QStringLiteral("BorderColor"), r.BorderColor},
        {QStringLiteral("SymbolStyle"), r.SymbolStyle},
        {QStringLiteral("LabelField"), r.LabelField},
        {QStringLiteral("AttrCaption"), r.AttrCaption},
        {QStringLiteral("AttrField"), r.AttrField},
    };
    const bool loaded = layer != nullptr && layer->valid();
    o.insert(QStringLiteral("loaded"), loaded);
    o.insert(QStringLiteral("problem"),
             layer != nullptr && !loaded ? layer->openError().message : QString());
    if (loaded) {
        const FeatureStore& store = *layer->store();
        o.insert(QStringLiteral("dataFile"), store.path());
        o.insert(QStringLiteral("kind"), kindName(store.kind()));
        o.insert(QStringLiteral("features"), static_cast<qint64>(store.featureCount()));
        o.insert(QStringLiteral("vertices"), static_cast<qint64>(store.vertexCount()));
        o.insert(QStringLiteral("extent"), rectJson(layer->extent()));
        const StoreDamage& d = store.damage();
        o.insert(QStringLiteral("damage"),
                 d.any() ? QJsonValue(QJsonObject{
                               {QStringLiteral("records"), static_cast<qint64>(d.records)},
                               {QStringLiteral("leftOut"), static_cast<qint64>(d.leftOut)},
                               {QStringLiteral("withoutAttributes"),
                                static_cast<qint64>(d.withoutAttributes)},
                               {QStringLiteral("problems"), static_cast<qint64>(d.problems)},
                               {QStringLiteral("file"), d.file},
                               {QStringLiteral("firstProblem"), d.firstProblem},
                               {QStringLiteral("summary"), d.summary()}})
                         : QJsonValue(QJsonValue::Null));
    } else {
        o.insert(QStringLiteral("dataFile"), QJsonValue::Null);
        o.insert(QStringLiteral("kind"), QJsonValue::Null);
        o.insert(QStringLiteral("features"), 0);
        o.insert(QStringLiteral("vertices"), 0);
        o.insert(QStringLiteral("extent"), QJsonValue::Null);
        o.insert(QStringLiteral("damage"), QJsonValue::Null);
    }
    return o;
}

QJsonArray placesJson(const PlaceList& list) {
    QJsonArray places;
    for (int k = 0; k < list.size(); ++k) {
        QJsonObject place = rectJson(list.extents[k]).toObject();
        place.insert(QStringLiteral("name"), list.names[k]);
        places.append(place);
    }
    return places;
}

// Numbers of the text report: whole numbers as they are, others with up to 10 significant
// digits.
QString number(const QJsonValue& v) {
    return QString::number(v.toDouble(), 'g', 10);
}

QString colourText(int value) {
    return QStringLiteral("%1 (%2.%3.%4)")
        .arg(value)
        .arg(value & 0xff)
        .arg((value >> 8) & 0xff)
        .arg((value >> 16) & 0xff);
}

QString rectText(const QJsonValue& v) {
    if (!v.isObject()) {
        return QStringLiteral("none");
    }
    const QJsonObject r = v.toObject();
    return QStringLiteral("left %1, right %2, bottom %3, top %4")
        .arg(number(r[QStringLiteral("left")]), number(r[QStringLiteral("right")]),
             number(r[QStringLiteral("bottom")]), number(r[QStringLiteral("top")]));
}

QString fieldText(const QJsonObject& layer, const QString& field) {
    const QJsonValue v = layer[field];
    if (field == QStringLiteral("SymbolColor") || field == QStringLiteral("BorderColor")) {
        return colourText(v.toInt());
    }
    return v.isString() ? v.toString() : number(v);
}

QString placesText(const QString& title, const QJsonArray& places) {
    QString text = QStringLiteral("%1: %2\n").arg(title).arg(places.size());
    for (const QJsonValue& p : places) {
        text += QStringLiteral("  %1: %2\n")
                    .arg(p[QStringLiteral("name")].toString(), rectText(p.toObject()));
    }
    return text;
}

}  // namespace

const CommandSyntax& infoSyntax() {
    static const CommandSyntax syntax{
        QStringLiteral("info"),
        QStringLiteral("MAP.mv [--json]"),
        QStringLiteral("Describe a map: layers, extents, projection, lists, problems."),
        QStringLiteral(
            "For each layer: every field of its record (LayerName, QueryMode, Visible, ShapeFile,\n"
            "DocFile, SymbolColor, BorderColor, SymbolStyle, LabelField, AttrCaption, AttrField),\n"
            "whether its file loaded and why not, its kind (points, lines or polygons), its\n"
            "feature and vertex counts, its extent and what a damaged file left out. Then the\n"
            "full extent, the projection parameters and derived constants (CentralLon,\n"
            "OriginLat, StdParallel1, StdParallel2, ConeN, ConeC, Rho0), the sites and regions\n"
            "(name and rectangle), the default canvas and query tolerance of the other\n"
            "subcommands, and the problems (with a note on lines of the definition after the\n"
            "blank line that ends its layer list, which are not read).\n"
            "Exit status: 0 when the definition could be read (problems are listed in the\n"
            "report), 1 when it cannot be used, 2 for a usage error."),
        {{QStringLiteral("--json"),
          {},
          {},
          false,
          QStringLiteral("print one JSON object instead of the text report")}},
    };
    return syntax;
}

QJsonObject infoReport(const HeadlessMap& map) {
    QJsonArray layers;
    for (qsizetype i = 0; i < map.LayerInfos.size(); ++i) {
        const MapLayer* layer = static_cast<std::size_t>(i) < map.MapLayers.size()
                                    ? map.MapLayers[static_cast<std::size_t>(i)].get()
                                    : nullptr;
        layers.append(layerJson(map.LayerInfos[i], layer));
    }
    QJsonValue projection = QJsonValue::Null;
    if (map.projection) {
        const AlbersProjection& p = *map.projection;
        const double values[] = {p.CentralLon, p.OriginLat, p.StdParallel1, p.StdParallel2,
                                 p.ConeN,      p.ConeC,     p.Rho0};
        QJsonObject o;
        for (int k = 0; k < kProjectionFields.size(); ++k) {
            o.insert(kProjectionFields[k], values[k]);
        }
        projection = o;
    }
    const QSize canvas = map.defaultCanvasSize();
    return QJsonObject{
        {QStringLiteral("map"), map.definitionPath},
        {QStringLiteral("baseDir"), map.BaseDir},
        {QStringLiteral("layers"), layers},
        {QStringLiteral("fullExtent"), rectJson(map.fullExtent())},
        {QStringLiteral("projection"), projection},
        {QStringLiteral("sites"), placesJson(map.sites)},
        {QStringLiteral("regions"), placesJson(map.regions)},
        {QStringLiteral("defaultCanvas"), QJsonObject{{QStringLiteral("width"), canvas.width()},
                                                      {QStringLiteral("height"), canvas.height()}}},
        {QStringLiteral("defaultQueryTolerance"), map.defaultQueryTolerance()},
        {QStringLiteral("problems"), QJsonArray::fromStringList(map.problems)},
    };
}

QString infoText(const QJsonObject& report) {
    QString text = QStringLiteral("Map definition: %1\nMap folder: %2\n\n")
                       .arg(report[QStringLiteral("map")].toString(),
                            report[QStringLiteral("baseDir")].toString());
    const QJsonArray layers = report[QStringLiteral("layers")].toArray();
    for (qsizetype i = 0; i < layers.size(); ++i) {
        const QJsonObject layer = layers[i].toObject();
        text += QStringLiteral("Layer %1: %2\n").arg(i).arg(layer[kRecordFields[0]].toString());
        for (const QString& field : kRecordFields) {
            text += QStringLiteral("  %1 %2\n").arg(field, -12).arg(fieldText(layer, field));
        }
        if (layer[QStringLiteral("loaded")].toBool()) {
            text += QStringLiteral("  loaded: %1, %2 features, %3 vertices\n  extent: %4\n")
                        .arg(layer[QStringLiteral("kind")].toString(),
                             number(layer[QStringLiteral("features")]),
                             number(layer[QStringLiteral("vertices")]),
                             rectText(layer[QStringLiteral("extent")]));
            const QJsonValue damage = layer[QStringLiteral("damage")];
            if (damage.isObject()) {
                text += QStringLiteral("  damaged: %1\n")
                            .arg(damage[QStringLiteral("summary")].toString());
            }
        } else {
            QString why = layer[QStringLiteral("problem")].toString();
            why.replace(QStringLiteral("\n\n"), QStringLiteral(": "));
            text += QStringLiteral("  not loaded: %1\n").arg(why);
        }
        text += QLatin1Char('\n');
    }
    text +=
        QStringLiteral("Full extent: %1\n\n").arg(rectText(report[QStringLiteral("fullExtent")]));
    const QJsonValue projection = report[QStringLiteral("projection")];
    if (projection.isObject()) {
        text += QStringLiteral("Projection:\n");
        for (const QString& field : kProjectionFields) {
            text += QStringLiteral("  %1 %2\n")
                        .arg(field, -12)
                        .arg(QString::number(projection[field].toDouble(), 'g', 14));
        }
    } else {
        text += QStringLiteral("Projection: none\n");
    }
    text += QLatin1Char('\n') +
            placesText(QStringLiteral("Sites"), report[QStringLiteral("sites")].toArray());
    text += QLatin1Char('\n') +
            placesText(QStringLiteral("Regions"), report[QStringLiteral("regions")].toArray());
    const QJsonObject canvas = report[QStringLiteral("defaultCanvas")].toObject();
    text +=
        QStringLiteral(
            "\nDefault canvas: %1 x %2 pixels; default query tolerance: %3 map "
            "units\n")
            .arg(number(canvas[QStringLiteral("width")]), number(canvas[QStringLiteral("height")]),
                 number(report[QStringLiteral("defaultQueryTolerance")]));
    const QJsonArray problems = report[QStringLiteral("problems")].toArray();
    text += QStringLiteral("\nProblems: %1\n").arg(problems.size());
    for (const QJsonValue& p : problems) {
        QString line = p.toString();
        line.replace(QLatin1Char('\n'), QStringLiteral("\n    "));
        text += QStringLiteral("  - %1\n").arg(line);
    }
    return text;
}

int runInfo(const QStringList& words, CliContext& context) {
    const ParsedArguments args = parseArguments(infoSyntax(), words);
    if (args.helpRequested) {
        context.print(commandHelp(infoSyntax()));
        return 0;
    }
    HeadlessMap map(context);
    map.open(context.resolvePath(args.positional.at(0)));
    map.loadLayers();
    map.readProjection();
    map.readPlaceLists();
    const QJsonObject report = infoReport(map);
    if (args.has(QStringLiteral("--json"))) {
        context.write(QJsonDocument(report).toJson(QJsonDocument::Indented));
    } else {
        context.print(infoText(report));
    }
    return 0;
}

}  // namespace pelagon::cli
