#pragma once

#include <QMdiSubWindow>
#include <QPointer>
#include <QString>
#include <QVector>
#include <QWidget>

#include <functional>

#include "geo/AlbersProjection.h"
#include "legend/LayerListForm.h"
#include "mapdef/LayerInfo.h"

namespace pelagon {

class MessageSink;
class TheMDIform;

// What the map window needs from the rest of the program; handed over at construction.
struct MapformContext {
    TheMDIform* frame = nullptr;
    MessageSink* messages = nullptr;
    QString theMapFile;                  // full path of the chosen definition
    std::function<void()> closeChooser;  // closes the map chooser; it is not used again
    std::function<void(int)> endProgram; // ends the program after a fatal message
};

// The map window: the map, its toolbar and controls, and the state of one opened map.
class Mapform : public QWidget {
    Q_OBJECT
public:
    explicit Mapform(MapformContext context, QWidget* parent = nullptr);
    ~Mapform() override;

    // The load sequence. Returns false when the map cannot be shown; the reason has been told to
    // the user and the caller closes the map window again.
    bool Form_Load();

    // The map window's sub-window in the frame (its outer geometry is the window's size).
    QMdiSubWindow* subWindow() const;

    // State of the opened map.
    QString BaseDir;                 // the map folder with a trailing separator
    bool RegsOpened = false;
    QVector<LayerInfo> LayerInfos;
    int LastLayer = -1;

    AlbersProjection projection;  // set by ReadProjPars

    LayerListForm* legend() const { return legend_; }
    QMdiSubWindow* legendWindow() const { return legendWindow_; }

    // Reads the map definition into LayerInfos, sizes the legend and places the map window and
    // the legend side by side. Returns false (after telling the user) when it cannot be read.
    bool getLayerInfo();

    // Reads ProjPars.alb of the map folder. On failure tells the user and ends the program.
    bool ReadProjPars();

private:
    MapformContext ctx_;
    QPointer<LayerListForm> legend_;
    QPointer<QMdiSubWindow> legendWindow_;
};

}  // namespace pelagon
