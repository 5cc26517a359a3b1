#pragma once

#include <QFont>
#include <QString>
#include <QVector>

#include <functional>
#include <memory>
#include <vector>

#include "mapdef/LayerInfo.h"

namespace pelagon {

class LabelRenderer;
class LayerHost;
class MapLayer;
class MessageSink;

// The legend's operations that layer construction calls.
struct LegendCallbacks {
    std::function<void(qint16 Index, const QString& theName, qint16 Checked, qint32 theColor,
                       qint32 theBorderColor, qint16 theStyle, qint16 ShapeType)>
        AddToLayerListForm;
    std::function<void()> placeScrollbar;
};

// What layer construction builds, indexed like the layer records.
struct LoadedLayers {
    std::vector<std::shared_ptr<MapLayer>> MapLayers;            // one per record, loaded or not
    std::vector<std::shared_ptr<LabelRenderer>> LabelRenderers;  // one per record
    std::shared_ptr<QFont> LabelFont;                            // shared by every renderer
};

// Builds the map's layers from the layer records: the data file of record i is
// mapFolder + "/Shapefiles/" + ShapeFile; colour, style, the outline of fill symbols and the
// visibility come from the record. A layer whose file opened is added to the host (so record i
// ends at position LastLayer - i) and given a legend row; for any other the user is told
// "Could not find layer:  " + ShapeFile (no such file) or why the file cannot be read, and it
// gets no row. A layer whose file is damaged holds what could be read soundly, and the user is
// told once ("Damaged layer:  " + ShapeFile) how much was left out, the file at fault and the
// first problem. Then the legend's scroll bar is placed, and every record gets a label renderer
// (options true, false, false, true; text height = the full extent's measure / 600; the shared
// font "Arial" 10 pt) attached to its layer. Data files are read in parallel; everything else
// happens in record order on the calling thread.
LoadedLayers LoadLayers(const QVector<LayerInfo>& LayerInfos, const QString& mapFolder,
                        LayerHost& host, MessageSink& messages, const LegendCallbacks& legend);

}  // namespace pelagon
