#include "cli/RenderCommand.h"

#include <QPainter>

#include "cli/CliContext.h"
#include "cli/CliErrors.h"
#include "cli/CommandLine.h"
#include "cli/HeadlessMap.h"
#include "common/EchoText.h"
#include "render/ExportFormat.h"
#include "render/MapExport.h"
#include "render/MapLayer.h"
#include "render/MapRenderer.h"
#include "render/MapSnapshot.h"
#include "render/Viewport.h"

namespace pelagon::cli {

namespace {

// Symbols are drawn at their size on a 96-dpi screen, as in the map window; a PDF page has as
// many points as the image has pixels at 96 dpi.
constexpr double kDotsPerMeter96 = 96.0 / 0.0254;
constexpr double kPointsPerPixel = 72.0 / 96.0;

RenderOptions screenOptions() {
    RenderOptions options;
    options.scale = 1.0;
    return options;
}

// The index of name in names, spaces around either ignored: exactly as written, else without
// regard to letter case when that is unambiguous; -1 when there is none. The lists keep their
// names as read, so a name written with a space before or after it is still found.
int findName(const QStringList& names, const QString& name) {
    const QString wanted = name.trimmed();
    for (int k = 0; k < names.size(); ++k) {
        if (names[k].trimmed() == wanted) {
            return k;
        }
    }
    int found = -1;
    for (int k = 0; k < names.size(); ++k) {
        if (names[k].trimmed().compare(wanted, Qt::CaseInsensitive) == 0) {
            if (found >= 0) {
                return -1;
            }
            found = k;
        }
    }
    return found;
}

// The format of the output: --format when given, else the file's extension; standard output
// ("-") is PNG unless --format says otherwise.
ExportFormat outputFormat(const QString& output, const QString& formatOption) {
    if (!formatOption.isEmpty()) {
        const std::optional<ExportFormat> named = exportFormatByName(formatOption);
        if (!named) {
            throw UsageError(QStringLiteral("--format: '%1' is not a supported format; use one "
                                            "of %2")
                                 .arg(echoValue(formatOption), exportFormatList()));
        }
        return *named;
    }
    if (output == QStringLiteral("-")) {
        return ExportFormat::Png;
    }
    const std::optional<ExportFormat> byName = exportFormatForPath(output);
    if (!byName) {
        throw UsageError(
            QStringLiteral("-o %1: the file's extension names no supported format; use one of %2 "
                           "(or --format)")
                .arg(echoValue(output), exportFormatList()));
    }
    return *byName;
}

MapRect placeExtent(const PlaceList& list, const QString& listName, const QString& option,
                    const QString& name) {
    if (list.error) {
        throw InputError(QStringLiteral("The %1 list cannot be used.\n").arg(listName) +
                         list.error->message());
    }
    const int k = findName(list.names, name);
    if (k < 0) {
        throw UsageError(QStringLiteral("%1 '%2' is not in the %3 list; its entries are: %4")
                             .arg(option, echoValue(name), listName, echoNameList(list.names)));
    }
    return list.extents[k];
}

}  // namespace

const CommandSyntax& renderSyntax() {
    static const CommandSyntax syntax{
        QStringLiteral("render"),
        QStringLiteral(
            "MAP.mv -o OUT.png|.jpg|.tif|.pdf|.svg [--format NAME] [--size WxH] "
            "[--extent L,R,B,T | --region NAME | --site NAME] [--hide LAYER]... [--scale-bar] "
            "[--graticule]"),
        QStringLiteral("Draw the map as the map window shows it into an image, a PDF or an SVG."),
        QStringLiteral(
            "The extent (default: the full extent of the layers) is widened to the image's\n"
            "aspect, centred, as the map window does. The default size is the map window's map\n"
            "control with the viewer maximized on a 1920 x 1080 screen at 96 dpi (see info).\n"
            "The format follows the output's extension: PNG (.png), JPEG (.jpg, .jpeg),\n"
            "TIFF (.tif, .tiff), PDF (.pdf) or SVG (.svg); -o - writes to standard output,\n"
            "as PNG unless --format names another. A PDF page and an SVG drawing have the\n"
            "image's aspect: one point per pixel at 96 dpi, drawn as vectors.\n"
            "Layers hidden in the definition stay hidden; --hide hides more.\n"
            "--scale-bar and --graticule draw what the viewer's View menu draws; the viewer's\n"
            "\"Save view as...\" writes the same files from the same code."),
        {
            {QStringLiteral("--output"), QStringLiteral("-o"), QStringLiteral("FILE"), false,
             QStringLiteral("the file to write, in the format of its extension; - for standard "
                            "output (required)")},
            {QStringLiteral("--format"),
             {},
             QStringLiteral("NAME"),
             false,
             QStringLiteral("png, jpeg, tiff, pdf or svg, whatever the output's extension")},
            {QStringLiteral("--size"),
             {},
             QStringLiteral("WxH"),
             false,
             QStringLiteral("image size in pixels")},
            {QStringLiteral("--extent"),
             {},
             QStringLiteral("L,R,B,T"),
             false,
             QStringLiteral("the rectangle to show, in map units (left, right, bottom, top)")},
            {QStringLiteral("--region"),
             {},
             QStringLiteral("NAME"),
             false,
             QStringLiteral("show a region of the map's region list (Regions.csv); letter case "
                            "and spaces around the name may differ")},
            {QStringLiteral("--site"),
             {},
             QStringLiteral("NAME"),
             false,
             QStringLiteral("show the 100 km square about a site of the site list (SSL_Locs.csv); "
                            "letter case and spaces around the name may differ")},
            {QStringLiteral("--hide"),
             {},
             QStringLiteral("LAYER"),
             true,
             QStringLiteral("hide the layer of this LayerName; may be repeated")},
            {QStringLiteral("--scale-bar"),
             {},
             {},
             false,
             QStringLiteral("draw the scale bar (nautical miles and kilometres, true along the "
                            "parallel at the centre; needs ProjPars.alb)")},
            {QStringLiteral("--graticule"),
             {},
             {},
             false,
             QStringLiteral("draw meridians and parallels labelled in degrees and minutes (needs "
                            "ProjPars.alb)")},
        },
    };
    return syntax;
}

QByteArray renderMap(const std::vector<std::shared_ptr<MapLayer>>& layers, const MapRect& requested,
                     QSize size, ExportFormat format, const MapDecorations& decorations,
                     QSize shown) {
    MapSnapshot snapshot = makeSnapshot(layers);
    snapshot.background = Qt::white;
    const ExportedView view = exportView(
        [&](QPainter& painter, const QSizeF& surface) {
            const Viewport viewport(surface, requested);
            MapRenderer::render(painter, viewport, snapshot, screenOptions());
            drawMapDecorations(
                painter, viewport, decorations,
                outputDecorationScale(surface, QSizeF(shown.isEmpty() ? size : shown)));
        },
        size, format, QStringLiteral("pelagon-cli"));
    if (!view.ok()) {
        throw InputError(view.error);
    }
    return view.bytes;
}

int runRender(const QStringList& words, CliContext& context) {
    const CommandSyntax& syntax = renderSyntax();
    const ParsedArguments args = parseArguments(syntax, words);
    if (args.helpRequested) {
        context.print(commandHelp(syntax));
        return 0;
    }
    if (!args.has(QStringLiteral("--output"))) {
        throw UsageError(QStringLiteral("missing -o OUT.png|.jpg|.tif|.pdf|.svg"));
    }
    const int extentChoices = static_cast<int>(args.has(QStringLiteral("--extent"))) +
                              static_cast<int>(args.has(QStringLiteral("--region"))) +
                              static_cast<int>(args.has(QStringLiteral("--site")));
    if (extentChoices > 1) {
        throw UsageError(QStringLiteral("give at most one of --extent, --region, --site"));
    }
    // Numbers are checked before the map is read.
    std::optional<MapRect> extent;
    if (args.has(QStringLiteral("--extent"))) {
        extent = parseExtent(args.value(QStringLiteral("--extent")), QStringLiteral("--extent"));
    }
    std::optional<QSize> size;
    if (args.has(QStringLiteral("--size"))) {
        size = parseImageSize(args.value(QStringLiteral("--size")), QStringLiteral("--size"));
    }
    const QString output = context.resolvePath(args.value(QStringLiteral("--output")));
    const ExportFormat format = outputFormat(output, args.value(QStringLiteral("--format")));

    HeadlessMap map(context);
    map.open(context.resolvePath(args.positional.at(0)));
    refuseInputAsOutput(output, map.readFiles());
    map.loadLayers();

    QStringList names;
    for (const LayerInfo& r : map.LayerInfos) {
        names.append(r.LayerName);
    }
    for (const QString& hidden : args.values(QStringLiteral("--hide"))) {
        const int k = static_cast<int>(names.indexOf(hidden));
        if (k < 0) {
            throw UsageError(QStringLiteral("--hide '%1' is not a layer of the map; its "
                                            "layers are: %2")
                                 .arg(echoValue(hidden), echoNameList(names)));
        }
        map.MapLayers[static_cast<std::size_t>(k)]->setVisible(false);
    }

    if (args.has(QStringLiteral("--region")) || args.has(QStringLiteral("--site"))) {
        map.readPlaceLists();
    }
    if (args.has(QStringLiteral("--region"))) {
        extent = placeExtent(map.regions, QStringLiteral("region"), QStringLiteral("--region"),
                             args.value(QStringLiteral("--region")));
    } else if (args.has(QStringLiteral("--site"))) {
        extent = placeExtent(map.sites, QStringLiteral("site"), QStringLiteral("--site"),
                             args.value(QStringLiteral("--site")));
    }
    MapDecorations decorations;
    decorations.scaleBar = args.has(QStringLiteral("--scale-bar"));
    decorations.graticule = args.has(QStringLiteral("--graticule"));
    if (decorations.scaleBar || decorations.graticule) {
        map.readProjection();
        decorations.projection = map.requireProjection();
    }
    const QByteArray bytes = renderMap(map.drawnLayers(), extent.value_or(map.fullExtent()),
                                       size.value_or(map.defaultCanvasSize()), format, decorations,
                                       map.defaultCanvasSize());
    if (output == QStringLiteral("-")) {
        context.write(bytes);
    } else {
        writeOutputFile(output, bytes);
    }
    return 0;
}

}  // namespace pelagon::cli
