#include "cli/RenderCommand.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

#include "cli/CliContext.h"
#include "cli/CliErrors.h"
#include "cli/CommandLine.h"
#include "cli/HeadlessMap.h"
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

void draw(QPainter& painter, const MapSnapshot& snapshot, const MapRect& requested, QSize size) {
    MapRenderer::render(painter, Viewport(QSizeF(size), requested), snapshot, screenOptions());
}

QString nameList(const QStringList& names) {
    return QStringLiteral("\"") + names.join(QStringLiteral("\", \"")) + QStringLiteral("\"");
}

// The index of name in names: exactly as written, else without regard to letter case when that
// is unambiguous; -1 when there is none.
int findName(const QStringList& names, const QString& name) {
    const int exact = static_cast<int>(names.indexOf(name));
    if (exact >= 0) {
        return exact;
    }
    int found = -1;
    for (int k = 0; k < names.size(); ++k) {
        if (names[k].compare(name, Qt::CaseInsensitive) == 0) {
            if (found >= 0) {
                return -1;
            }
            found = k;
        }
    }
    return found;
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
                             .arg(option, name, listName, nameList(list.names)));
    }
    return list.extents[k];
}

}  // namespace

const CommandSyntax& renderSyntax() {
    static const CommandSyntax syntax{
        QStringLiteral("render"),
        QStringLiteral("MAP.mv -o OUT.png|OUT.pdf [--size WxH] [--extent L,R,B,T | --region NAME "
                       "| --site NAME] [--hide LAYER]..."),
        QStringLiteral("Draw the map as the map window shows it into a PNG image or a PDF."),
        QStringLiteral(
            "The extent (default: the full extent of the layers) is widened to the image's\n"
            "aspect, centred, as the map window does. The default size is the map window's map\n"
            "control with the viewer maximized on a 1920 x 1080 screen at 96 dpi (see info).\n"
            "A PDF page has the image's aspect: one point per pixel at 96 dpi.\n"
            "Layers hidden in the definition stay hidden; --hide hides more."),
        {
            {QStringLiteral("--output"), QStringLiteral("-o"), QStringLiteral("FILE"), false,
             QStringLiteral("the file to write; a name ending in .pdf gives a PDF, any other a "
                            "PNG (required)")},
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
                            "may differ")},
            {QStringLiteral("--site"),
             {},
             QStringLiteral("NAME"),
             false,
             QStringLiteral("show the 100 km square about a site of the site list (SSL_Locs.csv); "
                            "letter case may differ")},
            {QStringLiteral("--hide"),
             {},
             QStringLiteral("LAYER"),
             true,
             QStringLiteral("hide the layer of this LayerName; may be repeated")},
        },
    };
    return syntax;
}

void renderMapFile(const std::vector<std::shared_ptr<MapLayer>>& layers, const MapRect& requested,
                   QSize size, const QString& path) {
    MapSnapshot snapshot = makeSnapshot(layers);
    snapshot.background = Qt::white;
    if (QFileInfo(path).suffix().compare(QStringLiteral("pdf"), Qt::CaseInsensitive) == 0) {
        QPdfWriter writer(path);
        writer.setCreator(QStringLiteral("pelagon-cli"));
        writer.setResolution(96);
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        writer.setPageSize(QPageSize(QSizeF(size) * kPointsPerPixel, QPageSize::Point));
        QPainter painter;
        if (!painter.begin(&writer)) {
            throw InputError(QStringLiteral("Cannot write %1: the PDF file cannot be created.")
                                 .arg(QDir::toNativeSeparators(path)));
        }
        // The page in device units may differ from the asked size by rounding to points.
        draw(painter, snapshot, requested, QSize(writer.width(), writer.height()));
        painter.end();
        return;
    }
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) {
        throw InputError(
            QStringLiteral("Cannot make an image of %1 x %2 pixels: not enough memory.")
                .arg(size.width())
                .arg(size.height()));
    }
    image.setDotsPerMeterX(qRound(kDotsPerMeter96));
    image.setDotsPerMeterY(qRound(kDotsPerMeter96));
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        draw(painter, snapshot, requested, size);
    }
    if (!image.save(path, "PNG")) {
        throw InputError(QStringLiteral("Cannot write %1: the PNG file cannot be saved there.")
                             .arg(QDir::toNativeSeparators(path)));
    }
}

int runRender(const QStringList& words, CliContext& context) {
    const CommandSyntax& syntax = renderSyntax();
    const ParsedArguments args = parseArguments(syntax, words);
    if (args.helpRequested) {
        context.print(commandHelp(syntax));
        return 0;
    }
    if (!args.has(QStringLiteral("--output"))) {
        throw UsageError(QStringLiteral("missing -o OUT.png|OUT.pdf"));
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

    HeadlessMap map(context);
    map.open(context.resolvePath(args.positional.at(0)));
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
                                 .arg(hidden, nameList(names)));
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
    renderMapFile(map.drawnLayers(), extent.value_or(map.fullExtent()),
                  size.value_or(map.defaultCanvasSize()), output);
    return 0;
}

}  // namespace pelagon::cli
