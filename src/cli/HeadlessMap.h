#pragma once

#include <QSize>
#include <QString>
#include <QStringList>
#include <QVector>

#include <memory>
#include <optional>
#include <vector>

#include "geo/AlbersProjection.h"
#include "mapdef/LayerInfo.h"
#include "mapdef/PlaceList.h"
#include "render/LoadLayers.h"
#include "render/MapLayerList.h"

namespace pelagon {
class MessageSink;
}

namespace pelagon::cli {

struct CliContext;

// One map opened without a window: the same steps as the map window's load (definition, layers
// on a plain layer list, projection, site and region lists), each run only by the subcommands
// that need it. While it is open the map folder is the working folder, as in the viewer; the
// folder the run began in is restored when it is destroyed.
//
// Layer messages that the viewer shows in message boxes go to the error stream; they and every
// other problem found are collected in problems. None of them stops the tool.
class HeadlessMap {
public:
    explicit HeadlessMap(CliContext& context);
    ~HeadlessMap();
    HeadlessMap(const HeadlessMap&) = delete;
    HeadlessMap& operator=(const HeadlessMap&) = delete;

    // Enters the folder of the definition (an absolute path) and reads it. Throws InputError
    // when the file cannot be read, has a malformed layer line or lists no layers.
    void open(const QString& definitionPath);
    // Builds the layers of every record (LoadLayers).
    void loadLayers();
    // Reads ProjPars.alb; a file that cannot be used is told (once, like every problem of a
    // file the subcommand reads) and recorded in problems. The subcommands that need the
    // projection then fail through requireProjection.
    void readProjection();
    // Reads SSL_Locs.csv and Regions.csv; a list that cannot be used is told and recorded.
    void readPlaceLists();

    // The projection; throws InputError when ProjPars.alb could not be used (with no message of
    // its own once readProjection told why, so the problem is said once).
    const AlbersProjection& requireProjection() const;

    // Every file of the map that a subcommand may read: the definition, ProjPars.alb, the site
    // and region lists, and each layer's files (NAME.shp, .shx, .dbf, .cpg, .prj, whatever the
    // letter case). Those that do not exist are listed too.
    QStringList readFiles() const;

    // The layers that loaded, in the map's list order (position 0, the last record, on top).
    const std::vector<std::shared_ptr<MapLayer>>& drawnLayers() const {
        return layerList_.layers();
    }
    // The full extent of the layers that loaded.
    MapRect fullExtent() const { return layerList_.fullExtent(); }
    // The map control of the viewer maximized on the reference screen, and the query tolerance
    // of a click on it at the full extent (see ReferenceCanvas.h).
    QSize defaultCanvasSize() const;
    double defaultQueryTolerance() const;

    QString definitionPath;
    QString BaseDir;  // the map folder with a trailing "/", as the viewer's
    QVector<LayerInfo> LayerInfos;
    int longestName = 0;
    std::vector<std::shared_ptr<MapLayer>> MapLayers;  // indexed like LayerInfos
    std::optional<AlbersProjection> projection;
    QString projectionProblem;
    PlaceList sites;
    PlaceList regions;
    QStringList problems;  // every message, in the order told

private:
    void tell(const QString& text);

    CliContext& context_;
    std::unique_ptr<MessageSink> messages_;
    MapLayerList layerList_;
    LoadedLayers loaded_;
    QString restoreFolder_;
};

}  // namespace pelagon::cli
